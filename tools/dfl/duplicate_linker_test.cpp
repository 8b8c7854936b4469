#include "tools/dfl/duplicate_linker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testsupport/run_program.h"
#include "testsupport/test_file_states.h"

namespace fs = std::filesystem;
using kiv::FileNumber;
using kiv::ModifiedSeconds;
using kiv::RunProgram;
using kiv::SetModifiedSeconds;
using kiv::TestRunsAsRoot;
using kiv::dfl::LinkDuplicates;

namespace {

class DflTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("dfl_test_" + std::to_string(kiv::TestProcessId()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root_ / "locked", fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(root_ / "kivcd" / "locked", fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  fs::path Write(const std::string& rel, const std::string& content) {
    fs::path p = root_ / rel;
    fs::create_directories(p.parent_path());
    { std::ofstream(p, std::ios::binary) << content; }
    // One date for every file, as a copied tree has when its sources share
    // one (the tests that look at dates set their own).
    fs::last_write_time(p, kWritten);
    return p;
  }
  // On a whole second, so a millisecond later is still the same second.
  inline static const fs::file_time_type kWritten =
      std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now()) - std::chrono::hours(24 * 400);
  static uint64_t Inode(const fs::path& p) {
    const uint64_t number = FileNumber(p);
    EXPECT_NE(number, 0u) << p;
    return number;
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path root_;
};

TEST_F(DflTest, LinksEqualFilesAndLeavesDifferentOnesAlone) {
  const std::string big(3 * 1024 * 1024 + 17, 'x');  // spans several read chunks
  auto a = Write("I386/a.dll", big);
  auto b = Write("ERDC/a.dll", big);
  auto c = Write("OOBC/sub/copy.dll", big);
  std::string other = big;
  other[big.size() - 1] = 'y';  // same size, differs only in the last byte
  auto d = Write("I386/other.dll", other);
  auto e = Write("small1.txt", "hello");
  auto f = Write("small2.txt", "hello");
  auto g = Write("small3.txt", "hellO");
  auto h = Write("unique.txt", "only one");

  std::vector<std::string> phases;
  auto report = LinkDuplicates(root_.string(), [&](const std::string& p) { phases.push_back(p); });

  EXPECT_TRUE(report.errors.empty());
  EXPECT_EQ(phases, (std::vector<std::string>{"Calculating MD5 digests", "Finding duplicate files"}));
  EXPECT_EQ(report.filesScanned, 8u);
  EXPECT_EQ(report.filesLinked, 3u);
  EXPECT_EQ(report.bytesSaved, 2 * big.size() + 5);

  EXPECT_EQ(Inode(a), Inode(b));
  EXPECT_EQ(Inode(a), Inode(c));
  EXPECT_NE(Inode(a), Inode(d));
  EXPECT_EQ(Inode(e), Inode(f));
  EXPECT_NE(Inode(e), Inode(g));
  EXPECT_NE(Inode(e), Inode(h));

  EXPECT_EQ(Read(a), big);
  EXPECT_EQ(Read(c), big);
  EXPECT_EQ(Read(d), other);
  EXPECT_EQ(Read(f), "hello");
  EXPECT_EQ(Read(g), "hellO");

  // No temporary names are left behind.
  for (auto& entry : fs::recursive_directory_iterator(root_))
    EXPECT_EQ(entry.path().filename().string().rfind(".dfl-", 0), std::string::npos) << entry.path();

  // A second run finds nothing left to do.
  auto again = LinkDuplicates(root_.string(), nullptr);
  EXPECT_EQ(again.filesLinked, 0u);
  EXPECT_EQ(again.filesScanned, 5u);  // eight paths, five contents
}

// Linking changes no folder's dates: the CD records them.
TEST_F(DflTest, FoldersKeepTheirDates) {
  auto a = Write("boot/a.txt", "same");
  auto b = Write("kiv/sub/b.txt", "same");
  for (const fs::path& folder : {root_ / "boot", root_ / "kiv" / "sub"})
    ASSERT_TRUE(SetModifiedSeconds(folder, 1000000000)) << folder;
  auto report = LinkDuplicates(root_.string(), nullptr);
  ASSERT_EQ(report.filesLinked, 1u);
  ASSERT_EQ(Inode(a), Inode(b));
  for (const fs::path& folder : {root_ / "boot", root_ / "kiv" / "sub"})
    EXPECT_EQ(ModifiedSeconds(folder), 1000000000) << folder;
}

TEST_F(DflTest, SkipsSymlinksEmptyFilesAndKnownLinks) {
  auto a = Write("a.bin", "payload");
  auto target = Write("t.bin", "payload");
  fs::create_symlink(target, root_ / "link.bin");
  auto empty1 = Write("e1", "");
  auto empty2 = Write("e2", "");
  fs::create_hard_link(a, root_ / "already.bin");

  auto report = LinkDuplicates(root_.string(), nullptr);
  EXPECT_TRUE(report.errors.empty());
  EXPECT_EQ(report.filesLinked, 1u);  // t.bin onto a.bin; the known link is not counted again
  EXPECT_EQ(Inode(a), Inode(target));
  EXPECT_TRUE(fs::is_symlink(root_ / "link.bin"));
  EXPECT_NE(Inode(empty1), Inode(empty2));
}

// A hard link has one mode for all its names: linking a read-only file with a
// writable twin would make it writable. Twins of equal mode are still linked.
TEST_F(DflTest, LinksOnlyFilesOfEqualMode) {
  auto ro1 = Write("I386/a.inf", "same content");
  auto ro2 = Write("ERDC/a.inf", "same content");
  auto rw1 = Write("OOBC/a.inf", "same content");
  auto rw2 = Write("OOBC/b.inf", "same content");
  auto exe = Write("OOBC/c.inf", "same content");
  const auto ro = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const auto rw = ro | fs::perms::owner_write;
  fs::permissions(ro1, ro);
  fs::permissions(ro2, ro);
  fs::permissions(rw1, rw);
  fs::permissions(rw2, rw);
  fs::permissions(exe, rw | fs::perms::owner_exec);

  auto report = LinkDuplicates(root_.string(), nullptr);
  EXPECT_TRUE(report.errors.empty());
  EXPECT_EQ(report.filesLinked, 2u);
  EXPECT_EQ(Inode(ro1), Inode(ro2));
  EXPECT_EQ(Inode(rw1), Inode(rw2));
  EXPECT_NE(Inode(ro1), Inode(rw1));
  EXPECT_NE(Inode(exe), Inode(rw1));
  EXPECT_NE(Inode(exe), Inode(ro1));
  for (const auto& p : {ro1, ro2}) EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, ro) << p;
  for (const auto& p : {rw1, rw2}) EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, rw) << p;
  EXPECT_EQ(fs::status(exe).permissions() & fs::perms::all, rw | fs::perms::owner_exec);
}

// A link has one date for all its names: files dated differently keep their
// own dates (and their own data); equal dates are linked.
TEST_F(DflTest, LinksOnlyFilesOfEqualDate) {
  auto older = Write("I386/a.inf", "same content");
  auto newer = Write("ERDC/a.inf", "same content");
  auto twin = Write("OOBC/a.inf", "same content");
  // Dates on the CD are whole seconds: a difference below one is no
  // difference there.
  const auto when = kWritten;
  fs::last_write_time(twin, when + std::chrono::milliseconds(1));
  fs::last_write_time(newer, when + std::chrono::seconds(1));

  auto report = LinkDuplicates(root_.string(), nullptr);
  EXPECT_TRUE(report.errors.empty());
  EXPECT_EQ(report.filesLinked, 1u);
  EXPECT_EQ(Inode(older), Inode(twin));
  EXPECT_NE(Inode(newer), Inode(older));
  EXPECT_TRUE(fs::last_write_time(newer) == when + std::chrono::seconds(1));
}

TEST_F(DflTest, ByteCompareAndDigest) {
  auto a = Write("a", "abcdef");
  auto b = Write("b", "abcdeg");
  auto c = Write("c", "abcdef");
  EXPECT_FALSE(kiv::dfl::SameContent(a.string(), b.string()));
  EXPECT_TRUE(kiv::dfl::SameContent(a.string(), c.string()));
  EXPECT_FALSE(kiv::dfl::SameContent(a.string(), (root_ / "missing").string()));
  // RFC 1321 test vector.
  auto abc = Write("abc", "abc");
  EXPECT_EQ(kiv::dfl::FileMd5(abc.string()), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(kiv::dfl::FileMd5((root_ / "missing").string()), "");
}

TEST_F(DflTest, UnwritableFolderIsReportedAndKeepsItsFile) {
  if (TestRunsAsRoot()) GTEST_SKIP() << "running as root: folder permissions are not enforced";
  Write("a.bin", "same");
  auto b = Write("locked/b.bin", "same");
  fs::permissions(root_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  auto report = LinkDuplicates(root_.string(), nullptr);
  EXPECT_EQ(report.filesLinked, 0u);
  ASSERT_EQ(report.errors.size(), 1u);
  EXPECT_NE(report.errors[0].find("b.bin"), std::string::npos);
  EXPECT_EQ(Read(b), "same");
}

// The program itself: phrases on stdout, exit status per outcome.
// A shell command line; its exit status (128 + signal when one ended it), and
// stdout and stderr together in `out`.
int RunShell(const std::string& cmd, std::string& out) {
  const kiv::ProgramRun run = RunProgram({"/bin/sh", "-c", cmd}, {}, {}, true);
  out = run.out;
  return run.code;
}

int RunDfl(const std::string& args, std::string& out) {
  const int code = RunShell(std::string("'") + DFL_EXE + "' " + args, out);
  return code < 128 ? code : -1;
}

TEST_F(DflTest, ProgramPrintsPhasesAndExitsByOutcome) {
  auto a = Write("kivcd/x/a", "dup");
  auto b = Write("kivcd/y/b", "dup");
  std::string out;
  const std::string cd = "cd '" + root_.string() + "' && ";
  EXPECT_EQ(RunDfl("kivcd link", out), 1);  // relative to the current folder: not here
  EXPECT_NE(out.find("folder not found: kivcd"), std::string::npos) << out;

  EXPECT_EQ(RunShell(cd + "'" + DFL_EXE + "' kivcd link", out), 0) << out;
  EXPECT_NE(out.find("Calculating MD5 digests"), std::string::npos) << out;
  EXPECT_NE(out.find("Finding duplicate files"), std::string::npos) << out;
  EXPECT_NE(out.find("1 duplicate files linked"), std::string::npos) << out;
  EXPECT_EQ(Inode(a), Inode(b));

  EXPECT_EQ(RunDfl("kivcd", out), 2);
  EXPECT_NE(out.find("usage: dfl"), std::string::npos);
  EXPECT_EQ(RunDfl("'" + root_.string() + "' unlink", out), 2);
}

// A folder that cannot be read is named on stderr with the reason, the rest
// of the tree is still linked, and the exit status says that not all went
// well. Root reads every folder, so a root test run drops to "nobody" for the
// program (setpriv), where the permissions are enforced.
TEST_F(DflTest, UnreadableFolderIsNamedWithTheReason) {
  std::string asUser;
  if (TestRunsAsRoot()) {
    if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "root without setpriv";
    asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  auto a = Write("kivcd/x/a", "dup");
  auto b = Write("kivcd/y/b", "dup");
  Write("kivcd/locked/c", "dup");
  for (const char* rel : {"", "kivcd", "kivcd/x", "kivcd/y"}) fs::permissions(root_ / rel, fs::perms::all);
  // The kernel lets a user hard-link only files of their own.
  if (!asUser.empty()) {
    ASSERT_TRUE(kiv::SetOwner(a, 65534, 65534));
    ASSERT_TRUE(kiv::SetOwner(b, 65534, 65534));
  }
  fs::permissions(root_ / "kivcd" / "locked", fs::perms::none);
  std::string out;
  const std::string cmd = "cd '" + root_.string() + "' && " + asUser + "'" + DFL_EXE + "' kivcd link";
  EXPECT_EQ(RunShell(cmd, out), 1) << out;
  EXPECT_NE(out.find("dfl: cannot read folder kivcd/locked: Permission denied"), std::string::npos) << out;
  EXPECT_NE(out.find("1 duplicate files linked"), std::string::npos) << out;
  EXPECT_EQ(Inode(a), Inode(b));
}

}  // namespace

namespace {

// What the links are for: the mastering tool, run with -cache-inodes as the CD
// builder runs it, stores linked files once.
TEST_F(DflTest, IsoOfLinkedTreeIsSmaller) {
  if (std::system("command -v genisoimage >/dev/null 2>&1") != 0) GTEST_SKIP() << "genisoimage is not installed";
  std::string block(512 * 1024, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 7919) >> 3);
  for (int i = 0; i < 4; ++i) Write("kivcd/d" + std::to_string(i) + "/same.bin", block);
  auto iso = [&](const std::string& name) {
    const std::string out = (root_ / name).string();
    const std::string cmd = "cd '" + root_.string() +
                            "' && genisoimage -quiet -iso-level 4 "
                            "-follow-links -cache-inodes -o '" +
                            out + "' kivcd";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return fs::file_size(out);
  };
  const auto before = iso("before.iso");
  auto report = LinkDuplicates((root_ / "kivcd").string(), nullptr);
  EXPECT_EQ(report.filesLinked, 3u);
  const auto after = iso("after.iso");
  EXPECT_LE(after + 3 * block.size(), before + 64 * 1024) << before << " -> " << after;
}

}  // namespace
