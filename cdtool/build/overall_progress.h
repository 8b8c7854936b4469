#pragma once
// How far the whole build is, across its steps, and about how long it still
// takes. Each step weighs what it moves (the bytes it copies or masters; a
// boot disk and a rescue-system build count as the bytes a copy moves in the
// same time), the running step counts by its own bar, and the time left is
// the time so far scaled by what is left. Plain values in, plain values out:
// the run feeds it, the window and the console show it.
#include <array>
#include <cstdint>
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

 private:
  void Update();
  StepWeights weights_{};
  int64_t total_ = 0;
  int step_ = -1;
  double stepFraction_ = 0;
  double shown_ = 0;
};

// "about 40 s left", "about 3 min left"; "" until enough is done to tell
// (under 3 % or under 5 s).
std::string TimeLeftText(double fraction, double elapsedSeconds);

// The line under the step list: "Overall: 45%, about 3 min left".
std::string OverallCaption(double fraction, double elapsedSeconds);

}  // namespace kiv
