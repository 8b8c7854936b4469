#include "cdtool/usb/hybrid_iso.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cdtool/build/makecd_script.h"
#include "common/process_runner.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

uint32_t At32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Bytes with a recognisable pattern, and the hybrid signature at 40h when asked.
Bytes Pattern(size_t size, uint8_t seed, bool hybrid) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  if (hybrid) {
    b[0x40] = 0xFB, b[0x41] = 0xC0, b[0x42] = 0x78, b[0x43] = 0x70;
  }
  return b;
}

size_t Find(const Bytes& hay, const Bytes& needle) {
  auto it = std::search(hay.begin(), hay.end(), needle.begin() + 64, needle.end());
  return it == hay.end() ? std::string::npos : static_cast<size_t>(it - hay.begin()) - 64;
}

// The data of `path` ("boot/isolinux/isolinux.cfg") as a reader that starts
// from the volume descriptor at `pvdLba` sees it; empty when it is not found.
std::string Resolve(const Bytes& iso, uint32_t pvdLba, const std::string& path, uint32_t* extent = nullptr) {
  if (uint64_t{pvdLba} * 2048 + 2048 > iso.size()) return "";
  size_t record = pvdLba * 2048 + 156;
  size_t from = 0;
  while (true) {
    const uint32_t lba = At32(iso, record + 2), size = At32(iso, record + 10);
    if (uint64_t{lba} * 2048 + size > iso.size()) return "";
    if (extent) *extent = lba;
    if (from > path.size()) return std::string(iso.begin() + lba * 2048, iso.begin() + lba * 2048 + size);
    size_t slash = path.find('/', from);
    std::string name = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
    from = slash == std::string::npos ? path.size() + 1 : slash + 1;
    bool found = false;
    for (size_t at = lba * 2048; at < lba * 2048 + size && iso[at] >= 34; at += iso[at]) {
      std::string n(iso.begin() + static_cast<long>(at) + 33, iso.begin() + static_cast<long>(at) + 33 + iso[at + 32]);
      for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (n == name || n == name + ";1") {
        record = at;
        found = true;
        break;
      }
    }
    if (!found) return "";
  }
}

// A CD tree mastered with the CD builder's switches.
struct MasteredCd {
  TestTempDir dir;
  Bytes loader = Pattern(2048, 3, true);
  Bytes isolinux = Pattern(38914, 11, true);  // not a multiple of 4
  Bytes mbrCode = Pattern(432, 29, false);
  std::string iso = dir / "out/kiv cd.iso";
  std::string mbr = dir / "isohdpfx.bin";
  std::vector<std::pair<std::string, std::string>> extra;  // more files in the tree
  Bytes efiImage = Pattern(65536, 41, false);

  bool Master() {
    for (const auto& [name, text] : extra) WriteAll(dir / ("kivcd/" + name), Bytes(text.begin(), text.end()));
    WriteAll(dir / "kivcd/boot/loader.bin", loader);
    WriteAll(dir / "kivcd/boot/isolinux/isolinux.bin", isolinux);
    WriteAll(dir / "kivcd/readme.txt", Bytes{'k', 'i', 'v'});
    WriteAll(mbr, mbrCode);
    fs::create_directories(dir / "out");
    RunOptions in;
    in.workingDir = dir.Path();
    RunResult r = RunAndCapture({"genisoimage", "-volid", "KIV_RESCUE", "-iso-level", "4", "-omit-period",
                                 "-no-emul-boot", "-boot-load-size", "4", "-eltorito-boot", "boot/loader.bin", "-hide",
                                 "loader.bin", "-hide", "boot.catalog", "-output", iso, "kivcd"},
                                in);
    return r.ended && r.exitCode == 0;
  }

  // The tree with a UEFI boot image, mastered by xorriso with the makecd
  // script's switches (its MBR boot code is isolinux's, in files/).
  bool MasterWithEfi() {
    WriteAll(dir / ("kivcd/" + std::string(kEfiBootImage)), efiImage);
    WriteAll(dir / kIsoHybridMbr, ReadAll(kIsolinuxMbr));
    WriteAll(dir / "kivcd/boot/loader.bin", loader);
    WriteAll(dir / "kivcd/boot/isolinux/isolinux.bin", isolinux);
    WriteAll(mbr, mbrCode);
    fs::create_directories(dir / "out");
    RunOptions in;
    in.workingDir = dir.Path();
    RunResult r = RunAndCapture(
        {"/bin/sh", "-c", "xorriso -as mkisofs" + MasteringSwitches(true) + " -output " + ShellQuote(iso) + " kivcd"},
        in);
    return r.ended && r.exitCode == 0;
  }
  static constexpr const char* kIsolinuxMbr = "/usr/lib/ISOLINUX/isohdpfx.bin";
};

