// cabarc's LZX level: --level and KIV_LZX_LEVEL choose the encoder's effort,
// the cabinets still unpack byte-equal through cabextract and gcab, and every CFDATA
// block holds at most 32 KiB even though the encoder codes several frames
// under one set of trees.
#include <gtest/gtest.h>

#include <cstdint>

#include "tools/cabinet/cab_test_util.h"

namespace kiv::cab {
namespace {

using test::ReadFile;
using test::RunTool;
using test::TempDir;
using test::Tree;
using test::WriteFile;
namespace fs = test::fs;

uint32_t Le16(const std::string& s, size_t at) { return uint8_t(s[at]) | uint32_t(uint8_t(s[at + 1])) << 8; }
uint32_t Le32(const std::string& s, size_t at) { return Le16(s, at) | Le16(s, at + 2) << 16; }

// cbUncomp of every CFDATA block of a one-folder cabinet without reserve.
std::vector<uint32_t> BlockSizes(const std::string& cab) {
  std::vector<uint32_t> sizes;
  if (cab.size() < 44) return sizes;
  uint32_t blocks = Le16(cab, 36 + 4);
  size_t pos = Le32(cab, 36);
  for (uint32_t i = 0; i < blocks && pos + 8 <= cab.size(); ++i) {
    sizes.push_back(Le16(cab, pos + 6));
    pos += 8 + Le16(cab, pos + 4);
  }
  return sizes;
}

// x86-like code with E8 calls, text and repeats; 9 full blocks exactly, so
// the folder ends on a block boundary.
void MakeTree(const fs::path& root) {
  std::string code;
  for (uint32_t i = 0; code.size() < 100000; ++i) {
    code += "\x55\x89\xe5\xe8";
    code += char(i * 7), code += char(i >> 3), code += '\0', code += '\0';
    code += "\x5d\xc3" + test::MakeData(i % 23, i);
  }
  code.resize(100000);
  WriteFile(root / "MODULE.EXE", code);
  WriteFile(root / "doc" / "README.TXT", test::MakeData(9 * 32768 - 100000 - 1, 4));
  WriteFile(root / "doc" / "one.txt", "x");
}

fs::path Pack(const fs::path& dir, const std::string& name, std::vector<std::string> extra,
              const std::vector<std::string>& env = {}) {
  std::vector<std::string> argv = {CABARC_EXE, "-m", "LZX:21", "-p", "-r", "-P", "src\\", "n", name, "src\\*.*"};
  argv.insert(argv.begin() + 1, extra.begin(), extra.end());
  auto r = RunTool(argv, dir, env);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  return dir / name;
}

TEST(CabarcLevel, EveryLevelUnpacksByteEqualInBlocksOfAtMost32KiB) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  const auto expected = Tree(dir.path() / "src");
  size_t sizes[5] = {};
  for (int level = 0; level <= 4; ++level) {
    const std::string name = "l" + std::to_string(level) + ".cab";
    fs::path cab = Pack(dir.path(), name, {"--level=" + std::to_string(level)});
    ASSERT_TRUE(fs::exists(cab));
    auto t = RunTool({"cabextract", "-t", cab.string()});
    EXPECT_EQ(t.exitCode, 0) << name << t.out;
    auto c = RunTool({"cabextract", "-q", "-d", (dir.path() / name).string() + ".out", cab.string()});
    ASSERT_EQ(c.exitCode, 0) << name << c.out;
    EXPECT_TRUE(Tree(dir.path() / (name + ".out")) == expected) << name;
    // gcab decodes each data block on its own, as Microsoft's EXTRACT does.
    fs::create_directories(dir.path() / (name + ".gcab"));
    auto g = RunTool({"gcab", "-x", "-C", (dir.path() / name).string() + ".gcab", cab.string()});
    ASSERT_EQ(g.exitCode, 0) << name << g.out;
    EXPECT_TRUE(Tree(dir.path() / (name + ".gcab")) == expected) << name;
    const std::string bytes = ReadFile(cab);
    sizes[level] = bytes.size();
    EXPECT_EQ(BlockSizes(bytes), std::vector<uint32_t>(9, 32768)) << name;
  }
  EXPECT_GT(sizes[0], sizes[1]);
  EXPECT_LE(sizes[4], sizes[2]);
  // Without an option the default level applies.
  fs::path plain = Pack(dir.path(), "plain.cab", {});
  EXPECT_EQ(ReadFile(plain), ReadFile(dir.path() / "l2.cab"));
}

// 100 MB of repeats: every level's cabinet unpacks byte-equal through both
// readers, and a stronger level is not larger than a weaker one.
TEST(CabarcLevel, HundredMegabytesOfRepeatsRoundTripAndStrongerIsNotLarger) {
  TempDir dir;
  const std::string block = test::MakeData(4000, 7);
  std::string data;
  data.reserve(100u << 20);
  for (uint32_t i = 0; data.size() < (100u << 20); ++i) data += block + "record " + std::to_string(i) + "\n";
  data.resize(100u << 20);
  WriteFile(dir.path() / "src" / "REPEATS.DAT", data);
  size_t sizes[5] = {};
  for (int level = 1; level <= 4; ++level) {
    const std::string name = "r" + std::to_string(level) + ".cab";
    fs::path cab = Pack(dir.path(), name, {"--level=" + std::to_string(level)});
    sizes[level] = fs::file_size(cab);
    auto c = RunTool({"cabextract", "-q", "-d", (dir.path() / name).string() + ".out", cab.string()});
    ASSERT_EQ(c.exitCode, 0) << name << c.out;
    EXPECT_TRUE(ReadFile(dir.path() / (name + ".out") / "REPEATS.DAT") == data) << name;
    fs::remove_all(dir.path() / (name + ".out"));
    fs::create_directories(dir.path() / (name + ".gcab"));
    auto g = RunTool({"gcab", "-x", "-C", (dir.path() / name).string() + ".gcab", cab.string()});
    ASSERT_EQ(g.exitCode, 0) << name << g.out;
    EXPECT_TRUE(ReadFile(dir.path() / (name + ".gcab") / "REPEATS.DAT") == data) << name;
    fs::remove_all(dir.path() / (name + ".gcab"));
  }
  for (int level = 2; level <= 4; ++level) {
    EXPECT_LE(sizes[level], sizes[level - 1] + sizes[level - 1] / 200) << "level " << level;
  }
}

TEST(CabarcLevel, EnvironmentChoosesTheLevelAndTheOptionWins) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  std::string stored = ReadFile(Pack(dir.path(), "l0.cab", {"--level", "0"}));
  std::string strong = ReadFile(Pack(dir.path(), "l4.cab", {"--level=4"}));
  ASSERT_NE(stored, strong);
  EXPECT_EQ(ReadFile(Pack(dir.path(), "e0.cab", {}, {"KIV_LZX_LEVEL=0"})), stored);
  EXPECT_EQ(ReadFile(Pack(dir.path(), "e4.cab", {"--level=4"}, {"KIV_LZX_LEVEL=0"})), strong);
  EXPECT_EQ(ReadFile(Pack(dir.path(), "e0bad.cab", {"--level=0"}, {"KIV_LZX_LEVEL=junk"})), stored)
      << "the option makes the environment irrelevant";
}

