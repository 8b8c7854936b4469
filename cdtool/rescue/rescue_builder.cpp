#include "cdtool/rescue/rescue_builder.h"

#include <openssl/evp.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "cdtool/bootmenu/password_hash.h"
#include "cdtool/rescue/package_versions.h"
#include "cdtool/rescue/rescue_progress.h"
#include "common/file_ops.h"
#include "common/process_runner.h"
#include "common/progress_sink.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

constexpr size_t kTailLines = 8;
const char* const kSystemFiles[] = {kRescueKernel, kRescueInitrd, kRescueSquashfs};

std::string In(const std::string& folder, const std::string& name) { return (fs::path(folder) / name).string(); }

// The three files' sizes together, or -1 when one is missing or empty.
int64_t SystemBytes(const std::string& folder) {
  int64_t total = 0;
  for (const char* name : kSystemFiles) {
    const int64_t size = FileSize(In(folder, name));
    if (size <= 0) return -1;
    total += size;
  }
  return total;
}

std::string ReadText(const std::string& path) {
  std::string text;
  return ReadWholeFile(path, text) ? text : std::string();
}

}  // namespace

RescueRecipe ProgramFolderRecipe(const std::string& programFolder, const std::string& mirror, std::string* error) {
  RescueRecipe recipe;
  recipe.mirror = mirror;
  PackageList list = ReadPackageList(In(programFolder, kRescuePackageList));
  if (!list.error.empty() && error) *error = list.error;
  recipe.packages = std::move(list.packages);
  std::string hook;
  if (ReadWholeFile(In(programFolder, kRescueHook), hook)) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(hook.data(), hook.size(), digest, &size, EVP_sha256(), nullptr);
    recipe.hookDigest = HexDigits(digest, size);
  }
  return recipe;
}

int64_t KeptRescueSystemSize(const std::string& programFolder, const RescueRecipe& recipe) {
  const std::string kept = In(programFolder, kRescueFolder);
  if (ReadText(In(kept, kRescueStamp)) != RecipeStamp(recipe)) return -1;
  return SystemBytes(kept);
}

std::optional<double> LastRescueBuildSeconds(const std::string& programFolder) {
  const std::string text = ReadText(In(In(programFolder, kRescueFolder), kRescueBuildTime));
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !(seconds > 0) || seconds > 24 * 3600) return std::nullopt;
  return seconds;
}

RescueBuilder::RescueBuilder(std::string programFolder, ProcessLauncher& launcher, ProgressSink& progress)
    : Seconds(
          [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }),
      programFolder_(std::move(programFolder)),
      launcher_(launcher),
      progress_(progress) {}

void RescueBuilder::Output(const std::string& chunk) {
  pending_ += chunk;
  size_t from = 0;
  for (size_t end; (end = pending_.find_first_of("\r\n", from)) != std::string::npos; from = end + 1) {
    const std::string line = pending_.substr(from, end - from);
    if (line.empty()) continue;
    // mksquashfs redraws its bar many times a second: it moves the bar, but
    // only the lines that say something go to the log.
    const bool bar = line[0] == '[';
    if (!bar) {
      Say(line);
      tail_.push_back(line);
      if (tail_.size() > kTailLines) tail_.pop_front();
    }
    if (auto point = parser_->Line(line)) {
      progress_.SetCaption(captionPrefix + point->caption);
      progress_.SetValue(point->percent);
    }
  }
  pending_.erase(0, from);
}

RescueBuildOutcome RescueBuilder::Fail(const std::string& reason, const std::string& work) {
  DeleteTree(work);
  RescueBuildOutcome outcome;
  outcome.kind = RescueBuildOutcome::Kind::Failed;
  outcome.reason = reason;
  if (!tail_.empty()) {
    outcome.reason += "; its last lines:";
    for (const std::string& line : tail_) outcome.reason += "\n  " + line;
  }
  Say("The rescue system was not built: " + outcome.reason);
  return outcome;
}

