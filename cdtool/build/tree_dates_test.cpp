#include "cdtool/build/tree_dates.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "testsupport/test_file_states.h"
#include "testsupport/test_files.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;

int64_t MTime(const fs::path& path) {
  const int64_t seconds = ModifiedSeconds(path);
  EXPECT_NE(seconds, -1) << path;
  return seconds;
}

void SetMTime(const fs::path& path, int64_t seconds) { ASSERT_TRUE(SetModifiedSeconds(path, seconds)) << path; }

// Dates later than the epoch become the epoch; earlier ones stay; a link is
// dated itself, and what it points at outside the tree is left alone.
TEST(ClampTreeDates, LaterDatesBecomeTheEpoch) {
  const fs::path dir = testing::MakeTempDir("dates");
  const fs::path tree = dir / "kivcd";
  fs::create_directories(tree / "boot" / "images");
  testing::WriteText((tree / "boot" / "images" / "new.img").string(), "new");
  testing::WriteText((tree / "old.txt").string(), "old");
  testing::WriteText((dir / "outside.txt").string(), "outside");
  fs::create_symlink(dir / "outside.txt", tree / "link.txt");
  const int64_t epoch = 1700000000;
  SetMTime(tree / "old.txt", 1000000000);
  SetMTime(dir / "outside.txt", epoch + 500);

  EXPECT_EQ(ClampTreeDates(tree.string(), epoch), "");
  for (const fs::path& p :
       {tree, tree / "boot", tree / "boot" / "images", tree / "boot" / "images" / "new.img", tree / "link.txt"})
    EXPECT_EQ(MTime(p), epoch) << p;
  EXPECT_EQ(MTime(tree / "old.txt"), 1000000000);
  EXPECT_EQ(MTime(dir / "outside.txt"), epoch + 500);

  EXPECT_EQ(
      ClampTreeDates((dir / "none").string(), epoch).rfind("cannot read the folder " + (dir / "none").string(), 0), 0u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kiv
