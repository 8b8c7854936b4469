#pragma once
// The CD builder's main window as a model: twelve stacked pages (0-8 the
// wizard, 10 the build progress, 9 its result, 11 the Windows 10/11 setup
// page that the wizard shows after page 4), the picture strip, and the
// Help/Cancel/Back/Next/Finish buttons. Every control's caption, value and
// enabled/visible state lives here; a view mirrors it and forwards clicks.
#include <array>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cdtool/build/build_outcome.h"
#include "cdtool/build/windows_medium.h"
#include "cdtool/settings/page_checks.h"
#include "cdtool/settings/session_settings.h"
#include "cdtool/wizard/build_pages.h"
#include "cdtool/wizard/form_controls.h"
#include "cdtool/wizard/frm_win10_info.h"
#include "cdtool/wizard/frm_win2k_info.h"
#include "cdtool/wizard/frm_win9x_info.h"
#include "common/build_context.h"
#include "common/environment.h"
#include "common/window_place.h"

namespace kiv {

class Platform;
class ProcessLauncher;
class Prompter;
class FrmCDBuild;
struct FormBuild;

class FrmCDBuild {
 public:
  static constexpr int kPageCount = 12;
  static constexpr int kLastWizardPage = 8;
  static constexpr int kFinishPage = 9;
  static constexpr int kProgressPage = 10;
  static constexpr int kWin10Page = kiv::kWin10Page;

  // The build run starts its programs through the context's launcher; its
  // platform is also the clock and the random bytes of the build; its
  // environment is the form's `environment` (HOME for the first run's ISO
  // location, SOURCE_DATE_EPOCH for the build).
  FrmCDBuild(std::string programFolder, Prompter& prompter, const BuildContext& context);
  ~FrmCDBuild();

  const std::string& ProgramFolder() const { return programFolder_; }
  Prompter& prompter() { return prompter_; }
  const Platform& platform() const { return platform_; }

  std::string Caption = "The kiv CD Builder";

  // Pages 9 and 10: what the build run shows (ShowBuildStatus).
  ProgressPage page10;
  FinishPage page9;

  // ---- form state (public members, as the build run uses them)
  int Step = 0;                 // wizard page index (help topic 1110 + 10 x Step)
  int VisiblePage = 0;          // the FraMain page on display
  bool Finished = false;        // the build run has returned, or the session was cancelled
  bool CancelCopy = false;      // the session was cancelled
  bool QuitRequested = false;   // set when Finish ends the program
  bool BuildRunning = false;    // the build run started by Finish has not yet returned
  bool CloseAfterRun = false;   // the close box was granted: close once the run has stopped
  bool RaiseRequested = false;  // bring the window to the front (a started program has ended)
  // The build run started by the first Finish (form_build.h); null before it.
  // From then on Finish and Cancel go to the run, which mirrors its state here.
  std::shared_ptr<FormBuild> ActiveBuild;

  // What the build run came to (NotRun before the first Finish).
  const BuildOutcome& Outcome() const;
  // The finish page after a build run that made the ISO: where the ISO's
  // follow-ups (trying it in QEMU, writing it to a USB stick) are offered.
  bool IsoMade() const;
  // The ISO the run made or tried to make; before a run, the ISO box's file
  // as an absolute path.
  std::string IsoFile() const;

  // ---- buttons along the bottom
  Button CmdHelp{"Help"};
  Button CmdCancel{"Cancel"};
  Button CmdBack{"< Back", false, true};
  Button CmdNext{"Next >"};
  Button CmdFinish{"Finish", true, false};

  // ---- page 0
  Label Label12{"  Welcome to The kiv CD Builder v2.0"};
  Label Label11{
      "It will create an ISO file that contains all the contents of the kiv Rescue CD, you can burn this file using "
      "your favorite CD/DVD recording utility."};
  Label Label9{"The wizard will assist you in the process of creating the kiv Rescue CD."};
  Label Label18{"Press Next to start the wizard"};

