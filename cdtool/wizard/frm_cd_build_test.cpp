#include "cdtool/wizard/frm_cd_build.h"

#include "common/ini_file.h"
#include "testsupport/cdtool_test_support.h"

namespace kiv::testing {
namespace {

class WizardTest : public ProgramFolderTest {
 protected:
  // A complete set of valid sources, spelled as real media spell them.
  void MakeSources(FrmCDBuild& f) {
    Write("xp/I386/SETUPLDR.BIN", "x");
    Write("sp/xpsp2.exe", "x");
    Write("w98/WIN98/MINI.CAB", "x");
    Write("erd/I386/SYSTEM32/CONFIG/SOFTWARE", "x");
    Write("bcon/I386/SYSTEM32/OOBCKRNL.EXE", "x");
    std::filesystem::create_directories(dir_ / "kiv_utilities");
    std::filesystem::create_directories(dir_ / "Additional Files");
    f.Txt_i386_Loc.Text = P("xp/I386");
    f.TxtSP_exe.Text = P("sp/xpsp2.exe");
    f.TxtWin9x_Loc.Text = P("w98/WIN98");
    f.TxtERDC.Text = P("erd");
    f.TxtBCon.Text = P("bcon");
    f.TxtISOLoc.Text = P("out/kivcd.iso");
  }
  std::string LastMessage() const { return prompter_.messages.empty() ? "" : prompter_.messages.back().text; }
};

TEST_F(WizardTest, DesignDefaultsAndFirstPage) {
  auto f = MakeForm();
  EXPECT_EQ(f->Step, 0);
  EXPECT_EQ(f->VisiblePage, 0);
  EXPECT_FALSE(f->CmdBack.Enabled);
  EXPECT_FALSE(f->CmdFinish.Visible);
  EXPECT_TRUE(f->CmdNext.Visible);
  EXPECT_EQ(f->TxtISOLoc.Text, HomeFolder(Environment()) + "/kivcd.iso");
  EXPECT_EQ(f->TxtSP_exe.Text, HomeFolder(Environment()) + "/SP/xpsp1_en_x86.exe");
  EXPECT_EQ(f->ChkGet_Advtools.Value, 0);
  EXPECT_EQ(f->ChkSlipstream.Value, 1);
  EXPECT_FALSE(f->TxtERDC.Enabled);
  EXPECT_FALSE(f->TxtPass1.Enabled);
  EXPECT_FALSE(f->ChkHotfix.Visible);
  EXPECT_FALSE(f->LblAbort.Visible);
  // No settings file: the dialogs are not loaded yet.
  EXPECT_FALSE(f->Win2KInfoLoaded());
  EXPECT_FALSE(f->Win9xInfoLoaded());
}

TEST_F(WizardTest, OnlyBootDisksSkipsForwardAndBack) {
  auto f = MakeForm();
  f->ClickCheck(f->ChkGet_Win2k);
  f->ClickCheck(f->ChkGet_Win9x);
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, 1);
  EXPECT_TRUE(f->CmdBack.Enabled);
  std::filesystem::create_directories(dir_ / "kiv_utilities");
  std::filesystem::create_directories(dir_ / "Additional Files");
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, 6);
  EXPECT_EQ(f->VisiblePage, 6);
  EXPECT_EQ(f->TxtUtils_Loc.Text, P("kiv_utilities"));
  EXPECT_EQ(f->TxtAddFiles_Loc.Text, P("Additional Files"));
  EXPECT_TRUE(prompter_.messages.empty());
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, 1);
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, 0);
  EXPECT_FALSE(f->CmdBack.Enabled);
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, 0);
}

TEST_F(WizardTest, EverythingVisitsEveryPageToTheSummary) {
  auto f = MakeForm();
  MakeSources(*f);
  f->ClickCheck(f->ChkGet_Advtools);
  f->ClickCheck(f->ChkERDC);
  f->ClickCheck(f->ChkBCon);
  for (int page = 1; page <= 8; ++page) {
    f->CmdNext_Click();
    ASSERT_EQ(f->Step, page) << LastMessage();
    EXPECT_EQ(f->VisiblePage, page);
  }
  EXPECT_TRUE(prompter_.messages.empty()) << LastMessage();
  EXPECT_FALSE(f->CmdNext.Visible);
  EXPECT_TRUE(f->CmdFinish.Visible);
  EXPECT_NE(f->TxtSummery.Text.find("[Advanced Tools]"), std::string::npos);
  // Next on the last page changes nothing.
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, 8);
  // Back from the summary brings Next back and walks every page.
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, 7);
  EXPECT_TRUE(f->CmdNext.Visible);
  EXPECT_FALSE(f->CmdFinish.Visible);
  for (int page = 6; page >= 0; --page) {
    f->CmdBack_Click();
    EXPECT_EQ(f->Step, page);
  }
}

