#include "tools/cabinet/cab_format.h"

#include <gtest/gtest.h>

#include "tools/cabinet/cab_paths.h"
#include "tools/cabinet/cab_test_util.h"

namespace kiv::cab {
namespace {

TEST(CabFormat, ChecksumFoldsTrailingBytesMostSignificantFirst) {
  const uint8_t data[7] = {1, 2, 3, 4, 5, 6, 7};
  // word 0x04030201, then the three trailing bytes as 0x00050607.
  EXPECT_EQ(CabChecksum(data, 7, 0), 0x04030201u ^ 0x00050607u);
  EXPECT_EQ(CabChecksum(data, 5, 0), 0x04030201u ^ 0x05u);
  EXPECT_EQ(CabChecksum(data, 4, 0x11111111u), 0x04030201u ^ 0x11111111u);
  // CFDATA: payload, then cbData and cbUncomp as one little-endian word.
  EXPECT_EQ(DataBlockChecksum(data, 7, 7), (0x04030201u ^ 0x00050607u) ^ 0x00070007u);
}

TEST(CabFormat, DosDateTime) {
  std::tm tm{};
  tm.tm_year = 2020 - 1900;
  tm.tm_mon = 1;
  tm.tm_mday = 29;
  tm.tm_hour = 13;
  tm.tm_min = 45;
  tm.tm_sec = 59;
  DosDateTime d = ToDosDateTime(tm);
  EXPECT_EQ(d.date, (40 << 9) | (2 << 5) | 29);
  EXPECT_EQ(d.time, (13 << 11) | (45 << 5) | 29);
  tm.tm_year = 1970 - 1900;  // before DOS time began
  d = ToDosDateTime(tm);
  EXPECT_EQ(d.date, (0 << 9) | (1 << 5) | 1);
  EXPECT_EQ(d.time, 0);
}

TEST(CabPaths, WindowsWildcards) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.*", "README", true},
      {"*.*", "a.b.c", true},
      {"*", ".hidden", true},
      {"*.txt", "NDIS.TXT", true},
      {"*.txt", "ndis.txt.bak", false},
      {"ndis.*", "ndis.pci", true},
      {"ndis.*", "NDIS", true},
      {"ndis.*", "ndisx.txt", false},
      {"*.", "README", true},
      {"*.", "a.txt", false},
      {"?.sys", "a.sys", true},
      {"?.sys", "ab.sys", false},
      {"WINBOOT.SYS", "winboot.sys", true},
      {"*boot*", "WINBOOT.SYS", true},
      {"a*b*c", "axxbyyc", true},
      {"a*b*c", "axxbyy", false},
  };
  for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
}

TEST(CabPaths, UnsafeStoredNames) {
  for (const char* bad : {"..\\x.txt", "a\\..\\..\\x", "\\etc\\passwd", "/etc/passwd", "C:\\x", "", "a\\", ".."})
    EXPECT_TRUE(IsUnsafeStoredName(bad)) << bad;
  for (const char* good : {"x.txt", "sub\\x.txt", "a..b\\c", "...txt", ".\\x"})
    EXPECT_FALSE(IsUnsafeStoredName(good)) << good;
  EXPECT_EQ(NormaliseRelative(".\\sub\\\\x.txt"), "sub/x.txt");
}

TEST(CabPaths, ResolvePathFindsComponentsInAnyCase) {
  test::TempDir dir;
  test::WriteFile(dir.path() / "Files" / "NetDrv" / "ReadMe.TXT", "x");
  EXPECT_EQ(ResolvePath(dir.str() + "\\FILES\\netdrv\\readme.txt"), dir.str() + "/Files/NetDrv/ReadMe.TXT");
  // A missing tail is kept as spelled after the part that was found.
  EXPECT_EQ(ResolvePath(dir.str() + "/files/NEW/x"), dir.str() + "/Files/NEW/x");
  EXPECT_EQ(Unquote("\"a b.cab\""), "a b.cab");
  EXPECT_EQ(Unquote("-f:\"x y.sys\""), "-f:x y.sys");
}

}  // namespace
}  // namespace kiv::cab
