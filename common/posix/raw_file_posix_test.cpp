// RawFile and the device questions of platform.h, on plain files standing in
// for disks (and on a real disk device where the system lists one).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "common/file_ops.h"
#include "common/platform.h"
#include "testsupport/run_program.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

TEST(RawFile, WritesInPlaceAtOffsetsWithoutEmptyingTheFile) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "disk", std::string(16, '.')));
  RawFile disk;
  ASSERT_TRUE(disk.Open(dir / "disk", RawFile::Access::Write));
  EXPECT_TRUE(disk.WriteAt("AB", 2, 4));
  EXPECT_TRUE(disk.WriteAt("Z", 1, 15));
  EXPECT_TRUE(disk.WriteFull("xy", 2));  // from the start: WriteAt moves no position
  EXPECT_TRUE(disk.Sync());
  EXPECT_TRUE(disk.Close());
  EXPECT_EQ(testing::ReadText(dir / "disk"), "xy..AB.........Z");
}

TEST(RawFile, ReadFullStopsAtTheEndAndRewinds) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "f", "0123456789"));
  RawFile f;
  ASSERT_TRUE(f.Open(dir / "f", RawFile::Access::Read));
  char buf[32] = {};
  EXPECT_EQ(f.ReadFull(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(f.ReadFull(buf, sizeof buf), 6);  // the rest, then the end
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(f.ReadFull(buf, sizeof buf), 0);
  ASSERT_TRUE(f.Rewind());
  EXPECT_EQ(f.ReadFull(buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "01");
  f.DropCache();  // a hint: nothing changes for the reader
  EXPECT_EQ(f.ReadFull(buf, 1), 1);
  EXPECT_EQ(buf[0], '2');
}

TEST(RawFile, FailuresKeepTheSystemsErrorNumber) {
  TestTempDir dir;
  RawFile f;
  EXPECT_FALSE(f.Open(dir / "missing", RawFile::Access::Read));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(f.Error(), ENOENT);
  EXPECT_EQ(f.ErrorText(), "No such file or directory");
  // Write never creates a file: a disk is there or it is not.
  EXPECT_FALSE(f.Open(dir / "missing", RawFile::Access::Write));
  EXPECT_FALSE(FileExists(dir / "missing"));
  ASSERT_TRUE(WriteFileAtomic(dir / "ro", "x"));
  ASSERT_TRUE(SetMode(dir / "ro", 0444));
  if (!IsRunningAsRoot()) {
    EXPECT_FALSE(f.Open(dir / "ro", RawFile::Access::Write));
    EXPECT_EQ(f.Error(), EACCES);
  }
  ASSERT_TRUE(f.Open(dir / "ro", RawFile::Access::ReadProbe));
  EXPECT_EQ(f.Error(), 0);  // cleared by the open that worked
  char c = 0;
  EXPECT_EQ(f.ReadFull(&c, 1), 1);
  EXPECT_FALSE(f.WriteFull("y", 1));  // opened for reading
  EXPECT_EQ(f.Error(), EBADF);
}

TEST(DeviceQuestions, GroupAndDeviceNumbersOfAPlainFile) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "f", "x"));
  const ProgramRun stat = RunProgram({"stat", "-c", "%G", dir / "f"});
  ASSERT_EQ(stat.code, 0) << stat.err;
  EXPECT_EQ(OwningGroupName(dir / "f") + "\n", stat.out);
  EXPECT_EQ(OwningGroupName(dir / "missing"), "");
  EXPECT_EQ(DeviceNumbers(dir / "f"), "");    // no disk device
  EXPECT_EQ(DeviceNumbers("/dev/null"), "");  // a character device is no disk
}

TEST(DeviceQuestions, DeviceNumbersMatchTheKernelsList) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/class/block", ec)) {
    const std::string node = "/dev/" + entry.path().filename().string();
    if (!fs::is_block_file(node, ec)) continue;
    std::string listed;
    ASSERT_TRUE(ReadWholeFile((entry.path() / "dev").string(), listed));
    EXPECT_EQ(DeviceNumbers(node) + "\n", listed) << node;
    return;
  }
  GTEST_SKIP() << "no disk device node here";
}

}  // namespace
}  // namespace kiv
