#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/environment.h"
#include "common/file_ops.h"
#include "common/links.h"
#include "common/platform.h"
#include "common/ui_mode.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/fake_platform.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

TEST(PosixPlatform, WindowsOnlyServicesAreEmpty) {
  auto p = MakeSystemPlatform();
  EXPECT_EQ(p->WindowsFolder(), "");
  EXPECT_EQ(p->SystemFolder(), "");
  EXPECT_EQ(p->RegString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner"), "");
  EXPECT_FALSE(p->IsWinNT());
  EXPECT_FALSE(p->IsWin9x());
}

TEST(PosixPlatform, ProgramFolderHoldsThisProgram) {
  std::string folder = MakeSystemPlatform()->ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(FileExists(folder + "/common_tests"));
}

TEST(PosixPlatform, FirstOpticalMountFromTheMountTable) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "mounts",
                              "/dev/sda1 / ext4 rw 0 0\n"
                              "proc /proc proc rw 0 0\n"
                              "/dev/sr0 /media/cd\\040rom iso9660 ro 0 0\n"
                              "/dev/sr1 /media/dvd udf ro 0 0\n"));
  EXPECT_EQ(FirstOpticalMount(dir / "mounts"), "/media/cd rom");
  ASSERT_TRUE(WriteFileAtomic(dir / "mounts2", "/dev/sda1 / ext4 rw 0 0\n/dev/sr1 /mnt/dvd udf ro 0 0\n"));
  EXPECT_EQ(FirstOpticalMount(dir / "mounts2"), "/mnt/dvd");
  ASSERT_TRUE(WriteFileAtomic(dir / "none", "/dev/sda1 / ext4 rw 0 0\ngarbage\n"));
  EXPECT_EQ(FirstOpticalMount(dir / "none"), "");
  EXPECT_EQ(FirstOpticalMount(dir / "missing"), "");
}

TEST(PosixPlatform, FreeSpaceOfTheNearestExistingFolder) {
  TestTempDir dir;
  int64_t here = FreeBytes(dir.Path());
  EXPECT_GT(here, 0);
  int64_t deep = FreeBytes(dir.Path() + "\\not\\yet\\made\\file.img");
  EXPECT_GT(deep, 0);
  // Same file system; other processes may write meanwhile, so allow slack.
  EXPECT_LT(std::llabs(deep - here), int64_t{1} << 30);
  EXPECT_GT(FreeBytes("relative/missing"), 0);
  EXPECT_EQ(MakeSystemPlatform()->FreeSpace(dir.Path()) > 0, true);
}

TEST(PosixPlatform, OpeningWithoutADesktopOpenerFails) {
  testing::FakeLauncher noOpener;  // xdg-open is not installed
  EXPECT_FALSE(MakeSystemPlatform(noOpener)->OpenLink("help/index.html"));
  EXPECT_FALSE(MakeSystemPlatform(noOpener)->OpenFolder("/tmp"));
  EXPECT_FALSE(OpenWithDesktop("", "/tmp"));
  EXPECT_FALSE(OpenWithDesktop("/usr/bin/true", ""));
  EXPECT_TRUE(noOpener.commands_ran.empty());
}

TEST(PosixPlatform, OpeningStartsTheDesktopOpenerDetached) {
  TestTempDir dir;
  // A stand-in xdg-open that records its argument.
  const std::string opener = dir / "xdg-open";
  ASSERT_TRUE(WriteFileAtomic(opener,
                              "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
                              "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n"));
  ASSERT_EQ(::chmod(opener.c_str(), 0755), 0);
  EXPECT_TRUE(OpenWithDesktop(opener, "file name with blanks.html"));
  std::string got;
  for (int i = 0; i < 200 && !ReadWholeFile(dir / "opened", got); ++i) usleep(10000);
  EXPECT_EQ(got, "file name with blanks.html");
}

TEST(PosixPlatform, AnOpenerWithNoProgramForTheTargetCountsAsFailed) {
  TestTempDir dir;
  // What xdg-open does on a system without a browser or file manager.
  const std::string opener = dir / "xdg-open";
  ASSERT_TRUE(
      WriteFileAtomic(opener, "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n"));
  ASSERT_EQ(::chmod(opener.c_str(), 0755), 0);
  EXPECT_FALSE(OpenWithDesktop(opener, "/tmp"));
}

