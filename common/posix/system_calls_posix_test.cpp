// The small operating system services of platform.h, against real files,
// links and a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/file_ops.h"
#include "common/platform.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_temp_dir.h"
#include "testsupport/test_terminal.h"

namespace kiv {
namespace {

TEST(SystemCalls, IsTerminalTellsATerminalFromAFile) {
  TestTerminal terminal;
  ASSERT_TRUE(terminal.Opened());
  EXPECT_TRUE(IsTerminal(terminal.In()));
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "in", "line\n"));
  std::FILE* file = std::fopen((dir / "in").c_str(), "r");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(IsTerminal(file));
  std::fclose(file);
  EXPECT_FALSE(IsTerminal(nullptr));
}

TEST(SystemCalls, SetsAndReadsBothTimesOfAFile) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "f", "x"));
  EXPECT_EQ(SetFileTimes(dir / "f", true, {1000000000, 5}, {1200000000, 123456789}), "");
  FileTime accessed, modified;
  ASSERT_TRUE(GetFileTimes(dir / "f", true, accessed, modified));
  EXPECT_EQ(accessed.seconds, 1000000000);
  EXPECT_EQ(accessed.nanoseconds, 5);
  EXPECT_EQ(modified.seconds, 1200000000);
  EXPECT_EQ(modified.nanoseconds, 123456789);
  EXPECT_EQ(ModifiedSeconds(dir / "f"), 1200000000);
}

TEST(SystemCalls, ALinksOwnTimesAreSetWithoutTouchingItsTarget) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "target", "x"));
  ASSERT_TRUE(SetModifiedSeconds(dir / "target", 1500000000));
  ASSERT_TRUE(MakeSymlink("target", dir / "link"));
  EXPECT_EQ(SetFileTimes(dir / "link", false, {1100000000, 0}, {1100000000, 0}), "");
  EXPECT_EQ(ModifiedSeconds(dir / "link"), 1100000000);
  EXPECT_EQ(ModifiedSeconds(dir / "target"), 1500000000);
  FileTime accessed, modified;
  ASSERT_TRUE(GetFileTimes(dir / "link", true, accessed, modified));  // followed: the target's
  EXPECT_EQ(modified.seconds, 1500000000);
  ASSERT_TRUE(GetFileTimes(dir / "link", false, accessed, modified));
  EXPECT_EQ(modified.seconds, 1100000000);
}

TEST(SystemCalls, TimesOfAMissingFileGiveTheSystemsText) {
  TestTempDir dir;
  FileTime accessed, modified;
  std::string error;
  EXPECT_FALSE(GetFileTimes(dir / "missing", false, accessed, modified, &error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(SetFileTimes(dir / "missing", false, {}, {}), "No such file or directory");
}

TEST(SystemCalls, CreateNewFileNeverOpensAnExistingOne) {
  TestTempDir dir;
  EXPECT_EQ(CreateNewFile(dir / "new"), "");
  EXPECT_EQ(FileSize(dir / "new"), 0);
  ASSERT_TRUE(WriteFileAtomic(dir / "old", "keep"));
  EXPECT_EQ(CreateNewFile(dir / "old"), "File exists");
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(dir / "old", bytes));
  EXPECT_EQ(bytes, "keep");
  EXPECT_EQ(CreateNewFile(dir / "no/folder/f"), "No such file or directory");
}

TEST(SystemCalls, ExecutableFileNeedsTheRunPermissionAndAFile) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "tool", "#!/bin/sh\n"));
  ASSERT_TRUE(SetMode(dir / "tool", 0644));
  if (!IsRunningAsRoot()) {
    EXPECT_FALSE(IsExecutableFile(dir / "tool"));
  }
  ASSERT_TRUE(SetMode(dir / "tool", 0755));
  EXPECT_TRUE(IsExecutableFile(dir / "tool"));
  ASSERT_TRUE(MakePath(dir / "folder"));
  EXPECT_FALSE(IsExecutableFile(dir / "folder"));  // searchable, yet no program
  EXPECT_FALSE(IsExecutableFile(dir / "missing"));
}

TEST(SystemCalls, ProcessIdIsThisProcess) {
  EXPECT_GT(ProcessId(), 0);
  EXPECT_TRUE(ProcessExists(ProcessId()));
}

}  // namespace
}  // namespace kiv
