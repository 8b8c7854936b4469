#include <chrono>
#include <thread>

#include "cdtool/win10/windows_region.h"
#include "common/ini_file.h"
#include "testsupport/cdtool_test_support.h"
#include "testsupport/run_program.h"

namespace kiv::testing {
namespace {

using SettingsTest = ProgramFolderTest;

TEST_F(SettingsTest, DefaultsWrittenByteExact) {
  auto f = MakeForm();
  ASSERT_TRUE(f->WriteKivCDINI());
  const std::string home = HomeFolder(Environment());
  const std::string expected =
      "[Main]\r\n"
      "BootDisks      = 1\r\n"
      "Windows2K      = 1\r\n"
      "Windows9x      = 1\r\n"
      "AdvancedTools  = 0\r\n"
      "ISOLocation    = " +
      home +
      "/kivcd.iso\r\n"
      "CleanSession   = 0\r\n"
      "OptimizeISO    = 0\r\n"
      "LinuxRescue    = 1\r\n"
      "Windows10      = 0\r\n"
      "\r\n"
      "[LinuxRescue]\r\n"
      "Mirror         = \"\"\r\n"
      "\r\n"
      "[BootDisks]\r\n"
      "Use_LorvaPlus  = 1\r\n"
      "AcceptDrivers  = 1\r\n"
      "\r\n"
      "[Win2K_Info]\r\n"
      "SourceDir      = \"\"\r\n"
      "SP_exe         = \"" +
      home +
      "/SP/xpsp1_en_x86.exe\"\r\n"
      "In_SetupWin    = 1\r\n"
      "In_Unattend    = 0\r\n"
      "DelLangFiles   = 0\r\n"
      "TemplateFile   = \"files/inf_files/win2k_template.inf\"\r\n"  // the program folder's own
      "OwnerName      = \"Template Owner\"\r\n"
      "Organization   = \"Template Org\"\r\n"
      "ProductKey     = \"----\"\r\n"
      "ComputerName   = \"TPLPC\"\r\n"
      "Workgroup      = \"TPLWG\"\r\n"
      "JoinDomain     = \"False\"\r\n"
      "\r\n"
      "[Win9x_Info]\r\n"
      "SourceDir      = \"\"\r\n"
      "In_MSBATCH     = 0\r\n"
      "In_SetupWin    = 1\r\n"
      "OptimizedFor   = \"Microsoft Windows 98\"\r\n"
      "OwnerName      = \"kivUser\"\r\n"
      "Organization   = \"VANTO LTD.\"\r\n"
      "ProductKey     = \"----\"\r\n"
      "ComputerName   = \"kivPC\"\r\n"
      "Workgroup      = \"VANTO_LTD\"\r\n"
      "\r\n"
      // The options people want on; this machine's time zone and locale.
      "[Win10_Info]\r\n"
      "SourceDir      = \"\"\r\n"
      "Edition        = \"\"\r\n"
      "ProductKey     = \"----\"\r\n"
      "ComputerName   = \"\"\r\n"
      "OwnerName      = \"\"\r\n"
      "Organization   = \"\"\r\n"
      "LocalAccount   = \"\"\r\n"
      "SkipHardwareChecks= 1\r\n"
      "NoOnlineAccount= 1\r\n"
      "SkipPrivacy    = 1\r\n"
      "NoAutoEncryption= 1\r\n"
      "TimeZone       = \"" +
      MachineWindowsTimeZone(Environment()) +
      "\"\r\n"
      "Locale         = \"" +
      MachineWindowsLocale(Environment()) +
      "\"\r\n"
      "\r\n"
      "[Locations]\r\n"
      "kivUtils       = \"1\"\r\n"
      "kivUtils_Dir   = \"\"\r\n"
      "AddFiles       = \"1\"\r\n"
      "AddFiles_Dir   = \"\"\r\n"
      "\r\n"
      "[AdvTools]\r\n"
      "Add_BlueCon   = 0\r\n"
      "Add_ERDCmdr   = 0\r\n"
      "BlueCon_Dir   = \"\"\r\n"
      "ERDCmdr_Dir   = \"\"\r\n";
  EXPECT_EQ(Read("kivcd.ini"), expected);
  // No temporary file is left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 2);  // kivcd.ini and files/
}

// Every setting a control holds is loaded into it and read back from it:
// a key that one direction forgot would come back as the default.
TEST_F(SettingsTest, EverySettingComesBackFromTheControlsAsItWasLoaded) {
  SessionSettings s = MakeForm()->Settings();
  auto flip = [](int& v) { v = v ? 0 : 1; };
  // (The boot disks are always built: their box stays ticked.)
  for (int* v :
       {&s.Main.Windows2K, &s.Main.Windows9x, &s.Main.AdvancedTools, &s.Main.LinuxRescue, &s.Main.CleanSession,
        &s.Main.OptimizeISO, &s.BootDisks.Use_LorvaPlus, &s.BootDisks.AcceptDrivers, &s.Win2K_Info.In_SetupWin,
        &s.Win2K_Info.In_Unattend, &s.Win2K_Info.DelLangFiles, &s.Win9x_Info.In_MSBATCH, &s.Win9x_Info.In_SetupWin,
        &s.Locations.kivUtils, &s.Locations.AddFiles, &s.AdvTools.Add_BlueCon, &s.AdvTools.Add_ERDCmdr})
    flip(*v);
  s.Main.ISOLocation = "/out/rescue.iso";
  s.Win2K_Info.SourceDir = "/media/xp/I386";
  s.Win2K_Info.SP_exe = "/media/sp/xpsp3.exe";
  s.Win9x_Info.SourceDir = "/media/me/WIN9X";
  s.Locations.kivUtils_Dir = "/home/me/utils";
  s.Locations.AddFiles_Dir = "/home/me/extra";
  s.AdvTools.BlueCon_Dir = "/media/bc";
  s.AdvTools.ERDCmdr_Dir = "/media/erdc";
  s.LinuxRescue.Mirror = "http://mirror.example/debian";
  s.Win2K_Info.OwnerName = "Ann";
  s.Win9x_Info.OwnerName = "Bob";

  auto f = MakeForm();
  f->ApplySettings(s);
  SessionSettings expected = s;
  NormaliseSettings(expected);
  EXPECT_TRUE(f->Settings() == expected) << KivCdIniText(f->Settings()) << "\n---\n" << KivCdIniText(expected);
}

TEST_F(SettingsTest, RoundTripOfEveryKindOfValue) {
  {
    auto f = MakeForm();
    f->SetCheck(f->ChkGet_Win9x, 0);
    f->SetCheck(f->ChkGet_Advtools, 2);
    f->SetCheck(f->ChkOptimizeISO, 1);
    f->SetCheck(f->ChkKivUtils, 0);
    f->SetCheck(f->ChkBCon, 1);
    f->TxtISOLoc.Text = "/media/my disc/out.iso";
    f->Txt_i386_Loc.Text = "  /mnt/xp cd/I386  ";
    f->TxtUtils_Loc.Text = "\"/already/quoted dir\"";
    f->TxtBCon.Text = "/bc";
    FrmWin2KInfo& w2k = f->Win2KInfo();
    for (int i = 0; i < 5; ++i) w2k.SetKeyPart(i, std::string(5, static_cast<char>('A' + i)));
    w2k.SelectJoinDomain(true);
    w2k.TxtWorkgroup.Text = "CORP";
    FrmWin9xInfo& w9x = f->Win9xInfo();
    w9x.TxtOwner.Text = "Jane Doe";
    ASSERT_TRUE(f->WriteKivCDINI());
    const std::string text = Read("kivcd.ini");
    EXPECT_NE(text.find("SourceDir      = \"/mnt/xp cd/I386\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("kivUtils_Dir   = \"/already/quoted dir\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("ProductKey     = \"AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("JoinDomain     = \"True\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("AdvancedTools  = 2\r\n"), std::string::npos);
  }
  auto g = MakeForm();
  EXPECT_EQ(g->ChkGet_Win9x.Value, 0);
  EXPECT_EQ(g->ChkGet_Advtools.Value, 2);
  EXPECT_EQ(g->ChkOptimizeISO.Value, 1);
  EXPECT_EQ(g->ChkKivUtils.Value, 0);
  EXPECT_FALSE(g->TxtUtils_Loc.Enabled);  // the loader runs the change handlers
  EXPECT_TRUE(g->TxtBCon.Enabled);
  EXPECT_EQ(g->TxtISOLoc.Text, "/media/my disc/out.iso");
  EXPECT_EQ(g->Txt_i386_Loc.Text, "/mnt/xp cd/I386");
  EXPECT_EQ(g->TxtUtils_Loc.Text, "/already/quoted dir");
  EXPECT_EQ(g->Win2KInfo().TxtKeyPart[4].Text, "EEEEE");
  EXPECT_EQ(g->Win2KInfo().TxtKeyPart[0].Text, "AAAAA");
  EXPECT_TRUE(g->Win2KInfo().OptJoinDomain.Value);
  EXPECT_FALSE(g->Win2KInfo().OptJoinWorkgroup.Value);
  EXPECT_EQ(g->Win2KInfo().TxtWorkgroup.Text, "CORP");
  // Values from the file overwrite what the dialog's own load put there.
  EXPECT_EQ(g->Win2KInfo().TxtOwner.Text, "Template Owner");
  EXPECT_EQ(g->Win9xInfo().TxtOwner.Text, "Jane Doe");
  // An empty key comes back empty.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(g->Win9xInfo().TxtKeyPart[i].Text, "") << i;
  EXPECT_EQ(g->ChkSlipstream.Value, 1);
  // Loading writes the 98/Me answers to keyfile2.txt.
  EXPECT_EQ(INIFile(P("keyfile2.txt")).GetINIKey("Win9xInfo", "OwnerName"), "Jane Doe");
  EXPECT_EQ(INIFile(P("keyfile2.txt")).GetINIKey("Win2KInfo", "OwnerName"), "");
}

TEST_F(SettingsTest, OnlyMainSectionUnchecksLaterDefaults) {
  Write("kivcd.ini", "[Main]\r\nBootDisks      = 1\r\nWindows2K      = 1\r\nWindows9x      = 0\r\n");
  auto f = MakeForm();
  EXPECT_EQ(f->ChkGet_Win9x.Value, 0);
  EXPECT_EQ(f->ChkGet_Advtools.Value, 0);
  for (CheckBox* box : {&f->ChkGet_kivnetplus, &f->ChkSelectDrivers, &f->ChkWin2KInfo_Assis, &f->ChkWin9xInfo_Assis,
                        &f->ChkKivUtils, &f->ChkAddFiles, &f->ChkSlipstream})
    EXPECT_EQ(box->Value, 0) << box->Caption;
  EXPECT_EQ(f->TxtSP_exe.Text, "");
  EXPECT_EQ(f->TxtISOLoc.Text, "");
  EXPECT_EQ(f->Win9xInfo().TxtOwner.Text, "");
  EXPECT_FALSE(f->CmdSetWin2KInfo.Enabled);
  EXPECT_FALSE(f->CmdSetWin9xInfo.Enabled);
}

// Paths on Linux easily pass 99 characters; every path a user can give is
// read back whole, and so is a settings file with short values.
TEST_F(SettingsTest, LongPathsAreReadWhole) {
  const std::string deep = P(std::string("media/") + std::string(60, 'd') + "/" + std::string(40, 'e'));
  ASSERT_GT(deep.size(), 110u);
  Write(deep.substr(dir_.string().size() + 1) + "/answers.sif",
        "[UserData]\r\nFullName=From Long Template\r\n[Identification]\r\nJoinWorkgroup=LONGWG\r\n");
  Write("kivcd.ini",
        "[Main]\r\nWindows2K      = 1\r\nWindows9x      = 1\r\nAdvancedTools  = 1\r\n"
        "ISOLocation    = " +
            deep +
            "/kivcd.iso\r\n"
            "[Win2K_Info]\r\nSourceDir      = \"" +
            deep + "/I386\"\r\nSP_exe         = \"" + deep +
            "/xpsp2.exe\"\r\n"
            "TemplateFile   = \"" +
            deep +
            "/answers.sif\"\r\n"
            "[Win9x_Info]\r\nSourceDir      = \"" +
            deep +
            "/WIN98\"\r\n"
            "[Locations]\r\nkivUtils_Dir   = \"" +
            deep + "/utils\"\r\nAddFiles_Dir   = \"" + deep +
            "/add\"\r\n"
            "[AdvTools]\r\nBlueCon_Dir   = \"" +
            deep + "/oobc\"\r\nERDCmdr_Dir   = \"" + deep + "/erdc\"\r\n");
  auto f = MakeForm();
  EXPECT_EQ(f->TxtISOLoc.Text, deep + "/kivcd.iso");
  EXPECT_EQ(f->Txt_i386_Loc.Text, deep + "/I386");
  EXPECT_EQ(f->TxtSP_exe.Text, deep + "/xpsp2.exe");
  EXPECT_EQ(f->TxtWin9x_Loc.Text, deep + "/WIN98");
  EXPECT_EQ(f->TxtUtils_Loc.Text, deep + "/utils");
  EXPECT_EQ(f->TxtAddFiles_Loc.Text, deep + "/add");
  EXPECT_EQ(f->TxtBCon.Text, deep + "/oobc");
  EXPECT_EQ(f->TxtERDC.Text, deep + "/erdc");
  EXPECT_EQ(f->Win2KInfo().TxtTemplate.Text, deep + "/answers.sif");
  // Written back and read again, nothing is lost either.
  ASSERT_TRUE(f->WriteKivCDINI());
  auto again = MakeForm();
  EXPECT_EQ(again->TxtISOLoc.Text, deep + "/kivcd.iso");
  EXPECT_EQ(again->Win2KInfo().TxtTemplate.Text, deep + "/answers.sif");
}

TEST_F(SettingsTest, FlagsOddValuesAndBootDisksStayChecked) {
  Write("kivcd.ini",
        "[main]\r\nBootDisks = 0\r\nWindows2K=7\r\nWindows9x = x\r\nAdvancedTools=-1\r\n"
        "[win2k_info]\r\nSP_exe=\"/sp/x.exe\"\r\nJoinDomain=1\r\n");
  auto f = MakeForm();
  EXPECT_EQ(f->ChkGet_kivdisks.Value, 1);
  EXPECT_EQ(f->ChkGet_Win2k.Value, 1);
  EXPECT_EQ(f->ChkGet_Win9x.Value, 0);
  EXPECT_EQ(f->ChkGet_Advtools.Value, 1);
  EXPECT_EQ(f->TxtSP_exe.Text, "/sp/x.exe");
  EXPECT_EQ(f->ChkSlipstream.Value, 1);
  EXPECT_TRUE(f->Win2KInfo().OptJoinDomain.Value);
}

TEST_F(SettingsTest, ServicePackOffIsStoredEmptyAndRestoredOff) {
  {
    auto f = MakeForm();
    f->TxtSP_exe.Text = "/sp/xpsp2.exe";
    f->ClickCheck(f->ChkSlipstream);
    ASSERT_TRUE(f->WriteKivCDINI());
    EXPECT_NE(Read("kivcd.ini").find("SP_exe         = \"\"\r\n"), std::string::npos);
  }
  {
    auto f = MakeForm();
    EXPECT_EQ(f->ChkSlipstream.Value, 0);
    EXPECT_FALSE(f->TxtSP_exe.Enabled);
    f->ClickCheck(f->ChkSlipstream);
    f->TxtSP_exe.Text = "/sp/xpsp2.exe";
    ASSERT_TRUE(f->WriteKivCDINI());
  }
  auto f = MakeForm();
  EXPECT_EQ(f->ChkSlipstream.Value, 1);
  EXPECT_EQ(f->TxtSP_exe.Text, "/sp/xpsp2.exe");
}

TEST_F(SettingsTest, UnwritableFolderIsReportedOnce) {
  auto f = MakeForm();
  const std::filesystem::path ro = dir_ / "ro";
  std::filesystem::create_directories(ro);
  FrmCDBuild g(ro.string() + "/missing/deeper", prompter_, {SystemLauncher(), platform_});
  EXPECT_FALSE(g.WriteKivCDINI());
  EXPECT_FALSE(g.WriteKivCDINI());
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_NE(prompter_.messages[0].text.find("kivcd.ini"), std::string::npos);
}

// A writer killed at any moment leaves either the old or the new file whole.
TEST_F(SettingsTest, KillDuringWriteLeavesAWholeFile) {
  auto f = MakeForm();
  f->TxtAddFiles_Loc.Text = "/old";
  ASSERT_TRUE(f->WriteKivCDINI());
  const std::string oldText = Read("kivcd.ini");
  f->TxtAddFiles_Loc.Text = "/" + std::string(4 << 20, 'n');  // a slow, large write
  const std::string newText = f->KivCDINIText();

  for (int round = 0; round < 4; ++round) {
    ForkedChild child([&] {
      for (;;) f->WriteKivCDINI();
    });
    ASSERT_TRUE(child.Started());
    std::this_thread::sleep_for(std::chrono::milliseconds(15 + 20 * round));
    child.Kill();
    const std::string now = Read("kivcd.ini");
    EXPECT_TRUE(now == oldText || now == newText) << "round " << round << ": " << now.size() << " bytes";
  }
}

}  // namespace
}  // namespace kiv::testing
