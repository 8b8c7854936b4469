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

TEST(PageChecks, TheContentsPageNamesAPackageListTheRescueSystemCannotBeBuiltFrom) {
  testing::ProgramFolder folder;
  SessionSettings settings;
  const PageContext context{folder.dir, "", false};
  EXPECT_TRUE(CheckPage(1, settings, BootPassword{}, context).empty());

  testing::WriteText(folder.P("files/rescue/packages.txt"), "ntfs-3g\ntest disk\n");
  std::vector<PageProblem> problems = CheckPage(1, settings, BootPassword{}, context);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text, "The Linux rescue system cannot be built from its package list:\n" +
                                  folder.P("files/rescue/packages.txt") +
                                  ", line 2: \"test disk\" is not a Debian package name (one name a line: "
                                  "lower-case letters, digits, '+', '-', '.')\nCorrect the list, or untick \"Linux "
                                  "rescue system (Debian)\"");
  // Without the rescue system the list does not matter.
  settings.Main.LinuxRescue = 0;
  EXPECT_TRUE(CheckPage(1, settings, BootPassword{}, context).empty());
}

TEST(PageChecks, AnIsoInsideTheKeptRescueSystemIsRefused) {
  testing::ProgramFolder folder;
  SessionSettings settings;
  settings.Main.ISOLocation = folder.P("rescue/kivcd.iso");
  const std::vector<PageProblem> problems = CheckPage(7, settings, BootPassword{}, PageContext{folder.dir, "", false});
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].text.find("the program's own folder \"" + folder.P("rescue") + "\""), std::string::npos)
      << problems[0].text;
}

}  // namespace
}  // namespace kiv