#define MASTER_OR_SKIP(cd)                                                                              \
  if (SystemLauncher().FindProgram("genisoimage").empty()) GTEST_SKIP() << "genisoimage not installed"; \
  ASSERT_TRUE((cd).Master())

TEST(HybridIsoTables, ChecksumSumsDwordsFromByte64WithAShortTail) {
  Bytes file(64, 0xFF);  // the first 64 bytes never count
  for (uint8_t b : {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x01})
    file.push_back(b);
  // 1 + 0x80000000 + 0xFFFFFFFF + 0x0102 = 0x80000102 (mod 2^32)
  EXPECT_EQ(BootFileChecksum(file), 0x80000102u);
  EXPECT_EQ(BootFileChecksum(Bytes(64, 0xFF)), 0u);

  std::array<uint8_t, 56> table = BootInfoTable(16, 0x1234, 38914, 0xDEADBEEF);
  Bytes t(table.begin(), table.end());
  EXPECT_EQ(At32(t, 0), 16u);
  EXPECT_EQ(At32(t, 4), 0x1234u);
  EXPECT_EQ(At32(t, 8), 38914u);
  EXPECT_EQ(At32(t, 12), 0xDEADBEEFu);
  EXPECT_TRUE(std::all_of(t.begin() + 16, t.end(), [](uint8_t b) { return b == 0; }));
}

TEST(HybridIsoTables, MbrPointsAtTheBootFileAndCoversWholeCylinders) {
  EXPECT_EQ(HybridPaddedSize(1), 1u << 20);
  EXPECT_EQ(HybridPaddedSize(1u << 20), 1u << 20);
  EXPECT_EQ(HybridPaddedSize((1u << 20) + 2048), 2u << 20);

  Bytes code = Pattern(432, 5, false);
  std::array<uint8_t, 512> m = HybridMbr(code, 0x40000001, 3u << 20, 0xCAFEF00D);
  Bytes mbr(m.begin(), m.end());
  EXPECT_TRUE(std::equal(code.begin(), code.end(), mbr.begin()));
  EXPECT_EQ(At32(mbr, 432), 4u);  // 0x40000001 * 4 overflows into the high dword
  EXPECT_EQ(At32(mbr, 436), 1u);
  EXPECT_EQ(At32(mbr, 440), 0xCAFEF00Du);
  EXPECT_EQ(mbr[444] | mbr[445], 0);
  const size_t e = 446;
  EXPECT_EQ(mbr[e], 0x80);
  EXPECT_EQ(mbr[e + 1], 0);
  EXPECT_EQ(mbr[e + 2], 1);
  EXPECT_EQ(mbr[e + 4], 0x17);
  EXPECT_EQ(mbr[e + 5], 63);  // last head
  EXPECT_EQ(mbr[e + 6], 32);  // last sector, cylinder 2 needs no high bits
  EXPECT_EQ(mbr[e + 7], 2);
  EXPECT_EQ(At32(mbr, e + 8), 0u);
  EXPECT_EQ(At32(mbr, e + 12), 3u * 2048);
  EXPECT_TRUE(std::all_of(mbr.begin() + 462, mbr.begin() + 510, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(mbr[510], 0x55);
  EXPECT_EQ(mbr[511], 0xAA);

  // 700 cylinders: the high bits of cylinder 699 (2bh << 8) go into the sector byte.
  m = HybridMbr(code, 20, 700u << 20, 1);
  EXPECT_EQ(m[e + 6], 32 | ((699 & 0x300) >> 2));
  EXPECT_EQ(m[e + 7], 699 & 0xFF);
  // Beyond CHS: the end stays at cylinder 1023, the LBA count is exact.
  m = HybridMbr(code, 20, 3000ull << 20, 1);
  EXPECT_EQ(m[e + 6], 32 | 0xC0);
  EXPECT_EQ(m[e + 7], 0xFF);
  EXPECT_EQ(At32(Bytes(m.begin(), m.end()), e + 12), 3000u * 2048);
}

TEST(HybridIsoImage, PatchesOnlyTheMbrTheBootTableAndThePadding) {
  MasteredCd cd;
  MASTER_OR_SKIP(cd);
  const Bytes before = ReadAll(cd.iso);
  EXPECT_FALSE(IsHybridIso(cd.iso));

  ASSERT_EQ(MakeIsoHybrid(cd.iso, cd.mbr), "");
  const Bytes after = ReadAll(cd.iso);
  EXPECT_TRUE(IsHybridIso(cd.iso));
  ASSERT_EQ(after.size(), HybridPaddedSize(before.size()));
  EXPECT_EQ(after.size() % (1u << 20), 0u);

  // Where the mastering tool put the two files (found by their content).
  const size_t loaderAt = Find(before, cd.loader), isolinuxAt = Find(before, cd.isolinux);
  ASSERT_NE(loaderAt, std::string::npos);
  ASSERT_NE(isolinuxAt, std::string::npos);
  ASSERT_EQ(loaderAt % 2048, 0u);
  ASSERT_EQ(isolinuxAt % 2048, 0u);

  EXPECT_TRUE(std::equal(cd.mbrCode.begin(), cd.mbrCode.end(), after.begin()));
  EXPECT_EQ(At32(after, 432), loaderAt / 2048 * 4);
  EXPECT_EQ(At32(after, 446 + 12), after.size() / 512);
  EXPECT_EQ(At32(after, isolinuxAt + 8), 16u);
  EXPECT_EQ(At32(after, isolinuxAt + 12), isolinuxAt / 2048);
  EXPECT_EQ(At32(after, isolinuxAt + 16), cd.isolinux.size());
  EXPECT_EQ(At32(after, isolinuxAt + 20), BootFileChecksum(cd.isolinux));

  // Everything else is the mastered image, byte for byte; the rest is zeros.
  Bytes expected = before;
  std::copy_n(after.begin(), 512, expected.begin());
  std::copy_n(after.begin() + static_cast<long>(isolinuxAt) + 8, 56,
              expected.begin() + static_cast<long>(isolinuxAt) + 8);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), after.begin()));
  EXPECT_TRUE(
      std::all_of(after.begin() + static_cast<long>(before.size()), after.end(), [](uint8_t b) { return b == 0; }));

  // A second run finds the same files and writes the same bytes.
  ASSERT_EQ(MakeIsoHybrid(cd.iso, cd.mbr), "");
  EXPECT_EQ(ReadAll(cd.iso), after);
}