TEST(CabarcLevel, BadLevelsAreRefusedWithAMessageNamingThem) {
  TempDir dir;
  MakeTree(dir.path() / "src");
  const std::vector<std::string> src = {"-m", "LZX:21", "n", "x.cab", "src\\*.*"};
  struct Case {
    std::vector<std::string> options, env;
    std::string named;
  };
  for (const Case& c : {Case{{"--level=5"}, {}, "'5'"}, Case{{"--level=-1"}, {}, "'-1'"}, Case{{"--level="}, {}, "''"},
                        Case{{"--level=02"}, {}, "'02'"}, Case{{"--level", "x"}, {}, "'x'"},
                        Case{{}, {"KIV_LZX_LEVEL=9"}, "KIV_LZX_LEVEL"}, Case{{}, {"KIV_LZX_LEVEL= 2"}, "' 2'"}}) {
    std::vector<std::string> argv = {CABARC_EXE};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.insert(argv.end(), src.begin(), src.end());
    auto r = RunTool(argv, dir.path(), c.env);
    EXPECT_EQ(r.exitCode, 2) << c.named << r.out;
    EXPECT_NE(r.out.find("LZX level"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.named), std::string::npos) << r.out;
  }
  auto r = RunTool({CABARC_EXE, "--level"}, dir.path());
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.out.find("--level needs"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir.path() / "x.cab"));
  r = RunTool({CABARC_EXE, "--help"});
  EXPECT_NE(r.out.find("KIV_LZX_LEVEL"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kiv::cab
