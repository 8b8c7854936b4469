#include "common/windows_1252.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(Windows1252, WesternTextBecomesOneBytePerCharacterAndTheRestIsNamed) {
  // Latin-1 letters, and the code page's own characters in 80h-9Fh.
  EXPECT_EQ(ToWindows1252("J\xC3\xBCrgen M\xC3\xBCller"), std::string("J\xFCrgen M\xFCller"));
  EXPECT_EQ(ToWindows1252("\xE2\x82\xAC 5 \xE2\x80\x93 Fran\xC3\xA7ois \xC5\x92uvre \xE2\x84\xA2"),
            std::string("\x80 5 \x96 Fran\xE7ois \x8Cuvre \x99"));
  EXPECT_EQ(ToWindows1252("plain ASCII ~!"), std::string("plain ASCII ~!"));
  // What it has no place for: the first such character is named.
  std::string bad;
  EXPECT_FALSE(ToWindows1252("Owner \xE7\x8E\x8B and \xCE\xA9", &bad).has_value());
  EXPECT_EQ(bad, "\xE7\x8E\x8B");
  EXPECT_FALSE(ToWindows1252("\xF0\x9F\x98\x80", &bad).has_value());  // beyond the BMP
  EXPECT_EQ(bad, "\xF0\x9F\x98\x80");
  // U+0081 has no character in the code page either.
  EXPECT_FALSE(ToWindows1252("\xC2\x81").has_value());
  // Bytes that are not UTF-8 are taken as the code page's already.
  EXPECT_EQ(ToWindows1252(std::string("M\xFCller")), std::string("M\xFCller"));
  EXPECT_EQ(ToWindows1252(std::string("\xE2\x82")), std::string("\xE2\x82"));  // cut short
  EXPECT_EQ(ToWindows1252(std::string("\xC0\xAF")), std::string("\xC0\xAF"));  // overlong
}

}  // namespace
}  // namespace kiv
