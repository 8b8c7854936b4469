#pragma once
// How far the whole build is, across its steps, and about how long it still
// takes. Each step weighs what it moves (the bytes it copies or masters; a
// boot disk and a rescue-system build count as the bytes a copy moves in the
// same time), the running step counts by its own bar, and the time left is
// the time so far scaled by what is left. Plain values in, plain values out:
// the run feeds it, the window and the console show it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kiv {

struct SessionSettings;

// Steps 0 (the work folder) to 5 (the ISO).
using StepWeights = std::array<int64_t, 6>;

// What a boot disk and a first rescue-system build weigh, as bytes a copy
// moves in the time they take on an ordinary PC.
inline constexpr int64_t kBootDiskWeight = 150'000'000;
inline constexpr int64_t kRescueBuildWeight = 30'000'000'000;

// How the source folders reach the ISO: copied into the work tree first, or
// mapped where they lie, when their step only lists them (a twentieth of
// what copying the same bytes takes) and the ISO step reads them once.
enum class SourceFolders { Copied, Mapped };
inline constexpr int64_t kMappedShare = 20;

// The weights of a build of `settings` in `programFolder`: the template, the
// boot disks, the source folders, the rescue system (`rescueBytes` when one
// is kept and reused, -1 when it is built first) and the ISO of all of them.
// A Windows 2000/XP folder with a service pack to slipstream is copied either
// way, as are the recovery tools, whose loaders the build changes.
StepWeights PlanBuildWork(const SessionSettings& settings, const std::string& programFolder, int64_t rescueBytes,
                          SourceFolders sources);

class OverallProgress {
 public:
  OverallProgress() = default;
  explicit OverallProgress(const StepWeights& weights);
  // `step` begins: the steps before it are done (skipped ones weigh nothing).
  void EnterStep(int step);
  // The running step's own bar, 0 to 1.
  void SetStepFraction(double fraction);
  // The whole build, 0 to 1; it never goes back.
  double Fraction() const { return shown_; }

  // A part of the running step whose time is told apart from its weight:
  // the rescue system's build, which moves its bar by phases, not by what it
  // moves, and takes minutes. While it runs (from StartTimedPart to
  // EndTimedPart, `elapsedSeconds` into the build), the time left is what
  // `expectedSeconds` (the time its last build took) leaves of it, plus the
  // rest of the build at the pace of the work before it; without that
  // number, or once the part has run longer, it is not known. After it, the
  // rest goes at the pace of the build without it. `weight` is its share of
  // the step's weight.
  void StartTimedPart(int64_t weight, std::optional<double> expectedSeconds, double elapsedSeconds);
  void EndTimedPart(double elapsedSeconds);
  // About how many seconds the build still takes, `elapsedSeconds` into it;
  // nothing until enough is done to tell (under 3 % or under 5 s of the work
  // that goes by its weight) or while a timed part's time is not known.
  std::optional<double> SecondsLeft(double elapsedSeconds) const;

 private:
  void Update();
  double DoneWeight() const { return shown_ * static_cast<double>(total_); }
  StepWeights weights_{};
  int64_t total_ = 0;
  int step_ = -1;
  double stepFraction_ = 0;
  double shown_ = 0;
  // The timed part: its weight, what it should take, when it began and ended
  // (seconds into the build; -1: not yet) and the weight done before it.
  int64_t timedWeight_ = 0;
  std::optional<double> timedExpected_;
  double timedStart_ = -1, timedEnd_ = -1, doneBeforeTimed_ = 0;
};

// "about 40 s left", "about 3 min left"; "" until enough is done to tell
// (under 3 % or under 5 s).
std::string TimeLeftText(double fraction, double elapsedSeconds);
// The same for a number of seconds left; "" for nothing (not known).
std::string SecondsLeftText(std::optional<double> secondsLeft);

// The line under the step list: "Overall: 45%, about 3 min left".
std::string OverallCaption(double fraction, double elapsedSeconds);
std::string OverallCaption(double fraction, std::optional<double> secondsLeft);

}  // namespace kiv