std::string RescueBuilder::IndexPackageFolder(const RescueRecipe& recipe, const std::string& index) {
  std::error_code ec;
  if (!MakePath(index)) return "the folder " + index + " cannot be created";
  // The index lists the packages as pool/<name>.deb; "pool" is a link to
  // the user's folder, which is only read.
  fs::create_directory_symlink(fs::absolute(recipe.mirror, ec), fs::path(index) / "pool", ec);
  if (ec) return "the package folder " + recipe.mirror + " cannot be linked into " + index + " (" + ec.message() + ")";
  const std::string config = In(index, "ftparchive.conf");
  if (!WriteFileAtomic(config,
                       "Dir { ArchiveDir \".\"; CacheDir \".\"; };\n"
                       "Default { Packages::Compress \". gzip\"; };\n"
                       "BinDirectory \"pool\" { Packages \"Packages\"; };\n"))
    return "the file " + config + " cannot be written";
  Say("Indexing the packages in " + recipe.mirror);
  progress_.SetCaption(captionPrefix + "indexing the packages in " + recipe.mirror);
  const RunOptions options{index, 0, [this] { progress_.PumpEvents(); }};
  const RunResult packages = launcher_.RunAndCapture({"apt-ftparchive", "generate", "ftparchive.conf"}, options);
  if (packages.exitCode != 0 || FileSize(In(index, "Packages")) <= 0)
    return "apt-ftparchive could not index the packages in " + recipe.mirror + " (" + RunOutputForMessage(packages) +
           "); install Debian's apt-utils package";
  fs::remove(config, ec);
  // The release file names the suite and architecture mmdebstrap asks for.
  const RunResult release =
      launcher_.RunAndCapture({"apt-ftparchive", "-o", "APT::FTPArchive::Release::Suite=" + recipe.release, "-o",
                               "APT::FTPArchive::Release::Codename=" + recipe.release, "-o",
                               "APT::FTPArchive::Release::Architectures=" + recipe.architecture, "release", "."},
                              options);
  if (release.exitCode != 0 || !WriteFileAtomic(In(index, "Release"), release.output))
    return "apt-ftparchive could not write the release file of " + index + " (" + RunOutputForMessage(release) + ")";
  return "";
}

