#include "tools/cabinet/cab_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/cabinet/cab_test_util.h"
#include "tools/cabinet/cab_writer.h"
#include "tools/cabinet/extract_files.h"

namespace kiv::cab {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Writes a cabinet of the given (stored name, content) pairs.
void MakeCab(const test::fs::path& cab, const std::vector<std::pair<std::string, std::string>>& files,
             const WriteOptions& options, const test::fs::path& scratch) {
  std::vector<CabEntry> entries;
  int n = 0;
  for (const auto& [name, data] : files) {
    test::fs::path src = scratch / ("src" + std::to_string(n++));
    WriteFile(src, data);
    CabEntry e;
    e.sourcePath = src.string();
    e.storedName = name;
    entries.push_back(e);
  }
  std::string error;
  ASSERT_TRUE(WriteCabinet(cab.string(), entries, options, error)) << error;
}

TEST(CabReader, RefusesCabinetsWithUnsafePathsAndWritesNothing) {
  for (std::string bad : {"..\\evil.txt", "\\abs\\evil.txt", "/abs/evil.txt", "a\\..\\..\\evil"}) {
    SCOPED_TRACE(bad);
    TempDir dir;
    // The writer refuses such names, so store a harmless one of the same
    // length and patch the file record (names are not checksummed).
    std::string harmless(bad.size(), 'q');
    test::fs::path cab = dir.path() / "bad.cab";
    MakeCab(cab, {{"ok.txt", "fine"}, {harmless, "evil"}}, WriteOptions{}, dir.path());
    std::string bytes = ReadFile(cab);
    size_t at = bytes.find(harmless);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, bad.size(), bad);
    WriteFile(cab, bytes);

    CabReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(cab.string(), false, error)) << error;
    ExtractRequest request;
    request.keepPaths = true;
    request.overwrite = true;
    request.targetDir = (dir.path() / "out" / "deep").string();
    ExtractOutcome outcome;
    std::ostringstream log, err;
    EXPECT_FALSE(ExtractMatching(reader, request, outcome, log, err, error));
    EXPECT_NE(error.find(bad), std::string::npos) << error;
    EXPECT_EQ(outcome.extracted, 0);
    EXPECT_FALSE(test::fs::exists(dir.path() / "out")) << "nothing may be written";
    EXPECT_FALSE(test::fs::exists(dir.path() / "evil.txt"));
  }
}

TEST(CabReader, TruncatedAndCorruptedCabinetsFailCleanly) {
  TempDir dir;
  std::string big = test::MakeData(100000, 7);
  for (Method method : {Method::None, Method::MsZip, Method::Lzx}) {
    SCOPED_TRACE(int(method));
    WriteOptions options;
    options.method = method;
    test::fs::path cab = dir.path() / "good.cab";
    MakeCab(cab, {{"a.txt", "hello"}, {"sub\\big.bin", big}}, options, dir.path());
    const std::string good = ReadFile(cab);
    {
      CabReader reader;
      std::string error;
      ASSERT_TRUE(reader.Open(cab.string(), false, error)) << error;
      ASSERT_TRUE(reader.Test(1, error)) << error;
    }
    // Every cut shorter than the whole cabinet loses data of big.bin, the
    // last file: either the open or decoding it must fail.
    for (size_t cut = 0; cut < good.size(); cut += good.size() / 97 + 1) {
      test::fs::path t = dir.path() / "cut.cab";
      WriteFile(t, good.substr(0, cut));
      CabReader reader;
      std::string error;
      bool ok = reader.Open(t.string(), false, error) && reader.Files().size() == 2 && reader.Test(1, error);
      EXPECT_FALSE(ok) << "cut at " << cut;
      EXPECT_FALSE(error.empty());
    }
    // Flipped bytes anywhere: no crash, no hang; a flip inside the data is
    // caught by the block checksums.
    std::mt19937 rng(42);
    for (int i = 0; i < 200; ++i) {
      std::string bad = good;
      size_t pos = rng() % bad.size();
      bad[pos] = char(bad[pos] ^ (1 + rng() % 255));
      test::fs::path t = dir.path() / "flip.cab";
      WriteFile(t, bad);
      CabReader reader;
      std::string error;
      if (!reader.Open(t.string(), false, error)) continue;
      for (size_t f = 0; f < reader.Files().size(); ++f) reader.Test(f, error);
    }
    std::string data = good;
    data[good.size() - 100] ^= 0x5A;  // inside big.bin's last block
    test::fs::path t = dir.path() / "flip.cab";
    WriteFile(t, data);
    CabReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(t.string(), false, error));
    EXPECT_FALSE(reader.Test(1, error));
  }
}

