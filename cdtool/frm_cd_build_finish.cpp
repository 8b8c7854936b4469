// The ends of a session: Finish (start the build run, or leave the program
// after it) and Cancel. The build run itself (FinishApp and the assembly
// steps) plugs in at CmdFinish_Click.
#include "cdtool/frm_cd_build.h"

#include "cdtool/form_build.h"

namespace kiv {

void FrmCDBuild::CmdFinish_Click() {
  if (ActiveBuild) {
    ActiveBuild->run.CmdFinish_Click();
    return;
  }
  if (Finished) {
    WriteKivCDINI();
    QuitRequested = true;
    return;
  }
  RunFormBuild(*this);
}

void FrmCDBuild::CmdCancel_Click() { CancelApp(); }

void FrmCDBuild::CancelApp() {
  if (ActiveBuild) {
    ActiveBuild->run.CancelApp();
    return;
  }
  Finished = true;
  CancelCopy = true;
  LblFinish.Caption = "   Operation canceled";
  CmdNext.Visible = false;
  CmdFinish.Visible = true;
  CmdBack.Enabled = false;
  CmdCancel.Enabled = false;
  CmdFinish.Enabled = true;
  ShowPage(kFinishPage);
  ShowHelp(kProgressPage, false);
}

}  // namespace kiv
