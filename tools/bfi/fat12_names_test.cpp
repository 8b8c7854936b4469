#include "tools/bfi/fat12_names.h"

#include <gtest/gtest.h>

#include <set>

#include "tools/bfi/fat12_geometry.h"

namespace kiv::fat12 {
namespace {

std::string Alias(const std::string& name, const std::set<std::string>& taken = {}) {
  ShortName n{};
  bool ok = MakeShortAlias(
      name, [&](const ShortName& s) { return taken.count(ShortNameText(s)) > 0; }, n);
  return ok ? ShortNameText(n) : "<none>";
}

TEST(Fat12Names, PlainNamesAreOneCaseAndFit83) {
  for (const char* yes : {"IO.SYS", "io.sys", "COMMAND.COM", "ONE", "A1234567.ABC", "$$-{}~!.#@"})
    EXPECT_TRUE(IsPlainShortName(yes)) << yes;
  for (const char* no :
       {"Readme.txt", "readme.TXT", "ABCDEFGHI", "A.ABCD", "A.B.C", ".PROFILE", "A B", "A+B", "NAME.", "naïve.txt", ""})
    EXPECT_FALSE(IsPlainShortName(no)) << no;
  ShortName io = PlainShortName("io.sys");
  EXPECT_EQ(std::string(io.begin(), io.end()), "IO      SYS");
}

TEST(Fat12Names, AliasesFollowTheWindowsBasisAndTailRules) {
  EXPECT_EQ(Alias("Readme.txt"), "README.TXT");  // fits once upper-cased: no tail
  EXPECT_EQ(Alias("Readme.txt", {"README.TXT"}), "README~1.TXT");
  EXPECT_EQ(Alias("Program Files"), "PROGRA~1");
  EXPECT_EQ(Alias("Program Files", {"PROGRA~1", "PROGRA~2"}), "PROGRA~3");
  EXPECT_EQ(Alias("A rather long file name.text"), "ARATHE~1.TEX");
  EXPECT_EQ(Alias(".bashrc"), "BASHRC~1");
  EXPECT_EQ(Alias("a.b.c.txt"), "ABC~1.TXT");
  EXPECT_EQ(Alias("naïve.txt"), "NA_VE~1.TXT");
  EXPECT_EQ(Alias("x+y=z[1].txt"), "X_Y_Z_~1.TXT");
  // Ten and more: the basis shrinks to make room for the tail.
  std::set<std::string> taken;
  for (int i = 1; i <= 9; ++i) taken.insert("LONGNA~" + std::to_string(i) + ".TXT");
  EXPECT_EQ(Alias("Long name.txt", taken), "LONGN~10.TXT");
}

TEST(Fat12Names, NamesAFatDiskCannotHoldAreNamed) {
  EXPECT_TRUE(CheckLongName("A very long file name with spaces.text").empty());
  EXPECT_TRUE(CheckLongName("naïve résumé.doc").empty());
  EXPECT_TRUE(CheckLongName(std::string(255, 'a')).empty());
  EXPECT_FALSE(CheckLongName(std::string(256, 'a')).empty());
  for (const char* bad : {"", ".", "..", "a:b", "a*b", "what?", "a|b", "a\\b", "dot.", "space ", "tab\t", "\xC3",
                          "\xC0\xAF", "\xED\xA0\x80"})
    EXPECT_FALSE(CheckLongName(bad).empty()) << bad;
}

TEST(Fat12Names, DosDeviceNamesAreRefusedInAnyCaseAndWithAnyExtension) {
  for (const char* device :
       {"NUL",     "CON",       "AUX",     "PRN",      "COM1",     "COM2",     "COM3",
        "COM4",    "LPT1",      "LPT2",    "LPT3",     "nul",      "Con",      "con.txt",
        "CON.TXT", "Aux.Dat",   "prn.a.b", "com1.sys", "LPT3.DOC", "con .txt", "NUL.Long extension",
        "CLOCK$",  "clock$.dat"}) {
    EXPECT_TRUE(IsDosDeviceName(device)) << device;
    EXPECT_NE(CheckLongName(device).find("DOS device"), std::string::npos) << device;
  }
  // Names that only start like a device, or devices DOS does not have, are files.
  for (const char* file : {"CONFIG.SYS", "console", "NULL.TXT", "COM5", "COM0", "LPT4", "CON2", "AUXI.BIN", "xcon",
                           "a.con", "my nul.txt", "COM1X", "CLOCK", "CLOCK$$"}) {
    EXPECT_FALSE(IsDosDeviceName(file)) << file;
    EXPECT_TRUE(CheckLongName(file).empty()) << file;
  }
}

TEST(Fat12Names, Utf16ConversionIncludingSurrogatePairs) {
  std::u16string w;
  ASSERT_TRUE(Utf8ToUtf16("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", w));
  EXPECT_EQ(w, (std::u16string{u'a', u'\u00E9', u'\u20AC', char16_t(0xD83D), char16_t(0xDE00)}));
  EXPECT_FALSE(Utf8ToUtf16("\xF4\x90\x80\x80", w));  // beyond U+10FFFF
}

TEST(Fat12Geometry, BothFormatsMatchTheirBootSectorValues) {
  Geometry a = GeometryFor(FloppySize::k1440);
  EXPECT_EQ(a.ImageBytes(), 1474560u);
  EXPECT_EQ(a.FirstDataSector(), 33u);
  EXPECT_EQ(a.ClusterCount(), 2847u);
  Geometry b = GeometryFor(FloppySize::k2880);
  EXPECT_EQ(b.ImageBytes(), 2949120u);
  EXPECT_EQ(b.sectorsPerFat, 9);  // 2865 entries x 1.5 bytes = 4298 <= 4608
  EXPECT_EQ(b.ClusterCount(), 2863u);
  EXPECT_EQ(b.ClusterOffset(2), 34u * 512);
}

}  // namespace
}  // namespace kiv::fat12