// A UEFI boot image: the stick keeps the EFI system partition and the GPT
// the mastering tool made for it; partition 1 loses its type, so that UEFI
// firmware finds no overlapping partitions.
TEST(HybridIsoImage, KeepsTheEfiPartitionAndGptOfTheMasteringTool) {
  MasteredCd cd;
  if (SystemLauncher().FindProgram("xorriso").empty() || !fs::exists(MasteredCd::kIsolinuxMbr))
    GTEST_SKIP() << "xorriso or isolinux not installed";
  ASSERT_TRUE(cd.MasterWithEfi());
  const Bytes before = ReadAll(cd.iso);
  const std::optional<MbrEntry> efi = EfiPartitionEntry(Bytes(before.begin(), before.begin() + 512));
  ASSERT_TRUE(efi.has_value()) << "the mastering tool made no EFI system partition";
  EXPECT_EQ(Find(before, cd.efiImage), uint64_t{At32(Bytes(efi->begin(), efi->end()), 8)} * 512);
  EXPECT_EQ(std::string(before.begin() + 512, before.begin() + 520), "EFI PART");

  ASSERT_EQ(MakeIsoHybrid(cd.iso, cd.mbr), "");
  const Bytes after = ReadAll(cd.iso);
  EXPECT_TRUE(IsHybridIso(cd.iso));
  EXPECT_TRUE(std::equal(cd.mbrCode.begin(), cd.mbrCode.end(), after.begin()));
  EXPECT_EQ(after[446], 0x80);
  EXPECT_EQ(after[446 + 4], 0);
  EXPECT_EQ(At32(after, 446 + 12), after.size() / 512);
  EXPECT_TRUE(std::equal(efi->begin(), efi->end(), after.begin() + 446 + 16));
  EXPECT_TRUE(std::all_of(after.begin() + 446 + 32, after.begin() + 510, [](uint8_t b) { return b == 0; }));
  // The GPT behind the MBR is the mastering tool's, byte for byte.
  EXPECT_TRUE(std::equal(before.begin() + 512, before.begin() + 32768, after.begin() + 512));

  // A second run keeps the partition from its own MBR.
  ASSERT_EQ(MakeIsoHybrid(cd.iso, cd.mbr), "");
  EXPECT_EQ(ReadAll(cd.iso), after);
}