  // ---- page 1
  Label Label20{"  Select the Contents of the CD"};
  CheckBox ChkGet_kivdisks{"kiv Boot Disks (kiv Software - kiv Net)", 1};
  CheckBox ChkGet_kivnetplus{"Use the Lorva Plus disk for Network Access", 1};
  CheckBox ChkSelectDrivers{"Accept default list of Network drivers", 1};
  CheckBox ChkGet_Win2k{"Microsoft Windows 2000/XP/2003 Setup Files", 1};
  CheckBox ChkGet_Win9x{"Microsoft Windows 98/98SE/Me Setup Files", 1};
  CheckBox ChkGet_Win10{"Microsoft Windows 10/11 Setup Files", 0};
  CheckBox ChkGet_Advtools{"Advanced Tools", 0};
  CheckBox ChkGet_LinuxRescue{"Linux rescue system (Debian)", 1};
  // Where its packages come from (kivcd.ini or --set only; no control shows
  // it): kept as loaded so that saving does not lose it.
  std::string LinuxRescueMirror;

  // ---- page 2
  Label Label4{"  Add Windows 2000/XP/2003 Setup (1)"};
  Label Label2{"Location of Windows Setup Files"};
  TextBox Txt_i386_Loc;
  Button CmdBrw_i386_loc{"Browse ..."};
  Label Label17{"Type:"};
  Label LblWin2KOSVer;
  CheckBox ChkSlipstream{"Integrate Service Pack", 1};
  Label LblSP{"Location of Service Pack exe file"};
  TextBox TxtSP_exe;  // design default: <home>/SP/xpsp1_en_x86.exe
  Button CmdBrw_spexe{"Browse ..."};
  // Switched off at design time; no function.
  CheckBox ChkHotfix{"Integrate Post SP Hotfixes", 0, false, false};
  Button Cmd_Sel_hotfixes{"Select Hotfixes to include...", false, false};
  Label LblHotNum{"Hotfixes : 0", false, false};

  // ---- page 3
  Label Label5{"  Add Windows 2000/XP/2003 Setup (2)"};
  Label Frame5{" Miscellaneous Options : "};
  CheckBox ChkDelTree_Lang{"Remove Extra Languages Files", 0};
  Label Label6{"(Use only if you don't need international Languages support \"Asian Languages - Arabic/Hebrew\")"};
  Label Frame1{" Customize Installation Info : "};
  Button CmdSetWin2KInfo{"Set Windows Installation Info..."};
  CheckBox ChkWin2KInfo_Assis{"Store this info in the kiv Win2K Setup Assistant", 1};
  CheckBox ChkWin2KInfo_Unattend{"Store this info in the Windows 2000/XP Installation", 0};

  // ---- page 4
  Label Label7{"  Add Windows 98/98SE/Me Setup"};
  Label Label10{"Location of Windows Setup Files"};
  TextBox TxtWin9x_Loc;
  Button CmdBrw_Win9xLoc{"Browse ..."};
  Label Frame3{" Customize Installation Info : "};
  CheckBox ChkWin9xInfo_MSBatch{"Store this info in the Windows Installation", 0};
  CheckBox ChkWin9xInfo_Assis{"Store this info in the kiv Setup Assistant", 1};
  Button CmdSetWin9xInfo{"Set Windows Installation Info..."};

  // ---- page 5
  Label Label120{"  Advanced Tools"};
  CheckBox ChkERDC{"ERD Commander 2002/2003", 0};
  Label LblERDC{"Specify the location of your ERD Commander CD :", false};
  TextBox TxtERDC{"", false};
  Button CmdBrw_ERDC{"Browse ...", false};
  CheckBox ChkBCon{"O&O BlueCon XXL Pro", 0};
  Label LblBCon{"Specify the location of your BlueCon CD :", false};
  TextBox TxtBCon{"", false};
  Button CmdBrw_BCon{"Browse ...", false};

