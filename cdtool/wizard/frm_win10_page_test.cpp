// The wizard's Windows 10/11 page (after page 4) and its information
// dialog: where Next and Back go, what Next and OK refuse, the answers kept
// with the session, and the page a failed build returns to.
#include "cdtool/win10/win10_answers.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "testsupport/cdtool_test_support.h"
#include "testsupport/win10_stand_in.h"

namespace kiv::testing {
namespace {

class Win10PageTest : public ProgramFolderTest {
 protected:
  void SetUp() override {
    ProgramFolderTest::SetUp();
    if (const std::string missing = Win10StandInToolsMissing(); !missing.empty()) GTEST_SKIP() << missing;
    ASSERT_EQ(MakeWin10StandIn(P("win11")), "");
    std::filesystem::create_directories(dir_ / "kiv_utilities");
    std::filesystem::create_directories(dir_ / "Additional Files");
  }
  // Windows 10/11 alone (no 2000/XP, no 98/Me), its medium chosen.
  std::unique_ptr<FrmCDBuild> Form() {
    auto f = MakeForm();
    f->ClickCheck(f->ChkGet_Win2k);
    f->ClickCheck(f->ChkGet_Win9x);
    f->ClickCheck(f->ChkGet_Win10);
    f->TxtISOLoc.Text = P("out/kivcd.iso");
    return f;
  }
  std::string LastMessage() const { return prompter_.messages.empty() ? "" : prompter_.messages.back().text; }
};

TEST_F(Win10PageTest, NextAndBackWalkThroughItBetweenPages4And5) {
  auto f = Form();
  f->CmdNext_Click();  // 0 -> 1
  f->CmdNext_Click();  // 1 -> the Windows 10/11 page (no 2000/XP, 98/Me)
  ASSERT_EQ(f->Step, FrmCDBuild::kWin10Page);
  EXPECT_EQ(f->VisiblePage, FrmCDBuild::kWin10Page);
  // No medium chosen and no DVD mounted: Next says what to choose.
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, FrmCDBuild::kWin10Page);
  EXPECT_EQ(LastMessage().rfind("No ISO image or folder is chosen for the Windows 10/11 setup files.", 0), 0u);
  f->TxtWin10_Loc.Text = P("win11");
  f->TxtWin10_Loc_Change();
  EXPECT_EQ(f->LblWin10OSVer.Caption, "Windows 11 Pro, Home (build 22631)");
  EXPECT_EQ(f->Win10Info().CboEdition.Items, (std::vector<std::string>{"", "Windows 11 Pro", "Windows 11 Home"}));
  f->CmdNext_Click();  // -> 6 (no advanced tools)
  EXPECT_EQ(f->Step, 6) << LastMessage();
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, FrmCDBuild::kWin10Page);
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, 1);
  // With every part chosen the page comes after 98/Me and before the tools.
  f->ClickCheck(f->ChkGet_Win9x);
  f->ClickCheck(f->ChkGet_Advtools);
  Write("w98/WIN98/MINI.CAB", "x");
  f->TxtWin9x_Loc.Text = P("w98/WIN98");
  f->CmdNext_Click();  // 1 -> 4
  ASSERT_EQ(f->Step, 4) << LastMessage();
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, FrmCDBuild::kWin10Page);
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, 5);
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, FrmCDBuild::kWin10Page);
  f->CmdBack_Click();
  EXPECT_EQ(f->Step, 4);
}

TEST_F(Win10PageTest, NextNamesAMediumThatLacksFilesOrTheEdition) {
  auto f = Form();
  f->CmdNext_Click();
  f->CmdNext_Click();
  Win10StandIn lacking;
  lacking.bootWim = false;
  ASSERT_EQ(MakeWin10StandIn(P("lacking"), lacking), "");
  f->TxtWin10_Loc.Text = P("lacking");
  f->TxtWin10_Loc_Change();
  EXPECT_EQ(f->LblWin10OSVer.Caption, "Unknown Windows Version (missing: sources/boot.wim)");
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, FrmCDBuild::kWin10Page);
  EXPECT_NE(LastMessage().find("\": it lacks sources/boot.wim\n"), std::string::npos) << LastMessage();
  EXPECT_EQ(prompter_.messages.back().title, "Error");
  f->TxtWin10_Loc.Text = P("win11");
  Win10Info answers = f->Win10Info().Record();
  answers.Edition = "Windows 11 Education";
  f->Win10Info().SetRecord(answers);
  f->CmdNext_Click();
  EXPECT_EQ(f->Step, FrmCDBuild::kWin10Page);
  EXPECT_NE(LastMessage().find("The edition \"Windows 11 Education\""), std::string::npos) << LastMessage();
}

// OK keeps the dialog open for what Windows would refuse, naming it.
TEST_F(Win10PageTest, TheDialogsOkRefusesWhatWindowsWouldRefuse) {
  auto f = Form();
  FrmWin10Info& d = f->CmdSetWin10Info_Click();
  ASSERT_TRUE(d.Visible);
  EXPECT_EQ(d.Caption, "Windows 10/11 Installation Info");
  for (const auto& [field, value, said] : std::vector<std::tuple<TextBox*, std::string, std::string>>{
           {&d.TxtPCName, "ANNA PC", "The Computer Name \"ANNA PC\" holds \" \""},
           {&d.TxtAccount, "Guest", "The Local Account \"Guest\" is a name Windows keeps for itself."},
           {&d.TxtLocale, "german", "The Locale \"german\" is not a locale Windows knows"},
           {&d.TxtOwner, "Anna\tMaria", "The Owner Name holds the control character 0x09"}}) {
    const std::string before = field->Text;
    field->Text = value;
    d.CmdOK_Click();
    EXPECT_TRUE(d.Visible) << value;
    EXPECT_EQ(LastMessage().rfind(said, 0), 0u) << LastMessage();
    field->Text = before;
  }
  d.TypeKeyText(0, "vk7jg-nphtm-c97jm-9mpgt-3v66t");
  d.TxtAccount.Text = "anna";
  d.ChkSkipPrivacy.Value = 0;
  d.CmdOK_Click();
  EXPECT_FALSE(d.Visible) << LastMessage();
  f->ShowWin10Answers();
  EXPECT_EQ(f->LblWin10Answers.Caption,
            "Answers: product key; local account \"anna\"; no TPM/Secure Boot/RAM checks; no Microsoft account; no "
            "automatic BitLocker.");
  // The answers are the session's: saved, and there at the next start.
  ASSERT_TRUE(f->WriteKivCDINI());
  auto again = MakeForm();
  EXPECT_EQ(again->Win10Info().Record().LocalAccount, "anna");
  EXPECT_EQ(again->Win10Info().Record().ProductKey, (KeyParts{"VK7JG", "NPHTM", "C97JM", "9MPGT", "3V66T"}));
  EXPECT_EQ(again->Win10Info().ChkSkipPrivacy.Value, 0);
  EXPECT_EQ(again->ChkGet_Win10.Value, 1);
  EXPECT_FALSE(again->UnsavedEdits());
  again->Win10Info().TxtAccount.Text = "bert";
  EXPECT_TRUE(again->UnsavedEdits());
}

}  // namespace
}  // namespace kiv::testing
