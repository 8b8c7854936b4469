// The Windows 10/11 answers in kivcd.ini and their checks: names Windows
// refuses, --set, a settings file from before them, and the wizard page's
// check of the medium, the edition and the answers (on wimlib stand-ins).
#include "cdtool/settings/win10_checks.h"

#include "cdtool/settings/session_defaults.h"
#include "testsupport/cdtool_test_support.h"
#include "testsupport/win10_stand_in.h"

namespace kiv::testing {
namespace {

using Win10Settings = ProgramFolderTest;

TEST(Win10Names, ComputerAndAccountNamesAsWindowsTakesThem) {
  for (const char* good : {"", "ANNA-PC", "pc_2", "x", "A23456789012345", "J\xC3\xB6rgsPC"})
    EXPECT_EQ(ComputerNameProblem(good), "") << good;
  EXPECT_EQ(ComputerNameProblem("my pc"),
            "holds \" \", which a computer name cannot hold (blanks and { | } ~ [ \\ ] ^ ' : ; < = > ? @ ! \" # $ % "
            "` ( ) + / . , * &)");
  EXPECT_EQ(ComputerNameProblem("a.b,c").rfind("holds \".\" and \",\", which", 0), 0u);
  EXPECT_EQ(ComputerNameProblem("ABCDEFGHIJKLMNOP"), "is 16 characters long; a computer name holds at most 15");
  EXPECT_EQ(ComputerNameProblem("2024"), "is only digits, which a computer name cannot be");
  EXPECT_EQ(ComputerNameProblem("a\tb"), "holds the control character 0x09, which a computer name cannot hold");

  for (const char* good : {"", "anna", "Anna Maria", "j.doe", "J\xC3\xB6rg", "12345678901234567890"})
    EXPECT_EQ(AccountNameProblem(good), "") << good;
  for (const char* bad : {"a/b", "a\\b", "[x]", "a:b", "a;b", "a|b", "a=b", "a,b", "a+b", "a*b", "a?b", "<a>", "\"a\""})
    EXPECT_EQ(AccountNameProblem(bad).rfind("holds \"", 0), 0u) << bad;
  EXPECT_EQ(AccountNameProblem("123456789012345678901"), "is 21 characters long; a user name holds at most 20");
  for (const char* reserved : {"Administrator", "guest", "DefaultAccount", "SYSTEM", "con", "LPT1"})
    EXPECT_EQ(AccountNameProblem(reserved), "is a name Windows keeps for itself") << reserved;
  EXPECT_EQ(AccountNameProblem(". ."), "is only dots and blanks, which a user name cannot be");
}

// --set takes the answers as the window does: a name Windows refuses, a
// time zone or locale it does not know is named with the value, and
// nothing is written; what it takes is read back as set.
TEST_F(Win10Settings, SetTakesTheAnswersWithTheWindowsChecks) {
  ASSERT_EQ(
      RunSet(platform_, {"Main.Windows10=1", "Win10_Info.SourceDir=/isos/Win11_23H2.iso",
                         "Win10_Info.Edition=Windows 11 Pro", "Win10_Info.ProductKey=vk7jg-nphtm-c97jm-9mpgt-3v66t",
                         "Win10_Info.LocalAccount=anna", "Win10_Info.ComputerName=ANNA-PC", "Win10_Info.SkipPrivacy=0",
                         "Win10_Info.TimeZone=Tokyo Standard Time", "Win10_Info.Locale=ja-JP"}),
      0);
  const SessionSettings s = ReadKivCdIni(P("kivcd.ini"));
  EXPECT_EQ(s.Main.Windows10, 1);
  EXPECT_EQ(s.Win10_Info.SourceDir, "/isos/Win11_23H2.iso");
  EXPECT_EQ(s.Win10_Info.Edition, "Windows 11 Pro");
  EXPECT_EQ(s.Win10_Info.ProductKey, (KeyParts{"VK7JG", "NPHTM", "C97JM", "9MPGT", "3V66T"}));
  EXPECT_EQ(s.Win10_Info.LocalAccount, "anna");
  EXPECT_EQ(s.Win10_Info.SkipPrivacy, 0);
  EXPECT_EQ(s.Win10_Info.SkipHardwareChecks, 1);
  EXPECT_EQ(s.Win10_Info.TimeZone, "Tokyo Standard Time");
  EXPECT_EQ(s.Win10_Info.Locale, "ja-JP");
  const std::string before = Read("kivcd.ini");
  std::string err;
  for (const auto& [setting, said] : std::vector<std::pair<std::string, std::string>>{
           {"Win10_Info.ComputerName=MY PC", "Win10_Info.ComputerName \"MY PC\" holds \" \", which a computer name"},
           {"Win10_Info.LocalAccount=Administrator",
            "Win10_Info.LocalAccount \"Administrator\" is a name Windows keeps"},
           {"Win10_Info.TimeZone=Europe/Berlin",
            "Win10_Info.TimeZone \"Europe/Berlin\" is not a time zone Windows knows"},
           {"Win10_Info.Locale=german", "Win10_Info.Locale \"german\" is not a locale Windows knows"},
           {"Win10_Info.ProductKey=ABCDE", "Win10_Info.ProductKey \"ABCDE\" is not a product key"},
           {"Win10_Info.SkipPrivacy=yes", "Win10_Info.SkipPrivacy: \"yes\" is not a check box state"}}) {
    EXPECT_EQ(RunSet(platform_, {setting}, &err), 2) << setting;
    EXPECT_NE(err.find(said), std::string::npos) << err;
  }
  EXPECT_EQ(Read("kivcd.ini"), before);
}

// A settings file written before the Windows 10/11 answers existed gets a
// first run's: the options on, this machine's time zone and locale.
TEST_F(Win10Settings, AnOlderSettingsFileGetsTheFirstRunsAnswers) {
  Write("kivcd.ini", "[Main]\r\nBootDisks      = 1\r\nWindows2K      = 0\r\n");
  const Environment tokyo = Environment().Set("TZ", "Asia/Tokyo").Set("LANG", "ja_JP.UTF-8");
  const SessionSettings s = LoadSessionSettings(P(""), platform_, tokyo);
  EXPECT_EQ(s.Main.Windows10, 0);
  EXPECT_EQ(s.Win10_Info.TimeZone, "Tokyo Standard Time");
  EXPECT_EQ(s.Win10_Info.Locale, "ja-JP");
  EXPECT_EQ(s.Win10_Info.NoOnlineAccount, 1);
  // One that has them keeps what it says, empty values too.
  Write("kivcd.ini", "[Main]\r\nWindows10 = 1\r\n[Win10_Info]\r\nTimeZone = \"\"\r\nSkipPrivacy = 0\r\n");
  const SessionSettings kept = LoadSessionSettings(P(""), platform_, tokyo);
  EXPECT_EQ(kept.Win10_Info.TimeZone, "");
  EXPECT_EQ(kept.Win10_Info.SkipPrivacy, 0);
  EXPECT_EQ(kept.Win10_Info.NoOnlineAccount, 0);
}

class Win10Page : public ProgramFolderTest {
 protected:
  SessionSettings s;
  void SetUp() override {
    ProgramFolderTest::SetUp();
    if (const std::string missing = Win10StandInToolsMissing(); !missing.empty()) GTEST_SKIP() << missing;
    s = LoadSessionSettings(P(""), platform_, Environment());
    s.Main.Windows10 = 1;
  }
  std::vector<std::string> Problems() {
    std::vector<std::string> texts;
    for (const PageProblem& p : CheckPage(kWin10Page, s, BootPassword{}, PageContext{P(""), "", false}))
      texts.push_back(p.text);
    return texts;
  }
};

TEST_F(Win10Page, TheMediumIsCheckedAndWhatItLacksNamed) {
  s.Main.Windows10 = 0;
  EXPECT_TRUE(Problems().empty()) << "not chosen: nothing to check";
  s.Main.Windows10 = 1;
  s.Win10_Info.SourceDir.clear();
  ASSERT_EQ(Problems().size(), 1u);
  EXPECT_EQ(Problems()[0].rfind("No ISO image or folder is chosen for the Windows 10/11 setup files.\n", 0), 0u);
  Win10StandIn lacking;
  lacking.bootPrograms = false;
  ASSERT_EQ(MakeWin10StandIn(P("lacking"), lacking), "");
  s.Win10_Info.SourceDir = P("lacking");
  ASSERT_EQ(Problems().size(), 1u);
  EXPECT_EQ(Problems()[0], "The selected ISO image or folder doesn't contain a Windows 10/11 installation !\n\"" +
                               P("lacking") +
                               "\": it lacks bootmgr, boot/etfsboot.com, boot/bcd, efi/boot/bootx64.efi, "
                               "efi/microsoft/boot/bcd\nSelect your Windows setup source (an ISO image or the folder "
                               "of its files)");
  ASSERT_EQ(MakeWin10StandIn(P("win11")), "");
  ASSERT_EQ(PackUdfIso(P("win11"), P("win11.iso")), "");
  for (const std::string& source : {P("win11"), P("win11.iso")}) {
    s.Win10_Info.SourceDir = source;
    EXPECT_TRUE(Problems().empty()) << source;
  }
  // A medium inside the work folder would be gone before it is copied.
  ASSERT_EQ(MakeWin10StandIn(P("kivcd/win10")), "");
  s.Win10_Info.SourceDir = P("kivcd/win10");
  ASSERT_EQ(Problems().size(), 1u);
  EXPECT_NE(Problems()[0].find("is inside the work folder"), std::string::npos);
}

TEST_F(Win10Page, TheEditionAndTheAnswersAreCheckedWithTheirValues) {
  ASSERT_EQ(MakeWin10StandIn(P("win11")), "");
  s.Win10_Info.SourceDir = P("win11");
  s.Win10_Info.Edition = "Windows 11 Enterprise";
  s.Win10_Info.ProductKey = {"ABCDE", "FG", "", "", ""};
  s.Win10_Info.ComputerName = "ANNA PC";
  s.Win10_Info.LocalAccount = "a*b";
  s.Win10_Info.TimeZone = "Mars Standard Time";
  s.Win10_Info.Locale = "xx_YY";
  const std::vector<std::string> problems = Problems();
  ASSERT_EQ(problems.size(), 6u);
  EXPECT_EQ(problems[0],
            "The edition \"Windows 11 Enterprise\" of \"Set Windows Installation Info...\" is not on this medium, "
            "which holds Windows 11 Pro, Home (build 22631).\nChoose one of its editions, or none to let Setup ask");
  EXPECT_EQ(problems[1].rfind("The Product Key of \"Set Windows Installation Info...\"", 0), 0u);
  EXPECT_EQ(problems[2].rfind("The Computer Name \"ANNA PC\" of \"Set Windows Installation Info...\" holds \" \"", 0),
            0u);
  EXPECT_EQ(problems[3].rfind("The Local Account \"a*b\" of \"Set Windows Installation Info...\" holds \"*\"", 0), 0u);
  EXPECT_EQ(problems[4],
            "The Time Zone \"Mars Standard Time\" of \"Set Windows Installation Info...\" is not a time "
            "zone Windows knows (Windows' names, for example \"W. Europe Standard Time\")");
  EXPECT_EQ(problems[5].rfind("The Locale \"xx_YY\" of", 0), 0u);
  // The edition in another letter case is the same edition; the account may
  // not be the computer's name.
  s.Win10_Info = SessionSettings::Win10Section{};
  s.Win10_Info.SourceDir = P("win11");
  s.Win10_Info.Edition = "windows 11 home";
  s.Win10_Info.ComputerName = "anna";
  s.Win10_Info.LocalAccount = "Anna";
  ASSERT_EQ(Problems(), std::vector<std::string>{"The Local Account \"Anna\" of \"Set Windows Installation Info...\" "
                                                 "has the computer's name, which Windows refuses for a user"});
}

// Next walks the Windows 10/11 page after page 4: a build whose medium
// fails stops there, before the tools and folders of pages 5 and 6.
TEST_F(Win10Page, AllPagesCheckTheWindows10PageAfterPage4) {
  s.Main.Windows2K = s.Main.Windows9x = 0;
  s.Win10_Info.SourceDir = P("nowhere");
  const auto problem = CheckAllPages(s, BootPassword{}, PageContext{P(""), "", false});
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->page, kWin10Page);
  // Leaving page 4 takes a mounted DVD for the medium, as for Windows 2000/XP.
  s.Win10_Info.SourceDir.clear();
  FillPageDefaults(4, s, PageContext{P(""), "/media/cdrom", false});
  EXPECT_EQ(s.Win10_Info.SourceDir, "/media/cdrom");
}

}  // namespace
}  // namespace kiv::testing