  // ---- page 6
  Label Label1{"  kiv Utilities / Additional Files"};
  CheckBox ChkKivUtils{" kiv Utilities ", 1};
  Label LblUtils{"Location of the kiv Utilities to be used in the CD :"};
  TextBox TxtUtils_Loc;
  Button CmdBrw_Utils{"Browse..."};
  Button CmdExp_Utils{"Explore..."};
  CheckBox ChkAddFiles{" Additional Files ", 1};
  Label LblAddFiles{"Location of the Additional Files to be Added to the CD :"};
  TextBox TxtAddFiles_Loc;
  Button CmdBrw_AddFiles{"Browse..."};
  Button CmdExp_AddFiles{"Explore..."};

  // ---- page 7
  Label Label21{"  Specify ISO File Options"};
  Label Frame9{" ISO File Details "};
  Label Label3{"Specify the Location to save the generated ISO file to:"};
  TextBox TxtISOLoc;  // design default: <home>/kivcd.iso
  Button CmdBrw_ISOfile{"Browse..."};
  CheckBox ChkOptimizeISO{"Optimize the ISO file size by encoding duplicate files", 0};
  CheckBox ChkCleanSession{"Clean Session's temporary files after completing", 0};
  CheckBox ChkPassProtect{"Password Protect the created CD", 0};
  Label LblPass1{"Password", false};
  TextBox TxtPass1{"", false};  // shown as '*'
  Label LblPass2{"Confirm Password", false};
  TextBox TxtPass2{"", false};

  // ---- page 8
  Label Label123{"  Ready to create ISO file"};
  TextBox TxtSummery;  // read-only, multi-line

  // ---- page 11 (Windows 10/11, after page 4): the medium and its answers
  Label LblWin10Head{"  Add Windows 10/11 Setup"};
  Label LblWin10Loc{"Location of Windows Setup Files"};
  Label LblWin10Hint{"A Windows 10 or 11 ISO image, or the folder of its files (a copy, or the DVD)"};
  TextBox TxtWin10_Loc;
  Button CmdBrw_Win10Loc{"Browse ..."};
  Button CmdBrw_Win10Iso{"ISO Image ..."};
  Label LblWin10Type{"Type:"};
  Label LblWin10OSVer;
  Label FraWin10Info{" Customize Installation Info : "};
  Button CmdSetWin10Info{"Set Windows Installation Info..."};
  // What the answers do, in a line (the dialog holds them).
  Label LblWin10Answers;

  // ---- page 9 (result of the build run)
  Label& LblFinish = page9.LblFinish;
  Label& LblAbort = page9.LblAbort;
  Label LblLink_Home{"The kiv Rescue CD home page"};
  Label LblLink_Tools{"About the floppy image tool (bfi)"};
  Label LblLink_BootMenu{"About the CD boot menu"};
  // Shown while the program waits for a cancelled run to stop before it ends.
  Label LblEnding{"", true, false};
  // What the run came to, from its outcome: where the ISO is and how large,
  // or which step failed and why.
  Label LblOutcome{"", true, false};
  // Where the run's log is, once a run has written one.
  Label LblBuildLog{"", true, false};
  // Shows the made ISO in the file manager.
  Button CmdOpenFolder{"Open Folder", true, false};
  // Shows the run's log, beside its path.
  Button CmdOpenLog{"Open Log", true, false};

  // The window's title: the caption, and once a run has ended what it came to.
  std::string WindowTitle() const;

  // ---- page 10 (build progress)
  Label& LblWait = page10.LblWait;
  std::array<Label, 5>& LblMsg = page10.LblMsg;
  std::array<Label, 5>& LblRight = page10.LblRight;  // "✔" done, "✘" skipped
  Label& LblSub_Step = page10.LblSub_Step;
  ProgressBar& BarSub_Step = page10.BarSub_Step;
  ProgressBar& BarOverall = page10.BarOverall;
  Label& LblOverall = page10.LblOverall;

