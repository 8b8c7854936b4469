#include "common/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/file_ops.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

TEST(Paths, SplitPath) {
  std::string folder = "unset", file = "unset";
  EXPECT_FALSE(SplitPath("C:\\dir\\", folder, file));
  EXPECT_EQ(folder, "unset");
  EXPECT_EQ(file, "unset");
  EXPECT_TRUE(SplitPath("C:\\dir\\sub/a.ini", folder, file));
  EXPECT_EQ(folder, "C:\\dir\\sub");
  EXPECT_EQ(file, "a.ini");
  EXPECT_TRUE(SplitPath("/a.ini", folder, file));
  EXPECT_EQ(folder, "");
  EXPECT_EQ(file, "a.ini");
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_FALSE(SplitPath("plain.txt", folder, file));
  EXPECT_EQ(folder, cwd);
  EXPECT_EQ(file, "plain.txt");
  EXPECT_EQ(FolderOf("files\\base_files\\x.sys"), "files\\base_files");
}

TEST(Paths, SlashesQuotesAndBlanks) {
  EXPECT_EQ(AddSlash("/opt/kiv"), "/opt/kiv/");
  EXPECT_EQ(AddSlash("/opt/kiv  "), "/opt/kiv/");
  EXPECT_EQ(AddSlash("C:\\kiv\\"), "C:\\kiv\\");
  EXPECT_EQ(AddSlash("/opt/kiv/ "), "/opt/kiv/ ");  // ends in a separator once trimmed: unchanged
  EXPECT_EQ(AddSlash(""), "/");
  EXPECT_EQ(Unquote("  \"C:\\Program Files\\x\"  "), "C:\\Program Files\\x");
  EXPECT_EQ(Unquote("\"\"a\"\""), "\"a\"");
  EXPECT_EQ(Unquote("\"open"), "\"open");
  EXPECT_EQ(Unquote("\""), "");
  EXPECT_EQ(Quote(" a b "), "\"a b\"");
  EXPECT_EQ(Quote("\"a\""), "\"a\"");
  EXPECT_EQ(Quote(""), "\"\"");
  EXPECT_EQ(Quote("", false), "");
  EXPECT_EQ(Quote(" a ", true, false), "\" a \"");
  EXPECT_EQ(StripNull(std::string("abc\0def", 7)), "abc");
  EXPECT_EQ(ShortPath("/Long Folder Name/x"), "/Long Folder Name/x");
  EXPECT_EQ(Trim("\t a b \t"), "a b");
  EXPECT_EQ(TrimRight(" a "), " a");
  EXPECT_EQ(NativePath("files\\base_files\\*.*"), "files/base_files/*.*");
  EXPECT_EQ(WindowsPath("a/b\\c"), "a\\b\\c");
}

TEST(Paths, JoinAndAbsolute) {
  EXPECT_EQ(JoinPath("/opt/kiv", "files\\disklist.ini"), "/opt/kiv/files/disklist.ini");
  EXPECT_EQ(JoinPath("/opt/kiv/", "\\files"), "/opt/kiv/files");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
  EXPECT_EQ(JoinPath("", "x\\y"), "x/y");
  EXPECT_EQ(JoinPath("a", ""), "a/");
  EXPECT_TRUE(IsAbsolutePath("/x"));
  EXPECT_TRUE(IsAbsolutePath("\\x"));
  EXPECT_TRUE(IsAbsolutePath("C:\\x"));
  EXPECT_TRUE(IsAbsolutePath("d:"));
  EXPECT_FALSE(IsAbsolutePath("files\\x"));
  EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(Paths, CaseHelpers) {
  EXPECT_TRUE(EqualsNoCase("TxtSetup.SIF", "txtsetup.sif"));
  EXPECT_FALSE(EqualsNoCase("a", "ab"));
  EXPECT_EQ(ToLower("AbC1\xC3\x89"), "abc1\xC3\x89");  // bytes beyond ASCII untouched
  EXPECT_EQ(ToUpper("io.sys"), "IO.SYS");
}

TEST(Paths, WildcardsFollowWindowsRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.*", "README", true},
      {"*.*", "a.b.c", true},
      {"*.*", ".hidden", true},
      {"*", "anything.x", true},
      {"*.txt", "A.TXT", true},
      {"*.txt", "a.txt.bak", false},
      {"*.", "README", true},
      {"*.", "a.txt", false},
      {"io.sys", "IO.SYS", true},
      {"?.sys", "io.sys", false},
      {"??.sys", "io.sys", true},
      {"disk*.ini", "DiskList.ini", true},
      {"abc.*", "abc", true},
      {"abc.*", "abc.def", true},
      {"abc.*", "abcd", false},
      {"*a*b*", "xxaxxbxx", true},
      {"*a*b", "xxaxxbxxc", false},
      {"", "", true},
      {"", "x", false},
      {"a*", "", false},
      {"*.cab", "drv.CAB", true},
  };
  for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

TEST(Paths, ResolveFindsExistingComponentsInAnyCase) {
  TestTempDir dir;
  ASSERT_TRUE(MakePath(dir / "CD/I386"));
  ASSERT_TRUE(WriteFileAtomic(dir / "CD/I386/TXTSETUP.SIF", "x"));
  const std::string real = dir / "CD/I386/TXTSETUP.SIF";
  EXPECT_EQ(ResolvePath(dir / "cd/i386/txtsetup.sif"), real);
  EXPECT_EQ(ResolvePath(dir.Path() + "\\cd\\I386\\TxtSetup.Sif"), real);
  EXPECT_EQ(ResolvePath(dir / "cd//i386/./txtsetup.sif"), dir / "CD/I386/./TXTSETUP.SIF");
  EXPECT_EQ(ResolvePath(dir / "cd/i386/"), dir / "CD/I386/");
  // Missing: the input with native separators, so a message can name it.
  EXPECT_EQ(ResolvePath(dir.Path() + "\\cd\\missing\\x"), dir / "cd/missing/x");
  // The prefix form resolves what exists and keeps the rest.
  EXPECT_EQ(ResolvePathPrefix(dir / "cd/i386/new/file.txt"), dir / "CD/I386/new/file.txt");
  // An exact spelling wins over another entry that differs only in case.
  EXPECT_TRUE(MakePath(dir / "cd"));  // finds "CD": no second folder
  EXPECT_EQ(ListFolder(dir.Path(), "*"), std::vector<std::string>{"CD"});
  ASSERT_TRUE(std::filesystem::create_directory(dir / "cd"));
  EXPECT_EQ(ResolvePath(dir / "cd"), dir / "cd");
  EXPECT_EQ(ResolvePath(dir / "Cd"), dir / "CD");  // first in sorted order
}

TEST(Paths, ResolveRelativePaths) {
  TestTempDir dir;
  ASSERT_TRUE(MakePath(dir / "Files/Base"));
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  EXPECT_EQ(ResolvePath("files\\base"), "Files/Base");
  EXPECT_EQ(ResolvePath("./FILES"), "./Files");
  std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace kiv