RescueBuildOutcome RescueBuilder::Ensure(const RescueRecipe& recipe) {
  const std::string kept = In(programFolder_, kRescueFolder);
  const std::string work = kept + ".new";
  RescueBuildOutcome outcome;
  outcome.folder = kept;

  if (const int64_t bytes = KeptRescueSystemSize(programFolder_, recipe);
      bytes > 0 && savePackagesTo.empty() && !update) {
    outcome.kind = RescueBuildOutcome::Kind::Reused;
    outcome.bytes = bytes;
    Say("The rescue system in " + kept + " was built from the same packages: reused (" + std::to_string(bytes) +
        " bytes)");
    return outcome;
  }

  // What a killed build left is never taken for a system.
  DeleteTree(work);
  if (!MakePath(work)) return Fail("the folder " + work + " cannot be created", work);
  const std::string hook = In(programFolder_, kRescueHook);
  if (!FileExists(hook)) return Fail("the hook " + hook + " that finishes the rescue system is missing", work);

  // A local source is checked here, so its fault is named as such rather
  // than as one of apt's.
  MmdebstrapExtras extras;
  extras.savePackagesTo = savePackagesTo;
  if (!recipe.mirror.empty() && recipe.mirror[0] == '/') {
    std::error_code ec;
    if (IsPackageFolder(recipe.mirror)) {
      extras.packageIndex = In(work, "package-index");
      if (const std::string why = IndexPackageFolder(recipe, extras.packageIndex); !why.empty()) return Fail(why, work);
    } else if (!fs::is_directory(recipe.mirror, ec)) {
      return Fail("the package source " + recipe.mirror + " is not a folder", work);
    } else if (!fs::is_directory(fs::path(recipe.mirror) / "dists", ec)) {
      return Fail("the folder " + recipe.mirror +
                      " holds neither a Debian mirror (a dists folder) nor .deb packages to build from",
                  work);
    }
  }
  if (!savePackagesTo.empty() && !MakePath(savePackagesTo))
    return Fail("the folder " + savePackagesTo + " for the packages cannot be created", work);

  const std::vector<std::string> argv = MmdebstrapCommand(recipe, hook, work, extras);
  Say("Building the rescue system: " + RenderCommandLine(argv));
  RescueProgress parser;
  parser_ = &parser;
  tail_.clear();
  pending_.clear();
  progress_.SetMaximum(100);
  progress_.SetValue(0);
  progress_.SetBarVisible(true);
  progress_.SetCaption(captionPrefix + "starting mmdebstrap");

  // The last build's time, read before this one can replace it.
  const std::optional<double> lastSeconds = LastRescueBuildSeconds(programFolder_);
  const double began = Seconds();
  if (Building) Building(lastSeconds);
  // Told once, however the build ends.
  struct Ended {
    const std::function<void()>& told;
    ~Ended() {
      if (told) told();
    }
  } endedNotice{BuildEnded};
  std::unique_ptr<ChildProcess> child = launcher_.NewChild();
  bool ended = false;
  child->DataReceived = [this](const std::string& chunk) { Output(chunk); };
  child->ProcessEnded = [&ended] { ended = true; };
  if (!child->Start(argv, programFolder_)) {
    parser_ = nullptr;
    return Fail("mmdebstrap could not be started (" + child->Error() +
                    "); install Debian's mmdebstrap and squashfs-tools packages",
                work);
  }
  bool cancelled = false;
  while (!ended) {
    child->Poll(std::chrono::milliseconds(50));
    progress_.PumpEvents();
    if (!cancelled && ((Cancelled && Cancelled()) || progress_.StopRequested())) {
      cancelled = true;
      Say("Cancelled: ending mmdebstrap");
      child->Kill();
    }
  }
  if (!pending_.empty()) Output("\n");
  parser_ = nullptr;
  const int exitCode = child->ExitCode();

  if (cancelled) {
    DeleteTree(work);
    outcome.kind = RescueBuildOutcome::Kind::Cancelled;
    outcome.reason = "cancelled";
    return outcome;
  }
  if (exitCode != 0) return Fail("mmdebstrap ended with exit code " + std::to_string(exitCode), work);
  for (const char* name : kSystemFiles)
    if (FileSize(In(work, name)) <= 0) return Fail("the build left no " + std::string(name), work);
  if (!extras.packageIndex.empty()) DeleteTree(extras.packageIndex);
  if (!savePackagesTo.empty()) Say("The packages it was built from are in " + savePackagesTo);

  // How long it took, for the estimate of the next build; then the stamp
  // last: a folder with one is whole.
  WriteFileAtomic(In(work, kRescueBuildTime), std::to_string(std::llround(Seconds() - began)) + "\n");
  if (!WriteFileAtomic(In(work, kRescueStamp), RecipeStamp(recipe)))
    return Fail("the stamp " + In(work, kRescueStamp) + " cannot be written", work);
  const std::string versionsBefore = ReadText(In(kept, kRescueVersions));
  const std::string old = kept + ".old";
  DeleteTree(old);
  std::error_code ec;
  if (fs::exists(kept)) fs::rename(kept, old, ec);
  if (!ec) fs::rename(work, kept, ec);
  if (ec) {
    const std::string why = ec.message();
    // Put the previous system back where it was.
    if (!fs::exists(kept) && fs::exists(old)) fs::rename(old, kept, ec);
    return Fail("the new rescue system cannot take the place of " + kept + " (" + why + ")", work);
  }
  DeleteTree(old);
  outcome.kind = RescueBuildOutcome::Kind::Built;
  outcome.bytes = SystemBytes(kept);
  if (!versionsBefore.empty()) {
    outcome.changes = PackageVersionChanges(versionsBefore, ReadText(In(kept, kRescueVersions)));
    Say(outcome.changes.empty()
            ? std::string("No package changed since the previous build")
            : std::to_string(outcome.changes.size()) + " packages changed since the previous build:");
    for (const std::string& change : outcome.changes) Say("  " + change);
  }
  progress_.SetValue(100);
  Say("The rescue system was built in " + kept + " (" + std::to_string(outcome.bytes) + " bytes)");
  return outcome;
}

}  // namespace kiv
