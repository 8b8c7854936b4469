// extract as the DOS import runs it:
//   extract /y /a <CAB> <name> /l DOS\   (current folder: the program folder)
#include <gtest/gtest.h>

#include "tools/cabinet/cab_test_util.h"
#include "tools/cabinet/cab_writer.h"

namespace kiv::cab {
namespace {

using test::Entries;
using test::ReadFile;
using test::RunTool;
using test::TempDir;
using test::WriteFile;
namespace fs = test::fs;

void MakeCab(const fs::path& cab, const std::vector<std::pair<std::string, std::string>>& files,
             const WriteOptions& options) {
  std::vector<CabEntry> entries;
  int n = 0;
  for (const auto& [name, data] : files) {
    fs::path src = cab.parent_path() / ".src" / std::to_string(n++);
    WriteFile(src, data);
    entries.push_back(CabEntry{src.string(), name, {}, kAttrArchive});
  }
  std::string error;
  ASSERT_TRUE(WriteCabinet(cab.string(), entries, options, error)) << error;
  fs::remove_all(cab.parent_path() / ".src");
}

// A Windows 98 style set: BASE4.CAB continues in BASE5.CAB.
struct SetupCd {
  TempDir dir;
  fs::path cd, prog;
  std::string winboot = test::MakeData(100000, 11);
  SetupCd() {
    cd = dir.path() / "cd" / "Win98";
    prog = dir.path() / "prog";
    fs::create_directories(cd);
    fs::create_directories(prog / "dos");  // the program's folder is lower case
    WriteOptions first;
    first.method = Method::MsZip;
    first.setId = 98;
    first.nextCabinet = "BASE5.CAB";
    WriteOptions second = first;
    second.nextCabinet.clear();
    second.prevCabinet = "BASE4.CAB";
    second.cabinetIndex = 1;
    second.method = Method::Lzx;
    MakeCab(cd / "base4.cab", {{"command.com", "COMMAND"}, {"attrib.exe", "ATTRIB"}}, first);
    MakeCab(cd / "base5.cab", {{"winboot.sys", winboot}, {"xcopy32.mod", "MOD"}}, second);
  }
  // <folder>BASE4.CAB in capitals, as the import passes it.
  std::string Cab() const {
    std::string s = (cd / "BASE4.CAB").string();
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }
};

TEST(Extract, ImportCommandLineFindsFilesAcrossTheSetInAnyCase) {
  SetupCd s;
  auto r = RunTool({EXTRACT_EXE, "/y", "/a", s.Cab(), "WINBOOT.SYS", "/l", "DOS\\"}, s.prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Entries(s.prog), (std::vector<std::string>{"dos", "dos/winboot.sys"}));
  EXPECT_EQ(ReadFile(s.prog / "dos" / "winboot.sys"), s.winboot);

  r = RunTool({EXTRACT_EXE, "/y", "/a", s.Cab(), "COMMAND.COM", "/l", "DOS\\"}, s.prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(s.prog / "dos" / "command.com"), "COMMAND");

  // Without /a only the named cabinet is searched.
  r = RunTool({EXTRACT_EXE, "/y", s.Cab(), "XCOPY32.MOD", "/l", "DOS\\"}, s.prog);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("XCOPY32.MOD"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(s.prog / "dos" / "xcopy32.mod"));

  // /y replaces; without it an existing file is kept and reported.
  WriteFile(s.prog / "dos" / "WINBOOT.SYS", "old");
  fs::remove(s.prog / "dos" / "winboot.sys");
  r = RunTool({EXTRACT_EXE, "/a", s.Cab(), "winboot.*", "/l", "dos"}, s.prog);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("not overwritten"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(s.prog / "dos" / "WINBOOT.SYS"), "old");
  r = RunTool({EXTRACT_EXE, "/Y", "/A", s.Cab(), "winboot.*", "/L", "dos"}, s.prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(s.prog / "dos" / "WINBOOT.SYS"), s.winboot) << "the existing file, whatever its case";
  EXPECT_EQ(Entries(s.prog / "dos"), (std::vector<std::string>{"WINBOOT.SYS", "command.com"}))
      << "no second copy in another case";
}

TEST(Extract, MissingTargetFolderIsCreatedAndBadCabinetsAreReported) {
  SetupCd s;
  auto r = RunTool({EXTRACT_EXE, "/y", s.Cab(), "*.*", "/l", "new\\sub\\"}, s.prog);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(s.prog / "new" / "sub" / "attrib.exe"), "ATTRIB");

  // The set is broken: the second cabinet is gone. The first still works,
  // the warning names the missing one.
  fs::remove(s.cd / "base5.cab");
  r = RunTool({EXTRACT_EXE, "/y", "/a", s.Cab(), "WINBOOT.SYS", "/l", "DOS\\"}, s.prog);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("BASE5.CAB"), std::string::npos) << r.out;

  WriteFile(s.cd / "junk.cab", std::string(5000, 'M'));
  r = RunTool({EXTRACT_EXE, "/y", (s.cd / "junk.cab").string(), "x", "/l", "DOS\\"}, s.prog);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("junk.cab"), std::string::npos) << r.out;

  r = RunTool({EXTRACT_EXE, "/l"}, s.prog);
  EXPECT_EQ(r.exitCode, 2);
  r = RunTool({EXTRACT_EXE, "--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("/l <folder>"), std::string::npos);
}

}  // namespace
}  // namespace kiv::cab
