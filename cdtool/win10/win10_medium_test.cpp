#include "cdtool/win10/win10_medium.h"

#include <gtest/gtest.h>

#include "common/process_runner.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"
#include "testsupport/win10_stand_in.h"

namespace kiv {
namespace {

using testing::Win10StandIn;

class Win10MediumTest : public ::testing::Test {
 protected:
  TestTempDir dir;
  void SetUp() override {
    if (const std::string missing = testing::Win10StandInToolsMissing(); !missing.empty()) GTEST_SKIP() << missing;
  }
  std::string Medium(const std::string& name, const Win10StandIn& spec = {}) {
    const std::string folder = dir / name;
    const std::string error = testing::MakeWin10StandIn(folder, spec);
    EXPECT_EQ(error, "");
    return folder;
  }
  std::string Iso(const std::string& folder) {
    const std::string iso = folder + ".iso";
    EXPECT_EQ(testing::PackUdfIso(folder, iso), "");
    return iso;
  }
};

// A folder and the same medium as a UDF ISO (read by 7z, never mounted)
// give the same editions, build and caption.
TEST_F(Win10MediumTest, FolderAndUdfIsoGiveTheEditionsAndTheBuild) {
  Win10StandIn spec;
  spec.editions = {"Windows 11 Pro", "Windows 11 Home", "Windows 11 Education"};
  const std::string folder = Medium("win11", spec);
  for (const std::string& source : {folder, Iso(folder)}) {
    SCOPED_TRACE(source);
    const Win10Medium m = ReadWin10Medium(SystemLauncher(), source);
    ASSERT_TRUE(m.Usable()) << Win10MediumProblem(m);
    EXPECT_EQ(m.isIso, source != folder);
    ASSERT_EQ(m.editions.size(), 3u);
    EXPECT_EQ(m.editions[0].index, 1);
    EXPECT_EQ(m.editions[2].name, "Windows 11 Education");
    EXPECT_EQ(m.editions[1].build, 22631);
    EXPECT_EQ(m.editions[1].major, 10);
    EXPECT_EQ(m.Architecture(), "amd64");
    EXPECT_TRUE(m.HasEdition("windows 11 home"));
    EXPECT_FALSE(m.HasEdition("Windows 11 Enterprise"));
    EXPECT_EQ(m.installImage, "sources/install.wim");
    EXPECT_EQ(Win10MediumCaption(m), "Windows 11 Pro, Home, Education (build 22631)");
    EXPECT_EQ(m.Spelled("EFI/Boot/BOOTX64.EFI"), "efi/boot/bootx64.efi");
  }
}

// What the medium lacks is named, each by its path, in the caption and the
// problem; the ISO side says the same.
TEST_F(Win10MediumTest, AMediumWithoutItsImagesOrBootProgramsNamesWhatIsMissing) {
  Win10StandIn spec;
  spec.bootWim = false;
  spec.bootPrograms = false;
  const std::string folder = Medium("lacking", spec);
  for (const std::string& source : {folder, Iso(folder)}) {
    const Win10Medium m = ReadWin10Medium(SystemLauncher(), source);
    EXPECT_FALSE(m.Usable());
    EXPECT_EQ(m.missing, (std::vector<std::string>{"sources/boot.wim", "bootmgr", "boot/etfsboot.com", "boot/bcd",
                                                   "efi/boot/bootx64.efi", "efi/microsoft/boot/bcd"}));
    EXPECT_EQ(Win10MediumProblem(m),
              "it lacks sources/boot.wim, bootmgr, boot/etfsboot.com, boot/bcd, efi/boot/bootx64.efi, "
              "efi/microsoft/boot/bcd");
    EXPECT_EQ(Win10MediumCaption(m).rfind("Unknown Windows Version (missing: sources/boot.wim, bootmgr", 0), 0u);
  }
  spec = {};
  spec.installWim = false;
  const Win10Medium m = ReadWin10Medium(SystemLauncher(), Iso(Medium("no-install", spec)));
  EXPECT_EQ(m.missing, std::vector<std::string>{"sources/install.wim (or install.esd)"});
}

// Windows 7's medium has the same files; its answers would not fit.
TEST_F(Win10MediumTest, AnOlderWindowsIsRefusedWithItsVersion) {
  Win10StandIn spec;
  spec.major = 6;
  spec.build = 7601;
  const Win10Medium m = ReadWin10Medium(SystemLauncher(), Iso(Medium("win7", spec)));
  EXPECT_EQ(m.problem, "its sources/install.wim holds Windows 6.0 (build 7601), not Windows 10 or 11");
}

TEST_F(Win10MediumTest, WhatIsNoMediumOrNoWimIsSaidSo) {
  EXPECT_EQ(ReadWin10Medium(SystemLauncher(), dir / "nothing").problem,
            "\"" + (dir / "nothing") + "\" is neither a folder nor an ISO image file");
  testing::WriteText(dir / "notes.txt", "not an image");
  EXPECT_EQ(ReadWin10Medium(SystemLauncher(), dir / "notes.txt")
                .problem.rfind("\"" + (dir / "notes.txt") + "\" cannot be read as an ISO image", 0),
            0u);
  // An install image that is no WIM: wiminfo's words for the folder, ours
  // for the ISO, whose image is streamed.
  const std::string folder = Medium("broken");
  testing::WriteText(folder + "/sources/install.wim", std::string(4096, 'x'));
  const Win10Medium fromFolder = ReadWin10Medium(SystemLauncher(), folder);
  EXPECT_EQ(fromFolder.problem.rfind("wiminfo cannot read \"" + folder + "/sources/install.wim\": ", 0), 0u)
      << fromFolder.problem;
  EXPECT_EQ(ReadWin10Medium(SystemLauncher(), Iso(folder)).problem, "its sources/install.wim is no Windows image file");
}

// Without 7z an ISO cannot be read; the message names the package.
TEST_F(Win10MediumTest, WithoutSevenZipTheIsoNamesThePackage) {
  testing::FakeLauncher none;
  const std::string iso = Iso(Medium("m"));
  EXPECT_NE(ReadWin10Medium(none, iso).problem.find("package 7zip"), std::string::npos);
}

// The install image is streamed once; a second look at the unchanged ISO
// takes its editions from memory, and a changed one is read again.
TEST_F(Win10MediumTest, AnUnchangedIsoIsNotStreamedAgain) {
  testing::FakeLauncher tools;
  tools.Add("7z", testing::RunsTheRealProgram);
  const std::string folder = Medium("again");
  const std::string iso = Iso(folder);
  ASSERT_TRUE(ReadWin10Medium(tools, iso).Usable());
  ASSERT_TRUE(ReadWin10Medium(tools, iso).Usable());
  size_t streams = 0;
  for (const std::string& line : tools.Ran("7z")) streams += line.find(" -so ") != std::string::npos;
  EXPECT_EQ(streams, 1u);
  Win10StandIn spec;
  spec.editions = {"Windows 10 Pro"};
  spec.build = 19045;
  ASSERT_EQ(testing::MakeWin10StandIn(dir / "again2", spec), "");
  ASSERT_EQ(testing::PackUdfIso(dir / "again2", iso), "");
  EXPECT_EQ(Win10MediumCaption(ReadWin10Medium(tools, iso)), "Windows 10 Pro (build 19045)");
}

}  // namespace
}  // namespace kiv
