#include "cdtool/bootmenu/efi_boot_image.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/file_ops.h"
#include "common/process_runner.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

class EfiBootImage : public ::testing::Test {
 protected:
  TestTempDir dir;
  EfiLoaders loaders{dir / "shim.signed", dir / "grub.signed", dir / "mm.signed"};
  std::string image = dir / "efi/efiboot.img";
  testing::FakeLauncher tools;

  void SetUp() override {
    if (SystemLauncher().FindProgram("mformat").empty()) GTEST_SKIP() << "mtools is not installed";
    // Stand-ins for the signed loaders: what matters is where each lands.
    testing::WriteText(loaders.shim, std::string(300000, 's') + "shim");
    testing::WriteText(loaders.grub, std::string(700000, 'g') + "grub");
    testing::WriteText(loaders.mokManager, "mok manager");
    MakePath(dir / "efi");
    for (const char* mtool : {"mformat", "mmd", "mcopy", "mdir"}) tools.Add(mtool, testing::RunsTheRealProgram);
  }

  // A file of the image as mtools reads it back.
  std::string InImage(const std::string& path) {
    const std::string out = dir / "out";
    std::remove(out.c_str());
    RunAndCapture({"mcopy", "-i", image, "::" + path, out});
    return testing::ReadText(out);
  }
};

TEST_F(EfiBootImage, HoldsShimAsTheDefaultLoaderWithGrubMokManagerAndTheStarter) {
  ASSERT_EQ(WriteEfiBootImage(tools, loaders, "search x\n", image, std::nullopt), "");
  EXPECT_EQ(InImage("/EFI/BOOT/BOOTX64.EFI"), testing::ReadText(loaders.shim));
  EXPECT_EQ(InImage("/EFI/BOOT/grubx64.efi"), testing::ReadText(loaders.grub));
  EXPECT_EQ(InImage("/EFI/BOOT/mmx64.efi"), testing::ReadText(loaders.mokManager));
  EXPECT_EQ(InImage("/boot/grub/grub.cfg"), "search x\n");
  // A FAT file system the firmware reads: the label, and nothing beside the image.
  const RunResult info = RunAndCapture({"minfo", "-i", image, "::"});
  EXPECT_NE(info.output.find("EFIBOOT"), std::string::npos) << info.output;
  EXPECT_EQ(ListFolder(dir / "efi", "*"), std::vector<std::string>{"efiboot.img"});
}

TEST_F(EfiBootImage, MissingLoaderIsNamedAndNothingIsMade) {
  std::remove(loaders.grub.c_str());
  const std::string error = WriteEfiBootImage(tools, loaders, "x", image, std::nullopt);
  EXPECT_NE(error.find(loaders.grub), std::string::npos) << error;
  EXPECT_EQ(MissingEfiLoader(loaders), loaders.grub);
  EXPECT_TRUE(ListFolder(dir / "efi", "*").empty());
  EXPECT_TRUE(tools.commands_ran.empty());
}

TEST_F(EfiBootImage, FailedCopyLeavesThePreviousImageAndNoTemporaryFiles) {
  testing::WriteText(image, "previous image");
  tools.Add("mcopy", [](const testing::FakeCommand&) { return testing::Exits(1, {"Disk full"}); });
  const std::string error = WriteEfiBootImage(tools, loaders, "x", image, std::nullopt);
  EXPECT_NE(error.find("mcopy"), std::string::npos) << error;
  EXPECT_NE(error.find("Disk full"), std::string::npos) << error;
  EXPECT_EQ(testing::ReadText(image), "previous image");
  EXPECT_EQ(ListFolder(dir / "efi", "*"), std::vector<std::string>{"efiboot.img"});
}

TEST_F(EfiBootImage, ReproducibleBuildGivesTheSameImage) {
  ASSERT_EQ(WriteEfiBootImage(tools, loaders, "x", image, 1700000000), "");
  const std::string first = testing::ReadText(image);
  ASSERT_EQ(WriteEfiBootImage(tools, loaders, "x", image, 1700000000), "");
  EXPECT_NE(RunAndCapture({"minfo", "-i", image, "::"}).output.find("serial number: 6553F100"), std::string::npos);
  EXPECT_EQ(testing::ReadText(image), first);
  // The menu starter is written by the build, so it would carry the build's
  // time (two builds seconds apart differ); its entry holds the epoch's day.
  const RunResult listing = RunAndCapture({"mdir", "-i", image, "::/boot/grub"});
  EXPECT_NE(listing.output.find("2023-11-14"), std::string::npos) << listing.output;
  // So do the folders, whatever the clock says while they are made (two
  // builds seconds apart would otherwise differ in their entries).
  for (const char* folder : {"::", "::/EFI", "::/boot"}) {
    std::istringstream entries(RunAndCapture({"mdir", "-i", image, folder}).output);
    for (std::string line; std::getline(entries, line);)
      if (line.find("<DIR>") != std::string::npos) {
        EXPECT_NE(line.find("2023-11-14"), std::string::npos) << line;
      }
  }
}

}  // namespace
}  // namespace kiv
