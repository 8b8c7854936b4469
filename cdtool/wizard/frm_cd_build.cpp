#include "cdtool/wizard/frm_cd_build.h"

#include <filesystem>

#include "cdtool/settings/cd_folder_check.h"
#include "cdtool/settings/page_checks.h"
#include "cdtool/settings/session_defaults.h"
#include "cdtool/win10/win10_medium.h"
#include "common/desktop_open.h"
#include "common/file_ops.h"
#include "common/links.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"

namespace kiv {

namespace {

Message ErrorMessage(const std::string& text, Icon icon) {
  return Message{text, "Error", icon, Buttons::OK, 0, std::nullopt};
}

// `path` with `extension` added when its file name has none ("my rescue" ->
// "my rescue.iso"); a name with an extension of its own is kept as typed.
std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  const std::filesystem::path p(path);
  if (!p.has_filename() || p.has_extension()) return path;
  return path + extension;
}

}  // namespace

FrmCDBuild::FrmCDBuild(std::string programFolder, Prompter& prompter, const BuildContext& context)
    : environment(context.environment),
      programFolder_(std::move(programFolder)),
      prompter_(prompter),
      platform_(context.platform),
      launcher_(context.launcher) {
  const std::string home = HomeFolder(environment);
  TxtISOLoc.Text = JoinPath(home, "kivcd.iso");
  TxtSP_exe.Text = JoinPath(home, JoinPath("SP", "xpsp1_en_x86.exe"));
  win10_ = std::make_unique<FrmWin10Info>(programFolder_, prompter_);
  win10_->SetRecord(DefaultWin10Answers(environment));
  ShowWin10Answers();
  HelpWindowOpen = [] { return false; };
  RememberSavedSettings();
}

FrmCDBuild::~FrmCDBuild() = default;

FrmWin9xInfo& FrmCDBuild::Win9xInfo() {
  if (!win9x_) win9x_ = std::make_unique<FrmWin9xInfo>(programFolder_, platform_, prompter_);
  win9x_->EnsureLoaded();
  // Without settings of its own, what the dialog loads is what a new start
  // would show: edits are measured from it.
  if (!savedWin9x_) savedWin9x_ = win9x_->Record();
  return *win9x_;
}

FrmWin2KInfo& FrmCDBuild::Win2KInfo() {
  if (!win2k_) win2k_ = std::make_unique<FrmWin2KInfo>(programFolder_, prompter_);
  win2k_->EnsureLoaded();
  if (!savedWin2K_) savedWin2K_ = win2k_->Record();
  return *win2k_;
}

void FrmCDBuild::Form_Load() {
  if (FileExists(SettingsPath())) {
    // A file the wizard cannot read as its settings is left as it is until
    // the user ends the wizard with Finish.
    if (const std::string why = SettingsFileProblem(SettingsPath()); !why.empty())
      prompter_.Inform("The settings file \"" + SettingsPath() + "\" cannot be read as settings (" + why +
                           "); the wizard starts from its defaults.",
                       "Error", Icon::Exclamation);
    else ReadKivCDINI();
  }
  RememberSavedSettings();
  ShowPage(0);
}

void FrmCDBuild::ShowPage(int page) {
  if (page >= 0 && page < kPageCount) VisiblePage = page;
}

// ---- check boxes and their enabling rules

void FrmCDBuild::SetCheck(CheckBox& box, int value) {
  if (box.Value == value) return;
  box.Value = value;
  OnCheckChanged(box);
}

void FrmCDBuild::ClickCheck(CheckBox& box) { SetCheck(box, box.Value == 0 ? 1 : 0); }

void FrmCDBuild::FollowInfoButton(CheckBox& changed, CheckBox& other, Button& button) {
  if (!other.Checked()) button.Enabled = changed.Checked();
}

