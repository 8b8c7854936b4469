// cabarc checked from outside: cabinets it makes are tested and unpacked by
// cabextract and gcab, and it unpacks cabinets gcab makes.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/cabinet/cab_reader.h"
#include "tools/cabinet/cab_test_util.h"

namespace kiv::cab {
namespace {

using test::Entries;
using test::ReadFile;
using test::RunTool;
using test::TempDir;
using test::Tree;
using test::WriteFile;
namespace fs = test::fs;
using namespace std::string_literals;

// The tree MakeCab packs: subfolders, an empty file, a file of more than one
// data block and one of more than 2 MiB.
void MakeSourceTree(const fs::path& root) {
  WriteFile(root / "README.TXT", "read me\r\n");
  WriteFile(root / "empty.dat", "");
  WriteFile(root / "bin" / "Tool.exe", test::MakeData(40000, 1));
  WriteFile(root / "bin" / "deeper" / "big.bin", test::MakeData(2 * 1024 * 1024 + 12345, 2));
  WriteFile(root / "bin" / "deeper" / "zero.txt", "");
  WriteFile(root / "doc" / "notes.txt", test::MakeData(300, 3));
}

std::vector<std::string> StoredNames(const fs::path& cab) {
  CabReader reader;
  std::string error;
  EXPECT_TRUE(reader.Open(cab.string(), false, error)) << error;
  std::vector<std::string> names;
  for (const CabFileInfo& f : reader.Files()) names.push_back(f.name);
  return names;
}

class CabarcRoundTrip : public testing::TestWithParam<const char*> {};

TEST_P(CabarcRoundTrip, MakeCabCommandLineGivesACabinetCabextractAndGcabUnpackByteEqual) {
  TempDir dir;
  const fs::path& prog = dir.path();
  MakeSourceTree(prog / "files" / "netdrv");
  fs::create_directories(prog / "cabs" / "lib");
  // As the disk builder calls it, from the program folder, Windows spelling.
  auto r = RunTool({CABARC_EXE, "-m", GetParam(), "-p", "-r", "-P", "files\\netdrv\\", "n", "cabs\\lib\\netdrv.cab",
                    "files\\netdrv\\*.*"},
                   prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  fs::path cab = prog / "cabs" / "lib" / "netdrv.cab";
  ASSERT_TRUE(fs::exists(cab));
  EXPECT_EQ(Entries(prog / "cabs" / "lib"), std::vector<std::string>{"netdrv.cab"}) << "no temporary left";

  EXPECT_EQ(StoredNames(cab),
            (std::vector<std::string>{"empty.dat", "README.TXT", "bin\\Tool.exe", "bin\\deeper\\big.bin",
                                      "bin\\deeper\\zero.txt", "doc\\notes.txt"}));
  auto t = RunTool({"cabextract", "-t", cab.string()});
  EXPECT_EQ(t.exitCode, 0) << t.out;
  EXPECT_NE(t.out.find("All done, no errors"), std::string::npos) << t.out;

  const auto expected = Tree(prog / "files" / "netdrv");
  auto c = RunTool({"cabextract", "-q", "-d", (dir.path() / "by-cabextract").string(), cab.string()});
  ASSERT_EQ(c.exitCode, 0) << c.out;
  EXPECT_TRUE(Tree(dir.path() / "by-cabextract") == expected);
  fs::create_directories(dir.path() / "by-gcab");
  auto g = RunTool({"gcab", "-x", "-C", (dir.path() / "by-gcab").string(), cab.string()});
  ASSERT_EQ(g.exitCode, 0) << g.out;
  EXPECT_TRUE(Tree(dir.path() / "by-gcab") == expected);
  // And our own extraction with paths.
  fs::create_directories(dir.path() / "by-cabarc");
  auto x = RunTool({CABARC_EXE, "-p", "x", cab.string()}, dir.path() / "by-cabarc");
  ASSERT_EQ(x.exitCode, 0) << x.out;
  EXPECT_TRUE(Tree(dir.path() / "by-cabarc") == expected);
}

INSTANTIATE_TEST_SUITE_P(Methods, CabarcRoundTrip, testing::Values("NONE", "MSZIP", "LZX:21", "LZX:15"),
                         [](const auto& info) {
                           std::string name = info.param;
                           name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
                           return name;
                         });

TEST(Cabarc, StoredPathsFollowPrefixPatternAndPathOptions) {
  TempDir dir;
  MakeSourceTree(dir.path() / "Src");
  // Prefix in another letter case and with '/': still stripped.
  auto r = RunTool({CABARC_EXE, "-m", "NONE", "-p", "-r", "-P", "SRC/", "n", "a.cab", "src\\bin\\*.*"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(StoredNames(dir.path() / "a.cab"),
            (std::vector<std::string>{"bin\\Tool.exe", "bin\\deeper\\big.bin", "bin\\deeper\\zero.txt"}));
  // No prefix: the path as given; no -r: only that folder; mask applies.
  r = RunTool({CABARC_EXE, "-p", "n", "b.cab", "Src/*.txt", "src\\doc\\*.*"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(StoredNames(dir.path() / "b.cab"), (std::vector<std::string>{"Src\\README.TXT", "src\\doc\\notes.txt"}));
  // Without -p only names are stored; a file named twice is stored once.
  r = RunTool({CABARC_EXE, "-r", "n", "c.cab", "src\\*.txt", "src\\README.TXT"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(StoredNames(dir.path() / "c.cab"), (std::vector<std::string>{"README.TXT", "zero.txt", "notes.txt"}));
  // A stored path that would climb out is refused, and no cabinet appears.
  r = RunTool({CABARC_EXE, "-p", "n", "d.cab", "..\\" + dir.path().filename().string() + "\\src\\*.*"}, dir.path());
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find(".."), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir.path() / "d.cab"));
}

TEST(Cabarc, SourceDateEpochGivesIdenticalCabinets) {
  TempDir dir;
  MakeSourceTree(dir.path() / "src");
  std::vector<std::string> env = {"SOURCE_DATE_EPOCH=1262304000"};  // 2010-01-01 00:00:00 UTC
  auto r = RunTool({CABARC_EXE, "-m", "MSZIP", "-p", "-r", "-P", "src\\", "n", "one.cab", "src\\*.*"}, dir.path(), env);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  fs::last_write_time(dir.path() / "src" / "README.TXT", fs::file_time_type::clock::now() - std::chrono::hours(50));
  r = RunTool({CABARC_EXE, "-m", "MSZIP", "-p", "-r", "-P", "src\\", "n", "two.cab", "src\\*.*"}, dir.path(), env);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(ReadFile(dir.path() / "one.cab") == ReadFile(dir.path() / "two.cab"));
  CabReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open((dir.path() / "one.cab").string(), false, error));
  for (const CabFileInfo& f : reader.Files())
    EXPECT_TRUE(f.year == 2010 && f.month == 1 && f.day == 1 && f.hour == 0 && f.minute == 0) << f.name;
  r = RunTool({CABARC_EXE, "n", "three.cab", "src\\*.*"}, dir.path(), {"SOURCE_DATE_EPOCH=yesterday"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("SOURCE_DATE_EPOCH"), std::string::npos) << r.out;
}

// dfl hard-links equal files of a tree, and a tree may hold a symbolic link to
// one of its own files: each of those names is a file of the cabinet.
TEST(Cabarc, StoresEveryNameOfAFileThatHasSeveralNames) {
  TempDir dir;
  fs::path src = dir.path() / "t";
  WriteFile(src / "GPL-3", "the licence text\r\n");
  fs::create_hard_link(src / "GPL-3", src / "GPL");
  WriteFile(src / "sub" / "notes.txt", "notes\r\n");
  fs::create_hard_link(src / "GPL-3", src / "sub" / "copy.txt");
  fs::create_symlink("GPL-3", src / "LGPL");
  auto r = RunTool({CABARC_EXE, "-m", "LZX:21", "-p", "-r", "-P", "t/", "n", "x.cab", "t/*.*"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(StoredNames(dir.path() / "x.cab"),
            (std::vector<std::string>{"GPL", "GPL-3", "LGPL", "sub\\copy.txt", "sub\\notes.txt"}));
  auto c = RunTool({"cabextract", "-q", "-d", (dir.path() / "out").string(), (dir.path() / "x.cab").string()});
  ASSERT_EQ(c.exitCode, 0) << c.out;
  EXPECT_EQ(ReadFile(dir.path() / "out" / "LGPL"), "the licence text\r\n");
  EXPECT_EQ(ReadFile(dir.path() / "out" / "sub" / "copy.txt"), "the licence text\r\n");

  // One path that two patterns match is still stored once, however spelled.
  r = RunTool({CABARC_EXE, "-p", "n", "y.cab", "t/*.*", "./T/gpl", "t/sub/../GPL-3"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(StoredNames(dir.path() / "y.cab"), (std::vector<std::string>{"t\\GPL", "t\\GPL-3", "t\\LGPL"}));
}

// A name may be 255 bytes long; the temporary file each tool writes first
// must fit beside it, for the cabinet and for every extracting tool.
TEST(Cabarc, NamesOfTheLongestLengthRoundTripThroughEveryTool) {
  TempDir dir;
  const std::string longName = std::string(251, 'n') + ".txt";                  // 255 bytes
  const std::string utf8Name = std::string(246, 'u') + "\xc3\xa9\xc3\xa9.txt";  // 254 bytes, é at the cut
  WriteFile(dir.path() / "src" / longName, "long\r\n");
  WriteFile(dir.path() / "src" / utf8Name, "accent\r\n");
  const std::string cabName = std::string(251, 'c') + ".cab";
  auto r = RunTool({CABARC_EXE, "-m", "LZX:21", "-p", "-P", "src\\", "n", cabName, "src\\*.*"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  fs::path cab = dir.path() / cabName;
  ASSERT_TRUE(fs::exists(cab));

  fs::create_directories(dir.path() / "by-cabarc");
  r = RunTool({CABARC_EXE, "x", cab.string()}, dir.path() / "by-cabarc");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  fs::create_directories(dir.path() / "by-extract");
  r = RunTool({EXTRACT_EXE, "/y", cab.string(), "*.*", "/l", "by-extract"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  fs::create_directories(dir.path() / "by-expand");
  fs::copy_file(cab, dir.path() / "by-expand" / "one.cab");
  r = RunTool({EXPAND_EXE, "*.cab", "-f:" + longName, (dir.path() / "by-expand").string()}, dir.path() / "by-expand");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  for (const char* out : {"by-cabarc", "by-extract"}) {
    EXPECT_EQ(ReadFile(dir.path() / out / longName), "long\r\n") << out;
    EXPECT_EQ(ReadFile(dir.path() / out / utf8Name), "accent\r\n") << out;
    EXPECT_EQ(Entries(dir.path() / out).size(), 2u) << out << ": no temporary left";
  }
  EXPECT_EQ(ReadFile(dir.path() / "by-expand" / longName), "long\r\n");
}

// The driver code: `cabarc -o x drivers\<kind>\<file> <descriptor>` from the
// program folder, and `<baseName>.*` for the menu line and PCI list.
TEST(Cabarc, ExtractsOneNamedFileAsTheDriverCodeDoes) {
  TempDir dir;
  const fs::path& prog = dir.path();
  WriteFile(prog / "pkg" / "NDIS.TXT", "E100B        Intel PRO/100\r\n");
  WriteFile(prog / "pkg" / "ndis.pci", "8086:1229\r\n");
  WriteFile(prog / "pkg" / "e100b.dos", test::MakeData(50000, 9));
  WriteFile(prog / "pkg" / "ndis2.txt", "other");
  fs::create_directories(prog / "drivers" / "ndis");
  auto r = RunTool({CABARC_EXE, "-m", "LZX:21", "-p", "-r", "-P", "pkg\\", "n", "drivers\\ndis\\e100b.cab", "pkg\\*.*"},
                   prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  WriteFile(prog / "ndis.txt", "stale");

  r = RunTool({CABARC_EXE, "-o", "x", "drivers\\ndis\\e100b.cab", "ndis.txt"}, prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(prog / "ndis.txt"), "E100B        Intel PRO/100\r\n") << "overwritten in place, any case";
  EXPECT_FALSE(fs::exists(prog / "NDIS.TXT") && fs::exists(prog / "ndis.txt") &&
               !fs::equivalent(prog / "NDIS.TXT", prog / "ndis.txt"));
  EXPECT_FALSE(fs::exists(prog / "e100b.dos"));
  fs::remove(prog / "ndis.txt");

  r = RunTool({CABARC_EXE, "-o", "x", "drivers\\ndis\\e100b.cab", "ndis.*"}, prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(prog / "NDIS.TXT"), "E100B        Intel PRO/100\r\n");
  EXPECT_EQ(ReadFile(prog / "ndis.pci"), "8086:1229\r\n");
  EXPECT_FALSE(fs::exists(prog / "ndis2.txt"));

  // Without -o an existing file is kept, and the tool says so.
  WriteFile(prog / "ndis.pci", "mine");
  r = RunTool({CABARC_EXE, "x", "drivers\\ndis\\e100b.cab", "ndis.pci"}, prog);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("not overwritten"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(prog / "ndis.pci"), "mine");

  // A descriptor the cabinet lacks: no file, a message, non-zero.
  r = RunTool({CABARC_EXE, "-o", "x", "drivers\\ndis\\e100b.cab", "scsi.txt"}, prog);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("scsi.txt"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(prog / "scsi.txt"));
}

TEST(Cabarc, ExtractsCabinetsMadeByGcab) {
  for (bool zip : {false, true}) {
    TempDir dir;
    MakeSourceTree(dir.path() / "src");
    std::vector<std::string> argv = {"gcab", "-c"};
    if (zip) argv.push_back("-z");
    argv.push_back((dir.path() / "g.cab").string());
    for (const auto& [rel, data] : Tree(dir.path() / "src")) argv.push_back(rel);
    auto g = RunTool(argv, dir.path() / "src");
    ASSERT_EQ(g.exitCode, 0) << g.out;
    fs::create_directories(dir.path() / "out");
    auto r = RunTool({CABARC_EXE, "-p", "x", "..\\g.cab"}, dir.path() / "out");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Tree(dir.path() / "out") == Tree(dir.path() / "src")) << "zip " << zip;
  }
}

// A symbolic link in the destination folder must not carry extracted files
// out of it: a stored folder that is a link there is refused with its path
// named, the files outside stay as they were, and the other files are still
// extracted.
TEST(Cabarc, ExtractionWithPathsDoesNotFollowLinksOutOfTheDestination) {
  TempDir dir;
  WriteFile(dir.path() / "src" / "top.txt", "top\r\n");
  WriteFile(dir.path() / "src" / "sub" / "a.txt", "stored a\r\n");
  WriteFile(dir.path() / "src" / "deep" / "er" / "b.txt", "stored b\r\n");
  auto r = RunTool({CABARC_EXE, "-p", "-r", "-P", "src\\", "n", "t.cab", "src\\*.*"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const fs::path cab = dir.path() / "t.cab";
  const fs::path outside = dir.path() / "outside";
  WriteFile(outside / "a.txt", "the user's own a\r\n");
  WriteFile(outside / "keep.txt", "keep\r\n");
  const auto before = Tree(outside);

  struct Case {
    std::string link;   // below the destination, pointing at `outside`
    std::string named;  // the path the message names
  };
  int n = 0;
  for (const Case& c : std::vector<Case>{{"sub", "sub"}, {"SUB", "SUB"}, {"deep/er", "deep/er"}}) {
    for (const char* overwrite : {"", "-o"}) {
      const fs::path dest = dir.path() / ("dest" + std::to_string(n++));
      fs::create_directories((dest / c.link).parent_path());
      fs::create_directory_symlink(outside, dest / c.link);
      std::vector<std::string> argv{CABARC_EXE, "-p"};
      if (*overwrite) argv.push_back(overwrite);
      argv.insert(argv.end(), {"x", cab.string()});
      r = RunTool(argv, dest);
      EXPECT_NE(r.exitCode, 0) << c.link << " " << overwrite;
      EXPECT_NE(r.out.find("/" + c.named + " is a symbolic link"), std::string::npos)
          << c.link << " " << overwrite << ": " << r.out;
      EXPECT_TRUE(Tree(outside) == before) << c.link << " " << overwrite << ": written outside";
      EXPECT_TRUE(fs::is_symlink(dest / c.link)) << c.link;
      EXPECT_EQ(ReadFile(dest / "top.txt"), "top\r\n") << c.link << " " << overwrite;
    }
  }

  // Only the pattern's file, through a link: refused the same way.
  const fs::path one = dir.path() / "one";
  fs::create_directories(one);
  fs::create_directory_symlink(outside, one / "sub");
  r = RunTool({CABARC_EXE, "-p", "-o", "x", cab.string(), "sub\\a.txt"}, one);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("sub\\a.txt"), std::string::npos) << r.out;
  EXPECT_TRUE(Tree(outside) == before);

  // A link where a file goes is replaced by the file with -o, not written
  // through; without -o it is kept, as any existing file is.
  const fs::path file = dir.path() / "file";
  fs::create_directories(file);
  fs::create_symlink(outside / "keep.txt", file / "top.txt");
  r = RunTool({CABARC_EXE, "-p", "x", cab.string(), "top.txt"}, file);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(file / "top.txt"));
  r = RunTool({CABARC_EXE, "-p", "-o", "x", cab.string(), "top.txt"}, file);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_FALSE(fs::is_symlink(file / "top.txt"));
  EXPECT_EQ(ReadFile(file / "top.txt"), "top\r\n");
  EXPECT_TRUE(Tree(outside) == before);
}

TEST(Cabarc, BadInputIsRefusedWithAMessage) {
  TempDir dir;
  MakeSourceTree(dir.path() / "src");
  auto r = RunTool({CABARC_EXE, "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Usage: cabarc"), std::string::npos);
  for (std::vector<std::string> bad : {std::vector<std::string>{"-m", "LZX:22", "n", "x.cab", "src\\*.*"},
                                       {"-m", "ZIP", "n", "x.cab", "src\\*.*"},
                                       {"q", "x.cab"},
                                       {"n", "x.cab"}}) {
    bad.insert(bad.begin(), CABARC_EXE);
    r = RunTool(bad, dir.path());
    EXPECT_NE(r.exitCode, 0) << bad[1];
    EXPECT_NE(r.out.find("cabarc: "), std::string::npos) << r.out;
  }
  EXPECT_FALSE(fs::exists(dir.path() / "x.cab"));

  // Nothing matches: no cabinet, and an older one of that name is untouched.
  WriteFile(dir.path() / "old.cab", "old");
  r = RunTool({CABARC_EXE, "n", "old.cab", "src\\*.none"}, dir.path());
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("no files"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(dir.path() / "old.cab"), "old");

  // A truncated cabinet: extraction fails, nothing is left in the folder.
  r = RunTool({CABARC_EXE, "-p", "-r", "-P", "src\\", "n", "good.cab", "src\\*.*"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.out;
  std::string good = ReadFile(dir.path() / "good.cab");
  WriteFile(dir.path() / "out" / "cut.cab", good.substr(0, good.size() / 2));
  r = RunTool({CABARC_EXE, "-o", "x", "cut.cab", "big.bin"}, dir.path() / "out");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("big.bin"), std::string::npos) << r.out;
  EXPECT_EQ(Entries(dir.path() / "out"), std::vector<std::string>{"cut.cab"});
  r = RunTool({CABARC_EXE, "l", "out/cut.cab"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << "the file records are intact: " << r.out;
  WriteFile(dir.path() / "out" / "junk.cab", "MSCF\0\0\0\0 not really"s);
  r = RunTool({CABARC_EXE, "l", "out/junk.cab"}, dir.path());
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("junk.cab"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kiv::cab
