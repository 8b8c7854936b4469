#include "common/file_ops.h"

#include <gtest/gtest.h>

#include "common/file_ops_internal.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

void Put(const std::string& path, const std::string& bytes) {
  std::string folder = path.substr(0, path.find_last_of('/'));
  ASSERT_TRUE(MakePath(folder)) << folder;
  ASSERT_TRUE(WriteFileAtomic(path, bytes)) << path;
}

TEST(FileOps, ExistenceTests) {
  TestTempDir dir;
  Put(dir / "Sub/File.TXT", "x");
  ASSERT_TRUE(MakePath(dir / "Empty"));
  EXPECT_TRUE(FileExists(dir / "Sub/File.TXT"));
  EXPECT_TRUE(FileExists(dir / "sub/file.txt"));
  EXPECT_TRUE(FileExists("\"" + dir.Path() + "\\sub\\file.txt\\\""));  // quoted, trailing backslash
  EXPECT_FALSE(FileExists(dir / "Sub"));                               // a folder is no file
  EXPECT_FALSE(FileExists(dir / "Sub/missing"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FileExists(dir / "sub/*.txt"));
  EXPECT_TRUE(FileExists(dir / "*.*"));  // folders count for a pattern
  EXPECT_FALSE(FileExists(dir / "Sub/*.ini"));
  EXPECT_FALSE(FileExists(dir / "Missing/*.*"));
  EXPECT_FALSE(FolderExists(""));
  EXPECT_FALSE(FolderExists("   "));
  EXPECT_TRUE(FolderExists(dir / "Empty"));
  EXPECT_TRUE(FolderExists(dir.Path() + "\\empty\\  "));
  EXPECT_FALSE(FolderExists(dir / "Sub/File.TXT"));
  EXPECT_FALSE(FolderExists(dir / "Nope"));
  EXPECT_EQ(FileSize(dir / "sub/file.txt"), 1);
  EXPECT_EQ(FileSize(dir / "Sub"), -1);
  EXPECT_EQ(FileSize(dir / "none"), -1);
}

TEST(FileOps, MakePathCreatesEveryLevelAndReusesExistingCase) {
  TestTempDir dir;
  ASSERT_TRUE(MakePath(dir / "KivCD"));
  EXPECT_TRUE(MakePath(dir.Path() + "\\kivcd\\boot\\images\\"));
  EXPECT_TRUE(FolderExists(dir / "KivCD/boot/images"));
  EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"KivCD"});
  Put(dir / "file", "x");
  EXPECT_FALSE(MakePath(dir / "file/sub"));
  EXPECT_FALSE(MakePath(""));
}

TEST(FileOps, ListFolderSortsAndFilters) {
  TestTempDir dir;
  Put(dir / "b.TXT", "");
  Put(dir / "A.txt", "");
  Put(dir / "c", "");
  Put(dir / ".hidden", "");
  ASSERT_TRUE(MakePath(dir / "Dir.txt"));
  EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{".hidden", "A.txt", "b.TXT", "c", "Dir.txt"}));
  EXPECT_EQ(ListFolder(dir.Path(), "*.txt", true, false), (std::vector<std::string>{"A.txt", "b.TXT"}));
  EXPECT_EQ(ListFolder(dir.Path(), "*.txt", false, true), std::vector<std::string>{"Dir.txt"});
  EXPECT_EQ(ListFolder(dir.Path(), "*."), (std::vector<std::string>{"c"}));
  EXPECT_TRUE(ListFolder(dir / "missing").empty());
}

TEST(FileOps, DeleteTreeRemovesReadOnlyEntriesAndNestedFolders) {
  TestTempDir dir;
  Put(dir / "t/a/b/c/deep.txt", "x");
  Put(dir / "t/ro.txt", "x");
  Put(dir / "t/.hidden", "x");
  ASSERT_TRUE(SetMode(dir / "t/ro.txt", 0444));
  ASSERT_TRUE(SetMode(dir / "t/a/b/c/deep.txt", 0444));
  ASSERT_TRUE(SetMode(dir / "t/a/b", 0555));  // read-only folder
  // A link to something outside the tree is removed, never followed.
  Put(dir / "outside/keep.txt", "keep");
  ASSERT_TRUE(MakeSymlink(dir / "outside", dir / "t/link"));
  EXPECT_TRUE(DeleteTree(dir.Path() + "\\T\\"));
  EXPECT_FALSE(FolderExists(dir / "t"));
  EXPECT_EQ(Read(dir / "outside/keep.txt"), "keep");
  EXPECT_TRUE(DeleteTree(dir / "never-there"));
  EXPECT_FALSE(DeleteTree(dir / "outside/keep.txt"));  // a file is not a tree
  EXPECT_FALSE(DeleteTree(""));
}