  // ---- the two information dialogs, loaded on first access
  FrmWin9xInfo& Win9xInfo();
  FrmWin2KInfo& Win2KInfo();
  bool Win9xInfoLoaded() const { return win9x_ && win9x_->Loaded(); }
  bool Win2KInfoLoaded() const { return win2k_ && win2k_->Loaded(); }
  // Always there: its answers are the session's [Win10_Info].
  FrmWin10Info& Win10Info() { return *win10_; }
  const FrmWin10Info& Win10Info() const { return *win10_; }

  // The button Enter presses: Finish where it is the way on (the summary
  // and finish pages), otherwise Next; none while a build runs.
  const Button* DefaultButton() const;

  // ---- events
  void Form_Load();  // reads kivcd.ini when present; shows page 0
  // Sets a check box; a changed value runs its change handler (enabling rules).
  void SetCheck(CheckBox& box, int value);
  // A user click: unchecked -> checked, checked or greyed -> unchecked.
  void ClickCheck(CheckBox& box);
  void CmdNext_Click();
  void CmdBack_Click();
  void CmdHelp_Click();
  // Cancel: a running build is cancelled (CancelApp). Before a build the
  // wizard is left, as the close box leaves it (LeaveWizard).
  void CmdCancel_Click();
  void CmdFinish_Click();
  // Stops the build run and shows the finish page with "Operation canceled";
  // Finish then ends the program.
  void CancelApp();
  // The close box: true when the window may close now. During a build run it
  // asks whether to cancel; a yes cancels as Cancel does and the window closes
  // once the run has stopped. Once Finish is on offer (after a run) closing
  // ends the session as Finish does, settings saved; before that the wizard
  // is left as LeaveWizard leaves it.
  bool Form_QueryUnload();
  // True when the settings differ from what kivcd.ini held when the wizard
  // started (or from what it last saved there): what leaving without saving
  // would lose. Defaults Next fills into empty boxes are no edit (the next
  // start fills them alike), and a box typed in and typed back is none.
  bool UnsavedEdits() const;
  // Leaving before a build: with unsaved edits the user is asked whether to
  // save them, discard them or stay. True when the wizard may end (saved,
  // discarded or nothing to lose); false to stay, also when the save failed.
  bool LeaveWizard();
  // The finish page's folder button: the ISO's folder in the file manager.
  void CmdOpenFolder_Click();
  void CmdOpenLog_Click();
  // The wizard page where what made step `step` of a run fail is set (the
  // summary page for the work folder and the build lock).
  static int PageToFix(int step);
  void CmdBrw_i386_loc_Click();
  void CmdBrw_spexe_Click();
  void CmdBrw_Win9xLoc_Click();
  void CmdBrw_ERDC_Click();
  void CmdBrw_BCon_Click();
  void CmdBrw_Utils_Click();
  void CmdBrw_AddFiles_Click();
  void CmdBrw_ISOfile_Click();
  void CmdExp_Utils_Click();
  void CmdExp_AddFiles_Click();
  // Load and show the dialog (the view runs it modally, then calls its OK/Cancel).
  FrmWin2KInfo& CmdSetWin2KInfo_Click();
  FrmWin9xInfo& CmdSetWin9xInfo_Click();
  FrmWin10Info& CmdSetWin10Info_Click();
  // The medium's folder (Browse ...) or its ISO image (ISO Image ...).
  void CmdBrw_Win10Loc_Click();
  void CmdBrw_Win10Iso_Click();
  // The Windows 10/11 source box's text has changed: the medium is read
  // again (its type beside "Type:", its editions for the dialog).
  void TxtWin10_Loc_Change();
  // The answers' line of the page, after the dialog.
  void ShowWin10Answers();
  void LblLink_Home_Click();
  void LblLink_Tools_Click();
  void LblLink_BootMenu_Click();

