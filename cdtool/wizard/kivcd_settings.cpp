// The wizard's controls and the session settings value: the form shows a
// loaded value and hands its controls back as one. The file itself is
// session_settings.cpp's.
#include <string>

#include "cdtool/settings/session_settings.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "cdtool/wizard/page_checks.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "common/setup_answer.h"

namespace kiv {

std::string FrmCDBuild::SettingsPath() const { return kiv::SettingsPath(programFolder_); }

void FrmCDBuild::ApplySettings(const SessionSettings& s) {
  // Assigning a check box runs its change handler, so dependent controls are
  // enabled exactly as if the user had clicked.
  SetCheck(ChkGet_kivdisks, s.Main.BootDisks);
  SetCheck(ChkGet_Win2k, s.Main.Windows2K);
  SetCheck(ChkGet_Win9x, s.Main.Windows9x);
  SetCheck(ChkGet_Advtools, s.Main.AdvancedTools);
  SetCheck(ChkGet_LinuxRescue, s.Main.LinuxRescue);
  LinuxRescueMirror = s.LinuxRescue.Mirror;
  TxtISOLoc.Text = s.Main.ISOLocation;
  SetCheck(ChkCleanSession, s.Main.CleanSession);
  SetCheck(ChkOptimizeISO, s.Main.OptimizeISO);

  SetCheck(ChkGet_kivnetplus, s.BootDisks.Use_LorvaPlus);
  SetCheck(ChkSelectDrivers, s.BootDisks.AcceptDrivers);

  Txt_i386_Loc.Text = s.Win2K_Info.SourceDir;
  Txt_i386_Loc_Change();
  TxtSP_exe.Text = s.Win2K_Info.SP_exe;
  // No key of its own: an empty service-pack path means integration was off.
  if (TxtSP_exe.Text.empty()) SetCheck(ChkSlipstream, 0);
  SetCheck(ChkWin2KInfo_Assis, s.Win2K_Info.In_SetupWin);
  SetCheck(ChkWin2KInfo_Unattend, s.Win2K_Info.In_Unattend);
  SetCheck(ChkDelTree_Lang, s.Win2K_Info.DelLangFiles);
  Win2KInfo().SetRecord(s.Win2K_Info);  // loads the dialog first; the stored values win

  TxtWin9x_Loc.Text = s.Win9x_Info.SourceDir;
  SetCheck(ChkWin9xInfo_MSBatch, s.Win9x_Info.In_MSBATCH);
  SetCheck(ChkWin9xInfo_Assis, s.Win9x_Info.In_SetupWin);
  Win9xInfo().SetRecord(s.Win9x_Info);

  SetCheck(ChkKivUtils, s.Locations.kivUtils);
  TxtUtils_Loc.Text = s.Locations.kivUtils_Dir;
  SetCheck(ChkAddFiles, s.Locations.AddFiles);
  TxtAddFiles_Loc.Text = s.Locations.AddFiles_Dir;

  SetCheck(ChkBCon, s.AdvTools.Add_BlueCon);
  SetCheck(ChkERDC, s.AdvTools.Add_ERDCmdr);
  TxtBCon.Text = s.AdvTools.BlueCon_Dir;
  TxtERDC.Text = s.AdvTools.ERDCmdr_Dir;
}

SessionSettings FrmCDBuild::Settings() {
  SessionSettings s = ControlSettings();
  static_cast<kiv::Win2KInfo&>(s.Win2K_Info) = Win2KInfo().Record();
  static_cast<kiv::Win9xInfo&>(s.Win9x_Info) = Win9xInfo().Record();
  NormaliseSettings(s);
  return s;
}

SessionSettings FrmCDBuild::ControlSettings() const {
  SessionSettings s;
  s.Main.BootDisks = ChkGet_kivdisks.Value;
  s.Main.Windows2K = ChkGet_Win2k.Value;
  s.Main.Windows9x = ChkGet_Win9x.Value;
  s.Main.AdvancedTools = ChkGet_Advtools.Value;
  s.Main.LinuxRescue = ChkGet_LinuxRescue.Value;
  s.LinuxRescue.Mirror = LinuxRescueMirror;
  s.Main.ISOLocation = TxtISOLoc.Text;
  s.Main.CleanSession = ChkCleanSession.Value;
  s.Main.OptimizeISO = ChkOptimizeISO.Value;

  s.BootDisks.Use_LorvaPlus = ChkGet_kivnetplus.Value;
  s.BootDisks.AcceptDrivers = ChkSelectDrivers.Value;

  s.Win2K_Info.SourceDir = Txt_i386_Loc.Text;
  // Service-pack integration off is stored as an empty path.
  s.Win2K_Info.SP_exe = ChkSlipstream.Checked() ? TxtSP_exe.Text : std::string();
  s.Win2K_Info.In_SetupWin = ChkWin2KInfo_Assis.Value;
  s.Win2K_Info.In_Unattend = ChkWin2KInfo_Unattend.Value;
  s.Win2K_Info.DelLangFiles = ChkDelTree_Lang.Value;

  s.Win9x_Info.SourceDir = TxtWin9x_Loc.Text;
  s.Win9x_Info.In_MSBATCH = ChkWin9xInfo_MSBatch.Value;
  s.Win9x_Info.In_SetupWin = ChkWin9xInfo_Assis.Value;

  s.Locations.kivUtils = ChkKivUtils.Value;
  s.Locations.kivUtils_Dir = TxtUtils_Loc.Text;
  s.Locations.AddFiles = ChkAddFiles.Value;
  s.Locations.AddFiles_Dir = TxtAddFiles_Loc.Text;

  s.AdvTools.Add_BlueCon = ChkBCon.Value;
  s.AdvTools.Add_ERDCmdr = ChkERDC.Value;
  s.AdvTools.BlueCon_Dir = TxtBCon.Text;
  s.AdvTools.ERDCmdr_Dir = TxtERDC.Text;
  NormaliseSettings(s);
  return s;
}

BootPassword FrmCDBuild::Password() const {
  return BootPassword{ChkPassProtect.Checked(), TxtPass1.Text, TxtPass2.Text};
}

void FrmCDBuild::ReadKivCDINI() {
  SessionSettings s = ReadKivCdIni(SettingsPath());
  NormaliseSettings(s);
  ApplySettings(s);
  // The loaded Windows 98/Me answers are the ones bootsmith's modules get.
  Win9xInfo().FillSetupDataToKeyFile();
}

std::string FrmCDBuild::KivCDINIText() {
  if (!ChkSlipstream.Checked()) TxtSP_exe.Text.clear();
  return KivCdIniText(SettingsRelativeTo(Settings(), ProgramFolder()));
}

bool FrmCDBuild::WriteKivCDINI() {
  const std::string path = SettingsPath();
  if (WriteFileAtomic(ResolvePath(path), KivCDINIText())) {
    RememberSavedSettings();
    return true;
  }
  if (!writeFailureReported_) {
    writeFailureReported_ = true;
    prompter_.Inform("The settings could not be saved to \"" + path + "\".", "Error", Icon::Exclamation);
  }
  return false;
}

void FrmCDBuild::RememberSavedSettings() {
  savedControls_ = ComparableSettings(ControlSettings());
  savedWin2K_.reset();
  savedWin9x_.reset();
  if (Win2KInfoLoaded()) savedWin2K_ = win2k_->Record();
  if (Win9xInfoLoaded()) savedWin9x_ = win9x_->Record();
}

SessionSettings FrmCDBuild::ComparableSettings(SessionSettings settings) const {
  // The defaults leaving each page would fill in, filled in now: a box Next
  // has filled equals the empty box it was.
  const PageContext context{programFolder_, FirstCdRom(), ChkSlipstream.Checked()};
  for (int page = kFirstCheckedPage; page <= kLastCheckedPage; ++page) FillPageDefaults(page, settings, context);
  return settings;
}

bool FrmCDBuild::UnsavedEdits() const {
  if (!(ComparableSettings(ControlSettings()) == savedControls_)) return true;
  // A dialog never loaded holds nothing the user typed.
  if (Win2KInfoLoaded() && savedWin2K_ && !(win2k_->Record() == *savedWin2K_)) return true;
  if (Win9xInfoLoaded() && savedWin9x_ && !(win9x_->Record() == *savedWin9x_)) return true;
  return false;
}

bool FrmCDBuild::LeaveWizard() {
  if (!UnsavedEdits()) return true;
  const Answer answer =
      prompter_.MsgBox(Message{"The settings have been changed since they were last saved.\nSave them in \"" +
                                   SettingsPath() + "\" before leaving, discard the changes, or stay in the wizard?",
                               "Unsaved Settings", Icon::Question, Buttons::SaveDiscardStay, 0, Answer::Stay});
  switch (answer) {
    case Answer::Save:
      // A failed save has been reported: the edits stay in the window.
      return WriteKivCDINI();
    case Answer::Discard:
      return true;
    default:
      return false;
  }
}

}  // namespace kiv
