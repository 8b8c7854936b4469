// discsmith --build on a temporary program folder with fake outside tools.
#include "cdtool/commands/headless_build.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cdtool/bootmenu/password_hash.h"
#include "cdtool/commands/settings_command.h"
#include "cdtool/settings/page_checks.h"
#include "common/environment.h"
#include "common/platform.h"
#include "testsupport/build_test_support.h"
#include "testsupport/cdtool_test_support.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"

namespace kiv {
namespace {

using testing::ProgramFolder;

class HeadlessBuild : public ::testing::Test {
 protected:
  ProgramFolder folder;
  testing::FakeLauncher tools;
  Environment environment;  // what discsmith was started with
  FakePlatform platform;    // the program folder, the clock, the random bytes
  void SetUp() override {
    platform.programFolder = folder.dir;
    testing::AddFakeCdTools(tools, folder.dir);
  }

  // The settings, set as a user's script sets them (discsmith --set): boot
  // disks with the network-access disk and its driver list, no utilities;
  // `more` are further Section.Key=value settings.
  void WriteSettings(const std::string& iso, const std::string& windows2k = "0",
                     const std::vector<std::string>& more = {}) {
    std::vector<std::string> set = {"Main.BootDisks=1",     "Main.Windows2K=" + windows2k, "Main.Windows9x=0",
                                    "Main.AdvancedTools=0", "Main.ISOLocation=" + iso,     "Main.CleanSession=0",
                                    "Main.OptimizeISO=1",   "BootDisks.Use_LorvaPlus=0",   "BootDisks.AcceptDrivers=0",
                                    "Win2K_Info.SP_exe=",   "Locations.kivUtils=0",        "Locations.AddFiles=0"};
    set.insert(set.end(), more.begin(), more.end());
    ASSERT_EQ(RunSetCommand(set, folder.dir, platform, Environment(), stdout, stderr), 0);
  }
  // A Windows XP medium with its setup folder.
  std::string XpMedium() {
    testing::WriteText(folder.P("xpcd/I386/SETUPLDR.BIN"), "loader");
    testing::WriteText(folder.P("xpcd/I386/TXTSETUP.SIF"), "[SourceDisksNames]\r\n");
    testing::WriteText(folder.P("xpcd/WIN51IP"), "");
    return folder.P("xpcd/I386");
  }
  int Run(std::string& out, std::string& err) {
    char arg0[] = "discsmith", arg1[] = "--build";
    char* argv[] = {arg0, arg1, nullptr};
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int rc = RunHeadlessBuild(2, argv, {tools, platform, environment});
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    return rc;
  }
};

TEST_F(HeadlessBuild, BuildsTheSavedSettingsAndPrintsEveryStep) {
  WriteSettings(folder.P("out dir/my cd.iso"));
  const std::string settingsBefore = folder.Read("kivcd.ini");
  std::string out, err;
  EXPECT_EQ(Run(out, err), 0) << out << err;
  EXPECT_EQ(folder.Read("out dir/my cd.iso"), "ISO image");
  EXPECT_EQ(tools.Ran("bootsmith"),
            (std::vector<std::string>{"bootsmith -t 144 kivsoftware", "bootsmith -t 144 kivsoftware_emm",
                                      "bootsmith -sel -t 288 netaccess"}));
  EXPECT_EQ(tools.Ran("dfl"), (std::vector<std::string>{"dfl kivcd link"}));
  for (const std::string& line : std::vector<std::string>{
           "[1/5] Creating kiv Boot Disks\n", "      Creating Kiv Rescue Software Disk\n",
           "[1/5] \u2714 Creating kiv Boot Disks\n",
           "[2/5] \u2013 Inserting Windows 2000/XP/2003 Setup Files (skipped)\n",
           "[5/5] \u2714 Creating Final ISO File\n", "       20%\n", "Operation completed successfully\n",
           "Build log: " + folder.P("kivcd-build.log") +
               "\n"
               "ISO image made: " +
               folder.P("out dir/my cd.iso") + " (9 bytes)\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n---\n" << out;
  // The outcome is the last line.
  EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1),
            "ISO image made: " + folder.P("out dir/my cd.iso") + " (9 bytes)\n");
  EXPECT_NE(err.find("bootsmith: building kivsoftware"), std::string::npos);  // the tool's own output
  // The settings file is the input of the run and stays as it was.
  EXPECT_EQ(folder.Read("kivcd.ini"), settingsBefore);
}

TEST_F(HeadlessBuild, FailingPageCheckBuildsNothing) {
  WriteSettings("/proc/no-such-place/cd.iso");
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_NE(err.find("Error: ISO File destination is not correct, check again"), std::string::npos) << err;
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
  EXPECT_FALSE(folder.Exists("kivcd"));
}

// A key edited by hand in kivcd.ini into one Windows would not take is named
// with its setting and value, and nothing is built; the log says so too.
TEST_F(HeadlessBuild, AStoredProductKeyWindowsWouldNotTakeIsNamedAndNothingBuilt) {
  WriteSettings(folder.P("cd.iso"), "1", {"Win2K_Info.SourceDir=" + XpMedium()});
  std::string ini = folder.Read("kivcd.ini");
  const std::string line = "ProductKey     = \"----\"";
  ASSERT_NE(ini.find(line), std::string::npos) << ini;
  ini.replace(ini.find(line), line.size(), "ProductKey     = \"ABCDE-FGHIJ-KLMNO-PQRST-UVWXYZ\"");
  testing::WriteText(folder.P("kivcd.ini"), ini);
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1);
  const std::string said = "discsmith: in the settings file \"" + folder.P("kivcd.ini") +
                           "\", Win2K_Info.ProductKey \"ABCDE-FGHIJ-KLMNO-PQRST-UVWXYZ\" is not a product key: "
                           "group 5 holds \"UVWXYZ\", 6 characters instead of 5";
  EXPECT_EQ(err.rfind(said, 0), 0u) << err;
  EXPECT_NE(err.find("; nothing built"), std::string::npos) << err;
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
  EXPECT_FALSE(folder.Exists("kivcd"));
  EXPECT_NE(folder.Read("kivcd-build.log").find("Nothing built: in the settings file"), std::string::npos);
}

TEST_F(HeadlessBuild, APasswordTheKeyboardCannotTypeAtBootTimeIsRefused) {
  WriteSettings(folder.P("cd.iso"));
  std::string out, err;
  environment.Set("KIVCD_PASSWORD", "p\xC3\xA4ssw\xC3\xB6rd");
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_NE(err.find("Error: The password contains \"\xC3\xA4\", which cannot be typed at the CD's password "
                     "prompt"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("the check of wizard page 7; nothing built"), std::string::npos) << err;
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
  EXPECT_FALSE(folder.Exists("cd.iso"));

  // Blanks and quotes are typed like any other key: the CD is made, and its
  // script and loader carry the password's hash, never the password.
  const std::string password = "my \"pass\" 'x'";
  environment.Set("KIVCD_PASSWORD", password);
  EXPECT_EQ(Run(out, err), 0) << out << err;
  const std::string script = folder.Read("kivcd/boot/scripts/main.cds");
  EXPECT_EQ(script.find(password), std::string::npos) << script;
  const size_t at = script.find("Set PasswordString=\"sha256:");
  ASSERT_NE(at, std::string::npos) << script;
  const auto hash = ParsePasswordHashText(script.substr(at + 20, 7 + 32 + 1 + 64));
  ASSERT_TRUE(hash);
  EXPECT_EQ(*hash, HashPassword(password, hash->salt));
  EXPECT_EQ(folder.Read("kivcd/boot/loader.bin").find(password), std::string::npos);
}

TEST_F(HeadlessBuild, FailedImageOrIsoGivesAFailureStatus) {
  WriteSettings(folder.P("cd.iso"));
  testing::WriteText(folder.P("fail.kivsoftware_emm"), "");
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_NE(err.find("Fatal Error: The creation the Boot image \"Kiv Rescue Software (EMM386 Support)\" failed"),
            std::string::npos)
      << err;
  EXPECT_NE(out.find("Operation failed"), std::string::npos);
  EXPECT_FALSE(folder.Exists("cd.iso"));

  std::filesystem::remove(folder.P("fail.kivsoftware_emm"));
  testing::WriteText(folder.P("mkisofs.nospace"), "");
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_NE(out.find("Operation failed\nNot enough free space to complete the ISO file !!!\n"), std::string::npos)
      << out;
  // The log says what the console said, the tool's complaint included.
  EXPECT_NE(out.find("Build log: " + folder.P("kivcd-build.log") + "\nBuild failed at step 5"), std::string::npos)
      << out;
  EXPECT_NE(folder.Read("kivcd-build.log").find("  | genisoimage: No space left on device"), std::string::npos);
  // One line, the last, whatever the reason's own lines.
  const std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
  EXPECT_EQ(last.rfind("Build failed at step 5", 0), 0u) << last;
  EXPECT_EQ(last.find('\n'), last.size() - 1) << last;
}

TEST_F(HeadlessBuild, AShortCopyOfTheWindowsFilesFailsTheBuild) {
  const std::string i386 = XpMedium();
  std::filesystem::create_directories(folder.P("xpcd/I386/SYSTEM32"));
  std::filesystem::create_symlink(folder.P("gone/NTOSKRNL.EXE"), folder.P("xpcd/I386/SYSTEM32/NTOSKRNL.EXE"));
  WriteSettings(folder.P("cd.iso"), "1", {"Win2K_Info.SourceDir=" + i386});
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1) << out << err;
  EXPECT_NE(err.find("Fatal Error: A fatal Error occured while integrating the Windows 2000/XP installation, "
                     "operation halted"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("NTOSKRNL.EXE\": Path Not found"), std::string::npos) << err;
  EXPECT_NE(out.find("Operation failed\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("completed successfully"), std::string::npos) << out;
  EXPECT_FALSE(folder.Exists("cd.iso"));
}

// The answers saved for the Windows 2000/XP dialog reach keyfile.txt and
// WINNT.SIF although the dialog was never shown (no keyfile2.txt).
TEST_F(HeadlessBuild, SavedWindows2000AnswersReachTheAnswerFile) {
  const std::string i386 = XpMedium();
  WriteSettings(folder.P("cd.iso"), "1",
                {"Win2K_Info.SourceDir=" + i386, "Win2K_Info.In_SetupWin=1", "Win2K_Info.In_Unattend=1",
                 "Win2K_Info.TemplateFile=", "Win2K_Info.OwnerName=Ada Tester", "Win2K_Info.Organization=Kiv Lab",
                 "Win2K_Info.ProductKey=ABCDE-FGHIJ-KLMNO-PQRST-UVWXY", "Win2K_Info.ComputerName=RESCUE1",
                 "Win2K_Info.Workgroup=LABGROUP", "Win2K_Info.JoinDomain=False"});
  ASSERT_FALSE(folder.Exists("keyfile2.txt"));
  std::string out, err;
  ASSERT_EQ(Run(out, err), 0) << out << err;
  const std::string keys = folder.Read("keyfile.txt");
  for (const char* line : {"OwnerName=Ada Tester", "Organization=Kiv Lab", "ComputerName=RESCUE1",
                           "ProductKey=ABCDE-FGHIJ-KLMNO-PQRST-UVWXY", "Workgroup=LABGROUP", "JoinDomain=False"})
    EXPECT_NE(keys.find(line), std::string::npos) << line << "\n" << keys;
  const std::string sif = folder.Read("kivcd/I386/WINNT.SIF");
  for (const char* line : {"FullName=\"Ada Tester\"\r\n", "OrgName=\"Kiv Lab\"\r\n", "ComputerName=RESCUE1\r\n",
                           "ProductKey=\"ABCDE-FGHIJ-KLMNO-PQRST-UVWXY\"\r\n", "JoinWorkgroup=LABGROUP\r\n"})
    EXPECT_NE(sif.find(line), std::string::npos) << line << "\n" << sif;
  EXPECT_NE(folder.Read("kivcd/boot/scripts/main.cds").find("Set WinKey1=\"ABCDE\""), std::string::npos);
}

// A file at the ISO's place that is not an ISO image is the user's: --build
// leaves it alone unless told --yes.
TEST_F(HeadlessBuild, AFileThatIsNotAnIsoIsReplacedOnlyWithYes) {
  WriteSettings(folder.P("notes.txt"));
  testing::WriteText(folder.P("notes.txt"), "my notes");
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1) << out << err;
  EXPECT_NE(err.find("\"" + folder.P("notes.txt") + "\" exists and is not an ISO image; it is not replaced"),
            std::string::npos)
      << err;
  EXPECT_EQ(folder.Read("notes.txt"), "my notes");
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
  char arg0[] = "discsmith", arg1[] = "--build", arg2[] = "--yes";
  char* argv[] = {arg0, arg1, arg2, nullptr};
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int rc = RunHeadlessBuild(3, argv, {tools, platform, environment});
  out = ::testing::internal::GetCapturedStdout();
  err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(rc, 0) << out << err;
  EXPECT_EQ(folder.Read("notes.txt"), "ISO image");
  // An ISO image there (a volume descriptor at sector 16) is replaced without asking.
  WriteSettings(folder.P("old.iso"));
  testing::WriteText(folder.P("old.iso"), std::string(32769, '\0') + "CD001" + std::string(2042, '\0'));
  ASSERT_TRUE(LooksLikeIsoImage(folder.P("old.iso")));
  EXPECT_EQ(Run(out, err), 0) << out << err;
  EXPECT_EQ(folder.Read("old.iso"), "ISO image");
}

TEST_F(HeadlessBuild, AnIsoInsideTheWorkFolderIsRefused) {
  WriteSettings(folder.P("kivcd/out/cd.iso"));
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1) << out << err;
  EXPECT_NE(err.find("Error: The ISO file \"" + folder.P("kivcd/out/cd.iso") + "\" would be inside the work folder \"" +
                     folder.P("kivcd") + "\""),
            std::string::npos)
      << err;
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
  // The same in another letter case, once the work folder is there.
  std::filesystem::create_directories(folder.P("kivcd"));
  WriteSettings(folder.P("KIVCD/cd.iso"));
  EXPECT_EQ(Run(out, err), 1) << out << err;
  EXPECT_NE(err.find("would be inside the work folder"), std::string::npos) << err;
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
}

TEST_F(HeadlessBuild, AUtilitiesFolderHoldingTheCdTreeIsRefused) {
  for (const std::string& dir : {folder.dir, folder.P("kivcd")}) {
    std::filesystem::create_directories(folder.P("kivcd"));
    WriteSettings(folder.P("cd.iso"), "0", {"Locations.kivUtils=1", "Locations.kivUtils_Dir=" + dir});
    std::string out, err;
    EXPECT_EQ(Run(out, err), 1) << out << err;
    EXPECT_NE(err.find("Error: The kiv Utilities folder \"" + dir + "\" holds the CD tree"), std::string::npos) << err;
    EXPECT_TRUE(tools.Ran("bootsmith").empty());
  }
  WriteSettings(folder.P("cd.iso"), "0", {"Locations.AddFiles=1", "Locations.AddFiles_Dir=" + folder.dir});
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1) << out << err;
  EXPECT_NE(err.find("Error: The Additional files folder \"" + folder.dir + "\" holds the CD tree"), std::string::npos)
      << err;
}

// A refused run replaces the previous build's log with its own account, so
// "ISO image made" never stands for a run that built nothing; a run refused
// while another build holds the folder leaves that build's log alone.
TEST_F(HeadlessBuild, ARefusedBuildSaysSoInTheLog) {
  testing::WriteText(folder.P("kivcd-build.log"), "12:00:00 ISO image made: /old/cd.iso\n");
  WriteSettings(folder.P("cd.iso"), "0", {"Locations.AddFiles=1", "Locations.AddFiles_Dir=" + folder.dir});
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1) << out << err;
  const std::string log = folder.Read("kivcd-build.log");
  EXPECT_EQ(log.find("ISO image made"), std::string::npos) << log;
  EXPECT_NE(log.find("Nothing built: the settings do not pass the check of wizard page 6: The Additional files folder"),
            std::string::npos)
      << log;

  testing::WriteText(folder.P("kivcd-build.log"), "the running build's log\n");
  InstanceLock running;
  ASSERT_TRUE(running.Acquire(folder.P("discsmith.lock")));
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_EQ(folder.Read("kivcd-build.log"), "the running build's log\n");
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

// The console shows the whole build's progress once it can say the time
// left, and then at most every ten seconds, between the step lines.
TEST(ConsoleBuildViewTest, TheOverallLineComesOnceItKnowsTheTimeLeftAndNotAfterEveryChange) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ConsoleBuildView view(out);
  BuildStatus status;
  status.overallText = "Overall: 1%";
  view.Progressed(status);
  status.overallText = "Overall: 20%, about 1 min left";
  view.Progressed(status);
  status.overallText = "Overall: 21%, about 1 min left";
  view.Progressed(status);
  ASSERT_EQ(std::fseek(out, 0, SEEK_SET), 0);
  std::string printed;
  for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) printed += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(printed, "      Overall: 20%, about 1 min left\n");
}

}  // namespace
}  // namespace kiv