TEST_F(WizardTest, BackSkipsUncheckedContents) {
  auto f = MakeForm();
  MakeSources(*f);
  f->ClickCheck(f->ChkGet_Win9x);  // 2000/XP only
  for (int i = 0; i < 3; ++i) f->CmdNext_Click();
  ASSERT_EQ(f->Step, 3);
  f->CmdNext_Click();  // 3 -> 6: no 98, no tools
  EXPECT_EQ(f->Step, 6);
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, 3);

  f->ClickCheck(f->ChkGet_Win2k);
  f->ClickCheck(f->ChkGet_Win9x);
  f->Step = 5;
  f->CmdBack_Click();  // 5 -> 4 (98 checked)
  EXPECT_EQ(f->Step, 4);
  f->CmdBack_Click();  // 4 -> 1 (no 2000/XP)
  EXPECT_EQ(f->Step, 1);
}

TEST_F(WizardTest, PageOneFillsTheSourceFromTheCdRomAndIdentifiesIt) {
  Write("cd/win51ip", "");
  Write("cd/Win51ip.sp2", "");
  platform_.cdRom = P("cd");
  auto f = MakeForm();
  f->CmdNext_Click();
  f->CmdNext_Click();
  EXPECT_EQ(f->Txt_i386_Loc.Text, P("cd") + "/I386");
  EXPECT_EQ(f->LblWin2KOSVer.Caption, "Microsoft Windows XP Professional Edition SP2");
  // A box that holds text is left alone.
  f->Txt_i386_Loc.Text = "/elsewhere/I386";
  f->Step = 1;
  f->CmdNext_Click();
  EXPECT_EQ(f->Txt_i386_Loc.Text, "/elsewhere/I386");
  // Without a CD-ROM the box stays empty, for the user to choose a folder.
  platform_.cdRom.clear();
  f->Txt_i386_Loc.Text.clear();
  f->Step = 1;
  f->CmdNext_Click();
  EXPECT_EQ(f->Txt_i386_Loc.Text, "");
}

struct FailingCheck {
  int page;
  const char* message;
  Icon icon;
};

