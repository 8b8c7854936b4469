// The cabinet code's own calls to the operating system (cab_platform.h).
#include "tools/cabinet/cab_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "testsupport/test_file_states.h"
#include "tools/cabinet/cab_test_util.h"

namespace kiv::cab {
namespace {

using test::ReadFile;
using test::TempDir;
namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(CabPlatform, TempOutputReplacesTheTargetOnlyOnCommit) {
  TempDir dir;
  const std::string target = (dir.path() / "out.cab").string();
  std::ofstream(target) << "old";
  {
    TempOutput out(target);
    std::string error;
    ASSERT_TRUE(out.Open(error)) << error;
    ASSERT_TRUE(out.Write(reinterpret_cast<const uint8_t*>("0123456789"), 10, error)) << error;
    EXPECT_EQ(Names(dir.path()).size(), 2u);  // the target and the temporary file beside it
  }
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.cab"});  // not committed: gone
  EXPECT_EQ(ReadFile(target), "old");

  TempOutput out(target);
  std::string error;
  ASSERT_TRUE(out.Open(error)) << error;
  ASSERT_TRUE(out.Write(reinterpret_cast<const uint8_t*>("0123456789"), 10, error)) << error;
  ASSERT_TRUE(out.WriteAt({'A', 'B'}, 3, error)) << error;
  ASSERT_TRUE(out.Commit(error)) << error;
  EXPECT_EQ(ReadFile(target), "012AB56789");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.cab"});
  // The mode of any new file (the umask applied), not the temporary file's 0600.
  std::ofstream(dir.path() / "plain") << "x";
  EXPECT_EQ(ModeOf(target), ModeOf((dir.path() / "plain").string()));
}

TEST(CabPlatform, TempOutputNamesTheFolderItCannotWrite) {
  TempDir dir;
  TempOutput out((dir.path() / "missing" / "out.cab").string());
  std::string error;
  EXPECT_FALSE(out.Open(error));
  EXPECT_NE(error.find("cannot create a file in the folder of"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(CabPlatform, ReadInPiecesHandsOverEveryByteAndStopsWhenAsked) {
  TempDir dir;
  const std::string bytes = test::MakeData(200000, 7);
  const std::string path = (dir.path() / "src").string();
  std::ofstream(path, std::ios::binary) << bytes;
  std::string seen, error;
  int pieces = 0;
  auto keep = [&](const uint8_t* p, size_t n) {
    seen.append(reinterpret_cast<const char*>(p), n);
    ++pieces;
    return true;
  };
  ASSERT_TRUE(ReadInPieces(path, keep, error)) << error;
  EXPECT_EQ(seen, bytes);
  EXPECT_GT(pieces, 1);
  pieces = 0;
  auto stop = [&](const uint8_t*, size_t) {
    ++pieces;
    return false;
  };
  EXPECT_FALSE(ReadInPieces(path, stop, error));
  EXPECT_EQ(pieces, 1);
  EXPECT_FALSE(ReadInPieces((dir.path() / "missing").string(), [](const uint8_t*, size_t) { return true; }, error));
  EXPECT_EQ(error, "cannot read " + (dir.path() / "missing").string() + ": No such file or directory");
}

TEST(CabPlatform, TempFileBesideGetsTheNewFileModeAndADate) {
  TempDir dir;
  const std::string dest = (dir.path() / "a.txt").string();
  std::string error;
  const std::string temp = MakeTempFileBeside(dest, error);
  ASSERT_FALSE(temp.empty()) << error;
  EXPECT_EQ(fs::path(temp).parent_path(), dir.path());
  EXPECT_EQ(fs::file_size(temp), 0u);
  SetNewFileMode(temp);
  std::ofstream(dir.path() / "plain") << "x";
  EXPECT_EQ(ModeOf(temp), ModeOf((dir.path() / "plain").string()));
  SetFileDate(temp, 1262304000);
  EXPECT_EQ(ModifiedSeconds(temp), 1262304000);
  EXPECT_TRUE(MakeTempFileBeside((dir.path() / "missing" / "a.txt").string(), error).empty());
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace kiv::cab
