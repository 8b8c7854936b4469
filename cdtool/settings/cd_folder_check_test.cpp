// What the utilities and additional-files folders may hold, checked before
// the build copies them onto the CD.
#include "cdtool/settings/cd_folder_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport/test_file_states.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;
using testing::WriteText;

std::string Problem(const std::string& folder) { return CdFolderProblem(folder).value_or(""); }

TEST(CdFolderCheck, NamesThatDifferOnlyInLetterCaseAreNamedBoth) {
  TestTempDir dir;
  WriteText(dir / "utils/CASE.TXT", "up");
  WriteText(dir / "utils/case.txt", "low");
  const std::string problem = Problem(dir / "utils");
  EXPECT_NE(problem.find("differ only in letter case"), std::string::npos) << problem;
  EXPECT_NE(problem.find("CASE.TXT"), std::string::npos) << problem;
  EXPECT_NE(problem.find("case.txt"), std::string::npos) << problem;
  // Folders too, at any depth; the same name in two folders is fine.
  TestTempDir other;
  WriteText(other / "add/a/README.TXT", "");
  WriteText(other / "add/b/README.TXT", "");
  EXPECT_EQ(Problem(other / "add"), "");
  fs::create_directories(other / "add/b/Dir");
  fs::create_directories(other / "add/b/dir");
  EXPECT_NE(Problem(other / "add").find("differ only in letter case"), std::string::npos);
}

TEST(CdFolderCheck, AFileOfFourGibibytesIsRefusedWithItsSize) {
  TestTempDir dir;
  WriteText(dir / "utils/small.bin", "x");
  const std::string big = dir / "utils/disk.img";
  WriteText(big, "");
  fs::resize_file(big, kMaxCdFileSize + 1);  // sparse: no space taken
  const std::string problem = Problem(dir / "utils");
  EXPECT_NE(problem.find("disk.img\" is 4294967296 bytes long; a file on a CD can hold at most 4 GiB"),
            std::string::npos)
      << problem;
  fs::resize_file(big, kMaxCdFileSize);
  EXPECT_EQ(Problem(dir / "utils"), "");
}

TEST(CdFolderCheck, SpecialFilesAndLinksOutOfTheFolderAreRefused) {
  TestTempDir dir;
  WriteText(dir / "utils/tool.exe", "MZ");
  WriteText(dir / "elsewhere/secret.txt", "s");
  // Links to what is inside the folder are fine, loops are not walked.
  fs::create_directories(dir / "utils/sub");
  fs::create_symlink("../tool.exe", dir / "utils/sub/tool-link.exe");
  fs::create_directory_symlink("..", dir / "utils/sub/up");
  EXPECT_EQ(Problem(dir / "utils"), "");

  fs::create_symlink(dir / "elsewhere/secret.txt", dir / "utils/out.txt");
  EXPECT_NE(Problem(dir / "utils").find("out.txt\" is a link that is broken or points outside"), std::string::npos);
  fs::remove(dir / "utils/out.txt");
  fs::create_symlink(dir / "utils/gone.txt", dir / "utils/dangling.txt");
  EXPECT_NE(Problem(dir / "utils").find("dangling.txt\" is a link that is broken"), std::string::npos);
  fs::remove(dir / "utils/dangling.txt");
  ASSERT_TRUE(MakePipe(dir / "utils/pipe"));
  EXPECT_NE(Problem(dir / "utils").find("pipe\" is not a file or a folder"), std::string::npos);
}

}  // namespace
}  // namespace kiv