TEST_F(WizardTest, EachFailingCheckKeepsItsPageAndShowsItsMessage) {
  const FailingCheck checks[] = {
      {2,
       "The selected folder doesn't contain a Windows 2000/XP installation !\nSelect your Windows setup source "
       "Directory",
       Icon::Critical},
      {2, "The selected Service pack file is not correct !\nSelect your Windows Service pack EXE file", Icon::Critical},
      {4,
       "The selected folder doesn't contain a Windows 98/Me installation !\nSelect your Windows setup source "
       "Directory",
       Icon::Critical},
      {5,
       "ERD Commander 2002/2003 doesn't seem to be located in the selected directory\nSelect ERD Commader 2002/2003 "
       "location",
       Icon::Exclamation},
      {5, "O&O Blue Con XXL doesn't seem to be located in the selected directory\nSelect Blue Con XXL location",
       Icon::Exclamation},
      {6, "The kiv Utilities folder doesn't exist !\nSelect a valid Directory", Icon::Critical},
      {6, "The Additional files folder doesn't exist !\nSelect a valid Directory", Icon::Critical},
      {7, "The Passwords don't Match - Reenter them", Icon::Critical},
      {7, "ISO File destination is not correct, check again", Icon::Critical},
  };
  for (size_t which = 0; which < std::size(checks); ++which) {
    SCOPED_TRACE(which);
    prompter_.messages.clear();
    auto f = MakeForm();
    MakeSources(*f);
    f->ClickCheck(f->ChkGet_Advtools);
    f->ClickCheck(f->ChkERDC);
    f->ClickCheck(f->ChkBCon);
    f->ClickCheck(f->ChkPassProtect);
    f->TxtPass1.Text = f->TxtPass2.Text = "secret";
    switch (which) {
      case 0:
        f->Txt_i386_Loc.Text = P("w98/WIN98");
        break;
      case 1:
        f->TxtSP_exe.Text = P("sp/none.exe");
        break;
      case 2:
        f->TxtWin9x_Loc.Text = P("xp/I386");
        break;
      case 3:
        f->TxtERDC.Text = P("bcon");
        break;
      case 4:
        f->TxtBCon.Text = P("erd");
        break;
      case 5:
        f->TxtUtils_Loc.Text = P("no_utils");
        break;
      case 6:
        f->TxtAddFiles_Loc.Text = P("no_files");
        break;
      case 7:
        f->TxtPass2.Text = "Secret";
        break;
      case 8:
        Write("blocker", "a file where a folder should be");
        f->TxtISOLoc.Text = P("blocker/kivcd.iso");
        break;
      default:
        FAIL() << "no fault set up for check " << which;
    }
    const FailingCheck& c = checks[which];
    for (int i = 0; i < c.page; ++i) f->CmdNext_Click();
    ASSERT_EQ(f->Step, c.page);
    ASSERT_TRUE(prompter_.messages.empty()) << prompter_.messages.front().text;
    f->CmdNext_Click();
    EXPECT_EQ(f->Step, c.page);
    EXPECT_EQ(f->VisiblePage, c.page);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    // The destination's message says why below its fixed text.
    const std::string reason = which == 8 ? "\n(the folder \"" + P("blocker") + "\" cannot be made)" : "";
    EXPECT_EQ(prompter_.messages[0].text, c.message + reason);
    EXPECT_EQ(prompter_.messages[0].title, "Error");
    EXPECT_EQ(prompter_.messages[0].icon, c.icon);
    if (which == 7) {
      EXPECT_EQ(f->TxtPass1.Text, "");
      EXPECT_EQ(f->TxtPass2.Text, "");
    }
    if (c.page == 7) {
      EXPECT_TRUE(f->CmdNext.Visible);
      EXPECT_FALSE(f->CmdFinish.Visible);
    }
  }
}

TEST_F(WizardTest, ChecksOnlyWhereTheirBoxIsChecked) {
  auto f = MakeForm();
  MakeSources(*f);
  f->TxtSP_exe.Text = P("sp/none.exe");
  f->ClickCheck(f->ChkSlipstream);  // a missing service pack is not reported then
  f->ClickCheck(f->ChkGet_Advtools);
  f->TxtERDC.Text = P("nothing");  // ChkERDC unchecked: not reported
  f->ClickCheck(f->ChkKivUtils);
  f->TxtUtils_Loc.Text = P("nothing");
  for (int i = 0; i < 8; ++i) f->CmdNext_Click();
  EXPECT_EQ(f->Step, 8);
  EXPECT_TRUE(prompter_.messages.empty()) << LastMessage();
}

// A file at the ISO's place that is not an ISO image is asked about; No
// keeps the ISO page, Yes goes on to the summary.
TEST_F(WizardTest, AFileThatIsNotAnIsoIsReplacedOnlyWhenTheUserSaysSo) {
  auto f = MakeForm();
  MakeSources(*f);
  Write("notes.txt", "my notes");
  f->TxtISOLoc.Text = P("notes.txt");
  prompter_.answers = {Answer::No};
  for (int i = 0; i < 7; ++i) f->CmdNext_Click();
  EXPECT_EQ(f->Step, 7);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].title, "Replace File");
  EXPECT_EQ(prompter_.messages[0].text.rfind("The file \"" + P("notes.txt") + "\" exists and is not an ISO image.", 0),
            0u);
  prompter_.answers = {Answer::Yes};
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, 8);
  EXPECT_EQ(Read("notes.txt"), "my notes");  // nothing is written before Finish
}