  // Help topic 1110 + 10 x step (255 = the current Step). Without `force`
  // nothing happens unless the help window is open.
  void ShowHelp(int step, bool force);
  static int HelpTopic(int step) { return 1110 + 10 * step; }
  // Asked by ShowHelp; the view answers whether its help window is open on
  // a page's topic (one a message box opened stays on that box's topic).
  std::function<bool()> HelpWindowOpen;

  // Session settings (kivcd.ini in the program folder).
  std::string SettingsPath() const;
  // The controls from a settings value, as loading it shows them (check
  // boxes run their change handlers; the dialogs load first, then take the
  // stored values).
  void ApplySettings(const SessionSettings& settings);
  // The controls as a settings value (normalised; the service pack empty
  // when its integration is off). Loads the dialogs if never shown.
  SessionSettings Settings();
  // The same without the dialogs' answer records (which stay unloaded).
  SessionSettings ControlSettings() const;
  // The password boxes of the ISO page.
  BootPassword Password() const;
  void ReadKivCDINI();
  // Writes the settings through a temporary file; on failure tells the user
  // once and returns false.
  bool WriteKivCDINI();
  // The exact bytes WriteKivCDINI writes (after its ChkSlipstream rule).
  std::string KivCDINIText();

  // Summary of page 8, dated `now`.
  std::string GenerateSummery(const std::tm& now) const;
  std::string GenerateSummery() const;
  // The summary's line on the Linux rescue system: its size when one built
  // from the same package list is kept, or that this build will build it.
  std::string RescueSummary() const;

  // Identifies the Windows 2000/XP medium whose root is `ParentFolder` and
  // shows the result in LblWin2KOSVer.
  void IdentifyWinVer(const std::string& ParentFolder);
  // The source box's text has changed (typed, browsed, loaded or filled in):
  // the medium above the folder is identified again; an empty box shows no
  // type.
  void Txt_i386_Loc_Change();

  // The variables the program was started with (the context's), handed to
  // the build run.
  Environment environment;
  // What the build run takes from outside: this form's launcher, platform
  // and environment.
  BuildContext Context() const { return {launcher_, platform_, environment}; }

  // ---- build-run seam: the event pump
  // Lets the view mirror the model and process pending events (set by the view).
  std::function<void()> OnPumpEvents;
  // Also asks for the window to come to the front when a program the run
  // started (the disk builder) has ended: its own windows took the focus.
  void PumpEvents();
  // The window's frame on the screen (set by the view): the disk builder's
  // windows open over it.
  std::function<std::optional<ScreenRect>()> WindowFrame;
  void ShowPage(int page);
  // The finish page of a cancelled (or failed) session: Finish only, which
  // saves and ends.
  void ShowCancelledPage();

 private:
  void OnCheckChanged(CheckBox& box);
  // While a cancelled run unwinds: says why the program has not ended yet.
  void ShowEnding();
  // Back on the finish page of a failed run: the run is set aside and the
  // wizard shows the page where the failure can be mended, ready for
  // another Finish.
  void ReturnToFix();
  void FollowInfoButton(CheckBox& changed, CheckBox& other, Button& button);
  std::string FirstCdRom() const;
  // What kivcd.ini holds now, as the last load or save left it (the
  // dialogs' records from their first loading when the file had none).
  void RememberSavedSettings();
  SessionSettings ComparableSettings(SessionSettings settings) const;
  std::string BrowseFolderInto(TextBox& box, const std::string& title);

  std::string programFolder_;
  Prompter& prompter_;
  const Platform& platform_;
  ProcessLauncher& launcher_;
  std::unique_ptr<FrmWin9xInfo> win9x_;
  std::unique_ptr<FrmWin2KInfo> win2k_;
  std::unique_ptr<FrmWin10Info> win10_;
  bool writeFailureReported_ = false;
  SessionSettings savedControls_;  // ComparableSettings of the controls
  std::optional<kiv::Win2KInfo> savedWin2K_;
  std::optional<kiv::Win9xInfo> savedWin9x_;
  bool programWasRunning_ = false;  // a program started by the run, at the last pump
};

}  // namespace kiv