TEST(HybridIsoImage, AStickSeesItsOwnMenuWhereTheCdSeesTheCdMenu) {
  MasteredCd cd;
  const std::string tag = "KIVUSBV1";
  std::copy(tag.begin(), tag.end(), cd.loader.begin() + 1852);
  std::fill_n(cd.loader.begin() + 1860, 4, 0);
  cd.extra = {{"boot/isolinux/isolinux.cfg", "the CD's menu"},
              {"boot/isolinux/usbstick.cfg", "the stick's menu, longer"},
              {"boot/isolinux/menu.c32", "a module"},
              {"boot/images/kivstart.img", "a floppy"}};
  MASTER_OR_SKIP(cd);
  const Bytes before = ReadAll(cd.iso);
  ASSERT_EQ(MakeIsoHybrid(cd.iso, cd.mbr), "");
  const Bytes after = ReadAll(cd.iso);
  ASSERT_EQ(after.size(), HybridPaddedSize(before.size()));

  const size_t loaderAt = Find(before, cd.loader);
  ASSERT_NE(loaderAt, std::string::npos);
  const uint32_t view = At32(after, loaderAt + 1860);
  EXPECT_EQ(view, At32(before, 16 * 2048 + 80)) << "right after the mastered volume";
  EXPECT_EQ(Resolve(after, 16, "boot/isolinux/isolinux.cfg"), "the CD's menu");
  EXPECT_EQ(Resolve(after, view, "boot/isolinux/isolinux.cfg"), "the stick's menu, longer");
  for (const char* same : {"boot/isolinux/usbstick.cfg", "boot/isolinux/menu.c32", "boot/images/kivstart.img",
                           "readme.txt", "boot/isolinux/isolinux.bin"})
    EXPECT_EQ(Resolve(after, view, same), Resolve(after, 16, same)) << same;
  EXPECT_EQ(Resolve(after, view, "boot/images/kivstart.img"), "a floppy");
  // The copies' "." lead to themselves and ".." to the copied parent.
  uint32_t bootCopy = 0, isolinuxCopy = 0, cdBoot = 0;
  const std::string bootDir = Resolve(after, view, "boot", &bootCopy);
  const std::string isolinuxDir = Resolve(after, view, "boot/isolinux", &isolinuxCopy);
  Resolve(after, 16, "boot", &cdBoot);
  ASSERT_GE(bootDir.size(), 68u);
  ASSERT_GE(isolinuxDir.size(), 68u);
  EXPECT_NE(bootCopy, cdBoot);
  EXPECT_GE(bootCopy, view);
  const Bytes b(bootDir.begin(), bootDir.end()), i(isolinuxDir.begin(), isolinuxDir.end());
  EXPECT_EQ(At32(b, 2), bootCopy);
  EXPECT_EQ(At32(i, 2), isolinuxCopy);
  EXPECT_EQ(At32(i, i[0] + 2), bootCopy);

  // The volume takes the view in: every descriptor that gives its size (the
  // primary one, the ISO 9660:1999 one of -iso-level 4, the view's copy) says
  // so, in both byte orders; after it come only zeros.
  const uint32_t volume = At32(after, 16 * 2048 + 80);
  EXPECT_GT(volume, isolinuxCopy);
  std::vector<size_t> sized = {size_t{view} * 2048};
  for (size_t d = 16 * 2048; after[d] != 255 && d < 32 * 2048; d += 2048)
    if (after[d] == 1 || after[d] == 2) sized.push_back(d);
  EXPECT_EQ(sized.size(), 3u);
  for (size_t d : sized) {
    EXPECT_EQ(At32(after, d + 80), volume) << d / 2048;
    EXPECT_EQ(after[d + 84] << 24 | after[d + 85] << 16 | after[d + 86] << 8 | after[d + 87], volume) << d / 2048;
  }
  EXPECT_FALSE(Resolve(after, view, "boot/isolinux/isolinux.cfg").empty());
  EXPECT_TRUE(
      std::all_of(after.begin() + static_cast<long>(volume) * 2048, after.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::any_of(after.begin() + static_cast<long>(volume - 1) * 2048,
                          after.begin() + static_cast<long>(volume) * 2048, [](uint8_t b) { return b != 0; }))
      << "the volume ends with the view's last directory";

  // The mastered volume is as before but for the MBR, the boot table, the
  // volume size and the loader's field.
  Bytes expected = before;
  std::copy_n(after.begin(), 512, expected.begin());
  const size_t isolinuxAt = Find(before, cd.isolinux);
  std::copy_n(after.begin() + static_cast<long>(isolinuxAt) + 8, 56,
              expected.begin() + static_cast<long>(isolinuxAt) + 8);
  std::copy_n(after.begin() + static_cast<long>(loaderAt) + 1860, 4,
              expected.begin() + static_cast<long>(loaderAt) + 1860);
  for (size_t d : sized)
    if (d < expected.size())
      std::copy_n(after.begin() + static_cast<long>(d) + 80, 8, expected.begin() + static_cast<long>(d) + 80);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), after.begin()));

  ASSERT_EQ(MakeIsoHybrid(cd.iso, cd.mbr), "");
  EXPECT_EQ(ReadAll(cd.iso), after) << "a second run writes the same bytes";
}

