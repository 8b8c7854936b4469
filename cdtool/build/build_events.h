#pragma once
// What a build run tells whoever shows it: that it started, how far it has
// come, whether Finish and Cancel mean something right now, and that it was
// cancelled or has ended. The wizard turns these into pages and buttons, the
// console into lines; the run itself knows neither.
#include "cdtool/build/build_status.h"

namespace kiv {

class BuildEvents {
 public:
  virtual ~BuildEvents() = default;
  // The run has taken the program folder and starts its steps.
  virtual void RunStarted() {}
  // Whether a Finish would be taken now (not while the steps write the CD).
  virtual void FinishAllowed(bool /*allowed*/) {}
  // Whether a Cancel can stop the work in hand.
  virtual void CancelAllowed(bool /*allowed*/) {}
  // Something the run shows has changed (called after every change).
  virtual void Progressed(const BuildStatus& /*status*/) {}
  // The run was cancelled, or a step failed: it stops at its next check.
  virtual void RunCancelled() {}
  // The run has returned; its outcome is final.
  virtual void RunEnded() {}
  // Called while the run waits or copies, so a window stays live and its
  // Cancel can be pressed.
  virtual void PumpEvents() {}
};

}  // namespace kiv