TEST(FileOps, CopyFolderOverwritesAndKeepsExtras) {
  TestTempDir dir;
  Put(dir / "src/a.txt", "new a");
  Put(dir / "src/.hidden", "h");
  Put(dir / "src/Sub/b.bin", std::string("\0\1\2", 3));
  Put(dir / "src/Sub/Deeper/c", "c");
  ASSERT_TRUE(SetMode(dir / "src/Sub/b.bin", 0444));
  Put(dir / "dst/a.txt", "old a");
  Put(dir / "dst/extra.txt", "extra");
  std::string error;
  ASSERT_TRUE(CopyFolder(dir / "src", dir / "dst", &error)) << error;
  EXPECT_EQ(Read(dir / "dst/a.txt"), "new a");
  EXPECT_EQ(Read(dir / "dst/extra.txt"), "extra");
  EXPECT_EQ(Read(dir / "dst/.hidden"), "h");
  EXPECT_EQ(Read(dir / "dst/Sub/b.bin"), std::string("\0\1\2", 3));
  EXPECT_EQ(Read(dir / "dst/Sub/Deeper/c"), "c");
  EXPECT_EQ(ModeOf(dir / "dst/Sub/b.bin") & 0777, 0444);  // attributes go with the file
  // Again over the read-only copy: still overwritten.
  Put(dir / "src/Sub/b.bin.new", "v2");
  ASSERT_TRUE(SetMode(dir / "src/Sub/b.bin", 0644));
  ASSERT_TRUE(WriteFileAtomic(dir / "src/Sub/b.bin", "v2"));
  ASSERT_TRUE(CopyFolder(dir / "src", dir / "new/level", &error)) << error;
  ASSERT_TRUE(CopyFolder(dir / "src", dir / "dst", &error)) << error;
  EXPECT_EQ(Read(dir / "dst/Sub/b.bin"), "v2");
  EXPECT_EQ(Read(dir / "new/level/Sub/Deeper/c"), "c");
  error.clear();
  EXPECT_FALSE(CopyFolder(dir / "missing", dir / "dst2", &error));
  EXPECT_EQ(error, "Path Not found");
  EXPECT_FALSE(CopyFolder(dir / "src", dir / "dst/a.txt/x", &error));
}

TEST(FileOps, CopyIntoItsOwnSubfolderIsRefused) {
  TestTempDir dir;
  Put(dir / "src/a", "a");
  std::string error;
  EXPECT_FALSE(CopyFolder(dir / "src", dir / "SRC/backup", &error));
  EXPECT_EQ(error, kCopyIntoItself);
  EXPECT_EQ(ListFolder(dir / "src"), std::vector<std::string>{"a"});
  // Through a link to the source as well.
  ASSERT_TRUE(MakeSymlink(dir / "src", dir / "alias"));
  EXPECT_FALSE(CopyFolder(dir / "src", dir / "alias/new/deeper", &error));
  EXPECT_TRUE(PathInside(dir / "alias/x", dir / "src"));
  EXPECT_FALSE(PathInside(dir / "src", dir / "src"));
  EXPECT_FALSE(PathInside(dir / "srcx", dir / "src"));
  EXPECT_EQ(CanonicalLoose(dir / "alias/not/there"), CanonicalLoose(dir / "src") + "/not/there");
  // A sibling with a common prefix is fine.
  EXPECT_TRUE(CopyFolder(dir / "src", dir / "src2", &error)) << error;
}

