#include "common/ini_file.h"
#include "testsupport/cdtool_test_support.h"

namespace kiv::testing {
namespace {

using InfoDialogTest = ProgramFolderTest;

TEST_F(InfoDialogTest, Win9xSourcesInOrder) {
  {
    auto f = MakeForm();
    FrmWin9xInfo& d = f->Win9xInfo();
    EXPECT_EQ(d.TxtOwner.Text, "kivUser");
    EXPECT_EQ(d.TxtOrg.Text, "VANTO LTD.");
    EXPECT_EQ(d.TxtPCName.Text, "kivPC");
    EXPECT_EQ(d.TxtWorkgroup.Text, "VANTO_LTD");
    EXPECT_EQ(d.TxtOSType.Text, "Microsoft Windows 98");
    EXPECT_EQ(d.Caption, "Windows 9x Installation Info");
  }
  Write("keyfile.txt", "[Win9xInfo]\r\nOwnerName=FromKeyfile\r\nProductKey=1234567890\r\n");
  {
    auto f = MakeForm();
    EXPECT_EQ(f->Win9xInfo().TxtOwner.Text, "FromKeyfile");
    EXPECT_EQ(f->Win9xInfo().TxtOrg.Text, "");
    EXPECT_EQ(f->Win9xInfo().TxtKeyPart[1].Text, "7890");
  }
  Write("keyfile2.txt", "[Win9xInfo]\r\nOwnerName=FromKeyfile2\r\n");
  auto f = MakeForm();
  EXPECT_EQ(f->Win9xInfo().TxtOwner.Text, "FromKeyfile2");
}

TEST_F(InfoDialogTest, KeyBoxesMoveFocusOnlyWhileShownAndCutPastes) {
  auto f = MakeForm();
  FrmWin9xInfo& hidden = f->Win9xInfo();
  hidden.SetKeyPart(0, "ABCDE");
  EXPECT_FALSE(hidden.FocusRequest.has_value());

  FrmWin9xInfo& d = f->CmdSetWin9xInfo_Click();
  EXPECT_TRUE(d.Visible);
  d.SetKeyPart(0, "abcd");
  EXPECT_FALSE(d.FocusRequest.has_value());
  d.SetKeyPart(0, "abcde");
  ASSERT_TRUE(d.FocusRequest.has_value());
  EXPECT_EQ(*d.FocusRequest, 1);
  d.SetKeyPart(4, "VWXYZ");
  EXPECT_EQ(*d.FocusRequest, 5);  // OK
  d.SetKeyPart(1, "FGHIJ-KLMNO-PQRST-UVWXY");
  EXPECT_EQ(d.TxtKeyPart[1].Text, "FGHIJ");

  // Cancel keeps the edits in the fields; OK refuses them while boxes are
  // empty, naming those, and stores the whole key upper-cased.
  d.CmdCancel_Click();
  EXPECT_FALSE(d.Visible);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "keyfile2.txt"));
  FrmWin9xInfo& again = f->CmdSetWin9xInfo_Click();
  EXPECT_EQ(&again, &d);
  EXPECT_EQ(again.TxtKeyPart[0].Text, "abcde");
  again.CmdOK_Click();
  EXPECT_TRUE(again.Visible);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "keyfile2.txt"));
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text.rfind("The Product Key cannot be used: box 3 is empty; box 4 is empty.", 0), 0u)
      << prompter_.messages[0].text;
  again.SetKeyPart(2, "KLMNO");
  again.SetKeyPart(3, "PQRST");
  again.CmdOK_Click();
  EXPECT_FALSE(again.Visible);
  EXPECT_EQ(INIFile(P("keyfile2.txt")).GetINIKey("Win9xInfo", "ProductKey"), "ABCDE-FGHIJ-KLMNO-PQRST-VWXYZ");
}

// The template that ships in the program folder gives the Windows 2000/XP
// dialog the same defaults the Windows 98/Me one has, in workgroup mode.
TEST_F(InfoDialogTest, Win2KShowsTheDefaultsOfTheShippedTemplate) {
  std::filesystem::copy_file(std::filesystem::path(KIV_SHIPPED_FILES_DIR) / "inf_files" / "win2k_template.inf",
                             dir_ / "files" / "inf_files" / "win2k_template.inf",
                             std::filesystem::copy_options::overwrite_existing);
  auto f = MakeForm();
  FrmWin2KInfo& d = f->CmdSetWin2KInfo_Click();
  EXPECT_EQ(d.TxtTemplate.Text, P("files/inf_files/win2k_template.inf"));
  EXPECT_EQ(d.TxtOwner.Text, "kivUser");
  EXPECT_EQ(d.TxtOrg.Text, "VANTO LTD.");
  EXPECT_EQ(d.TxtPCName.Text, "kivPC");
  EXPECT_EQ(d.TxtWorkgroup.Text, "VANTO_LTD");
  EXPECT_TRUE(d.OptJoinWorkgroup.Value);
  EXPECT_FALSE(d.OptJoinDomain.Value);
  EXPECT_EQ(d.ProductKey(), "----");
}

