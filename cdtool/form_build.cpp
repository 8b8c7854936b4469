#include "cdtool/form_build.h"

#include "cdtool/frm_cd_build.h"
#include "cdtool/frm_win2k_info.h"
#include "common/paths.h"
#include "common/setup_answer.h"

namespace kiv {

BuildSettings BuildSettingsFromForm(FrmCDBuild& f) {
  BuildSettings s;
  s.ChkGet_kivnetplus = f.ChkGet_kivnetplus.Checked();
  s.ChkSelectDrivers = f.ChkSelectDrivers.Checked();
  s.ChkGet_Win2k = f.ChkGet_Win2k.Checked();
  s.ChkGet_Win9x = f.ChkGet_Win9x.Checked();
  s.ChkGet_Advtools = f.ChkGet_Advtools.Checked();
  s.Txt_i386_Loc = f.Txt_i386_Loc.Text;
  s.ChkSlipstream = f.ChkSlipstream.Checked();
  s.TxtSP_exe = f.TxtSP_exe.Text;
  s.ChkDelTree_Lang = f.ChkDelTree_Lang.Checked();
  s.ChkWin2KInfo_Assis = f.ChkWin2KInfo_Assis.Checked();
  s.ChkWin2KInfo_Unattend = f.ChkWin2KInfo_Unattend.Checked();
  if (s.ChkGet_Win2k && s.ChkWin2KInfo_Assis) {
    // Only read when it is used: the first access loads the dialog.
    KeyParts parts;
    FrmWin2KInfo& info = f.Win2KInfo();
    for (size_t i = 0; i < parts.size(); ++i) parts[i] = info.TxtKeyPart[i].Text;
    s.Win2KProductKey = JoinProductKey(parts);
  }
  s.TxtWin9x_Loc = f.TxtWin9x_Loc.Text;
  s.ChkWin9xInfo_MSBatch = f.ChkWin9xInfo_MSBatch.Checked();
  s.ChkWin9xInfo_Assis = f.ChkWin9xInfo_Assis.Checked();
  s.ChkERDC = f.ChkERDC.Checked();
  s.ChkBCon = f.ChkBCon.Checked();
  s.TxtERDC = f.TxtERDC.Text;
  s.TxtBCon = f.TxtBCon.Text;
  s.ChkKivUtils = f.ChkKivUtils.Checked();
  s.ChkAddFiles = f.ChkAddFiles.Checked();
  s.TxtUtils_Loc = f.TxtUtils_Loc.Text;
  s.TxtAddFiles_Loc = f.TxtAddFiles_Loc.Text;
  s.TxtISOLoc = f.TxtISOLoc.Text;
  s.ChkOptimizeISO = f.ChkOptimizeISO.Checked();
  s.ChkCleanSession = f.ChkCleanSession.Checked();
  s.ChkPassProtect = f.ChkPassProtect.Checked();
  s.TxtPass1 = f.TxtPass1.Text;
  s.TxtPass2 = f.TxtPass2.Text;
  return s;
}

void MirrorBuildToForm(const BuildRun& run, FrmCDBuild& form) {
  for (size_t i = 0; i < 5; ++i) {
    form.LblMsg[i].Caption = run.page10.LblMsg[i];
    form.LblMsg[i].Bold = run.page10.LblMsgBold[i];
    form.LblRight[i].Caption = run.page10.LblRight[i];
  }
  form.LblWait.Caption = run.page10.LblWait;
  form.LblSub_Step.Caption = run.page10.LblSub_Step;
  form.LblSub_Step.Bold = run.page10.LblSub_StepBold;
  form.LblSub_Step.Red = run.page10.LblSub_StepRed;
  form.BarSub_Step.Max = run.page10.BarSub_StepMax;
  form.BarSub_Step.Value = run.page10.BarSub_StepValue;
  form.BarSub_Step.Visible = run.page10.BarSub_StepVisible;
  form.LblFinish.Caption = run.page9.LblFinish;
  form.LblAbort.Caption = run.page9.LblAbort;
  form.LblAbort.Visible = run.page9.LblAbortVisible;
  form.Finished = run.Finished;
  form.CancelCopy = run.CancelCopy;
  form.MKISOFSRunning = run.MKISOFSRunning;
  form.ASyncAppRunning = run.ASyncAppRunning;
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

FormBuild::FormBuild(FrmCDBuild& f) : form(f), frame(f), run(f.ProgramFolder(), f.prompter(), frame) {
  run.SetView(&form.Progress());
  run.Changed = [this] { MirrorBuildToForm(run, form); };
}

void RunFormBuild(FrmCDBuild& form) {
  if (!form.ActiveBuild) form.ActiveBuild = std::make_shared<FormBuild>(form);
  std::shared_ptr<FormBuild> build = form.ActiveBuild;  // kept alive while the run unwinds
  build->run.settings = BuildSettingsFromForm(form);
  if (!build->run.Finished) {
    // The Windows 2000/XP answers the dialog shows are the ones the key files
    // and WINNT.SIF get, also when its OK was not pressed in this session
    // (keyfile2.txt is gone after a cleaned session, and --build never
    // shows the dialog).
    form.Win2KInfo().FillSetupDataToKeyFile(JoinPath(form.ProgramFolder(), kKeyFile2));
  }
  build->run.CmdFinish_Click();
  MirrorBuildToForm(build->run, form);
}

}  // namespace kiv