TEST(FileOps, PipesAndLinkLoopsDoNotStallTheCopy) {
  TestTempDir dir;
  Put(dir / "src/a", "a");
  Put(dir / "src/sub/b", "b");
  ASSERT_TRUE(MakePipe(dir / "src/pipe"));
  ASSERT_TRUE(MakeSymlink("..", dir / "src/sub/up"));  // back to src
  std::string error;
  ASSERT_TRUE(CopyFolder(dir / "src", dir / "dst", &error)) << error;
  EXPECT_EQ(ListFolder(dir / "dst"), (std::vector<std::string>{"a", "sub"}));
  EXPECT_EQ(ListFolder(dir / "dst/sub"), (std::vector<std::string>{"b"}));
  EXPECT_FALSE(CopyOneFile(dir / "src/pipe", dir / "pipe-copy", &error));
  EXPECT_EQ(error, kNotAFile);
  EXPECT_FALSE(FileExists(dir / "pipe-copy"));
}

// The trees are for systems where names that differ only in letter case are
// one file: every copy replaces such a file (and merges into such a folder)
// under the name it already has, instead of adding a second one beside it.
TEST(FileOps, CopiesReplaceNamesThatDifferOnlyInCase) {
  TestTempDir dir;
  Put(dir / "cd/readme.txt", "template");
  Put(dir / "cd/boot/menu.cfg", "menu");
  Put(dir / "src/README.TXT", "from the source");
  Put(dir / "src/BOOT/EXTRA.BIN", "extra");
  ASSERT_TRUE(CopyFolder(dir / "src", dir / "cd"));
  EXPECT_EQ(ListFolder(dir / "cd"), (std::vector<std::string>{"boot", "readme.txt"}));
  EXPECT_EQ(Read(dir / "cd/readme.txt"), "from the source");
  EXPECT_EQ(ListFolder(dir / "cd/boot"), (std::vector<std::string>{"EXTRA.BIN", "menu.cfg"}));

  Put(dir / "tags/WIN51IP", "tag");
  Put(dir / "cd/win51ip", "older tag");
  ASSERT_TRUE(CopyFiles(dir / "tags/win51*.*", dir / "cd/WIN51*.*"));
  EXPECT_EQ(ListFolder(dir / "cd", "win51*"), (std::vector<std::string>{"win51ip"}));
  EXPECT_EQ(Read(dir / "cd/win51ip"), "tag");

  ASSERT_TRUE(CopyOneFile(dir / "tags/WIN51IP", dir / "cd/Win51Ip"));
  EXPECT_EQ(ListFolder(dir / "cd", "win51*"), (std::vector<std::string>{"win51ip"}));
  EXPECT_EQ(ExistingNameIn(dir / "cd", "README.TXT"), "readme.txt");
  EXPECT_EQ(ExistingNameIn(dir / "cd", "NEW.TXT"), "NEW.TXT");
}

TEST(FileOps, SameOrInsideFollowsLinksAndCase) {
  TestTempDir dir;
  ASSERT_TRUE(MakePath(dir / "program/kivcd/boot"));
  ASSERT_TRUE(MakeSymlink(dir / "program", dir / "link"));
  EXPECT_TRUE(IsSameOrInside(dir / "program/kivcd", dir / "program/kivcd"));
  EXPECT_TRUE(IsSameOrInside(dir / "program/kivcd/x.iso", dir / "program/kivcd"));
  EXPECT_TRUE(IsSameOrInside(dir / "program/KIVCD/new/x.iso", dir / "program/kivcd"));
  EXPECT_TRUE(IsSameOrInside(dir / "link/kivcd/x.iso", dir / "program/kivcd/"));
  EXPECT_TRUE(IsSameOrInside(dir / "program/kivcd", dir / "program"));
  EXPECT_FALSE(IsSameOrInside(dir / "program/kivcd.iso", dir / "program/kivcd"));
  EXPECT_FALSE(IsSameOrInside(dir / "program", dir / "program/kivcd"));
  EXPECT_FALSE(IsSameOrInside("", dir / "program"));
}