TEST_F(InfoDialogTest, Win2KLoadsTheDefaultTemplateAndBrowses) {
  auto f = MakeForm();
  FrmWin2KInfo& d = f->CmdSetWin2KInfo_Click();
  EXPECT_EQ(d.TxtTemplate.Text, P("files/inf_files/win2k_template.inf"));
  EXPECT_EQ(d.TxtOwner.Text, "Template Owner");
  EXPECT_EQ(d.TxtPCName.Text, "TPLPC");
  EXPECT_EQ(d.TxtWorkgroup.Text, "TPLWG");
  EXPECT_TRUE(d.OptJoinWorkgroup.Value);

  Write("mine.sif",
        "[UserData]\r\nFullName=Me\r\nProductID=AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\r\n"
        "[Identification]\r\nJoinDomain=\r\nJoinWorkgroup=\r\n");
  prompter_.paths = {"", P("mine.sif")};
  d.CmdBrwUnattend_Click();  // cancelled
  EXPECT_EQ(d.TxtTemplate.Text, P("files/inf_files/win2k_template.inf"));
  d.CmdBrwUnattend_Click();
  EXPECT_EQ(d.TxtTemplate.Text, P("mine.sif"));
  EXPECT_EQ(d.TxtOwner.Text, "Me");
  EXPECT_EQ(d.ProductKey(), "AAAAA-BBBBB-CCCCC-DDDDD-EEEEE");
  EXPECT_TRUE(d.OptJoinDomain.Value);
  EXPECT_EQ(d.TxtWorkgroup.Text, "");

  d.TxtWorkgroup.Text = "CORP";
  d.CmdOK_Click();
  EXPECT_FALSE(d.Visible);
  const INIFile key(P("keyfile2.txt"));
  EXPECT_EQ(key.GetINIKey("Win2KInfo", "JoinDomain"), "True");
  EXPECT_EQ(key.GetINIKey("Win2KInfo", "Workgroup"), "CORP");
  EXPECT_EQ(key.GetINIKey("Win2KInfo", "TemplateFile"), P("mine.sif"));
}

TEST_F(InfoDialogTest, ACancelThatLeftEditsIsSaidOnTheNextOpeningOfEitherDialog) {
  auto f = MakeForm();
  // Opened and cancelled without a change: nothing to say.
  f->CmdSetWin9xInfo_Click().CmdCancel_Click();
  f->CmdSetWin2KInfo_Click().CmdCancel_Click();
  EXPECT_FALSE(f->Win9xInfo().LblKeptEdits.Visible);
  EXPECT_FALSE(f->Win2KInfo().LblKeptEdits.Visible);

  FrmWin9xInfo& win9x = f->CmdSetWin9xInfo_Click();
  win9x.TxtOwner.Text = "Edited Owner";
  win9x.CmdCancel_Click();
  FrmWin2KInfo& win2k = f->CmdSetWin2KInfo_Click();
  win2k.SelectJoinDomain(true);
  win2k.CmdCancel_Click();
  EXPECT_TRUE(f->CmdSetWin9xInfo_Click().LblKeptEdits.Visible);
  EXPECT_TRUE(f->CmdSetWin2KInfo_Click().LblKeptEdits.Visible);
  // A second Cancel without changes: the earlier edits are still in use.
  win9x.CmdCancel_Click();
  EXPECT_TRUE(win9x.LblKeptEdits.Visible);
  // And they are what the session settings get.
  EXPECT_EQ(f->Settings().Win9x_Info.OwnerName, "Edited Owner");
  EXPECT_TRUE(f->Settings().Win2K_Info.JoinDomain);
  // OK stores them; the note goes.
  f->CmdSetWin9xInfo_Click().CmdOK_Click();
  EXPECT_FALSE(win9x.LblKeptEdits.Visible);
  EXPECT_TRUE(win2k.LblKeptEdits.Visible);
}

TEST_F(InfoDialogTest, OkRefusesANameWindowsSetupCannotReadAndKeepsTheDialogOpen) {
  auto f = MakeForm();
  FrmWin9xInfo& win9x = f->CmdSetWin9xInfo_Click();
  win9x.TxtOwner.Text = "\xE7\x8E\x8B Wei";
  win9x.CmdOK_Click();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text.rfind("The Owner Name holds \"\xE7\x8E\x8B\"", 0), 0u)
      << prompter_.messages[0].text;
  EXPECT_TRUE(win9x.Visible);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "keyfile2.txt"));
  // Mended, OK stores it.
  win9x.TxtOwner.Text = "J\xC3\xBCrgen Wei";
  win9x.CmdOK_Click();
  EXPECT_FALSE(win9x.Visible);
  EXPECT_EQ(prompter_.messages.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "keyfile2.txt"));

  FrmWin2KInfo& win2k = f->CmdSetWin2KInfo_Click();
  win2k.TxtWorkgroup.Text = "\xCE\xA9MEGA";
  win2k.CmdOK_Click();
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_NE(prompter_.messages[1].text.find("Workgroup or domain"), std::string::npos);
  EXPECT_TRUE(win2k.Visible);
}

}  // namespace
}  // namespace kiv::testing
