#pragma once
// What a floppy build tells whoever shows it: how far it has come, that it
// was cancelled, and - for -sel - that the driver lists wait for a choice. The
// wizard turns these into its pages, batch mode into the "Please Wait" window
// and console lines; the builder knows neither.
#include "disktool/drivers/driver_set.h"
#include "disktool/engine/floppy_status.h"

namespace kiv {

class FloppyEvents {
 public:
  virtual ~FloppyEvents() = default;
  // Something the build shows has changed (called after every change, and
  // before events are pumped, so a view repaints first).
  virtual void Progressed(const FloppyStatus& /*status*/) {}
  // The build was cancelled (a failed step, Cancel): its work files are gone
  // and it ends; the wizard moves to its finish page.
  virtual void BuildStopped() {}
  // The request asked to choose the drivers (-sel): the lists of the
  // `chosen` classes are shown, and the marks the user keeps are in
  // Drivers.ini when this returns; the build reads them next.
  virtual void ChooseDrivers(const DriverClasses& /*chosen*/) {}
};

}  // namespace kiv
