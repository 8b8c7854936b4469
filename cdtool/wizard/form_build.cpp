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
      return "Step " + std::to_string(outcome.step) + " (" + outcome.StepName() + ") failed" +
             (outcome.reason.empty() ? "" : ": " + outcome.reason);
    default:
      return "";
  }
}

namespace {

void ShowMeter(const Meter& meter, ProgressBar& bar) {
  bar.Min = meter.min;
  bar.Max = meter.max;
  bar.Value = meter.value;
  bar.Visible = meter.shown;
}

}  // namespace

void MirrorBuildToForm(const BuildRun& run, FrmCDBuild& form) {
  const BuildStatus& status = run.Status();
  for (size_t i = 0; i < status.steps.size(); ++i) {
    form.LblMsg[i].Caption = status.steps[i].title;
    form.LblMsg[i].Bold = status.steps[i].running;
    form.LblRight[i].Caption = MarkText(status.steps[i].mark);
  }
  form.LblSub_Step.Caption = status.subStep;
  form.LblSub_Step.Bold = status.subStepStressed;
  form.LblSub_Step.Red = status.outOfSpace;
  ShowMeter(status.subBar, form.BarSub_Step);
  ShowMeter(status.overall, form.BarOverall);
  form.LblOverall.Caption = status.overallText;
  form.LblFinish.Caption = status.heading;
  form.LblAbort.Caption = status.failure;
  form.LblAbort.Visible = status.failureShown;

  const BuildOutcome& outcome = run.Outcome();
  form.LblOutcome.Visible = outcome.kind == BuildOutcome::Kind::Made || outcome.kind == BuildOutcome::Kind::Failed;
  form.LblOutcome.Caption = OutcomeText(outcome);
  form.LblBuildLog.Visible = form.LblOutcome.Visible && !run.LogPath().empty();
  form.LblBuildLog.Caption = run.LogPath().empty() ? "" : "The build log is " + run.LogPath();
  form.CmdOpenFolder.Visible = form.IsoMade();
  form.CmdOpenLog.Visible = form.LblBuildLog.Visible;
}

void FormEvents::RunStarted() {
  form_.CmdBack.Enabled = false;
  form_.CmdFinish.Enabled = true;
  form_.ShowPage(FrmCDBuild::kProgressPage);
  form_.ShowHelp(FrmCDBuild::kProgressPage, false);
}

void FormEvents::FinishAllowed(bool allowed) { form_.CmdFinish.Enabled = allowed; }
void FormEvents::CancelAllowed(bool allowed) { form_.CmdCancel.Enabled = allowed; }
void FormEvents::Progressed(const BuildStatus&) { MirrorBuildToForm(run_, form_); }
void FormEvents::RunCancelled() { form_.ShowCancelledPage(); }

void FormEvents::RunEnded() {
  form_.Finished = true;
  form_.ShowPage(FrmCDBuild::kFinishPage);
  form_.ShowHelp(FrmCDBuild::kFinishPage, false);
}

void FormEvents::PumpEvents() { form_.PumpEvents(); }

FormBuild::FormBuild(FrmCDBuild& f)
    : form(f), events(f, run), run(f.ProgramFolder(), f.prompter(), events, f.Context()) {
  run.WindowFrame = [&f]() -> std::optional<ScreenRect> { return f.WindowFrame ? f.WindowFrame() : std::nullopt; };
}

void RunFormBuild(FrmCDBuild& form) {
  if (!form.ActiveBuild) form.ActiveBuild = std::make_shared<FormBuild>(form);
  std::shared_ptr<FormBuild> build = form.ActiveBuild;  // kept alive while the run unwinds
  build->run.settings = form.Settings();
  build->run.password = form.Password();
  form.BuildRunning = true;
  build->run.Run();
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
