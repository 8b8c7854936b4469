// The Windows 10/11 step on stand-in media made with wimlib: the medium in
// \win10 (a folder mapped, an ISO image extracted with 7z), the answers in
// image 2 of a copy of boot.wim, a large install image split, and the
// second names Windows' boot programs look for at the CD's root.
#include "cdtool/build/add_win10.h"

#include <gtest/gtest.h>

#include "cdtool/build/build_run.h"
#include "common/file_ops.h"
#include "common/process_runner.h"
#include "testsupport/build_test_support.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/win10_stand_in.h"

namespace kiv {
namespace {

using testing::ProgramFolder;
using testing::RecordingEvents;

class AddWin10Test : public ::testing::Test {
 protected:
  ProgramFolder folder;
  ScriptedPrompter prompter;
  RecordingEvents view;
  FakePlatform platform;
  BuildRun run{folder.dir, prompter, view, {SystemLauncher(), platform}};

  void SetUp() override {
    if (const std::string missing = testing::Win10StandInToolsMissing(); !missing.empty()) GTEST_SKIP() << missing;
    run.Prepare_CDDir();
  }
  std::string Medium(const testing::Win10StandIn& spec = {}) {
    EXPECT_EQ(testing::MakeWin10StandIn(folder.P("win11"), spec), "");
    return folder.P("win11");
  }
  // The file of the CD at `cdPath`, as the mastering tool would read it.
  std::string Disk(const std::string& cdPath) { return run.grafts.DiskFile(cdPath).value_or(""); }
  // A file taken out of an image of a WIM ("" when it is not there).
  std::string FromWim(const std::string& wim, int image, const std::string& path) {
    const std::string out = folder.P("out");
    DeleteTree(out);
    MakePath(out);
    RunAndCapture({"wimlib-imagex", "extract", wim, std::to_string(image), path, "--dest-dir=" + out});
    return testing::ReadText(out + path.substr(path.rfind('/')));
  }
  Win10Info Answers(const std::string& edition = "Windows 11 Home") {
    Win10Info a;
    a.LocalAccount = "anna";
    a.ProductKey = {"ABCDE", "FGHIJ", "KLMNO", "PQRST", "UVWXY"};
    a.Edition = edition;
    return a;
  }
};

TEST_F(AddWin10Test, AFolderIsMappedAndSetupsImageGetsTheAnswers) {
  const std::string medium = Medium();
  const std::string original = testing::ReadText(medium + "/sources/boot.wim");
  // The edition as typed in another letter case is written as the medium
  // spells it.
  AddWin10(run, Win10Options{medium, Answers("WINDOWS 11 home")});
  ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  // The medium's files stay where they lie, in \win10.
  EXPECT_EQ(Disk("/win10/setup.exe"), medium + "/setup.exe");
  EXPECT_EQ(Disk("/win10/sources/install.wim"), medium + "/sources/install.wim");
  // boot.wim is a copy in the work tree, with the answers in image 2 only.
  const std::string bootWim = Disk("/win10/sources/boot.wim");
  EXPECT_EQ(bootWim, folder.P("kivcd/win10/sources/boot.wim"));
  EXPECT_EQ(FromWim(bootWim, 2, "/Autounattend.xml"), AutounattendXml(Answers(), "amd64"));
  EXPECT_EQ(FromWim(bootWim, 1, "/Autounattend.xml"), "");
  EXPECT_EQ(testing::ReadText(medium + "/sources/boot.wim"), original);
  // The file with the key is not left beside the programs.
  EXPECT_FALSE(FileExists(folder.P("kivcd-autounattend.xml")));
  // Windows' boot programs find their files at the root, as the same files.
  EXPECT_EQ(Disk("/BOOTMGR"), medium + "/bootmgr");
  EXPECT_EQ(Disk("/boot/bcd"), medium + "/boot/bcd");
  EXPECT_EQ(Disk("/boot/etfsboot.com"), medium + "/boot/etfsboot.com");
  EXPECT_EQ(Disk("/efi/microsoft/boot/bcd"), medium + "/efi/microsoft/boot/bcd");
  EXPECT_EQ(Disk("/efi/boot/bootx64.efi"), "") << "the CD's own UEFI boot image is the one to start";
  EXPECT_EQ(Disk("/sources/boot.wim"), bootWim);
  EXPECT_EQ(Disk("/sources/install.wim"), medium + "/sources/install.wim");
  EXPECT_EQ(Disk("/setup.exe"), "");
}

// An ISO image is extracted; an install image over the part size is split
// into .swm parts, which give the editions' files back, and no install.wim
// is left on the CD.
TEST_F(AddWin10Test, AnIsoIsExtractedAndALargeInstallImageSplit) {
  testing::Win10StandIn spec;
  spec.payloadBytes = 3 * 1024 * 1024;
  const std::string medium = Medium(spec);
  ASSERT_EQ(testing::PackUdfIso(medium, folder.P("win11.iso")), "");
  run.environment.Set(kWin10PartVariable, "1");
  Win10Info none;
  none.SkipHardwareChecks = none.NoOnlineAccount = none.SkipPrivacy = none.NoAutoEncryption = 0;
  AddWin10(run, Win10Options{folder.P("win11.iso"), none});
  ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_EQ(Disk("/win10/setup.exe"), folder.P("kivcd/win10/setup.exe"));
  EXPECT_EQ(Disk("/win10/sources/install.wim"), "");
  EXPECT_EQ(Disk("/sources/install.wim"), "");
  const std::vector<std::string> parts = ListFolder(folder.P("kivcd/win10/sources"), "install*.swm");
  EXPECT_GE(parts.size(), 3u);
  EXPECT_EQ(Disk("/sources/install.swm"), folder.P("kivcd/win10/sources/install.swm"));
  for (const std::string& part : parts) EXPECT_LE(FileSize(folder.P("kivcd/win10/sources/" + part)), 2 * 1024 * 1024);
  // Without answers boot.wim is the medium's as it is.
  EXPECT_EQ(FromWim(Disk("/win10/sources/boot.wim"), 2, "/Autounattend.xml"), "");
  // The parts together are the editions.
  const std::string applied = folder.P("applied");
  const RunResult r = RunAndCapture({"wimlib-imagex", "apply", folder.P("kivcd/win10/sources/install.swm"), "2",
                                     applied, "--ref=" + folder.P("kivcd/win10/sources/install*.swm")});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string extracted = folder.P("x");
  RunAndCapture({"wimlib-imagex", "apply", medium + "/sources/install.wim", "2", extracted});
  for (const char* file : {"/Windows/System32/payload0.bin", "/Windows/System32/payload11.bin"})
    EXPECT_EQ(testing::ReadText(applied + file), testing::ReadText(extracted + file)) << file;
  EXPECT_FALSE(testing::ReadText(applied + "/Windows/System32/payload11.bin").empty());
}

// A source that is no medium stops the step with what it lacks.
TEST_F(AddWin10Test, AMediumWithoutBootWimStopsTheStep) {
  testing::Win10StandIn spec;
  spec.bootWim = false;
  AddWin10(run, Win10Options{Medium(spec), Answers()});
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].title, "Fatal Error");
  EXPECT_NE(prompter.messages[0].text.find("integrating the Windows 10/11 installation"), std::string::npos);
  EXPECT_NE(prompter.messages[0].text.find("it lacks sources/boot.wim"), std::string::npos);
  EXPECT_TRUE(run.CancelCopy);
}

}  // namespace
}  // namespace kiv
