// expand as the DOS import runs it, in the setup folder:
//   expand.exe *.cab -f:<name> "<program folder>\dos"
#include <gtest/gtest.h>

#include "tools/cabinet/cab_test_util.h"

namespace kiv::cab {
namespace {

using test::Entries;
using test::ReadFile;
using test::RunTool;
using test::TempDir;
using test::WriteFile;
namespace fs = test::fs;

struct SetupFolder {
  TempDir dir;
  fs::path cd, dos;
  std::string winboot = test::MakeData(80000, 5);
  SetupFolder() {
    cd = dir.path() / "win98";
    dos = dir.path() / "prog" / "dos";
    WriteFile(cd / "a" / "COMMAND.COM", "COMMAND");
    WriteFile(cd / "a" / "sort.exe", "SORT");
    WriteFile(cd / "b" / "WINBOOT.SYS", winboot);
    WriteFile(cd / "b" / "sort.exe", "SORT-B");
    // One cabinet made by gcab, one by cabarc; plus a file that is no cabinet.
    auto r = RunTool({"gcab", "-c", "-z", (cd / "BASE4.CAB").string(), "COMMAND.COM", "sort.exe"}, cd / "a");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = RunTool({CABARC_EXE, "-m", "LZX:21", "n", "..\\base5.cab", "*.*"}, cd / "b");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    WriteFile(cd / "readme.txt", "not a cabinet");
  }
};

TEST(Expand, ImportCommandLineTakesTheNameFromEveryMatchingCabinet) {
  SetupFolder s;
  // The destination as written by the import: quoted, '\' separated, the
  // command ending in a blank.
  std::string dest = "\"" + (s.dir.path() / "prog").string() + "\\dos\"";
  auto r = RunTool({EXPAND_EXE, "*.cab", "-f:WINBOOT.SYS", dest, " "}, s.cd);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(s.dos / "WINBOOT.SYS"), s.winboot);
  r = RunTool({EXPAND_EXE, "*.cab", "-f:command.com", dest}, s.cd);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(s.dos / "COMMAND.COM"), "COMMAND");
  // In two cabinets: both are visited in name order, the later one wins.
  r = RunTool({EXPAND_EXE, "*.CAB", "-F:SORT.EXE", dest}, s.cd);
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(ReadFile(s.dos / "sort.exe"), "SORT-B");
  EXPECT_EQ(Entries(s.dos), (std::vector<std::string>{"COMMAND.COM", "WINBOOT.SYS", "sort.exe"}));
}

TEST(Expand, MissingNamesAndBadCabinetsAreReported) {
  SetupFolder s;
  std::string dest = (s.dir.path() / "prog" / "dos").string();
  auto r = RunTool({EXPAND_EXE, "*.cab", "-f:XCOPY32.MOD", dest}, s.cd);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("XCOPY32.MOD"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(s.dos / "XCOPY32.MOD"));

  // A damaged cabinet is named; the good one is still used.
  std::string good = ReadFile(s.cd / "base5.cab");
  WriteFile(s.cd / "base6.cab", good.substr(0, 40));
  r = RunTool({EXPAND_EXE, "*.cab", "-f:WINBOOT.SYS", dest}, s.cd);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("base6.cab"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFile(s.dos / "WINBOOT.SYS"), s.winboot);

  r = RunTool({EXPAND_EXE, "*.zip", "-f:x", dest}, s.cd);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.out.find("no cabinet matches"), std::string::npos) << r.out;
  r = RunTool({EXPAND_EXE, "*.cab", "-f:x"}, s.cd);
  EXPECT_EQ(r.exitCode, 2) << r.out;
  r = RunTool({EXPAND_EXE, "--help"});
  EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
}  // namespace kiv::cab
