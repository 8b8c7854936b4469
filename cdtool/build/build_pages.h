#pragma once
// The two pages and the flags a build run drives: the progress page (10) and
// the finish page (9) of the wizard, and the form-level run flags. One
// instance serves both the run and the window around it (the wizard form
// holds it and names its controls into it), so nothing is copied back and
// forth; a run without a window has one of its own.
#include <array>
#include <string>

#include "cdtool/wizard/form_controls.h"

namespace kiv {

inline constexpr const char* kCheckMark = "\u2714";  // step done
inline constexpr const char* kCrossMark = "\u2718";  // step skipped

// Wizard page 10: five step lines (bold while running, a mark at the right
// when done or skipped), the sub-step caption and its bar.
struct ProgressPage {
  Label LblWait{"  Please Wait ... Creating the ISO file"};
  std::array<Label, 5> LblMsg{Label{"Creating kiv Boot Disks"}, Label{"Inserting Windows 2000/XP/2003 Setup Files"},
                              Label{"Inserting Windows 9x Setup Files"}, Label{"Adding kiv Utilities/Advanced Tools"},
                              Label{"Creating Final ISO File"}};
  std::array<Label, 5> LblRight;  // "", kCheckMark or kCrossMark
  Label LblSub_Step;              // Red: the mastering tool ran out of disk space
  ProgressBar BarSub_Step{0, 100, 0, false};
  // The whole build, in thousandths, and "Overall: 45%, about 3 min left".
  ProgressBar BarOverall{0, 1000, 0, false};
  Label LblOverall;
};

// Wizard page 9: the result (its link labels belong to the form).
struct FinishPage {
  Label LblFinish{"  Operation completed successfully"};
  Label LblAbort{"Couldn't access destination ISO File", true, false};
};

// The form-level flags of a run.
struct RunFlags {
  bool Finished = false;         // the run has returned, or the session was cancelled
  bool CancelCopy = false;       // set by CancelApp; the run stops at its next check
  bool MKISOFSRunning = false;   // the ISO run is going on
  bool ASyncAppRunning = false;  // a program started by ASyncShell is running
};

struct BuildPages {
  ProgressPage page10;
  FinishPage page9;
  RunFlags flags;
};

}  // namespace kiv
