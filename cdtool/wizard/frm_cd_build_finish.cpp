// The ends of a session: Finish (start the build run, or leave the program
// after it), Cancel and the close box. The build run itself (FinishApp and the
// assembly steps) plugs in at CmdFinish_Click.
#include <filesystem>

#include "cdtool/build/iso_step.h"
#include "cdtool/settings/page_checks.h"
#include "cdtool/wizard/form_build.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "common/desktop_open.h"
#include "common/paths.h"
#include "common/prompter.h"

namespace kiv {

void FrmCDBuild::CmdFinish_Click() {
  if (BuildRunning) {
    // After a Cancel the run may still be finishing a step (a disk being made);
    // the program ends when it has stopped, and says so meanwhile.
    if (Finished) {
      CloseAfterRun = true;
      ShowEnding();
    }
    return;
  }
  if (Finished) {
    WriteKivCDINI();
    QuitRequested = true;
    return;
  }
  RunFormBuild(*this);
}

void FrmCDBuild::CmdCancel_Click() {
  // The finish page's "Operation canceled" is for a build that was running;
  // before one, Cancel leaves the wizard, its edits saved or discarded as
  // the user says.
  if (ActiveBuild || Finished) {
    CancelApp();
    return;
  }
  if (LeaveWizard()) QuitRequested = true;
}

const Button* FrmCDBuild::DefaultButton() const {
  if (BuildRunning || VisiblePage == kProgressPage) return nullptr;
  if (CmdFinish.Visible && CmdFinish.Enabled) return &CmdFinish;
  if (CmdNext.Visible && CmdNext.Enabled) return &CmdNext;
  return nullptr;
}

const BuildOutcome& FrmCDBuild::Outcome() const {
  static const BuildOutcome kNotRun;
  return ActiveBuild ? ActiveBuild->run.Outcome() : kNotRun;
}

std::string FrmCDBuild::WindowTitle() const {
  if (BuildRunning) return Caption;
  switch (Outcome().kind) {
    case BuildOutcome::Kind::Made:
      return Caption + " - ISO image made";
    case BuildOutcome::Kind::Failed:
      return Caption + " - build failed";
    case BuildOutcome::Kind::Cancelled:
      return Caption + " - build cancelled";
    case BuildOutcome::Kind::NotRun:
      break;
  }
  return Caption;
}

bool FrmCDBuild::IsoMade() const {
  std::error_code ec;
  return VisiblePage == kFinishPage && !BuildRunning && Outcome().Made() &&
         std::filesystem::is_regular_file(Outcome().isoPath, ec);
}

std::string FrmCDBuild::IsoFile() const {
  if (Outcome().kind != BuildOutcome::Kind::NotRun) return Outcome().isoPath;
  const std::string iso = Trim(TxtISOLoc.Text);
  return iso.empty() ? "" : AbsoluteIsoPath(iso);
}

void FrmCDBuild::CancelApp() {
  if (ActiveBuild) {
    ActiveBuild->run.CancelApp();
    return;
  }
  LblFinish.Caption = "   Operation canceled";
  ShowCancelledPage();
}

void FrmCDBuild::ShowCancelledPage() {
  Finished = true;
  CancelCopy = true;
  CmdNext.Visible = false;
  CmdFinish.Visible = true;
  CmdBack.Enabled = false;
  CmdCancel.Enabled = false;
  CmdFinish.Enabled = true;
  ShowPage(kFinishPage);
  ShowHelp(kProgressPage, false);
}

bool FrmCDBuild::Form_QueryUnload() {
  if (QuitRequested) return true;
  if (!BuildRunning) {
    // With Finish on offer the session has ended as Finish ends it.
    if (Finished) {
      WriteKivCDINI();
      return true;
    }
    return LeaveWizard();
  }
  if (!Finished) {
    const Answer answer =
        prompter_.MsgBox(Message{"The rescue CD is being built.\nCancel the build and close the window?",
                                 "Cancel Build", Icon::Question, Buttons::YesNo, 0, Answer::No});
    if (answer != Answer::Yes) return false;
    CancelApp();
  }
  // Cancelled, but a step is still finishing its work: close once it has.
  CloseAfterRun = true;
  ShowEnding();
  return false;
}

void FrmCDBuild::CmdOpenFolder_Click() { ExploreFolderOf(platform_, prompter_, IsoFile()); }

void FrmCDBuild::CmdOpenLog_Click() {
  if (ActiveBuild && !ActiveBuild->run.LogPath().empty())
    OpenDocument(platform_, prompter_, ActiveBuild->run.LogPath());
}

int FrmCDBuild::PageToFix(int step) {
  switch (step) {
    case 1:
      return 1;  // the boot disks: the contents page
    case 2:
      return 2;  // the Windows 2000/XP source
    case 3:
      return 4;  // the Windows 98/Me source
    case 4:
      return 6;  // utilities and additional files
    case 5:
      return 7;  // the ISO destination
    default:
      return kLastWizardPage;
  }
}

void FrmCDBuild::ReturnToFix() {
  // Step 2's Windows 10/11 part is set on a page of its own.
  const int page = Outcome().windows10 ? kWin10Page : PageToFix(Outcome().step);
  ActiveBuild.reset();
  // Fresh progress and finish pages, run flags cleared (the controls keep
  // their places: the view is bound to them; the headlines their style).
  const bool waitBold = LblWait.Bold, finishBold = LblFinish.Bold;
  page10 = ProgressPage{};
  page9 = FinishPage{};
  Finished = CancelCopy = false;
  LblWait.Bold = waitBold;
  LblFinish.Bold = finishBold;
  LblOutcome.Visible = LblBuildLog.Visible = LblEnding.Visible = false;
  CmdOpenLog.Visible = false;
  CloseAfterRun = false;
  Step = page;
  CmdNext.Visible = page != kLastWizardPage;
  CmdFinish.Visible = page == kLastWizardPage;
  CmdFinish.Enabled = true;
  CmdCancel.Enabled = true;
  CmdBack.Enabled = page > 0;
  ShowPage(Step);
  ShowHelp(255, false);
}

void FrmCDBuild::ShowEnding() {
  const bool diskBuilder = ActiveBuild && ActiveBuild->run.ASyncAppRunning && LblMsg[0].Bold;
  LblEnding.Caption = diskBuilder ? "The program ends when the disk builder has finished"
                                  : "The program ends when the current step has finished";
  LblEnding.Visible = true;
  CmdFinish.Enabled = false;
}

void FrmCDBuild::PumpEvents() {
  const bool programRunning = ActiveBuild && ActiveBuild->run.ASyncAppRunning;
  if (programWasRunning_ && !programRunning) RaiseRequested = true;
  programWasRunning_ = programRunning;
  if (OnPumpEvents) OnPumpEvents();
}

}  // namespace kiv
