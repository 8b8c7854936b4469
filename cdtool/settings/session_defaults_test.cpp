// The settings value against the wizard form and the --set command: a first
// run's defaults are what a fresh form shows, a value survives the form and
// the file, and --set changes exactly the named keys or nothing.
#include "cdtool/settings/session_defaults.h"

#include <filesystem>

#include "cdtool/commands/settings_command.h"
#include "cdtool/settings/page_checks.h"
#include "cdtool/settings/session_settings.h"
#include "common/platform.h"
#include "common/setup_answer_defaults.h"
#include "testsupport/cdtool_test_support.h"
#include "testsupport/test_temp_dir.h"

namespace kiv::testing {
namespace {

using SessionValueTest = ProgramFolderTest;

// Runs --set in the test's program folder; stderr is returned in `err`.
int Set(const FakePlatform& platform, const std::vector<std::string>& args, std::string* err = nullptr) {
  return RunSet(platform, args, err);
}

TEST_F(SessionValueTest, AFirstRunsDefaultsAreWhatAFreshFormShows) {
  const SessionSettings defaults = LoadSessionSettings(P(""), platform_, Environment());
  auto form = MakeForm();
  EXPECT_EQ(KivCdIniText(form->Settings()), KivCdIniText(defaults));
  EXPECT_EQ(defaults.Win2K_Info.OwnerName, "Template Owner");  // the dialog's own load
  EXPECT_EQ(defaults.Main.ISOLocation, HomeFolder(Environment()) + "/kivcd.iso");
}

// Without a window, the 98/Me answers come from where the dialog takes them
// on its first opening: keyfile2.txt before keyfile.txt before a Windows 9x
// registry, key groups cut to their boxes; with none of them, the defaults.
TEST_F(SessionValueTest, AFirstRunsWindows98AnswersAreWhatTheDialogLoads) {
  auto expectSame = [&](const std::string& owner) {
    const SessionSettings defaults = LoadSessionSettings(P(""), platform_, Environment());
    auto form = MakeForm();
    EXPECT_EQ(defaults.Win9x_Info.OwnerName, owner);
    EXPECT_TRUE(static_cast<const Win9xInfo&>(defaults.Win9x_Info) == form->Win9xInfo().Record()) << "owner " << owner;
  };
  expectSame(kDefaultOwner);
  platform_.win9x = true;
  platform_.registry["Software\\Microsoft\\Windows\\CurrentVersion\\RegisteredOwner"] = "Registry Owner";
  platform_.registry["Software\\Microsoft\\Windows\\CurrentVersion\\ProductKey"] = "ABCDEFG-HIJKL-MNOPQ-RSTUV-WXYZ1";
  const SessionSettings fromRegistry = LoadSessionSettings(P(""), platform_, Environment());
  EXPECT_EQ(fromRegistry.Win9x_Info.OwnerName, "Registry Owner");
  EXPECT_EQ(fromRegistry.Win9x_Info.ProductKey[0], "ABCDE");
  expectSame("Registry Owner");
  Write("keyfile.txt", "[Win9xInfo]\r\nOwnerName=Key Owner\r\nProductKey=ABCDEFGH-12345-12345-12345-12345\r\n");
  expectSame("Key Owner");
  Write("keyfile2.txt", "[Win9xInfo]\r\nOwnerName=Key2 Owner\r\n");
  expectSame("Key2 Owner");
}

// The first run's ISO and service pack lie in the home folder the program
// was started with, for the wizard and for the commands without one alike.
TEST_F(SessionValueTest, AFirstRunsFilesLieInTheHomeTheProgramWasStartedWith) {
  const Environment started = Environment().Set("HOME", "/home/tester");
  const SessionSettings defaults = LoadSessionSettings(P(""), platform_, started);
  EXPECT_EQ(defaults.Main.ISOLocation, "/home/tester/kivcd.iso");
  EXPECT_EQ(defaults.Win2K_Info.SP_exe, "/home/tester/SP/xpsp1_en_x86.exe");
  FrmCDBuild form(P(""), prompter_, {SystemLauncher(), platform_, started});
  EXPECT_EQ(form.TxtISOLoc.Text, defaults.Main.ISOLocation);
  EXPECT_EQ(form.TxtSP_exe.Text, defaults.Win2K_Info.SP_exe);
  // Without HOME, the account's home folder.
  EXPECT_EQ(HomeFolder(Environment()), AccountHomeFolder().value_or("/"));
}

TEST_F(SessionValueTest, AValueShownByTheFormComesBackUnchanged) {
  SessionSettings s = LoadSessionSettings(P(""), platform_, Environment());
  s.Main.Windows9x = 0;
  s.Main.AdvancedTools = 2;  // greyed stays greyed
  s.Win2K_Info.SourceDir = "/media/cd rom/I386";
  s.Win2K_Info.ProductKey = {"ABCDE", "", "KLMNO", "PQ", ""};
  s.Win2K_Info.JoinDomain = true;
  s.Win9x_Info.Workgroup = "HOME";
  s.Locations.AddFiles = 0;
  s.AdvTools.ERDCmdr_Dir = "/media/erdc";
  auto form = MakeForm();
  form->ApplySettings(s);
  EXPECT_EQ(KivCdIniText(form->Settings()), KivCdIniText(s));
  // And through the file.
  ASSERT_TRUE(WriteKivCdIni(P("kivcd.ini"), s));
  EXPECT_EQ(ReadKivCdIni(P("kivcd.ini")).Win2K_Info.SourceDir, "/media/cd rom/I386");
  EXPECT_TRUE(ReadKivCdIni(P("kivcd.ini")) == s);
}

TEST_F(SessionValueTest, TheIsoPathIsTrimmedAndAbsoluteOnceLoaded) {
  Write("kivcd.ini", "[Main]\r\nISOLocation    =   out/my.iso  \r\n");
  const SessionSettings s = LoadSessionSettings(P(""), platform_, Environment());
  // A relative path in the file is the program folder's, wherever the
  // program was started from.
  EXPECT_EQ(s.Main.ISOLocation, P("out/my.iso"));
  auto form = MakeForm();  // the form shows the same file
  EXPECT_EQ(form->TxtISOLoc.Text, s.Main.ISOLocation);
  EXPECT_EQ(form->IsoFile(), s.Main.ISOLocation);
}

// A program folder can be copied or moved: its own paths are stored relative
// to it, so the copy builds into itself, not into the original.
TEST_F(SessionValueTest, ACopiedProgramFolderUsesItsOwnPaths) {
  ASSERT_EQ(Set(platform_, {"Main.ISOLocation=" + P("cd.iso"), "Locations.kivUtils_Dir=" + P("demo/utils"),
                            "Locations.AddFiles_Dir=/srv/extra"}),
            0);
  const std::string text = Read("kivcd.ini");
  EXPECT_NE(text.find("ISOLocation    = cd.iso\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("= \"demo/utils\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("= \"/srv/extra\"\r\n"), std::string::npos) << text;

  TestTempDir copy;
  std::filesystem::copy_file(P("kivcd.ini"), copy / "kivcd.ini");
  const SessionSettings s = LoadSessionSettings(copy.Path(), platform_, Environment());
  EXPECT_EQ(s.Main.ISOLocation, copy / "cd.iso");
  EXPECT_EQ(s.Locations.kivUtils_Dir, copy / "demo/utils");
  EXPECT_EQ(s.Locations.AddFiles_Dir, "/srv/extra");

  // The wizard writes and reads them the same way.
  auto form = MakeForm();
  EXPECT_EQ(form->TxtISOLoc.Text, P("cd.iso"));
  form->TxtISOLoc.Text = P("out/../sub/x.iso");
  ASSERT_TRUE(form->WriteKivCDINI());
  EXPECT_NE(Read("kivcd.ini").find("ISOLocation    = sub/x.iso\r\n"), std::string::npos) << Read("kivcd.ini");
}

// A file that is not the wizard's settings (empty, binary, something else's)
// is said to be so; the wizard starts from the defaults and leaves the file
// alone until Finish.
TEST_F(SessionValueTest, AFileThatIsNotSettingsIsNamedAndLeftAlone) {
  for (const std::string& garbage : {std::string(),
                                     std::string("\x7f"
                                                 "ELF\0\0\1",
                                                 7),
                                     std::string("hello\nworld\n")}) {
    Write("kivcd.ini", garbage);
    prompter_.messages.clear();
    std::string problem;
    const SessionSettings s = LoadSessionSettings(P(""), platform_, Environment(), &problem);
    EXPECT_FALSE(problem.empty());
    EXPECT_EQ(s.Main.Windows2K, 1) << "the defaults";
    auto form = MakeForm();
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text.rfind(
                  "The settings file \"" + P("kivcd.ini") + "\" cannot be read as settings (", 0),
              0u)
        << prompter_.messages[0].text;
    EXPECT_EQ(form->ChkGet_Win2k.Value, 1);
    EXPECT_EQ(Read("kivcd.ini"), garbage) << "not written before Finish";
  }
  // One key is enough to be settings.
  Write("kivcd.ini", "[Main]\r\nWindows2K      = 0\r\n");
  std::string problem;
  EXPECT_EQ(LoadSessionSettings(P(""), platform_, Environment(), &problem).Main.Windows2K, 0);
  EXPECT_EQ(problem, "");
}

// A CD whose files do not fit a CD is said so on the summary page, before
// anything is built (the outcome line of a made image says the same).
TEST_F(SessionValueTest, TheSummarySaysWhenTheFilesNeedADvdOrAStick) {
  EXPECT_EQ(MediumWarning(kCdBytes), "");
  EXPECT_NE(MediumWarning(kCdBytes + 1).find("more than a CD (700 MB) holds"), std::string::npos);
  EXPECT_NE(MediumWarning(kDvdBytes + 1).find("more than a single-layer DVD (4.7 GB) holds"), std::string::npos);
  BuildOutcome made;
  made.kind = BuildOutcome::Kind::Made;
  made.isoPath = "/x.iso";
  made.isoSize = kCdBytes + 1;
  made.note = MediumWarning(made.isoSize);
  EXPECT_NE(made.Summary().find("(734003201 bytes). The CD's files take 701 MB, more than a CD"), std::string::npos)
      << made.Summary();

  auto form = MakeForm();
  form->SetCheck(form->ChkGet_Win2k, 0);
  form->SetCheck(form->ChkGet_Win9x, 0);
  form->SetCheck(form->ChkAddFiles, 0);
  form->TxtUtils_Loc.Text = P("utils");
  form->TxtISOLoc.Text = P("cd.iso");
  Write("utils/big.bin", "");
  std::filesystem::resize_file(P("utils/big.bin"), 800ll * 1024 * 1024);  // sparse
  for (int i = 0; i < 8 && form->Step < 8; ++i) form->CmdNext_Click();
  ASSERT_EQ(form->Step, 8) << (prompter_.messages.empty() ? "" : prompter_.messages.back().text);
  EXPECT_NE(form->TxtSummery.Text.find("The CD's files take 800 MB, more than a CD (700 MB) holds: burn the image on "
                                       "a DVD or write it to a USB stick."),
            std::string::npos)
      << form->TxtSummery.Text;
}

TEST_F(SessionValueTest, SetChangesTheNamedKeysThroughTheWizardsWriter) {
  ASSERT_EQ(Set(platform_, {"Main.ISOLocation=/tmp/x.iso", "locations.kivutils=0",
                            "Win2K_Info.ProductKey=ABCDE-FGHIJ-KLMNO-PQRST-UVWXY"}),
            0);
  const SessionSettings s = ReadKivCdIni(P("kivcd.ini"));
  EXPECT_EQ(s.Main.ISOLocation, "/tmp/x.iso");
  EXPECT_EQ(s.Locations.kivUtils, 0);
  EXPECT_EQ(s.Win2K_Info.ProductKey[4], "UVWXY");
  EXPECT_EQ(s.Win2K_Info.OwnerName, "Template Owner") << "the rest are a first run's defaults";
  // The wizard opens with them.
  auto form = MakeForm();
  EXPECT_EQ(form->TxtISOLoc.Text, "/tmp/x.iso");
  EXPECT_EQ(form->ChkKivUtils.Value, 0);
}

TEST_F(SessionValueTest, SetRefusesUnknownKeysAndBadFlagsAndWritesNothing) {
  std::string err;
  EXPECT_EQ(Set(platform_, {"Main.ISOLocation=/tmp/x.iso", "Main.Nonsense=1"}, &err), 2);
  EXPECT_NE(err.find("\"Main.Nonsense\" is not a setting of kivcd.ini"), std::string::npos) << err;
  EXPECT_EQ(Set(platform_, {"Main.Windows2K=yes"}, &err), 2);
  EXPECT_NE(err.find("Main.Windows2K: \"yes\" is not a check box state (0, 1 or 2)"), std::string::npos) << err;
  EXPECT_EQ(Set(platform_, {"ISOLocation"}, &err), 2);
  EXPECT_NE(err.find("\"ISOLocation\" is not Section.Key=value"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(P("kivcd.ini")));
}

// A line break in a value would end it and start a line of its own: another
// key or a whole section in the file. The settings stay as they were.
TEST_F(SessionValueTest, SetRefusesControlCharactersAndTheFileStaysAsItWas) {
  ASSERT_EQ(Set(platform_, {"Win2K_Info.OwnerName=Anna", "Main.ISOLocation=/tmp/a.iso"}), 0);
  const std::string before = Read("kivcd.ini");
  std::string err;
  for (const std::string& value : {std::string("evil\n[Main]\nISOLocation=/x"), std::string("cut\rhere"),
                                   std::string("tab\there"), std::string("del\x7f")}) {
    EXPECT_EQ(Set(platform_, {"Win2K_Info.OwnerName=" + value}, &err), 2) << value;
    EXPECT_NE(err.find("Win2K_Info.OwnerName: the value holds the control character 0x"), std::string::npos) << err;
    EXPECT_NE(err.find("; nothing written"), std::string::npos);
    EXPECT_EQ(Read("kivcd.ini"), before);
  }
  // Characters beyond ASCII are text, not control characters.
  EXPECT_EQ(Set(platform_, {"Win2K_Info.OwnerName=J\xC3\xB6rg"}), 0);
  EXPECT_EQ(ReadKivCdIni(P("kivcd.ini")).Win2K_Info.OwnerName, "J\xC3\xB6rg");
}

// --set takes a product key only as Windows takes it, or none; a refused key
// is named with its setting and its value, and nothing is written.
TEST_F(SessionValueTest, SetTakesOnlyWholeProductKeysOrNone) {
  ASSERT_EQ(Set(platform_, {"Win9x_Info.ProductKey=abcde-12345-fghij-67890-klmno"}), 0);
  const std::string before = Read("kivcd.ini");
  EXPECT_EQ(ReadKivCdIni(P("kivcd.ini")).Win9x_Info.ProductKey,
            (KeyParts{"ABCDE", "12345", "FGHIJ", "67890", "KLMNO"}));
  std::string err;
  EXPECT_EQ(Set(platform_, {"Win2K_Info.ProductKey=A!B@C-#D$E%-F--"}, &err), 2);
  EXPECT_EQ(err.rfind("discsmith: Win2K_Info.ProductKey \"A!B@C-#D$E%-F--\" is not a product key: group 1 holds", 0),
            0u)
      << err;
  EXPECT_NE(err.find("(a product key is five groups of five letters and digits joined by dashes, or empty for none); "
                     "nothing written\n"),
            std::string::npos)
      << err;
  // A key the boxes would cut to fit is refused too, not stored cut.
  for (const char* key : {"ABCDE-FGHIJ-KLMNO-PQRST-UVWXYZ", "ABCDEFGHIJKLMNOPQRSTUVWXY", "AB"}) {
    EXPECT_EQ(Set(platform_, {std::string("Win9x_Info.ProductKey=") + key}, &err), 2) << key;
    EXPECT_NE(err.find("Win9x_Info.ProductKey \""), std::string::npos) << err;
  }
  EXPECT_EQ(Read("kivcd.ini"), before);
  for (const char* none : {"", "----"}) {
    EXPECT_EQ(Set(platform_, {std::string("Win9x_Info.ProductKey=") + none}), 0) << none;
    EXPECT_EQ(ReadKivCdIni(P("kivcd.ini")).Win9x_Info.ProductKey, KeyParts{}) << none;
  }
}

// A kivcd.ini that --build refuses is refused by --set too, and left alone:
// neither replaced by defaults nor written through a link to another file.
TEST_F(SessionValueTest, SetLeavesAFileThatIsNotSettingsOrALinkAlone) {
  std::string err;
  for (const std::string& foreign : {std::string(), std::string("hello\nworld\n"),
                                     std::string("\x7f"
                                                 "ELF\0\1",
                                                 6)}) {
    Write("kivcd.ini", foreign);
    EXPECT_EQ(Set(platform_, {"Main.Windows2K=0"}, &err), 1);
    EXPECT_EQ(err.find("discsmith: the settings file \"" + P("kivcd.ini") + "\" cannot be read as settings ("), 0u)
        << err;
    EXPECT_NE(err.find("; nothing written"), std::string::npos);
    EXPECT_EQ(Read("kivcd.ini"), foreign);
    // Nor is it shown as the builder's settings.
    EXPECT_EQ(Set(platform_, {}, &err), 1);
    EXPECT_NE(err.find("; nothing shown"), std::string::npos) << err;
  }
  std::filesystem::remove(P("kivcd.ini"));
  Write("elsewhere.ini", "[Main]\r\nWindows2K      = 1\r\n");
  std::filesystem::create_symlink(P("elsewhere.ini"), P("kivcd.ini"));
  EXPECT_EQ(Set(platform_, {"Main.Windows2K=0"}, &err), 1);
  EXPECT_NE(err.find("is a symbolic link"), std::string::npos) << err;
  EXPECT_EQ(Read("elsewhere.ini"), "[Main]\r\nWindows2K      = 1\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(P("kivcd.ini")));
}

TEST_F(SessionValueTest, ThePageChecksNameThePageAndFillTheDefaults) {
  SessionSettings s = LoadSessionSettings(P(""), platform_, Environment());
  s.Main.Windows2K = 0;
  s.Main.Windows9x = 0;
  s.Main.ISOLocation = P("out.iso");
  const PageContext context{P(""), "/media/cdrom", false};
  // The utilities folders default to the program folder's, which are
  // missing: both are named, as Next names them.
  auto problem = CheckAllPages(s, BootPassword{}, context);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->page, 6);
  EXPECT_EQ(problem->problem.text,
            "This page has 2 problems:\n\n1. The kiv Utilities folder doesn't exist !\nSelect a valid Directory\n\n2. "
            "The Additional files folder doesn't exist !\nSelect a valid Directory");
  EXPECT_EQ(s.Locations.kivUtils_Dir, P("kiv_utilities"));
  std::filesystem::create_directories(P("kiv_utilities"));
  std::filesystem::create_directories(P("Additional Files"));
  EXPECT_FALSE(CheckAllPages(s, BootPassword{}, context));
  // What the utilities folder holds must fit a CD: names that differ only
  // in letter case keep the utilities page.
  Write("kiv_utilities/CASE.TXT", "up");
  Write("kiv_utilities/case.txt", "low");
  problem = CheckAllPages(s, BootPassword{}, context);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->page, 6);
  EXPECT_NE(problem->problem.text.find("differ only in letter case"), std::string::npos);
  std::filesystem::remove(P("kiv_utilities/case.txt"));
  // Passwords that differ keep the ISO page.
  problem = CheckAllPages(s, BootPassword{true, "a", "b"}, context);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->page, 7);
  // The ISO may not overwrite the program's programs and data, nor what the
  // build reads; a place where no file can be made says why.
  for (const auto& [iso, said] : std::vector<std::pair<std::string, std::string>>{
           {P("bootsmith"), "would overwrite the program's own file"},
           {P("KIVCD.INI"), "would overwrite the program's own file"},
           {P("files/disklist.ini"), "would overwrite the program's own folder"},
           {P("kiv_utilities/cd.iso"), "which the build copies from"},
           {"/proc/no-such-place/cd.iso", "ISO File destination is not correct, check again\n(the folder"}}) {
    s.Main.ISOLocation = iso;
    problem = CheckAllPages(s, BootPassword{}, context);
    ASSERT_TRUE(problem) << iso;
    EXPECT_EQ(problem->page, 7);
    EXPECT_NE(problem->problem.text.find(said), std::string::npos) << problem->problem.text;
  }
  s.Main.ISOLocation = P("my cd.iso");  // beside the programs is fine
  EXPECT_FALSE(CheckAllPages(s, BootPassword{}, context));
  // Windows 2000/XP on: its folder is guessed on the CD-ROM drive and checked.
  s.Main.Windows2K = 1;
  s.Win2K_Info.SourceDir.clear();
  problem = CheckAllPages(s, BootPassword{}, context);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->page, 2);
  EXPECT_EQ(s.Win2K_Info.SourceDir, "/media/cdrom/I386");
}

}  // namespace
}  // namespace kiv::testing
