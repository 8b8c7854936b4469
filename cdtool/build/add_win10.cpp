#include "cdtool/build/add_win10.h"

#include <cstdio>
#include <filesystem>

#include "cdtool/build/build_run.h"
#include "cdtool/settings/cd_folder_check.h"
#include "cdtool/win10/win10_medium.h"
#include "common/environment.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/product_key.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

// The answer file beside the programs while wimupdate takes it in: it holds
// the product key, so it never stays (and never goes onto the CD itself).
constexpr const char* kAnswerFileName = "kivcd-autounattend.xml";

// The last line a tool wrote, for the failure's reason.
std::string LastLine(const std::string& output) {
  std::string text = output;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  const size_t cut = text.find_last_of("\r\n");
  return Trim(cut == std::string::npos ? text : text.substr(cut + 1));
}

// Runs a tool of the step as the build runs its programs (logged, Cancel
// ends it); false when the build was cancelled meanwhile. A tool that fails
// ends the step with `what` and its last words.
bool RunTool(BuildRun& run, const std::vector<std::string>& argv, const std::string& what) {
  run.ASyncShell(argv);
  if (run.CancelCopy) return false;
  run.WaitForASyncApp();
  if (run.CancelCopy) return false;
  if (run.ASyncExitCode() != 0) {
    const std::string said = LastLine(run.ASyncOutput());
    throw StepFailure(what + " (" + argv[0] + " ended with exit status " + std::to_string(run.ASyncExitCode()) +
                      (said.empty() ? "" : ": " + said) + ")");
  }
  return true;
}

void MakeWritable(const std::string& file) {
  std::error_code ec;
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
}

// The CD's files below \win10 with the files on the disk behind them: the
// work tree's (an extracted ISO, the prepared images) and the mapped ones.
std::map<std::string, std::string> Win10Files(BuildRun& run, const std::string& tree) {
  std::map<std::string, std::string> files;  // path within the medium -> disk file
  const std::string prefix = std::string("/") + kWin10CdFolder + "/";
  for (const Graft& g : run.grafts.Effective())
    if (ToLower(g.cdPath).compare(0, prefix.size(), prefix) == 0) files[g.cdPath.substr(prefix.size())] = g.diskPath;
  const fs::path root = fs::path(tree) / kWin10CdFolder;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) files[it->path().lexically_relative(root).generic_string()] = it->path().string();
  return files;
}

// Where Windows' boot programs and Setup look for a file of the medium on
// the CD's root; "" for a file they do not look for there.
std::string RootName(const std::string& path) {
  const std::string lower = ToLower(path);
  // etfsboot.com finds the boot manager by its ISO 9660 name.
  if (lower == kWin10BootManager) return "/BOOTMGR";
  if (lower == "bootmgr.efi") return "/" + path;
  // Not efi/boot: a firmware that read the CD's file system would find the
  // medium's bootx64.efi there instead of the CD's own UEFI boot image.
  for (const char* folder : {"boot/", "efi/microsoft/", "sources/"})
    if (lower.rfind(folder, 0) == 0) return "/" + path;
  return "";
}

// What the answers choose, for the log; the key only in its form.
std::string AnswersLine(const Win10Info& a) {
  std::string line;
  auto add = [&line](const std::string& what, const std::string& value) {
    if (!Trim(value).empty()) line += (line.empty() ? "" : ", ") + what + " " + Trim(value);
  };
  auto flag = [&line](const char* what, int value) {
    if (value) line += (line.empty() ? "" : ", ") + std::string(what);
  };
  add("edition", a.Edition);
  if (HasProductKey(a.ProductKey)) add("product key", MaskedProductKey(a.ProductKey));
  add("computer name", a.ComputerName);
  add("owner", a.OwnerName);
  add("organization", a.Organization);
  add("local account", a.LocalAccount);
  flag("no hardware checks", a.SkipHardwareChecks);
  flag("no online account", a.NoOnlineAccount);
  flag("no privacy questions", a.SkipPrivacy);
  flag("no automatic encryption", a.NoAutoEncryption);
  add("time zone", a.TimeZone);
  add("locale", a.Locale);
  return line;
}

}  // namespace

int64_t Win10PartMiB(const Environment& environment) {
  const std::string text = environment.Get(kWin10PartVariable);
  const long long value = std::atoll(text.c_str());
  return value > 0 && value < kWin10PartMiB ? value : kWin10PartMiB;
}

std::string WindowsStepTitle(bool windows2000, bool windows10) {
  if (windows2000 && windows10) return "Inserting Windows 2000/XP/2003 and 10/11 Setup Files";
  if (windows10) return "Inserting Windows 10/11 Setup Files";
  return "Inserting Windows 2000/XP/2003 Setup Files";
}

