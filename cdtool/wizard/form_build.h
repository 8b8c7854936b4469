#pragma once
// The build run plugged into the wizard window model: FrmCDBuild's Finish
// starts a BuildRun over the form's current values, the run's status is shown
// on the form's pages 9 and 10 after every change, its events move the
// form's pages and buttons, and the form's Cancel reaches the running build.
#include <memory>

#include "cdtool/build/build_run.h"

namespace kiv {

class FrmCDBuild;

// The finish page's line on what the run came to ("" while there is none).
std::string OutcomeText(const BuildOutcome& outcome);

// Shows the run's status on the progress and finish pages, and what the run
// came to on the finish page.
void MirrorBuildToForm(const BuildRun& run, FrmCDBuild& form);

// The form's side of a build run's events: pages shown, buttons enabled.
class FormEvents : public BuildEvents {
 public:
  FormEvents(FrmCDBuild& form, const BuildRun& run) : form_(form), run_(run) {}
  void RunStarted() override;
  void FinishAllowed(bool allowed) override;
  void CancelAllowed(bool allowed) override;
  void Progressed(const BuildStatus& status) override;
  void RunCancelled() override;
  void RunEnded() override;
  void PumpEvents() override;

 private:
  FrmCDBuild& form_;
  const BuildRun& run_;
};

// One build on the form: the run and the events that show it there.
struct FormBuild {
  explicit FormBuild(FrmCDBuild& form);
  FrmCDBuild& form;
  FormEvents events;
  BuildRun run;
};

// Runs the build for the form's first Finish press (the form's
// CmdFinish_Click calls this; it returns when the run has returned). The
// finished run stays attached to the form until the program ends.
void RunFormBuild(FrmCDBuild& form);

}  // namespace kiv