TEST(HybridIsoImage, WithoutTheStickMenuTheStickSeesTheCdTree) {
  MasteredCd cd;
  const std::string tag = "KIVUSBV1";
  std::copy(tag.begin(), tag.end(), cd.loader.begin() + 1852);
  std::fill_n(cd.loader.begin() + 1860, 4, 0xEE);  // whatever was there before
  cd.extra = {{"boot/isolinux/isolinux.cfg", "a menu written by hand"}};
  MASTER_OR_SKIP(cd);
  const Bytes before = ReadAll(cd.iso);
  ASSERT_EQ(MakeIsoHybrid(cd.iso, cd.mbr), "");
  const Bytes after = ReadAll(cd.iso);
  const size_t loaderAt = Find(before, cd.loader);
  EXPECT_EQ(At32(after, loaderAt + 1860), 0u);
  EXPECT_TRUE(
      std::all_of(after.begin() + static_cast<long>(before.size()), after.end(), [](uint8_t b) { return b == 0; }));
}

TEST(HybridIsoImage, RefusesWhatCannotStartFromADiskAndLeavesTheFileAlone) {
  {
    MasteredCd cd;
    cd.loader = Pattern(2048, 3, false);  // a loader without the entry for the MBR
    MASTER_OR_SKIP(cd);
    const Bytes before = ReadAll(cd.iso);
    std::string why = MakeIsoHybrid(cd.iso, cd.mbr);
    EXPECT_NE(why.find("boot/loader.bin"), std::string::npos) << why;
    EXPECT_NE(why.find(cd.iso), std::string::npos) << why;
    EXPECT_EQ(ReadAll(cd.iso), before);
  }
  {
    MasteredCd cd;
    cd.isolinux = Pattern(5000, 1, false);
    MASTER_OR_SKIP(cd);
    const Bytes before = ReadAll(cd.iso);
    EXPECT_NE(MakeIsoHybrid(cd.iso, cd.mbr).find("isolinux.bin has no entry"), std::string::npos);
    EXPECT_EQ(ReadAll(cd.iso), before);
  }
  {
    MasteredCd cd;
    MASTER_OR_SKIP(cd);
    const Bytes before = ReadAll(cd.iso);
    fs::remove(cd.mbr);
    std::string why = MakeIsoHybrid(cd.iso, cd.mbr);
    EXPECT_NE(why.find(cd.mbr), std::string::npos) << why;
    EXPECT_NE(why.find("isolinux"), std::string::npos) << why;  // names the package
    WriteAll(cd.mbr, Bytes(512, 0));
    EXPECT_NE(MakeIsoHybrid(cd.iso, cd.mbr).find("not 432"), std::string::npos);
    EXPECT_EQ(ReadAll(cd.iso), before);
  }
  TestTempDir dir;
  WriteAll(dir / "mbr.bin", Bytes(432, 0));
  WriteAll(dir / "x.iso", Bytes(40000, 'x'));
  EXPECT_NE(MakeIsoHybrid(dir / "x.iso", dir / "mbr.bin").find("is not an ISO 9660 image"), std::string::npos);
  EXPECT_EQ(ReadAll(dir / "x.iso"), Bytes(40000, 'x'));
  EXPECT_NE(MakeIsoHybrid(dir / "none.iso", dir / "mbr.bin").find("cannot open"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "none.iso"));
}

}  // namespace
}  // namespace kiv
