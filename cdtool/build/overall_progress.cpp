#include "cdtool/build/overall_progress.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "cdtool/settings/session_settings.h"
#include "common/file_ops.h"
#include "common/folder_bytes.h"
#include "common/paths.h"

namespace kiv {

namespace {

constexpr int64_t kFloppyBytes = 1'474'560;
constexpr int64_t kRescueSystemBytes = 250'000'000;  // about what a new one takes on the CD

int64_t Bytes(const std::string& folder) { return folder.empty() ? 0 : FolderBytes(ResolvePath(folder)); }

}  // namespace

StepWeights PlanBuildWork(const SessionSettings& s, const std::string& programFolder, int64_t rescueBytes,
                          SourceFolders sources) {
  StepWeights w{};
  w[0] = Bytes(JoinPath(programFolder, NativePath("files\\kivcd")));
  // The boot disks bootsmith makes: four, or five with the Windows 98 one.
  w[1] = kBootDiskWeight * (On(s.Main.Windows9x) ? 5 : 4);
  // What a source folder's step weighs: its bytes when copied, a listing of
  // them when mapped.
  auto moved = [&](int64_t bytes, bool copied) {
    return copied || sources == SourceFolders::Copied ? bytes : bytes / kMappedShare;
  };
  int64_t win2kBytes = 0, win9xBytes = 0, userBytes = 0;
  if (On(s.Main.Windows2K)) {
    win2kBytes = Bytes(s.Win2K_Info.SourceDir);
    w[2] = moved(win2kBytes, !s.Win2K_Info.SP_exe.empty());
  }
  // A Windows 10/11 ISO image is extracted (its bytes are copied); a folder
  // is mapped but for the copy of boot.wim.
  if (On(s.Main.Windows10)) {
    const std::string source = ResolvePath(s.Win10_Info.SourceDir);
    const bool iso = std::filesystem::is_regular_file(source);
    const int64_t bytes = iso ? std::max<int64_t>(0, FileSize(source)) : Bytes(s.Win10_Info.SourceDir);
    win2kBytes += bytes;
    w[2] += moved(bytes, iso);
  }
  if (On(s.Main.Windows9x)) {
    win9xBytes = Bytes(s.Win9x_Info.SourceDir);
    w[3] = moved(win9xBytes, false);
  }
  if (On(s.Main.AdvancedTools)) {
    for (const auto& [add, dir] : {std::pair{s.AdvTools.Add_ERDCmdr, s.AdvTools.ERDCmdr_Dir},
                                   std::pair{s.AdvTools.Add_BlueCon, s.AdvTools.BlueCon_Dir}}) {
      if (!On(add)) continue;
      const int64_t bytes = Bytes(dir);
      userBytes += bytes;
      w[4] += bytes;
    }
  }
  for (const auto& [add, dir] : {std::pair{s.Locations.kivUtils, s.Locations.kivUtils_Dir},
                                 std::pair{s.Locations.AddFiles, s.Locations.AddFiles_Dir}}) {
    if (!On(add)) continue;
    const int64_t bytes = Bytes(dir);
    userBytes += bytes;
    w[4] += moved(bytes, false);
  }
  int64_t rescueOnCd = 0;
  if (On(s.Main.LinuxRescue)) {
    // A kept system is only linked into the tree; a new one is built first.
    if (rescueBytes < 0) w[4] += kRescueBuildWeight;
    rescueOnCd = rescueBytes < 0 ? kRescueSystemBytes : rescueBytes;
  }
  // The ISO holds it all, the boot disks' images too.
  w[5] = w[0] + win2kBytes + win9xBytes + userBytes + rescueOnCd + 5 * kFloppyBytes;
  return w;
}

OverallProgress::OverallProgress(const StepWeights& weights) : weights_(weights) {
  for (int64_t& weight : weights_) weight = std::max<int64_t>(weight, 0);
  for (int64_t weight : weights_) total_ += weight;
}

void OverallProgress::EnterStep(int step) {
  step_ = std::clamp(step, 0, static_cast<int>(weights_.size()) - 1);
  stepFraction_ = 0;
  Update();
}

void OverallProgress::SetStepFraction(double fraction) {
  stepFraction_ = std::clamp(fraction, 0.0, 1.0);
  Update();
}

void OverallProgress::Update() {
  if (total_ <= 0 || step_ < 0) return;
  int64_t done = 0;
  for (int i = 0; i < step_; ++i) done += weights_[i];
  const double now =
      (static_cast<double>(done) + stepFraction_ * static_cast<double>(weights_[step_])) / static_cast<double>(total_);
  shown_ = std::max(shown_, std::min(now, 1.0));
}

void OverallProgress::StartTimedPart(int64_t weight, std::optional<double> expectedSeconds, double elapsedSeconds) {
  timedWeight_ = std::max<int64_t>(weight, 0);
  timedExpected_ = expectedSeconds;
  timedStart_ = elapsedSeconds;
  timedEnd_ = -1;
  doneBeforeTimed_ = DoneWeight();
}

void OverallProgress::EndTimedPart(double elapsedSeconds) {
  if (timedStart_ >= 0 && timedEnd_ < 0) timedEnd_ = elapsedSeconds;
}

namespace {

// The time left of work that goes by its weight: `done` of `total` took
// `elapsed`; nothing until enough is done to tell.
std::optional<double> ByPace(double done, double total, double elapsed) {
  if (total <= 0 || done <= 0) return std::nullopt;
  const double fraction = done / total;
  if (fraction < 0.03 || fraction >= 1.0 || elapsed < 5) return std::nullopt;
  return elapsed * (1.0 - fraction) / fraction;
}

}  // namespace

std::optional<double> OverallProgress::SecondsLeft(double elapsedSeconds) const {
  const double total = static_cast<double>(total_);
  if (timedStart_ < 0) return ByPace(DoneWeight(), total, elapsedSeconds);
  const double untimedTotal = total - static_cast<double>(timedWeight_);
  if (timedEnd_ < 0) {
    // The part runs: its own time, and the rest at the pace before it.
    if (!timedExpected_ || elapsedSeconds - timedStart_ > *timedExpected_) return std::nullopt;
    const double partLeft = *timedExpected_ - (elapsedSeconds - timedStart_);
    const double restWeight = untimedTotal - doneBeforeTimed_;
    if (restWeight <= 0) return partLeft;
    if (doneBeforeTimed_ <= 0 || timedStart_ <= 0) return std::nullopt;
    return partLeft + timedStart_ * restWeight / doneBeforeTimed_;
  }
  // Done: the rest at the pace of the work without it.
  const double partSeconds = timedEnd_ - timedStart_;
  return ByPace(DoneWeight() - static_cast<double>(timedWeight_), untimedTotal, elapsedSeconds - partSeconds);
}

std::string SecondsLeftText(std::optional<double> secondsLeft) {
  if (!secondsLeft || *secondsLeft <= 0) return "";
  const double left = *secondsLeft;
  if (left < 60) {
    const int seconds = std::max(5, static_cast<int>(std::ceil(left / 5.0)) * 5);
    return "about " + std::to_string(seconds) + " s left";
  }
  return "about " + std::to_string(static_cast<int>(std::ceil(left / 60.0))) + " min left";
}

std::string TimeLeftText(double fraction, double elapsedSeconds) {
  return SecondsLeftText(ByPace(fraction, 1.0, elapsedSeconds));
}

std::string OverallCaption(double fraction, std::optional<double> secondsLeft) {
  const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100.0));
  const std::string left = SecondsLeftText(secondsLeft);
  return "Overall: " + std::to_string(percent) + "%" + (left.empty() ? "" : ", " + left);
}

std::string OverallCaption(double fraction, double elapsedSeconds) {
  return OverallCaption(fraction, ByPace(fraction, 1.0, elapsedSeconds));
}

}  // namespace kiv
