#include "cdtool/wizard/form_build.h"

#include <cstdio>

#include "cdtool/wizard/frm_cd_build.h"

namespace kiv {

std::string OutcomeText(const BuildOutcome& outcome) {
  switch (outcome.kind) {
    case BuildOutcome::Kind::Made: {
      const double mb = static_cast<double>(outcome.isoSize) / (1024.0 * 1024.0);
      char size[32];
      std::snprintf(size, sizeof size, "%.1f MB", mb);
      return "The ISO image is " + outcome.isoPath + " (" + size + ")";
    }
    case BuildOutcome::Kind::Failed:
      return "Step " + std::to_string(outcome.step) + " (" + BuildStepName(outcome.step) + ") failed" +
             (outcome.reason.empty() ? "" : ": " + outcome.reason);
    default:
      return "";
  }
}

void MirrorBuildToForm(const BuildRun& run, FrmCDBuild& form) {
  const BuildOutcome& outcome = run.Outcome();
  form.LblOutcome.Visible = outcome.kind == BuildOutcome::Kind::Made || outcome.kind == BuildOutcome::Kind::Failed;
  form.LblOutcome.Caption = OutcomeText(outcome);
  form.LblBuildLog.Visible = form.LblOutcome.Visible && !run.LogPath().empty();
  form.LblBuildLog.Caption = run.LogPath().empty() ? "" : "The build log is " + run.LogPath();
  form.CmdOpenFolder.Visible = form.IsoMade();
  form.CmdOpenLog.Visible = form.LblBuildLog.Visible;
}

void FormFrame::SetBackEnabled(bool enabled) { form_.CmdBack.Enabled = enabled; }
void FormFrame::SetNextVisible(bool visible) { form_.CmdNext.Visible = visible; }
void FormFrame::SetFinishVisible(bool visible) { form_.CmdFinish.Visible = visible; }
void FormFrame::SetFinishEnabled(bool enabled) { form_.CmdFinish.Enabled = enabled; }
void FormFrame::SetCancelEnabled(bool enabled) { form_.CmdCancel.Enabled = enabled; }
void FormFrame::ShowPage(int index) { form_.ShowPage(index); }
void FormFrame::ShowHelp(int intStep, bool ForceShow) { form_.ShowHelp(intStep, ForceShow); }
void FormFrame::WriteKivCDINI() { form_.WriteKivCDINI(); }
void FormFrame::EndProgram() { form_.QuitRequested = true; }

FormBuild::FormBuild(FrmCDBuild& f) : form(f), frame(f), run(f.ProgramFolder(), f.prompter(), frame, &f.Pages) {
  run.SetView(&form.Progress());
  run.SetLauncher(form.Launcher());
  run.WindowFrame = [&f]() -> std::optional<ScreenRect> { return f.WindowFrame ? f.WindowFrame() : std::nullopt; };
  run.Changed = [this] { MirrorBuildToForm(run, form); };
}

void RunFormBuild(FrmCDBuild& form) {
  if (!form.ActiveBuild) form.ActiveBuild = std::make_shared<FormBuild>(form);
  std::shared_ptr<FormBuild> build = form.ActiveBuild;  // kept alive while the run unwinds
  if (!build->run.Finished) {
    build->run.settings = form.Settings();
    build->run.password = form.Password();
    build->run.environment = form.environment;
  }
  form.BuildRunning = true;
  build->run.CmdFinish_Click();
  form.BuildRunning = false;
  MirrorBuildToForm(build->run, form);
  form.LblEnding.Visible = false;
  // A failed run can be mended: Back leads to the page where (ReturnToFix).
  if (build->run.Outcome().kind == BuildOutcome::Kind::Failed) form.CmdBack.Enabled = true;
  // The close box was granted while the run was stopping: the session ends
  // now, as Finish would end it.
  if (form.CloseAfterRun && !form.QuitRequested) {
    form.WriteKivCDINI();
    form.QuitRequested = true;
  }
}

}  // namespace kiv