TEST(FileOps, CopyFilesByPattern) {
  TestTempDir dir;
  Put(dir / "Drivers/ONE.CAB", "1");
  Put(dir / "Drivers/two.cab", "2");
  Put(dir / "Drivers/readme.txt", "r");
  ASSERT_TRUE(MakePath(dir / "Drivers/sub.cab"));
  Put(dir / "out/two.cab", "old");
  std::string error;
  ASSERT_TRUE(CopyFiles(dir.Path() + "\\drivers\\*.cab", dir / "OUT/ignored-name", &error)) << error;
  EXPECT_EQ(ListFolder(dir / "out"), (std::vector<std::string>{"ONE.CAB", "two.cab"}));
  EXPECT_EQ(Read(dir / "out/two.cab"), "2");
  EXPECT_TRUE(CopyFiles(dir / "Drivers/*.none", dir / "out/"));  // nothing matches: nothing to do
  EXPECT_FALSE(CopyFiles(dir / "Missing/*.*", dir / "out/", &error));
  EXPECT_EQ(error, "Path Not found");
  EXPECT_FALSE(CopyFiles(dir / "Drivers/*.*", dir / "nowhere/x", &error));
}

TEST(FileOps, CopyOneFileAndErrors) {
  TestTempDir dir;
  Put(dir / "a", "content");
  std::string error;
  ASSERT_TRUE(CopyOneFile(dir / "A", dir / "b", &error)) << error;
  EXPECT_EQ(Read(dir / "b"), "content");
  EXPECT_FALSE(CopyOneFile(dir / "missing", dir / "c", &error));
  EXPECT_EQ(error, "Path Not found");
  EXPECT_FALSE(CopyOneFile(dir / "a", dir / "no/folder/c", &error));
  EXPECT_EQ(error, "Path Not found");
  EXPECT_EQ(ListFolder(dir.Path()), (std::vector<std::string>{"a", "b"}));  // no temp files left
}

TEST(FileOps, CanCreateFileLeavesOnlyTheFolder) {
  TestTempDir dir;
  EXPECT_TRUE(CanCreateFile(dir / "iso/out/kivcd.iso"));
  EXPECT_TRUE(FolderExists(dir / "iso/out"));
  EXPECT_TRUE(ListFolder(dir / "iso/out").empty());
  Put(dir / "exists.iso", "x");
  EXPECT_TRUE(CanCreateFile(dir / "exists.iso"));
  EXPECT_EQ(Read(dir / "exists.iso"), "x");
  EXPECT_FALSE(CanCreateFile(dir / "exists.iso/sub.iso"));
  EXPECT_FALSE(CanCreateFile(dir / "iso"));  // a folder of that name
  EXPECT_FALSE(CanCreateFile(""));
}

TEST(FileOps, MoveAndRename) {
  TestTempDir dir;
  Put(dir / "img/kivstart.img", "image");
  ASSERT_TRUE(MakePath(dir / "cd/boot/images"));
  EXPECT_EQ(MoveWithShell(dir / "img/KIVSTART.IMG", dir / "cd/boot/images"), "");
  EXPECT_EQ(Read(dir / "cd/boot/images/kivstart.img"), "image");
  EXPECT_FALSE(FileExists(dir / "img/kivstart.img"));
  EXPECT_EQ(MoveWithShell(dir / "cd/boot/images/kivstart.img", dir / "img/renamed.img"), "");
  EXPECT_EQ(RenameWithShell(dir / "img/renamed.img", dir / "img/final.img"), "");
  EXPECT_EQ(Read(dir / "img/final.img"), "image");
  EXPECT_NE(RenameWithShell(dir / "img/missing", dir / "img/x"), "");
  EXPECT_NE(MoveWithShell(dir / "img/missing", dir / "img/x"), "");
  EXPECT_EQ(MoveWithShell(dir / "img", dir / "moved"), "");
  EXPECT_TRUE(FileExists(dir / "moved/final.img"));
}

TEST(FileOps, WriteFileAtomicKeepsModeAndRefusesFolders) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "f", "1"));
  ASSERT_TRUE(SetMode(dir / "f", 0600));
  ASSERT_TRUE(WriteFileAtomic(dir / "f", "22"));
  EXPECT_EQ(ModeOf(dir / "f") & 0777, 0600);
  EXPECT_EQ(Read(dir / "f"), "22");
  ASSERT_TRUE(MakePath(dir / "d"));
  EXPECT_FALSE(WriteFileAtomic(dir / "d", "x"));
  EXPECT_FALSE(WriteFileAtomic(dir / "missing/f", "x"));
  std::string bytes = "left";
  EXPECT_FALSE(ReadWholeFile(dir / "d", bytes));
  EXPECT_EQ(bytes, "");
}

}  // namespace
}  // namespace kiv
