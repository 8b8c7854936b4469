#pragma once
// The wizard's two pages of a build: the progress page (10) and the finish
// page (9). They show the run's status (ShowBuildStatus in form_build.h).
#include <array>
#include <string>

#include "cdtool/build/build_status.h"
#include "cdtool/wizard/form_controls.h"

namespace kiv {

// The step lines' texts are the run's own.
inline std::array<Label, 5> StepLabels() {
  const BuildStatus status;
  std::array<Label, 5> labels;
  for (size_t i = 0; i < labels.size(); ++i) labels[i] = Label{status.steps[i].title};
  return labels;
}

// Wizard page 10: five step lines (bold while running, a mark at the right
// when done or skipped), the sub-step caption and its bar.
struct ProgressPage {
  Label LblWait{"  Please Wait ... Creating the ISO file"};
  std::array<Label, 5> LblMsg = StepLabels();
  std::array<Label, 5> LblRight;  // "", kCheckMark or kCrossMark
  Label LblSub_Step;              // Red: the mastering tool ran out of disk space
  ProgressBar BarSub_Step{0, 100, 0, false};
  // The whole build, in thousandths, and "Overall: 45%, about 3 min left".
  ProgressBar BarOverall{0, 1000, 0, false};
  Label LblOverall;
};

// Wizard page 9: the result (its link labels belong to the form).
struct FinishPage {
  Label LblFinish{BuildStatus().heading};
  Label LblAbort{BuildStatus().failure, true, false};
};

}  // namespace kiv