TEST_F(WizardTest, EnablingRulesFollowTheCheckBoxes) {
  auto f = MakeForm();
  f->ClickCheck(f->ChkSlipstream);
  EXPECT_FALSE(f->LblSP.Enabled || f->TxtSP_exe.Enabled || f->CmdBrw_spexe.Enabled);
  f->ClickCheck(f->ChkERDC);
  EXPECT_TRUE(f->LblERDC.Enabled && f->TxtERDC.Enabled && f->CmdBrw_ERDC.Enabled);
  f->ClickCheck(f->ChkKivUtils);
  EXPECT_FALSE(f->LblUtils.Enabled || f->TxtUtils_Loc.Enabled || f->CmdExp_Utils.Enabled || f->CmdBrw_Utils.Enabled);
  f->ClickCheck(f->ChkAddFiles);
  EXPECT_FALSE(f->TxtAddFiles_Loc.Enabled || f->CmdExp_AddFiles.Enabled);
  f->ClickCheck(f->ChkPassProtect);
  EXPECT_TRUE(f->TxtPass1.Enabled && f->TxtPass2.Enabled && f->LblPass1.Enabled && f->LblPass2.Enabled);
  // A greyed box enables like a checked one.
  f->SetCheck(f->ChkBCon, 2);
  EXPECT_TRUE(f->TxtBCon.Enabled);

  // The info button follows the changed box unless the other one is checked.
  ASSERT_EQ(f->ChkWin2KInfo_Assis.Value, 1);
  f->ClickCheck(f->ChkWin2KInfo_Assis);
  EXPECT_FALSE(f->CmdSetWin2KInfo.Enabled);
  f->ClickCheck(f->ChkWin2KInfo_Unattend);
  EXPECT_TRUE(f->CmdSetWin2KInfo.Enabled);
  f->ClickCheck(f->ChkWin2KInfo_Assis);
  f->ClickCheck(f->ChkWin2KInfo_Assis);  // Unattend still checked: stays enabled
  EXPECT_TRUE(f->CmdSetWin2KInfo.Enabled);
  f->ClickCheck(f->ChkWin9xInfo_Assis);
  EXPECT_FALSE(f->CmdSetWin9xInfo.Enabled);
  f->ClickCheck(f->ChkWin9xInfo_MSBatch);
  EXPECT_TRUE(f->CmdSetWin9xInfo.Enabled);

  // The boot disks cannot be left out.
  f->ClickCheck(f->ChkGet_kivdisks);
  EXPECT_EQ(f->ChkGet_kivdisks.Value, 1);
  f->SetCheck(f->ChkGet_kivdisks, 0);
  EXPECT_EQ(f->ChkGet_kivdisks.Value, 1);
}

TEST_F(WizardTest, HelpFollowsPagesOnlyWhileOpen) {
  auto f = MakeForm();
  bool open = false;
  f->HelpWindowOpen = [&] { return open; };
  f->CmdNext_Click();
  EXPECT_TRUE(prompter_.helpTopics.empty());
  f->CmdHelp_Click();
  ASSERT_EQ(prompter_.helpTopics.size(), 1u);
  EXPECT_EQ(prompter_.helpTopics[0], 1120);
  open = true;
  f->CmdBack_Click();
  ASSERT_EQ(prompter_.helpTopics.size(), 2u);
  EXPECT_EQ(prompter_.helpTopics[1], 1110);
  EXPECT_EQ(FrmCDBuild::HelpTopic(8), 1190);
}

TEST_F(WizardTest, BrowseButtonsUseTheirTitlesAndKeepTextOnCancel) {
  auto f = MakeForm();
  Write("media/I386/setupldr.bin", "");
  Write("media/CDROM_IS.5", "");
  Write("media/cdrom_sp.tst", "");
  prompter_.paths = {P("media/I386"), "", P("my.iso")};
  f->CmdBrw_i386_loc_Click();
  EXPECT_EQ(f->Txt_i386_Loc.Text, P("media/I386"));
  EXPECT_EQ(f->LblWin2KOSVer.Caption, "Microsoft Windows 2000 Server SP1");
  f->TxtWin9x_Loc.Text = "keep";
  f->CmdBrw_Win9xLoc_Click();
  EXPECT_EQ(f->TxtWin9x_Loc.Text, "keep");
  f->CmdBrw_ISOfile_Click();
  EXPECT_EQ(f->TxtISOLoc.Text, P("my.iso"));

  f->TxtUtils_Loc.Text = P("kiv_utilities");
  f->CmdExp_Utils_Click();
  f->LblLink_Home_Click();
  ASSERT_EQ(platform_.opened.size(), 2u);
  EXPECT_EQ(platform_.opened[0], P("kiv_utilities"));
}

