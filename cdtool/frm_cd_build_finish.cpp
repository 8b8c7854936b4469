// The ends of a session: Finish (start the build run, or leave the program
// after it) and Cancel. The build run itself (FinishApp and the assembly
// steps) plugs in at CmdFinish_Click.
#include "cdtool/frm_cd_build.h"

namespace kiv {

void FrmCDBuild::CmdFinish_Click() {
  if (Finished) {
    WriteKivCDINI();
    QuitRequested = true;
    return;
  }
  CmdBack.Enabled = false;
  CmdFinish.Enabled = true;
  ShowPage(kProgressPage);
  ShowHelp(kProgressPage, false);
  // The build run (FinishApp) goes here; when it returns: Finished = true,
  // ShowPage(kFinishPage), ShowHelp(kFinishPage, false).
}

void FrmCDBuild::CmdCancel_Click() { CancelApp(); }

void FrmCDBuild::CancelApp() {
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