TEST(CabReader, FollowsTheCabinetSetOnlyWhenAsked) {
  TempDir dir;
  WriteOptions first;
  first.setId = 1234;
  first.nextCabinet = "PART2.CAB";
  first.nextDisk = "Disk 2";
  WriteOptions second;
  second.setId = 1234;
  second.cabinetIndex = 1;
  second.prevCabinet = "PART1.CAB";
  second.prevDisk = "Disk 1";
  MakeCab(dir.path() / "PART1.CAB", {{"one.txt", "first"}}, first, dir.path());
  MakeCab(dir.path() / "part2.cab", {{"WINBOOT.SYS", test::MakeData(70000, 3)}}, second, dir.path());

  std::string error;
  CabReader alone;
  ASSERT_TRUE(alone.Open((dir.path() / "PART1.CAB").string(), false, error)) << error;
  EXPECT_EQ(alone.Files().size(), 1u);

  CabReader set;
  ASSERT_TRUE(set.Open((dir.path() / "PART1.CAB").string(), true, error)) << error;
  ASSERT_EQ(set.Files().size(), 2u);
  EXPECT_TRUE(set.Warnings().empty());
  EXPECT_EQ(set.Files()[1].name, "WINBOOT.SYS");
  test::fs::path out = dir.path() / "winboot.out";
  ASSERT_TRUE(set.Extract(1, out.string(), error)) << error;
  EXPECT_EQ(ReadFile(out), test::MakeData(70000, 3));

  // cabextract, given the first cabinet, agrees that the set is sound.
  auto r = test::RunTool({"cabextract", "-t", (dir.path() / "PART1.CAB").string()});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("WINBOOT.SYS"), std::string::npos) << r.out;

  // A missing successor ends the chain with a warning, not a failure.
  test::fs::remove(dir.path() / "part2.cab");
  CabReader broken;
  ASSERT_TRUE(broken.Open((dir.path() / "PART1.CAB").string(), true, error));
  EXPECT_EQ(broken.Files().size(), 1u);
  ASSERT_EQ(broken.Warnings().size(), 1u);
  EXPECT_NE(broken.Warnings()[0].find("PART2.CAB"), std::string::npos);
}

// Found by fuzzing: after the first file fails to decode, libmspack reads
// the second through a null file handle; the reader must turn that into an
// error, not a crash.
TEST(CabReader, SecondExtractionAfterAFailedOneDoesNotCrash) {
  static const uint8_t kCab[] = {
      0x4d, 0x53, 0x43, 0x46, 0x00, 0x00, 0x32, 0x06, 0x6c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x01, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x58, 0x00,
      0x00, 0x00, 0x29, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x88, 0x5d, 0x73,
      0x19, 0x20, 0x00, 0x61, 0x2e, 0x74, 0x78, 0x74, 0x00, 0x00, 0x01, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x58, 0x00, 0x00, 0x00, 0x29, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0xa5, 0xb1, 0x0a, 0x34, 0xd9, 0xf9, 0x72, 0x5c, 0xff, 0x65, 0x40, 0x32, 0x84, 0x5d, 0xa5, 0xb1, 0x0a, 0x34,
      0xd9, 0xf9, 0x72, 0x5c, 0x33, 0xad, 0x75, 0xf9, 0x72, 0x5c, 0xff, 0x65, 0x2b, 0x32, 0x84, 0x5d, 0xa5, 0xb1, 0x0a,
      0x34, 0xd9, 0xf9, 0x72, 0x5c, 0x33, 0xad, 0x75, 0xc1, 0xe2, 0x84, 0x5d, 0xa5, 0xb1, 0x0a, 0x34, 0xd9, 0xf9, 0x72,
      0x5c, 0xff, 0x65, 0x2b, 0x32, 0x84, 0x5d, 0xa5, 0xb1, 0x0a, 0xf9, 0x72, 0x5c, 0x33, 0xad, 0x75, 0xf9, 0x72, 0x5c,
      0xff, 0x65, 0x2b, 0x32, 0x84, 0x5d, 0xa5, 0xb1, 0x0a, 0x34, 0xd9, 0xf9, 0x72, 0x5c, 0x33, 0xad, 0x75, 0xc1, 0xe2,
      0x55, 0xd3, 0xa6, 0x77, 0xfa, 0x42, 0xe5, 0x2f, 0x00};
  CabReader reader;
  std::string error;
  ASSERT_TRUE(reader.OpenMemory(kCab, sizeof kCab, error)) << error;
  ASSERT_EQ(reader.Files().size(), 2u);
  EXPECT_FALSE(reader.Test(0, error));
  EXPECT_FALSE(reader.Test(1, error));
  EXPECT_FALSE(error.empty());
}

TEST(CabReader, NotACabinet) {
  TempDir dir;
  WriteFile(dir.path() / "text.cab", "this is not a cabinet at all");
  CabReader reader;
  std::string error;
  EXPECT_FALSE(reader.Open((dir.path() / "text.cab").string(), false, error));
  EXPECT_NE(error.find("text.cab"), std::string::npos) << error;
  CabReader missing;
  EXPECT_FALSE(missing.Open((dir.path() / "none.cab").string(), false, error));
  EXPECT_NE(error.find("none.cab"), std::string::npos) << error;
  // A pipe would block the open forever.
  ASSERT_EQ(::mkfifo((dir.path() / "pipe.cab").c_str(), 0600), 0);
  CabReader pipe;
  EXPECT_FALSE(pipe.Open((dir.path() / "pipe.cab").string(), false, error));
  EXPECT_NE(error.find("pipe.cab"), std::string::npos) << error;
}

}  // namespace
}  // namespace kiv::cab