void AddWin10(BuildRun& run, const Win10Options& options) {
  const std::string answerFile = run.InProgram(kAnswerFileName);
  try {
    run.SetSubStep("Reading the Windows 10/11 medium");
    const Win10Medium medium = ReadWin10Medium(run.Launcher(), options.Source);
    if (!medium.Usable()) throw StepFailure("\"" + medium.source + "\": " + Win10MediumProblem(medium));
    const std::string tree = run.InProgram("kivcd");
    const std::string folder = JoinPath(tree, kWin10CdFolder);
    std::string error;

    if (medium.isIso) {
      run.SetSubStep("Extracting the Windows 10/11 ISO image");
      if (!MakePath(folder)) throw StepFailure("the folder " + folder + " cannot be created");
      if (!RunTool(run, {"7z", "x", "-y", "-bsp0", "-bso0", "-o" + folder, medium.source},
                   "7z could not extract \"" + medium.source + "\" into \"" + folder + "\""))
        return;
    } else {
      run.SetSubStep("Copying Windows 10/11 Files");
      run.MapTree(medium.source, kWin10CdFolder);
    }

    // Setup's image gets the answers in a copy of its own; the medium's
    // stays as it is (and without answers the medium's is taken as it is).
    // The edition is named as the medium spells it.
    Win10Info answers = options.Answers;
    for (const WimImage& e : medium.editions)
      if (EqualsNoCase(Trim(e.name), Trim(answers.Edition))) answers.Edition = e.name;
    if (HasWin10Answers(answers)) {
      run.SetSubStep("Writing the Windows 10/11 answer file into boot.wim");
      run.Log().Line("  Windows 10/11 answers: " + AnswersLine(answers));
      const std::string bootWim = JoinPath(folder, medium.Spelled(kWin10BootImage));
      if (!medium.isIso && !CopyOneFile(JoinPath(medium.source, medium.Spelled(kWin10BootImage)), bootWim, &error))
        throw StepFailure(bootWim + ": " + error);
      MakeWritable(bootWim);
      if (!WriteFileAtomic(answerFile, AutounattendXml(answers, medium.Architecture())))
        throw StepFailure("cannot write " + answerFile);
      // Image 2 is Setup: a Setup started from the running Windows (an
      // upgrade) runs from the medium's sources and never sees the file.
      const bool added = RunTool(
          run, {"wimupdate", bootWim, "2", std::string("--command=add ") + kAnswerFileName + " /Autounattend.xml"},
          "the answer file could not be put into image 2 of " + bootWim);
      std::remove(answerFile.c_str());
      if (!added) return;
    } else {
      run.Log().Line("  Windows 10/11 answers: none; Setup asks everything");
    }

    // An install image larger than a part is split, so that no file of the
    // CD (or of a FAT32 stick it is copied onto) is 4 GiB or more.
    const std::string installWork = JoinPath(folder, medium.installImage);
    const std::string install = medium.isIso ? installWork : JoinPath(medium.source, medium.installImage);
    const int64_t part = Win10PartMiB(run.environment);
    // An install.esd goes whole while a CD file can hold it (Setup reads it
    // as it is); only a larger one is split.
    const std::string kind = ToLower(medium.installImage);
    const int64_t largest = kind == "sources/install.esd" ? static_cast<int64_t>(kMaxCdFileSize) : part * 1024 * 1024;
    if (kind != "sources/install.swm" && FileSize(install) > largest) {
      run.SetSubStep("Splitting the Windows 10/11 install image into parts of " + std::to_string(part) + " MB");
      const std::string parts = JoinPath(FolderOf(installWork), "install.swm");
      if (!MakePath(FolderOf(installWork)))
        throw StepFailure("the folder " + FolderOf(installWork) + " cannot be created");
      if (!RunTool(run, {"wimlib-imagex", "split", install, parts, std::to_string(part)},
                   "the install image " + install + " could not be split"))
        return;
      // The whole image goes (the work tree holds it when extracted or copied).
      std::remove(installWork.c_str());
      run.grafts.Drop(std::string(kWin10CdFolder) + "/" + medium.installImage);
    }

    run.SetSubStep("Naming the Windows boot files at the CD's root");
    for (const auto& [path, disk] : Win10Files(run, tree)) {
      if (FileSize(disk) > static_cast<int64_t>(kMaxCdFileSize))
        throw StepFailure("\"" + disk + "\" is " + std::to_string(FileSize(disk)) +
                          " bytes long; a file on a CD can hold at most 4 GiB (" + std::to_string(kMaxCdFileSize) +
                          " bytes)");
      if (const std::string root = RootName(path); !root.empty() && !run.grafts.MapFile(disk, root, &error))
        throw StepFailure("\"" + disk + "\" cannot also be " + root + " on the CD: " + error);
    }
  } catch (const std::exception& e) {
    std::remove(answerFile.c_str());
    run.FatalStepError("A fatal Error occured while integrating the Windows 10/11 installation, operation halted",
                       e.what());
  }
}

}  // namespace kiv