void FrmCDBuild::OnCheckChanged(CheckBox& box) {
  const bool on = box.Checked();
  if (&box == &ChkGet_kivdisks) {
    // The boot disks are always part of the CD.
    if (box.Value != 1) SetCheck(box, 1);
  } else if (&box == &ChkSlipstream) {
    LblSP.Enabled = TxtSP_exe.Enabled = CmdBrw_spexe.Enabled = on;
  } else if (&box == &ChkERDC) {
    LblERDC.Enabled = TxtERDC.Enabled = CmdBrw_ERDC.Enabled = on;
  } else if (&box == &ChkBCon) {
    LblBCon.Enabled = TxtBCon.Enabled = CmdBrw_BCon.Enabled = on;
  } else if (&box == &ChkKivUtils) {
    LblUtils.Enabled = TxtUtils_Loc.Enabled = CmdExp_Utils.Enabled = CmdBrw_Utils.Enabled = on;
  } else if (&box == &ChkAddFiles) {
    LblAddFiles.Enabled = TxtAddFiles_Loc.Enabled = CmdExp_AddFiles.Enabled = CmdBrw_AddFiles.Enabled = on;
  } else if (&box == &ChkPassProtect) {
    LblPass1.Enabled = TxtPass1.Enabled = LblPass2.Enabled = TxtPass2.Enabled = on;
  } else if (&box == &ChkWin2KInfo_Assis) {
    FollowInfoButton(box, ChkWin2KInfo_Unattend, CmdSetWin2KInfo);
  } else if (&box == &ChkWin2KInfo_Unattend) {
    FollowInfoButton(box, ChkWin2KInfo_Assis, CmdSetWin2KInfo);
  } else if (&box == &ChkWin9xInfo_Assis) {
    FollowInfoButton(box, ChkWin9xInfo_MSBatch, CmdSetWin9xInfo);
  } else if (&box == &ChkWin9xInfo_MSBatch) {
    FollowInfoButton(box, ChkWin9xInfo_Assis, CmdSetWin9xInfo);
  }
}

// ---- page sequence

std::string FrmCDBuild::FirstCdRom() const { return platform_.FirstCdRomDrive(); }

void FrmCDBuild::CmdNext_Click() {
  bool stay = false;
  SessionSettings values = ControlSettings();
  // The keys typed into the information dialogs are checked with their page.
  if (Win2KInfoLoaded()) values.Win2K_Info.ProductKey = win2k_->Record().ProductKey;
  if (Win9xInfoLoaded()) values.Win9x_Info.ProductKey = win9x_->Record().ProductKey;
  const PageContext context{programFolder_, FirstCdRom(), ChkSlipstream.Checked(), &launcher_};
  // The checks of the page being left, on the values; the defaults it fills
  // in show in the (empty) boxes.
  auto leave = [&](int page) {
    FillPageDefaults(page, values, context);
    auto fillEmpty = [](TextBox& box, const std::string& value) {
      if (box.Text.empty()) box.Text = value;
    };
    fillEmpty(Txt_i386_Loc, values.Win2K_Info.SourceDir);
    fillEmpty(TxtWin9x_Loc, values.Win9x_Info.SourceDir);
    const bool win10Guessed = TxtWin10_Loc.Text.empty() && !values.Win10_Info.SourceDir.empty();
    fillEmpty(TxtWin10_Loc, values.Win10_Info.SourceDir);
    if (win10Guessed) TxtWin10_Loc_Change();
    fillEmpty(TxtERDC, values.AdvTools.ERDCmdr_Dir);
    fillEmpty(TxtBCon, values.AdvTools.BlueCon_Dir);
    fillEmpty(TxtUtils_Loc, values.Locations.kivUtils_Dir);
    fillEmpty(TxtAddFiles_Loc, values.Locations.AddFiles_Dir);
    if (const std::vector<PageProblem> problems = CheckPage(page, values, Password(), context); !problems.empty()) {
      const PageProblem message = PageMessage(problems);
      prompter_.MsgBox(ErrorMessage(message.text, message.icon));
      stay = true;
    }
  };

  if (Step == 0) CmdBack.Enabled = true;

  // The Windows 10/11 page sits between page 4 and page 5: left, the walk
  // goes on as from page 4.
  bool leftWin10 = false;
  if (Step == kWin10Page) {
    leave(kWin10Page);
    if (stay) {
      ShowPage(Step);
      ShowHelp(255, false);
      return;
    }
    Step = 4;
    leftWin10 = true;
  }

  if (Step == 1) {
    const bool guessed = ChkGet_Win2k.Checked() && Txt_i386_Loc.Text.empty();
    leave(1);
    if (guessed) Txt_i386_Loc_Change();
    if (!ChkGet_Win2k.Checked() && !stay) ++Step;
  }
  if (Step == 2) {
    leave(2);
    if (!ChkGet_Win2k.Checked() && !stay) ++Step;
  }
  if (Step == 3) {
    leave(3);
    if (!ChkGet_Win9x.Checked() && !stay) ++Step;
  }
  if (Step == 4) {
    if (!leftWin10) leave(4);
    if (!leftWin10 && !stay && ChkGet_Win10.Checked()) {
      Step = kWin10Page;
      ShowPage(Step);
      ShowHelp(255, false);
      return;
    }
    if (!ChkGet_Advtools.Checked() && !stay) ++Step;
  }
  if (Step == 5) leave(5);
  if (Step == 6) leave(6);
  if (Step == 7) {
    const bool mismatch = ChkPassProtect.Checked() && TxtPass1.Text != TxtPass2.Text;
    leave(7);
    if (mismatch) {
      TxtPass1.Text.clear();
      TxtPass2.Text.clear();
    }
    // A file there that is not a CD image is somebody's: replace it only when told to.
    const std::string& iso = values.Main.ISOLocation;
    if (!stay && FileExists(iso) && !LooksLikeIsoImage(iso)) {
      const Answer answer = prompter_.MsgBox(Message{"The file \"" + iso +
                                                         "\" exists and is not an ISO image.\nReplace it with the CD's "
                                                         "ISO image?",
                                                     "Replace File", Icon::Question, Buttons::YesNo, 0, Answer::No});
      if (answer != Answer::Yes) stay = true;
    }
    TxtSummery.Text = GenerateSummery();
    // Too much for a CD: said below the summary, before anything is built.
    if (const std::string warning = MediumWarning(EstimatedCdBytes(values, programFolder_)); !warning.empty())
      TxtSummery.Text += "\r\n\r\n" + warning;
  }

  if (stay) --Step;
  if (Step == 7) {
    CmdNext.Visible = false;
    CmdFinish.Visible = true;
  }
  if (Step < kLastWizardPage) ++Step;
  ShowPage(Step);
  ShowHelp(255, false);
}