TEST_F(WizardTest, ExploreAndLinksSayWhereToLookWhenNothingCanOpenThem) {
  auto f = MakeForm();
  f->TxtUtils_Loc.Text = P("kiv_utilities");
  f->TxtAddFiles_Loc.Text = P("Additional Files");
  f->CmdExp_Utils_Click();
  EXPECT_TRUE(prompter_.messages.empty());  // opened: nothing to say

  platform_.openResult = false;
  f->CmdExp_Utils_Click();
  f->CmdExp_AddFiles_Click();
  f->LblLink_Home_Click();
  f->LblLink_BootMenu_Click();
  ASSERT_EQ(prompter_.messages.size(), 4u);
  EXPECT_EQ(prompter_.messages[0].title, "Explore");
  EXPECT_NE(prompter_.messages[0].text.find("\n" + P("kiv_utilities") + "\n"), std::string::npos)
      << prompter_.messages[0].text;
  EXPECT_NE(prompter_.messages[1].text.find(P("Additional Files")), std::string::npos);
  EXPECT_EQ(prompter_.messages[2].title, "Open Link");
  EXPECT_NE(prompter_.messages[2].text.find(P("help/index.html")), std::string::npos) << prompter_.messages[2].text;
  EXPECT_NE(prompter_.messages[3].text.find(P("help/bootmenu.html")), std::string::npos);
  for (const Message& m : prompter_.messages) EXPECT_EQ(m.icon, Icon::Exclamation);
}

// Before a build, Cancel leaves the wizard; the finish page's "Operation
// canceled" is kept for a build that was running. Walking the pages lets Next
// fill in its defaults, which a new start fills alike: nothing to lose.
TEST_F(WizardTest, CancelBeforeABuildLeavesAtOnceWhenNothingWouldBeLost) {
  platform_.cdRom = P("cdrom");
  std::filesystem::create_directories(dir_ / "kiv_utilities");
  std::filesystem::create_directories(dir_ / "Additional Files");
  auto f = MakeForm();
  // Boxes ticked off and on again.
  f->SetCheck(f->ChkGet_Win9x, 0);
  f->SetCheck(f->ChkSlipstream, 0);
  f->SetCheck(f->ChkGet_Win9x, 1);
  f->SetCheck(f->ChkSlipstream, 1);
  f->CmdNext_Click();
  f->CmdNext_Click();
  ASSERT_EQ(f->Txt_i386_Loc.Text, P("cdrom") + "/I386");
  // Typed and typed back.
  f->TxtISOLoc.Text = P("elsewhere.iso");
  f->TxtISOLoc.Text = HomeFolder(Environment()) + "/kivcd.iso";
  EXPECT_FALSE(f->UnsavedEdits());
  const std::size_t asked = prompter_.messages.size();
  f->CmdCancel_Click();
  EXPECT_EQ(prompter_.messages.size(), asked);
  EXPECT_TRUE(f->QuitRequested);
  EXPECT_FALSE(f->Finished);
  EXPECT_NE(f->VisiblePage, FrmCDBuild::kFinishPage);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "kivcd.ini"));
}

// Edits that leaving would lose are asked about, as editors ask: Stay keeps
// the wizard where it was, Discard leaves without writing, Save writes them
// and leaves. Cancel and the close box ask alike.
TEST_F(WizardTest, LeavingWithEditsAsksSaveDiscardOrStay) {
  auto f = MakeForm();
  f->CmdNext_Click();
  f->ClickCheck(f->ChkGet_Advtools);
  ASSERT_TRUE(f->UnsavedEdits());

  prompter_.answers = {Answer::Stay, Answer::Stay};
  f->CmdCancel_Click();
  EXPECT_FALSE(f->Form_QueryUnload());
  ASSERT_EQ(prompter_.messages.size(), 2u);
  const Message& question = prompter_.messages[0];
  EXPECT_EQ(question.title, "Unsaved Settings");
  EXPECT_EQ(question.buttons, Buttons::SaveDiscardStay);
  EXPECT_NE(question.text.find(P("kivcd.ini")), std::string::npos) << question.text;
  // Nobody there to answer: the edits stay in the window.
  EXPECT_EQ(CautiousAnswer(question), Answer::Stay);
  EXPECT_FALSE(f->QuitRequested);
  EXPECT_EQ(f->VisiblePage, 1);
  EXPECT_TRUE(f->CmdBack.Enabled && f->CmdNext.Enabled && f->CmdCancel.Enabled);

  prompter_.answers = {Answer::Discard};
  EXPECT_TRUE(f->Form_QueryUnload());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "kivcd.ini"));

  prompter_.answers = {Answer::Save};
  f->CmdCancel_Click();
  EXPECT_TRUE(f->QuitRequested);
  ASSERT_TRUE(std::filesystem::exists(dir_ / "kivcd.ini"));
  auto restarted = MakeForm();
  EXPECT_EQ(restarted->ChkGet_Advtools.Value, 1);
  EXPECT_FALSE(restarted->UnsavedEdits());
}