TEST(PosixPlatform, CurrentPlatformCanBeSwapped) {
  auto fake = std::make_unique<FakePlatform>();
  fake->programFolder = "/opt/kiv";
  fake->cdRom = "/media/cdrom";
  SetCurrentPlatform(std::move(fake));
  EXPECT_EQ(CurrentPlatform().ProgramFolder(), "/opt/kiv");
  EXPECT_EQ(CurrentPlatform().FirstCdRomDrive(), "/media/cdrom");
  EXPECT_TRUE(CurrentPlatform().OpenLink("x"));
  SetCurrentPlatform(nullptr);  // back to the system's
  EXPECT_EQ(CurrentPlatform().WindowsFolder(), "");
  EXPECT_NE(CurrentPlatform().ProgramFolder(), "/opt/kiv");
}

TEST(InstanceLock, OneHolderAtATime) {
  TestTempDir dir;
  const std::string file = dir / "discsmith.lock";
  {
    InstanceLock first;
    ASSERT_TRUE(first.Acquire(file));
    InstanceLock second;
    EXPECT_FALSE(second.Acquire(file));
    EXPECT_EQ(second.Error(), "") << "held by another holder is not an error";
    // Another process sees it held as well.
    std::string cmd = "flock -n '" + file + "' true";
    EXPECT_NE(system(cmd.c_str()), 0);
    first.Release();
    EXPECT_TRUE(second.Acquire(file));
  }
  InstanceLock third;  // freed when the holders went out of scope
  EXPECT_TRUE(third.Acquire(file));
  // A lock file that cannot be created is not "held": the reason is kept.
  InstanceLock nowhere;
  EXPECT_FALSE(nowhere.Acquire(dir / "missing/folder/x.lock"));
  EXPECT_EQ(nowhere.Error(), "No such file or directory");
  const std::string folder = dir / "folder";
  std::filesystem::create_directories(folder);
  InstanceLock onFolder;  // a folder in the lock file's place
  EXPECT_FALSE(onFolder.Acquire(folder));
  EXPECT_EQ(onFolder.Error(), "Is a directory");
  EXPECT_TRUE(onFolder.Acquire(dir / "other.lock"));
  EXPECT_EQ(onFolder.Error(), "");
}

// What a holder notes is there for the next holder, even when the first one
// never got to clear it.
TEST(InstanceLock, TheNextHolderReadsWhatTheLastOneNoted) {
  TestTempDir dir;
  const std::string file = dir / "discsmith.lock";
  const std::string pid = std::to_string(ProcessId());
  {
    InstanceLock first;
    ASSERT_TRUE(first.Acquire(file));
    EXPECT_TRUE(first.Note("mastering /isos/.cd.iso.42.part"));
    EXPECT_EQ(testing::ReadText(file), pid + "\nmastering /isos/.cd.iso.42.part\n");
  }
  InstanceLock next;
  std::string previous;
  ASSERT_TRUE(next.Acquire(file, &previous));
  EXPECT_EQ(previous, pid + "\nmastering /isos/.cd.iso.42.part\n");
  EXPECT_EQ(testing::ReadText(file), pid + "\n") << "the new holder's own id, nothing noted";
}

TEST(UiMode, ChoiceAndDisplayDetection) {
  using Vars = std::map<std::string, std::string>;
  EXPECT_EQ(DetectUiMode(Environment(Vars{{"KIVCD_UI", "console"}, {"DISPLAY", ":0"}})), UiMode::Console);
  EXPECT_EQ(DetectUiMode(Environment(Vars{{"KIVCD_UI", " GUI "}})), UiMode::Gui);
  EXPECT_EQ(DetectUiMode(Environment()), UiMode::Console);
  EXPECT_EQ(DetectUiMode(Environment(Vars{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", "wayland-0"}})), UiMode::Gui);
  EXPECT_EQ(DetectUiMode(Environment(Vars{{"KIVCD_UI", "other"}, {"DISPLAY", ":1"}})), UiMode::Gui);
  EXPECT_EQ(DetectUiMode(Environment(Vars{{"DISPLAY", ""}})), UiMode::Console);
}

TEST(Links, TargetsInTheProgramFolder) {
  EXPECT_EQ(LinkTarget(Link::Home, "/opt/kiv"), "/opt/kiv/help/index.html");
  EXPECT_EQ(LinkTarget(Link::Tools, "/opt/kiv/"), "/opt/kiv/help/bfi.html");
  EXPECT_EQ(LinkTarget(Link::BootMenu, "/opt/kiv"), "/opt/kiv/help/bootmenu.html");
  EXPECT_EQ(HelpTopicPath("/opt/kiv", 1110), "/opt/kiv/help/1110.html");
}

}  // namespace
}  // namespace kiv