void FrmCDBuild::CmdBack_Click() {
  if (VisiblePage == kFinishPage) {
    if (CmdBack.Enabled && !BuildRunning && Outcome().kind == BuildOutcome::Kind::Failed) ReturnToFix();
    return;
  }
  if (Step == 8) {
    CmdNext.Visible = true;
    CmdFinish.Visible = false;
  }
  if (Step == 1) CmdBack.Enabled = false;
  // Back from the Windows 10/11 page goes where Back from page 5 would.
  const bool fromWin10 = Step == kWin10Page;
  if (fromWin10) Step = 5;
  if (Step == 6 && !ChkGet_Advtools.Checked()) --Step;
  if (Step == 5 && !fromWin10 && ChkGet_Win10.Checked()) {
    Step = kWin10Page;
    ShowPage(Step);
    ShowHelp(255, false);
    return;
  }
  if (Step == 5 && !ChkGet_Win9x.Checked()) --Step;
  if (Step == 4 && !ChkGet_Win2k.Checked()) --Step;
  if (Step == 3 && !ChkGet_Win2k.Checked()) --Step;
  if (Step > 0) --Step;
  ShowPage(Step);
  ShowHelp(255, false);
}

// ---- help and links

void FrmCDBuild::ShowHelp(int step, bool force) {
  if (!force && !(HelpWindowOpen && HelpWindowOpen())) return;
  if (step == 255) step = Step;
  prompter_.ShowHelpTopic(HelpTopic(step));
}

void FrmCDBuild::CmdHelp_Click() { ShowHelp(255, true); }

void FrmCDBuild::LblLink_Home_Click() { OpenLinkTarget(platform_, prompter_, LinkTarget(Link::Home, programFolder_)); }
void FrmCDBuild::LblLink_Tools_Click() {
  OpenLinkTarget(platform_, prompter_, LinkTarget(Link::Tools, programFolder_));
}
void FrmCDBuild::LblLink_BootMenu_Click() {
  OpenLinkTarget(platform_, prompter_, LinkTarget(Link::BootMenu, programFolder_));
}

// ---- browse and explore buttons

std::string FrmCDBuild::BrowseFolderInto(TextBox& box, const std::string& title) {
  std::string chosen = prompter_.BrowseForFolder(box.Text, title);
  if (!chosen.empty()) box.Text = chosen;
  return chosen;
}

void FrmCDBuild::CmdBrw_i386_loc_Click() {
  if (!BrowseFolderInto(Txt_i386_Loc, "Select Windows 2000/XP Location").empty()) Txt_i386_Loc_Change();
}

void FrmCDBuild::CmdBrw_Win9xLoc_Click() { BrowseFolderInto(TxtWin9x_Loc, "Select Windows 98/Me Location"); }
void FrmCDBuild::CmdBrw_ERDC_Click() { BrowseFolderInto(TxtERDC, "Select ERD Commander CD Root"); }
void FrmCDBuild::CmdBrw_BCon_Click() { BrowseFolderInto(TxtBCon, "Select BlueCon CD Root"); }
void FrmCDBuild::CmdBrw_Utils_Click() { BrowseFolderInto(TxtUtils_Loc, "Select 'kiv_utilities' folder location"); }
void FrmCDBuild::CmdBrw_AddFiles_Click() {
  BrowseFolderInto(TxtAddFiles_Loc, "Select 'Additional Files' folder location");
}

