// The wizard's controls and the session settings value: the form shows a
// loaded value and hands its controls back as one. The file itself is
// session_settings.cpp's.
#include <string>

#include "cdtool/settings/page_checks.h"
#include "cdtool/settings/session_defaults.h"
#include "cdtool/settings/session_settings.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "common/setup_answer.h"

namespace kiv {

std::string FrmCDBuild::SettingsPath() const { return kiv::SettingsPath(programFolder_); }

// One table of the check boxes and text boxes that hold a setting, in the
// order they are shown when settings are loaded (a box's change handler may
// enable the ones after it). Loading and saving both go through it, so a
// control and its key cannot drift apart. Settings with rules of their own
// (the service pack, the answer dialogs) are handled beside it.
template <typename Form, typename Settings, typename Visit>
void ForEachBoundControl(Form& f, Settings& s, Visit&& visit) {
  visit(f.ChkGet_kivdisks, s.Main.BootDisks);
  visit(f.ChkGet_Win2k, s.Main.Windows2K);
  visit(f.ChkGet_Win9x, s.Main.Windows9x);
  visit(f.ChkGet_Advtools, s.Main.AdvancedTools);
  visit(f.ChkGet_Win10, s.Main.Windows10);
  visit(f.ChkGet_LinuxRescue, s.Main.LinuxRescue);
  visit(f.TxtISOLoc, s.Main.ISOLocation);
  visit(f.ChkCleanSession, s.Main.CleanSession);
  visit(f.ChkOptimizeISO, s.Main.OptimizeISO);
  visit(f.ChkGet_kivnetplus, s.BootDisks.Use_LorvaPlus);
  visit(f.ChkSelectDrivers, s.BootDisks.AcceptDrivers);
  visit(f.Txt_i386_Loc, s.Win2K_Info.SourceDir);
  visit(f.ChkWin2KInfo_Assis, s.Win2K_Info.In_SetupWin);
  visit(f.ChkWin2KInfo_Unattend, s.Win2K_Info.In_Unattend);
  visit(f.ChkDelTree_Lang, s.Win2K_Info.DelLangFiles);
  visit(f.TxtWin9x_Loc, s.Win9x_Info.SourceDir);
  visit(f.TxtWin10_Loc, s.Win10_Info.SourceDir);
  visit(f.ChkWin9xInfo_MSBatch, s.Win9x_Info.In_MSBATCH);
  visit(f.ChkWin9xInfo_Assis, s.Win9x_Info.In_SetupWin);
  visit(f.ChkKivUtils, s.Locations.kivUtils);
  visit(f.TxtUtils_Loc, s.Locations.kivUtils_Dir);
  visit(f.ChkAddFiles, s.Locations.AddFiles);
  visit(f.TxtAddFiles_Loc, s.Locations.AddFiles_Dir);
  visit(f.ChkBCon, s.AdvTools.Add_BlueCon);
  visit(f.ChkERDC, s.AdvTools.Add_ERDCmdr);
  visit(f.TxtBCon, s.AdvTools.BlueCon_Dir);
  visit(f.TxtERDC, s.AdvTools.ERDCmdr_Dir);
}

void FrmCDBuild::ApplySettings(const SessionSettings& s) {
  // Assigning a check box runs its change handler, so dependent controls are
  // enabled exactly as if the user had clicked.
  struct Load {
    FrmCDBuild& form;
    void operator()(CheckBox& box, int value) const { form.SetCheck(box, value); }
    void operator()(TextBox& box, const std::string& value) const { box.Text = value; }
  };
  ForEachBoundControl(*this, s, Load{*this});
  LinuxRescueMirror = s.LinuxRescue.Mirror;
  // The source's type is identified as when it is typed.
  Txt_i386_Loc_Change();
  // The Windows 10/11 answers are no dialog's to load: the settings hold them.
  win10_->SetRecord(s.Win10_Info);
  TxtWin10_Loc_Change();
  ShowWin10Answers();
  TxtSP_exe.Text = s.Win2K_Info.SP_exe;
  // No key of its own: an empty service-pack path means integration was off.
  if (TxtSP_exe.Text.empty()) SetCheck(ChkSlipstream, 0);
  Win2KInfo().SetRecord(s.Win2K_Info);  // loads the dialog first; the stored values win
  Win9xInfo().SetRecord(s.Win9x_Info);
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
  struct Save {
    void operator()(const CheckBox& box, int& value) const { value = box.Value; }
    void operator()(const TextBox& box, std::string& value) const { value = box.Text; }
  };
  ForEachBoundControl(*this, s, Save{});
  s.LinuxRescue.Mirror = LinuxRescueMirror;
  static_cast<kiv::Win10Info&>(s.Win10_Info) = win10_->Record();
  // Service-pack integration off is stored as an empty path.
  s.Win2K_Info.SP_exe = ChkSlipstream.Checked() ? TxtSP_exe.Text : std::string();
  NormaliseSettings(s);
  return s;
}

BootPassword FrmCDBuild::Password() const {
  return BootPassword{ChkPassProtect.Checked(), TxtPass1.Text, TxtPass2.Text};
}

void FrmCDBuild::ReadKivCDINI() {
  SessionSettings s = ReadKivCdIni(SettingsPath());
  // A file from before the Windows 10/11 answers: theirs are a first run's.
  if (!StoresSection(SettingsPath(), "Win10_Info")) s.Win10_Info = DefaultWin10Answers(environment);
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
  const PageContext context{programFolder_, FirstCdRom(), ChkSlipstream.Checked(), &launcher_};
  for (int page : kCheckedPages) FillPageDefaults(page, settings, context);
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
