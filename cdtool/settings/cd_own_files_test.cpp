// The CD's own files against the user's folders: a file that would take the
// place of one of them, or of the other folder's, is named with both paths.
#include "cdtool/settings/cd_own_files.h"

#include <gtest/gtest.h>

#include "cdtool/settings/page_checks.h"
#include "common/paths.h"
#include "testsupport/build_test_support.h"

namespace kiv {
namespace {

class CdOwnFilesTest : public ::testing::Test {
 protected:
  testing::ProgramFolder folder;
  SessionSettings s;
  std::vector<PageProblem> Check() { return CheckPage(6, s, BootPassword{}, PageContext{folder.dir, "", false}); }
  void SetUp() override {
    testing::WriteText(folder.P("files/kivcd/boot/loader.bin"), "the CD's loader");
    testing::WriteText(folder.P("files/kivcd/boot/tools/memtest86+ia32.bin"), "memtest");
    s.Locations.kivUtils = 1;
    s.Locations.kivUtils_Dir = folder.P("utils");
    s.Locations.AddFiles = 1;
    s.Locations.AddFiles_Dir = folder.P("extra");
    testing::WriteText(folder.P("utils/tool.exe"), "a tool");
    testing::WriteText(folder.P("extra/notes.txt"), "mine");
  }
};

TEST_F(CdOwnFilesTest, AFileOnAPathOfTheCdsOwnIsRefusedWhateverItsLetterCase) {
  EXPECT_TRUE(Check().empty());
  // Template files, images the build writes, the rescue system's files.
  for (const char* path : {"BOOT/Loader.BIN", "boot/tools/memtest86+ia32.bin", "boot/images/kivstart.img",
                           "boot/isolinux/isolinux.cfg", "live/vmlinuz"}) {
    testing::WriteText(folder.P(std::string("extra/") + path), "the user's");
    const std::vector<PageProblem> problems = Check();
    ASSERT_EQ(problems.size(), 1u) << path;
    EXPECT_EQ(problems[0].text, "The Additional files folder holds \"" + folder.P(std::string("extra/") + path) +
                                    "\", which would go onto the CD as \"/" + ToLower(path) +
                                    "\": the CD's own file of that name would be replaced or the build would fail "
                                    "!\nRename it, or move it into a folder of its own");
    std::filesystem::remove_all(folder.P("extra"));
    testing::WriteText(folder.P("extra/notes.txt"), "mine");
  }
  // A file where the CD has a folder, and the rescue system's place when it is not built.
  testing::WriteText(folder.P("extra/boot"), "a file");
  ASSERT_EQ(Check().size(), 1u);
  EXPECT_NE(Check()[0].text.find("the CD's own folder of that name"), std::string::npos) << Check()[0].text;
  std::filesystem::remove(folder.P("extra/boot"));
  testing::WriteText(folder.P("extra/live/vmlinuz"), "my kernel");
  s.Main.LinuxRescue = 0;
  EXPECT_TRUE(Check().empty());
  // New files beside the CD's own in its folders are fine.
  testing::WriteText(folder.P("extra/boot/tools/mytool.img"), "x");
  testing::WriteText(folder.P("extra/tools/loader.bin"), "x");
  EXPECT_TRUE(Check().empty());
}

TEST_F(CdOwnFilesTest, TheUtilitiesGoBelowKivAndClashWithTheAdditionalFilesThere) {
  testing::WriteText(folder.P("utils/boot/loader.bin"), "under /kiv: no clash");
  EXPECT_TRUE(Check().empty());
  testing::WriteText(folder.P("extra/KIV/Tool.exe"), "the same place");
  const std::vector<PageProblem> problems = Check();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text, "The Additional files folder holds \"" + folder.P("extra/KIV/Tool.exe") + "\" and \"" +
                                  folder.P("utils/tool.exe") +
                                  "\" is in the other folder: both would go onto the CD as \"/kiv/tool.exe\" and one "
                                  "of them would be lost !\nRename one of them");
  // Only the folders that are copied count.
  s.Locations.kivUtils = 0;
  EXPECT_TRUE(Check().empty());
}

// A link to a folder puts what that folder holds below the link's name: the
// check sees the tree as the CD will hold it.
TEST_F(CdOwnFilesTest, WhatALinkToAFolderBringsIsCheckedWhereItLandsOnTheCd) {
  namespace fs = std::filesystem;
  testing::WriteText(folder.P("extra/x/images/kivstart.img"), "my boot image");
  EXPECT_TRUE(Check().empty());  // /x/images/kivstart.img is the user's
  fs::create_directory_symlink("x", folder.P("extra/boot"));
  std::vector<PageProblem> problems = Check();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text, "The Additional files folder holds \"" + folder.P("extra/boot/images/kivstart.img") +
                                  "\", which would go onto the CD as \"/boot/images/kivstart.img\": the CD's own "
                                  "file of that name would be replaced or the build would fail !\nRename it, or move "
                                  "it into a folder of its own");
  fs::remove(folder.P("extra/boot"));
  fs::remove_all(folder.P("extra/x"));

  // A link in the Additional Files that lands on the utilities' folder.
  testing::WriteText(folder.P("extra/mine/tool.exe"), "another tool");
  fs::create_directory_symlink("mine", folder.P("extra/kiv"));
  problems = Check();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text.find("The Additional files folder holds \"" + folder.P("extra/kiv/tool.exe") +
                                  "\" and \"" + folder.P("utils/tool.exe") + "\" is in the other folder"),
            0u)
      << problems[0].text;
  fs::remove(folder.P("extra/kiv"));

  // A link back up the tree is walked once, and brings nothing of the CD's.
  fs::create_directory_symlink("..", folder.P("extra/mine/up"));
  EXPECT_TRUE(Check().empty());
}

// The boot catalogue the mastering tool makes and the tag the floppies find
// the CD by are the CD's own files too.
TEST_F(CdOwnFilesTest, TheBootCatalogueAndTheTagFileAreTheCdsOwn) {
  for (const char* name : {"boot.catalog", "kivcd.tag", "KIVCD.TAG"}) {
    testing::WriteText(folder.P(std::string("extra/") + name), "the user's");
    const std::vector<PageProblem> problems = Check();
    ASSERT_EQ(problems.size(), 1u) << name;
    EXPECT_EQ(problems[0].text, "The Additional files folder holds \"" + folder.P(std::string("extra/") + name) +
                                    "\", which would go onto the CD as \"/" + ToLower(name) +
                                    "\": the CD's own file of that name would be replaced or the build would fail "
                                    "!\nRename it, or move it into a folder of its own");
    std::filesystem::remove(folder.P(std::string("extra/") + name));
  }
  // Below the root they are the user's.
  testing::WriteText(folder.P("extra/docs/boot.catalog"), "x");
  testing::WriteText(folder.P("utils/kivcd.tag"), "x");
  EXPECT_TRUE(Check().empty());
}

}  // namespace
}  // namespace kiv