void FrmCDBuild::CmdBrw_ISOfile_Click() {
  const std::string chosen = prompter_.SaveFileDialog("Specify the destination ISO file",
                                                      {FileFilter{"CDROM Image (*.iso)", "*.iso"}}, TxtISOLoc.Text);
  // A name typed without an extension gets the one the filter names.
  if (!chosen.empty()) TxtISOLoc.Text = WithDefaultExtension(chosen, ".iso");
}

void FrmCDBuild::CmdBrw_spexe_Click() {
  const std::string chosen = prompter_.OpenFileDialog("Specify the Windows Service pack file",
                                                      {FileFilter{"Executable file (*.exe)", "*.exe"}}, TxtSP_exe.Text);
  if (!chosen.empty()) TxtSP_exe.Text = chosen;
}

void FrmCDBuild::CmdExp_Utils_Click() { ExploreFolder(platform_, prompter_, ResolvePath(TxtUtils_Loc.Text)); }
void FrmCDBuild::CmdExp_AddFiles_Click() { ExploreFolder(platform_, prompter_, ResolvePath(TxtAddFiles_Loc.Text)); }

FrmWin2KInfo& FrmCDBuild::CmdSetWin2KInfo_Click() {
  FrmWin2KInfo& dialog = Win2KInfo();
  dialog.Show();
  return dialog;
}

FrmWin10Info& FrmCDBuild::CmdSetWin10Info_Click() {
  win10_->Show();
  return *win10_;
}

void FrmCDBuild::CmdBrw_Win10Loc_Click() {
  if (!BrowseFolderInto(TxtWin10_Loc, "Select Windows 10/11 Location").empty()) TxtWin10_Loc_Change();
}

void FrmCDBuild::CmdBrw_Win10Iso_Click() {
  const std::string chosen = prompter_.OpenFileDialog("Select the Windows 10/11 ISO image",
                                                      {FileFilter{"CDROM Image (*.iso)", "*.iso"}}, TxtWin10_Loc.Text);
  if (chosen.empty()) return;
  TxtWin10_Loc.Text = chosen;
  TxtWin10_Loc_Change();
}

void FrmCDBuild::TxtWin10_Loc_Change() {
  const std::string source = Trim(TxtWin10_Loc.Text);
  if (source.empty()) {
    LblWin10OSVer.Caption.clear();
    win10_->SetEditions({});
    return;
  }
  const Win10Medium medium = ReadWin10Medium(launcher_, source);
  LblWin10OSVer.Caption = Win10MediumCaption(medium);
  std::vector<std::string> names;
  names.reserve(medium.editions.size());
  for (const WimImage& e : medium.editions) names.push_back(e.name);
  win10_->SetEditions(names);
}

void FrmCDBuild::ShowWin10Answers() {
  const kiv::Win10Info a = win10_->Record();
  std::string line;
  auto add = [&line](bool on, const std::string& what) {
    if (on) line += (line.empty() ? "" : "; ") + what;
  };
  add(!Trim(a.Edition).empty(), Trim(a.Edition));
  add(HasProductKey(a.ProductKey), "product key");
  add(!Trim(a.LocalAccount).empty(), "local account \"" + Trim(a.LocalAccount) + "\"");
  add(a.SkipHardwareChecks != 0, "no TPM/Secure Boot/RAM checks");
  add(a.NoOnlineAccount != 0, "no Microsoft account");
  add(a.SkipPrivacy != 0, "no privacy questions");
  add(a.NoAutoEncryption != 0, "no automatic BitLocker");
  LblWin10Answers.Caption = line.empty() ? "No answers: Setup asks everything." : "Answers: " + line + ".";
}

FrmWin9xInfo& FrmCDBuild::CmdSetWin9xInfo_Click() {
  FrmWin9xInfo& dialog = Win9xInfo();
  dialog.Show();
  return dialog;
}

// ---- the Windows 2000/XP source's type, beside its box

void FrmCDBuild::IdentifyWinVer(const std::string& ParentFolder) {
  LblWin2KOSVer.Caption = IdentifyWinVerCaption(ParentFolder);
}

void FrmCDBuild::Txt_i386_Loc_Change() {
  if (Trim(Txt_i386_Loc.Text).empty()) LblWin2KOSVer.Caption.clear();
  else IdentifyWinVer(MediumRoot(Trim(Txt_i386_Loc.Text)));
}

}  // namespace kiv
