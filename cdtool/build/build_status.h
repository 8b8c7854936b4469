#pragma once
// What a build run shows of itself, as plain values: the five step lines, the
// sub-step with its bar, the whole build's bar, and how the run ended. The
// run writes each value once; a window's pages, the console and the tests
// read them (see BuildEvents::Progressed).
#include <array>
#include <cstdint>
#include <string>

namespace kiv {

// How a step line ends: done, or skipped because the settings leave the
// step out. A step that failed or was cancelled keeps no mark.
enum class StepMark { None, Done, Skipped };

// The marks as the progress page writes them.
inline constexpr const char* kCheckMark = "\u2714";  // done
inline constexpr const char* kCrossMark = "\u2718";  // skipped

inline const char* MarkText(StepMark mark) {
  switch (mark) {
    case StepMark::Done:
      return kCheckMark;
    case StepMark::Skipped:
      return kCrossMark;
    case StepMark::None:
      break;
  }
  return "";
}

struct StepLine {
  std::string title;
  bool running = false;  // the step being worked on
  StepMark mark = StepMark::None;
};

// A bar's range and position; `shown` is false while it has nothing to say.
struct Meter {
  int64_t min = 0;
  int64_t max = 100;
  int64_t value = 0;
  bool shown = false;
};

struct BuildStatus {
  std::array<StepLine, 5> steps{StepLine{"Creating kiv Boot Disks"},
                                StepLine{"Inserting Windows 2000/XP/2003 Setup Files"},
                                StepLine{"Inserting Windows 9x Setup Files"},
                                StepLine{"Adding kiv Utilities/Advanced Tools"}, StepLine{"Creating Final ISO File"}};
  // The sub-step being worked on, or the file being copied.
  std::string subStep;
  bool subStepStressed = false;  // the clean-up after the run (shown bold)
  bool outOfSpace = false;       // the mastering tool ran out of disk space (shown red)
  Meter subBar;
  // The whole build, in thousandths, and "Overall: 45%, about 3 min left".
  Meter overall{0, 1000, 0, false};
  std::string overallText;
  // How the run ended: the finish page's heading and, where the ISO could
  // not be made, why (shown only then).
  std::string heading = "  Operation completed successfully";
  std::string failure = "Couldn't access destination ISO File";
  bool failureShown = false;
};

}  // namespace kiv
