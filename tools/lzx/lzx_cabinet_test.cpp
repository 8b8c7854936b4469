// The encoder's frames wrapped into real cabinets and read back by the
// independent readers we ship against: libmspack's cabinet reader and
// cabextract, which read the folder as one stream, and gcab, which decodes
// each data block on its own as Microsoft's EXTRACT does.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tools/lzx/lzx_test_util.h"

namespace kiv::lzx::test {
namespace {

using namespace std::string_literals;

std::vector<CabFile> ManySmallFiles() {
  std::vector<CabFile> files;
  std::mt19937 rng(99);
  for (int i = 0; i < 60; ++i) {
    CabFile f;
    f.name = "file" + std::to_string(i) + ".txt";
    size_t n = i % 7 == 0 ? 0 : rng() % (i % 5 == 0 ? 40000 : 900);
    std::string line = "line of module " + std::to_string(i % 9) + " with E8 \xE8\x10\x20\x00\x00 "s;
    while (f.data.size() < n) f.data.insert(f.data.end(), line.begin(), line.end());
    f.data.resize(n);
    files.push_back(std::move(f));
  }
  files.push_back({"random.bin", RandomBytes(70001, 5)});
  return files;
}

void ExpectGcabExtracts(const std::filesystem::path& dir, const std::filesystem::path& cabPath,
                        const std::vector<CabFile>& files) {
  auto gcabDir = dir / "gcab";
  std::filesystem::create_directories(gcabDir);
  std::string run = "gcab -x -C '" + gcabDir.string() + "' '" + cabPath.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0) << "gcab -x failed";
  for (const auto& f : files) {
    EXPECT_TRUE(ReadFile(gcabDir / f.name) == f.data) << "gcab: " << f.name;
  }
}

void CheckCabinet(const std::vector<CabFile>& files, const Options& options, bool lookahead = false) {
  auto dir = TempDir("cab");
  auto cabPath = dir / "test.cab";
  WriteFile(cabPath, MakeCabinet(files, options, lookahead));

  std::vector<CabFile> got;
  auto outDir = dir / "mspack";
  std::filesystem::create_directories(outDir);
  ASSERT_EQ(ExtractWithMspack(cabPath, outDir, &got), "");
  ASSERT_EQ(got.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(got[i].name, files[i].name);
    EXPECT_TRUE(got[i].data == files[i].data) << files[i].name;
  }

  std::string test = "cabextract -q -t '" + cabPath.string() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(test.c_str()), 0) << "cabextract -t failed";
  auto cabextractDir = dir / "cabextract";
  std::string run = "cabextract -q -d '" + cabextractDir.string() + "' '" + cabPath.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0) << "cabextract failed";
  for (const auto& f : files) {
    EXPECT_TRUE(ReadFile(cabextractDir / f.name) == f.data) << "cabextract: " << f.name;
  }
  ExpectGcabExtracts(dir, cabPath, files);
  std::filesystem::remove_all(dir);
}

TEST(LzxCabinet, ManySmallFilesInOneFolder) {
  for (int level : {0, 1, 2}) {
    SCOPED_TRACE(level);
    CheckCabinet(ManySmallFiles(), Options{21, level});
    CheckCabinet(ManySmallFiles(), Options{21, level}, true);
  }
}

TEST(LzxCabinet, EmptyOneByteAndFrameSizedFiles) {
  for (int level : {0, 1, 2}) {
    SCOPED_TRACE(level);
    CheckCabinet({{"empty.txt", {}}}, Options{21, level});
    CheckCabinet({{"one.bin", {0xE8}}}, Options{21, level});
    Bytes frame(32768);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>((i * i) >> 7);
    CheckCabinet({{"frame.bin", frame}}, Options{21, level});
    frame.push_back(0xE8);
    CheckCabinet({{"frame1.bin", frame}}, Options{15, level});
    frame.insert(frame.end(), frame.begin(), frame.end());
    CheckCabinet({{"frames.bin", frame}}, Options{16, level}, true);
  }
}

// Stored blocks of odd length that end where a frame ends: the pad byte
// after them must open the next data block, or block-by-block readers lose
// step. Many seeds, each level, with and without look-ahead.
TEST(LzxCabinet, OddStoredBlocksDecodeBlockByBlock) {
  constexpr uint32_t kSeeds = 16;
  std::vector<CabFile> files;
  files.reserve(kSeeds);
  for (uint32_t seed = 0; seed < kSeeds; ++seed) {
    files.push_back({"mixed" + std::to_string(seed) + ".bin", MixedBytes(30000 + seed * 1777, seed)});
  }
  for (int level = 0; level <= 4; ++level) {
    SCOPED_TRACE(level);
    CheckCabinet(files, Options{21, level});
    CheckCabinet(files, Options{21, level}, true);
  }
}

TEST(LzxCabinet, FolderLongerThanTheWindow) {
  std::vector<CabFile> files;
  Bytes base = RandomBytes(300000, 77);
  for (int i = 0; i < 9; ++i) {
    Bytes data = base;
    for (size_t j = i; j < data.size(); j += 97) data[j] = static_cast<uint8_t>(i);
    files.push_back({"part" + std::to_string(i) + ".bin", std::move(data)});
  }
  CheckCabinet(files, Options{});
  CheckCabinet(files, Options{}, true);
}

}  // namespace
}  // namespace kiv::lzx::test