// What counts is the difference from the file the wizard started with, the
// answers of the information dialogs included (a product key typed and left
// there is lost as much as a folder).
TEST_F(WizardTest, EditsAreMeasuredFromTheLoadedSettingsAndTheDialogs) {
  Write("kivcd.ini", "[Main]\r\nWindows2K = 0\r\nWindows9x = 1\r\nISOLocation = \"" + P("saved.iso") +
                         "\"\r\n[Win9x_Info]\r\nOwnerName = \"Saved Owner\"\r\n");
  auto f = MakeForm();
  EXPECT_FALSE(f->UnsavedEdits());
  f->ClickCheck(f->ChkGet_Win2k);
  EXPECT_TRUE(f->UnsavedEdits());
  f->ClickCheck(f->ChkGet_Win2k);
  EXPECT_FALSE(f->UnsavedEdits());

  FrmWin9xInfo& win9x = f->CmdSetWin9xInfo_Click();
  EXPECT_FALSE(f->UnsavedEdits());
  win9x.TypeKeyText(0, "ABCDE");
  win9x.CmdCancel_Click();  // Cancel keeps the edit in use
  EXPECT_TRUE(f->UnsavedEdits());
  win9x.SetKeyPart(0, "");
  EXPECT_FALSE(f->UnsavedEdits());

  // A dialog first opened now starts from what it loads, not from an edit.
  FrmWin2KInfo& win2k = f->CmdSetWin2KInfo_Click();
  EXPECT_FALSE(f->UnsavedEdits());
  win2k.TxtOwner.Text = "Somebody Else";
  EXPECT_TRUE(f->UnsavedEdits());
  // Saved, they are what the file holds.
  ASSERT_TRUE(f->WriteKivCDINI());
  EXPECT_FALSE(f->UnsavedEdits());
}

// A save that fails is said, and the wizard stays with the edits.
TEST_F(WizardTest, ASaveThatFailsKeepsTheWizardOpen) {
  auto f = MakeForm();
  f->ClickCheck(f->ChkOptimizeISO);
  std::filesystem::create_directories(dir_ / "kivcd.ini");  // cannot be written as a file
  prompter_.answers = {Answer::Save};
  EXPECT_FALSE(f->Form_QueryUnload());
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[1].title, "Error");
  EXPECT_NE(prompter_.messages[1].text.find("could not be saved"), std::string::npos);
  EXPECT_TRUE(f->UnsavedEdits());
}

// A cancelled build (CancelApp): the finish page says "   Operation
// canceled" and Finish ends the program with the settings written.
TEST_F(WizardTest, CancelAppShowsTheFinishPageAndFinishEndsWithSettings) {
  auto f = MakeForm();
  f->CmdNext_Click();
  f->CancelApp();
  EXPECT_TRUE(f->Finished);
  EXPECT_TRUE(f->CancelCopy);
  EXPECT_EQ(f->VisiblePage, FrmCDBuild::kFinishPage);
  EXPECT_EQ(f->LblFinish.Caption, "   Operation canceled");
  EXPECT_FALSE(f->CmdNext.Visible);
  EXPECT_TRUE(f->CmdFinish.Visible && f->CmdFinish.Enabled);
  EXPECT_FALSE(f->CmdBack.Enabled || f->CmdCancel.Enabled);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "kivcd.ini"));
  f->CmdFinish_Click();
  EXPECT_TRUE(f->QuitRequested);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "kivcd.ini"));
}

TEST_F(WizardTest, FinishOnTheSummaryRunsTheBuildAndShowsItsResult) {
  auto f = MakeForm();
  f->Step = 8;
  f->VisiblePage = 8;
  std::vector<int> pages;
  f->OnPumpEvents = [&] { pages.push_back(f->VisiblePage); };
  f->CmdFinish_Click();  // no CD template here: the run stops at once
  EXPECT_EQ(f->VisiblePage, FrmCDBuild::kFinishPage);
  EXPECT_TRUE(f->Finished);
  // A failed run can be tried again: Back leads to the summary page.
  EXPECT_TRUE(f->CmdBack.Enabled);
  EXPECT_FALSE(f->QuitRequested);
  f->OnPumpEvents = nullptr;
  // The run wrote its caption into the page it shares with the form.
  EXPECT_EQ(f->LblSub_Step.Caption, "Cleaning previous sessions workspace");
  int pumps = 0;
  f->OnPumpEvents = [&] { ++pumps; };
  f->PumpEvents();
  EXPECT_EQ(pumps, 1);
}

