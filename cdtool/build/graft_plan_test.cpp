#include "cdtool/build/graft_plan.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/platform.h"
#include "common/progress_sink.h"
#include "testsupport/test_files.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  testing::WriteText(path.string(), text);
}

void SetDate(const fs::path& path, int64_t seconds) {
  ASSERT_EQ(SetFileTimes(path.string(), true, {seconds, 0}, {seconds, 0}), "");
}

std::vector<std::string> CdPaths(const std::vector<Graft>& grafts) {
  std::vector<std::string> paths;
  paths.reserve(grafts.size());
  for (const Graft& g : grafts) paths.push_back(g.cdPath);
  return paths;
}

// A link to a folder beside it maps that folder's files twice, under both
// names, as the tree copy copies them; a link back up the tree is not
// followed again.
TEST(GraftPlan, FolderLinksMapAsTheCopyCopiesThem) {
  const fs::path dir = testing::MakeTempDir("graft_links");
  const fs::path work = dir / "kivcd", src = dir / "add";
  Write(src / "x" / "tool.exe", "a tool");
  fs::create_directory_symlink("x", src / "a-link");  // sorts before x
  fs::create_directory_symlink("..", src / "x" / "up");
  fs::create_directories(work);
  GraftPlan plan(work.string());
  MemoryProgressSink progress;
  std::string error, at;
  ASSERT_TRUE(plan.Map(src.string(), "", progress, &error, &at)) << error << " " << at;
  EXPECT_EQ(CdPaths(plan.Effective()), (std::vector<std::string>{"/a-link/tool.exe", "/x/tool.exe"}));
  fs::remove_all(dir);
}

// A source goes onto the CD as the tree copy would put it there: the same
// names, folders merged in the work tree's letter case, dot folders and
// empty trees left out; the work tree gets the folders, never the bytes.
TEST(GraftPlan, MapsASourceAsTheCopyWouldPutIt) {
  const fs::path dir = testing::MakeTempDir("graft_map");
  const fs::path work = dir / "kivcd", src = dir / "cd";
  Write(work / "I386" / "OLD.TXT", "the work tree's");
  Write(work / "KIVCD.TAG", "tag");
  Write(src / "i386" / "old.txt", "the source's");
  Write(src / "i386" / "SYSTEM32" / "NTOSKRNL.EX_", "kernel");
  Write(src / "i386" / ".svn" / "entries", "hidden folder");
  Write(src / "i386" / ".hidden", "a dot file is copied");
  fs::create_symlink("old.txt", src / "i386" / "LINKED.TXT");  // followed, as the copy does
  fs::create_directories(src / "i386" / "EMPTY");
  Write(dir / "empty" / "zero.bin", "");

  GraftPlan plan(work.string());
  MemoryProgressSink progress;
  std::string error, at;
  ASSERT_TRUE(plan.Map((src / "i386").string(), "i386", progress, &error, &at)) << error << " " << at;
  EXPECT_EQ(CdPaths(plan.Effective()), (std::vector<std::string>{"/I386/.hidden", "/I386/LINKED.TXT", "/I386/OLD.TXT",
                                                                 "/I386/SYSTEM32/NTOSKRNL.EX_"}));
  // The copy would have overwritten the work tree's file: it is gone, and the
  // CD path leads to the source.
  EXPECT_FALSE(fs::exists(work / "I386" / "OLD.TXT"));
  EXPECT_EQ(plan.DiskFile("/i386/OLD.txt"), (src / "i386" / "old.txt").string());
  EXPECT_TRUE(fs::is_directory(work / "I386" / "SYSTEM32"));
  EXPECT_TRUE(fs::is_directory(work / "I386" / "EMPTY"));
  EXPECT_FALSE(fs::exists(work / "I386" / ".svn"));
  EXPECT_FALSE(fs::exists(work / "I386" / "SYSTEM32" / "NTOSKRNL.EX_"));
  EXPECT_EQ(plan.DiskFile("/KIVCD.TAG"), (work / "KIVCD.TAG").string());
  EXPECT_FALSE(plan.DiskFile("/I386/NONE.TXT").has_value());

  // A tree that holds no data maps nothing and makes no folder.
  ASSERT_TRUE(plan.Map((dir / "empty").string(), "empty", progress, &error, &at));
  EXPECT_FALSE(fs::exists(work / "empty"));

  // What the build writes later takes the place of the mapped file.
  Write(work / "I386" / "OLD.TXT", "the build's answer file");
  EXPECT_EQ(CdPaths(plan.Effective()),
            (std::vector<std::string>{"/I386/.hidden", "/I386/LINKED.TXT", "/I386/SYSTEM32/NTOSKRNL.EX_"}));
  EXPECT_EQ(plan.DiskFile("/I386/old.txt"), (work / "I386" / "OLD.TXT").string());

  // A folder the build removes takes its mapped files with it.
  plan.Drop("i386/system32");
  EXPECT_EQ(CdPaths(plan.Effective()), (std::vector<std::string>{"/I386/.hidden", "/I386/LINKED.TXT"}));
  fs::remove_all(dir);
}

