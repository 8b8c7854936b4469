#include "cdtool/wizard/page_checks.h"

#include <gtest/gtest.h>

#include "testsupport/build_test_support.h"

namespace kiv {
namespace {

// The ISO page with a good destination: only the password can keep it.
std::vector<PageProblem> IsoPage(const BootPassword& password) {
  testing::ProgramFolder folder;
  SessionSettings settings;
  settings.Main.ISOLocation = folder.P("out/kivcd.iso");
  return CheckPage(7, settings, password, PageContext{folder.dir, "", false});
}

TEST(PageChecks, TheIsoPageTakesOnlyPasswordsTheKeyboardCanTypeAtBootTime) {
  for (const std::string& typeable :
       {std::string("rescue"), std::string("my \"pass\" $1 \\x 'q'"), std::string(127, '~')}) {
    EXPECT_TRUE(IsoPage(BootPassword{true, typeable, typeable}).empty()) << typeable;
  }
  const std::string umlauts = "p\xC3\xA4ssw\xC3\xB6rd";  // 8 letters, 10 bytes of UTF-8
  const std::vector<PageProblem> problems = IsoPage(BootPassword{true, umlauts, umlauts});
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text,
            "The password contains \"\xC3\xA4\", which cannot be typed at the CD's password prompt: before the CD "
            "starts, the keyboard types only the printable ASCII characters (A-Z, a-z, 0-9, blanks and "
            "punctuation)");
  EXPECT_EQ(problems[0].icon, Icon::Critical);
  // Too long for the loader's line.
  EXPECT_EQ(IsoPage(BootPassword{true, std::string(128, 'a'), std::string(128, 'a')}).size(), 1u);
  // Not protected: the boxes' text does not matter.
  EXPECT_TRUE(IsoPage(BootPassword{false, umlauts, umlauts}).empty());
  // Two different passwords: that is said first, and alone.
  const std::vector<PageProblem> mismatch = IsoPage(BootPassword{true, umlauts, "x"});
  ASSERT_EQ(mismatch.size(), 1u);
  EXPECT_EQ(mismatch[0].text, "The Passwords don't Match - Reenter them");
}

}  // namespace
}  // namespace kiv