// The problems of a page come in one message (the window test shows its
// text), under the gravest of their icons: two warnings stay a warning.
TEST_F(WizardTest, SeveralProblemsOfAPageMakeOneMessageWithTheirIcon) {
  auto f = MakeForm();
  MakeSources(*f);
  f->ClickCheck(f->ChkGet_Advtools);
  f->ClickCheck(f->ChkERDC);
  f->ClickCheck(f->ChkBCon);
  std::swap(f->TxtERDC.Text, f->TxtBCon.Text);
  for (int i = 0; i < 6; ++i) f->CmdNext_Click();
  EXPECT_EQ(f->Step, 5);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(LastMessage().rfind("This page has 2 problems:\n\n1. ERD Commander 2002/2003 doesn't seem", 0), 0u)
      << LastMessage();
  EXPECT_NE(LastMessage().find("\n\n2. O&O Blue Con XXL doesn't seem to be located"), std::string::npos);
  EXPECT_EQ(prompter_.messages[0].icon, Icon::Exclamation);
}

// A key left half typed in an information dialog (Cancel keeps it in use)
// holds Next on the dialog's page, naming the boxes at fault; no key passes.
TEST_F(WizardTest, NextOnAnInformationPageNamesAKeyWindowsWouldNotTake) {
  auto f = MakeForm();
  MakeSources(*f);
  for (int i = 0; i < 3; ++i) f->CmdNext_Click();
  ASSERT_EQ(f->Step, 3);
  FrmWin2KInfo& win2k = f->CmdSetWin2KInfo_Click();
  win2k.TypeKeyText(0, "ABCDE-FGHIJ-KL");
  win2k.CmdCancel_Click();
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, 3);
  EXPECT_EQ(LastMessage(),
            "The Product Key of \"Set Windows Installation Info...\" cannot be used: box 3 holds \"KL\", 2 "
            "characters instead of 5; box 4 is empty; box 5 is empty.\nEach of its five boxes takes five letters or "
            "digits: fill all five, or empty all five for no key.");
  for (int i = 0; i < 5; ++i) win2k.SetKeyPart(i, "");
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, 4);
}

// The medium is named whenever the folder box changes, not only after Browse,
// and again when the saved settings are read on the next start.
TEST_F(WizardTest, ATypedOrLoadedSourceFolderIsIdentified) {
  Write("media/I386/setupldr.bin", "");
  Write("media/WIN51IP", "");
  Write("media/WIN51IP.SP2", "");
  auto f = MakeForm();
  f->Txt_i386_Loc.Text = P("media/i386/");  // as typed: other letter case, a slash
  f->Txt_i386_Loc_Change();
  EXPECT_EQ(f->LblWin2KOSVer.Caption, "Microsoft Windows XP Professional Edition SP2");
  f->Txt_i386_Loc.Text = P("media/I386");
  ASSERT_TRUE(f->WriteKivCDINI());
  auto restarted = MakeForm();
  EXPECT_EQ(restarted->Txt_i386_Loc.Text, P("media/I386"));
  EXPECT_EQ(restarted->LblWin2KOSVer.Caption, "Microsoft Windows XP Professional Edition SP2");
}

// The ISO dialog's filter promises .iso: a name typed without an extension
// gets it; one with an extension of its own is taken as typed.
TEST_F(WizardTest, TheIsoBrowseAddsTheExtensionWhenNoneWasTyped) {
  auto f = MakeForm();
  prompter_.paths = {P("my rescue"), P("rescue.img"), P("out/cd.iso"), ""};
  f->CmdBrw_ISOfile_Click();
  EXPECT_EQ(f->TxtISOLoc.Text, P("my rescue.iso"));
  f->CmdBrw_ISOfile_Click();
  EXPECT_EQ(f->TxtISOLoc.Text, P("rescue.img"));
  f->CmdBrw_ISOfile_Click();
  EXPECT_EQ(f->TxtISOLoc.Text, P("out/cd.iso"));
  f->CmdBrw_ISOfile_Click();  // cancelled
  EXPECT_EQ(f->TxtISOLoc.Text, P("out/cd.iso"));
}

}  // namespace
}  // namespace kiv::testing
