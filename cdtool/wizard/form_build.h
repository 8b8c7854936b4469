#pragma once
// The build run plugged into the wizard window model: FrmCDBuild's Finish
// starts a BuildRun over the form's current values, the run's page models and
// flags are mirrored into the form's controls after every change, and the
// form's Cancel and Finish reach the running build.
#include <memory>

#include "cdtool/build/build_run.h"

namespace kiv {

class FrmCDBuild;

// The finish page's line on what the run came to ("" while there is none).
std::string OutcomeText(const BuildOutcome& outcome);

// Shows what the run came to on the finish page (the pages and flags
// themselves are shared with the run, nothing else is copied).
void MirrorBuildToForm(const BuildRun& run, FrmCDBuild& form);

// The form as the frame around a build run.
class FormFrame : public WizardFrame {
 public:
  explicit FormFrame(FrmCDBuild& form) : form_(form) {}
  void SetBackEnabled(bool enabled) override;
  void SetNextVisible(bool visible) override;
  void SetFinishVisible(bool visible) override;
  void SetFinishEnabled(bool enabled) override;
  void SetCancelEnabled(bool enabled) override;
  void ShowPage(int index) override;
  void ShowHelp(int intStep, bool ForceShow) override;
  void WriteKivCDINI() override;
  void EndProgram() override;

 private:
  FrmCDBuild& form_;
};

// One build on the form: the run, its frame, wired to the form's progress
// sink and mirror.
struct FormBuild {
  explicit FormBuild(FrmCDBuild& form);
  FrmCDBuild& form;
  FormFrame frame;
  BuildRun run;
};

// Runs the build for the form's first Finish press (the form's
// CmdFinish_Click calls this; it returns when the run has returned). The
// finished run stays attached to the form until the program ends.
void RunFormBuild(FrmCDBuild& form);

}  // namespace kiv