// A file cannot take a folder's place, nor a folder a file's; the work tree
// cannot lie in its own source. Each refusal names the entry and maps nothing.
TEST(GraftPlan, RefusesWhatTheCopyCouldNotDo) {
  const fs::path dir = testing::MakeTempDir("graft_refuse");
  const fs::path work = dir / "kivcd";
  fs::create_directories(work / "boot" / "images");
  Write(dir / "add" / "a.txt", "a");
  Write(dir / "add" / "boot", "a file where the CD has a folder");
  GraftPlan plan(work.string());
  MemoryProgressSink progress;
  std::string error, at;
  EXPECT_FALSE(plan.Map((dir / "add").string(), "", progress, &error, &at));
  EXPECT_EQ(error, "a folder of that name is on the CD: /boot");
  EXPECT_EQ(at, (dir / "add" / "boot").string());
  EXPECT_TRUE(plan.Empty());

  Write(dir / "utils" / "tools" / "x.exe", "x");
  ASSERT_TRUE(plan.Map((dir / "utils").string(), "kiv", progress, &error, &at));
  Write(dir / "more" / "kiv" / "tools" / "x.exe" / "inside", "a folder where a mapped file is");
  EXPECT_FALSE(plan.Map((dir / "more").string(), "", progress, &error, &at));
  EXPECT_EQ(error, "a file of that name is on the CD: /kiv/tools/x.exe");

  EXPECT_FALSE(plan.Map(dir.string(), "", progress, &error, &at));
  EXPECT_EQ(error, "Destination is inside the source folder");
  EXPECT_EQ(CdPaths(plan.Effective()), (std::vector<std::string>{"/kiv/tools/x.exe"}));
  fs::remove_all(dir);
}

// Equal files (bytes, mode, date as the CD shows it) are led to one file on
// the disk, a work tree file first; files that differ in any of them are not.
TEST(ShareDuplicates, LeadsEqualFilesToOneDiskFile) {
  const fs::path dir = testing::MakeTempDir("graft_dups");
  const fs::path work = dir / "kivcd", src = dir / "src";
  Write(work / "boot" / "images" / "kivstart.img", "floppy image");
  Write(src / "a" / "copy.img", "floppy image");
  Write(src / "b" / "one.dll", "same bytes");
  Write(src / "c" / "two.dll", "same bytes");
  Write(src / "d" / "other.dll", "diff bytes");  // the same size, other bytes
  Write(src / "e" / "newer.dll", "same bytes");
  Write(src / "f" / "empty1", "");
  Write(src / "f" / "empty2", "");
  for (const char* f : {"a/copy.img", "b/one.dll", "c/two.dll", "d/other.dll", "f/empty1", "f/empty2"})
    SetDate(src / f, 1'600'000'000);
  SetDate(work / "boot" / "images" / "kivstart.img", 1'600'000'000);
  SetDate(src / "e" / "newer.dll", 1'700'000'000);
  std::vector<Graft> grafts;
  for (const char* f : {"a/copy.img", "b/one.dll", "c/two.dll", "d/other.dll", "e/newer.dll", "f/empty1", "f/empty2"})
    grafts.push_back({std::string("/") + f, (src / f).string()});

  std::vector<Graft> shared = ShareDuplicates(grafts, work.string(), std::nullopt);
  ASSERT_EQ(shared.size(), grafts.size());
  EXPECT_EQ(shared[0].diskPath, (work / "boot" / "images" / "kivstart.img").string());
  EXPECT_EQ(shared[1].diskPath, (src / "b" / "one.dll").string());
  EXPECT_EQ(shared[2].diskPath, (src / "b" / "one.dll").string());
  EXPECT_EQ(shared[3].diskPath, (src / "d" / "other.dll").string());
  EXPECT_EQ(shared[4].diskPath, (src / "e" / "newer.dll").string());  // another date on the CD
  EXPECT_EQ(shared[5].diskPath, (src / "f" / "empty1").string());
  EXPECT_EQ(shared[6].diskPath, (src / "f" / "empty2").string());

  // With the dates clamped to an epoch before both, the newer file is equal too.
  shared = ShareDuplicates(grafts, work.string(), 1'500'000'000);
  EXPECT_EQ(shared[4].diskPath, (src / "b" / "one.dll").string());
  fs::remove_all(dir);
}

// The path list escapes what the mastering tool reads as syntax in the image
// path, and the date commands name only files later than the epoch, quoted.
TEST(GraftPlan, WritesThePathListAndTheDateCommands) {
  const fs::path dir = testing::MakeTempDir("graft_lists");
  Write(dir / "old.txt", "old");
  Write(dir / "new's.txt", "new");
  SetDate(dir / "old.txt", 1'000);
  SetDate(dir / "new's.txt", 3'000);
  const std::vector<Graft> grafts = {{"/a=b\\c/old.txt", (dir / "old.txt").string()},
                                     {"/kiv/new's *.txt", (dir / "new's.txt").string()}};
  EXPECT_EQ(RenderPathList("kivcd", grafts), "/=kivcd\n/a\\=b\\\\c/old.txt=" + (dir / "old.txt").string() +
                                                 "\n/kiv/new's *.txt=" + (dir / "new's.txt").string() + "\n");
  // The mastering tool reads '\' and '=' on the disk side as it does on the
  // CD side: both escaped.
  EXPECT_EQ(RenderPathList("my=\\tree", {{"/p\\q", "/src/p\\q"}, {"/\\=.txt", "/s=t/\\=.txt"}}),
            "/=my\\=\\\\tree\n/p\\\\q=/src/p\\\\q\n/\\\\\\=.txt=/s\\=t/\\\\\\=.txt\n");
  EXPECT_EQ(RenderDateCommands(grafts, 2'000), "-alter_date m =2000 '/kiv/new'\"'\"'s *.txt' --\n");
  EXPECT_EQ(RenderDateCommands(grafts, 5'000), "");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kiv
