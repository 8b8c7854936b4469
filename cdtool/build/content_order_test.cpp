#include "cdtool/build/content_order.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport/test_files.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;

// Every file once, in path order whatever order the disk gives them in,
// links followed; folders themselves are not listed.
TEST(SortWeightList, OneFallingWeightPerFileInPathOrder) {
  const fs::path dir = testing::MakeTempDir("order");
  const fs::path tree = dir / "kivcd";
  for (const char* name : {"boot/z.img", "Readme.txt", "boot/isolinux/a b.cfg", "a.txt"}) {
    fs::create_directories((tree / name).parent_path());
    testing::WriteText((tree / name).string(), name);
  }
  testing::WriteText((dir / "outside.txt").string(), "outside");
  fs::create_symlink(dir / "outside.txt", tree / "link.txt");
  fs::create_directories(tree / "empty");
  std::string error;
  EXPECT_EQ(SortWeightList(tree.string(), &error),
            "-1 /Readme.txt\n-2 /a.txt\n-3 /boot/isolinux/a b.cfg\n-4 /boot/z.img\n-5 /link.txt\n");
  EXPECT_EQ(error, "");

  EXPECT_FALSE(SortWeightList((dir / "none").string(), &error).has_value());
  EXPECT_EQ(error.rfind("cannot read the folder " + (dir / "none").string(), 0), 0u) << error;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kiv
