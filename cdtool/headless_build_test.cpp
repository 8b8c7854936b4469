// discsmith --build on a temporary program folder with fake outside tools.
#include "cdtool/headless_build.h"

#include <gtest/gtest.h>

#include "cdtool/build_test_support.h"
#include "cdtool/cdtool_test_support.h"
#include "common/platform.h"

namespace kiv {
namespace {

using testing::ProgramFolder;

class HeadlessBuild : public ::testing::Test {
 protected:
  ProgramFolder folder;
  void SetUp() override {
    auto platform = std::make_unique<FakePlatform>();
    platform->programFolder = folder.dir;
    SetCurrentPlatform(std::move(platform));
  }
  void TearDown() override { SetCurrentPlatform(MakeSystemPlatform()); }

  void WriteSettings(const std::string& iso) {
    testing::WriteText(folder.P("kivcd.ini"),
                       "[Main]\r\nBootDisks      = 1\r\nWindows2K      = 0\r\nWindows9x      = 0\r\n"
                       "AdvancedTools  = 0\r\nISOLocation    = " + iso + "\r\nCleanSession   = 0\r\n"
                       "OptimizeISO    = 1\r\n\r\n[BootDisks]\r\nUse_LorvaPlus  = 0\r\nAcceptDrivers  = 0\r\n"
                       "\r\n[Locations]\r\nkivUtils       = \"0\"\r\nAddFiles       = \"0\"\r\n");
  }
  int Run(std::string& out, std::string& err) {
    char arg0[] = "discsmith", arg1[] = "--build";
    char* argv[] = {arg0, arg1, nullptr};
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int rc = RunHeadlessBuild(2, argv);
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
  EXPECT_EQ(folder.Read("bootsmith.calls"), "-t 144 kivsoftware\n-t 144 kivsoftware_emm\n-sel -t 288 netaccess\n");
  EXPECT_EQ(folder.Read("dfl.called"), "dfl kivcd link\n");
  for (const char* line : {"[1/5] Creating kiv Boot Disks\n", "      Creating Kiv Rescue Software Disk\n",
                           "[1/5] \u2714 Creating kiv Boot Disks\n",
                           "[2/5] \u2718 Inserting Windows 2000/XP/2003 Setup Files (skipped)\n",
                           "[5/5] \u2714 Creating Final ISO File\n", "       20%\n",
                           "Operation completed successfully\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n---\n" << out;
  EXPECT_NE(out.find("ISO image: " + folder.P("out dir/my cd.iso")), std::string::npos);
  EXPECT_NE(err.find("bootsmith: building kivsoftware"), std::string::npos);  // the tool's own output
  // The settings file is the input of the run and stays as it was.
  EXPECT_EQ(folder.Read("kivcd.ini"), settingsBefore);
}

TEST_F(HeadlessBuild, FailingPageCheckBuildsNothing) {
  WriteSettings("/proc/no-such-place/cd.iso");
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_NE(err.find("Error: ISO File destination is not correct, check again"), std::string::npos) << err;
  EXPECT_FALSE(folder.Exists("bootsmith.calls"));
  EXPECT_FALSE(folder.Exists("kivcd"));
}

TEST_F(HeadlessBuild, FailedImageOrIsoGivesAFailureStatus) {
  WriteSettings(folder.P("cd.iso"));
  testing::WriteText(folder.P("fail.kivsoftware_emm"), "");
  std::string out, err;
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_NE(err.find("Fatal Error: The creation the Boot image \"Kiv Rescue Software (EMM386 Support)\" failed"),
            std::string::npos)
      << err;
  EXPECT_NE(out.find("Operation canceled"), std::string::npos);
  EXPECT_FALSE(folder.Exists("cd.iso"));

  std::filesystem::remove(folder.P("fail.kivsoftware_emm"));
  testing::WriteText(folder.P("mkisofs.nospace"), "");
  EXPECT_EQ(Run(out, err), 1);
  EXPECT_NE(out.find("Operation Aborted\nNot enough free space to complete the ISO file !!!\n"), std::string::npos)
      << out;
}

}  // namespace
}  // namespace kiv
