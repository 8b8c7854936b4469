#include "cdtool/bootmenu/boot_menu_edits.h"

#include <gtest/gtest.h>

#include "common/prompter.h"
#include "testsupport/build_test_support.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/seeded_random.h"
#include "testsupport/test_file_states.h"

namespace kiv {
namespace {

// The random bytes a clear password's salt is made of here.
const testing::SeededRandom chance;

using testing::ReadText;
using testing::WriteText;

class BootMenuEdits : public ::testing::Test {
 protected:
  testing::ProgramFolder folder;
  ScriptedPrompter prompter;
  std::string file = folder.P("main.cds");
};

TEST_F(BootMenuEdits, ReplaceTextIgnoresCaseAndAddsALineBreak) {
  WriteText(file, "set passwordrequest=0\r\nSet PasswordRequest=0x");
  SetMode(file, 0444);  // read-only: cleared by the edit
  ReplaceTextInFile(file, "Set PasswordRequest=0", "Set PasswordRequest=1", prompter);
  EXPECT_EQ(ReadText(file), "Set PasswordRequest=1\r\nSet PasswordRequest=1x\r\n");
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(BootMenuEdits, ReplacementIsNotSearchedAgainAndMissingFilesAreSilent) {
  WriteText(file, "aaa");
  ReplaceTextInFile(file, "a", "aa", prompter);
  EXPECT_EQ(ReadText(file), "aaaaaa\r\n");
  ReplaceTextInFile(folder.P("missing.cds"), "a", "b", prompter);
  PatchBinaryFile(folder.P("missing.cds"), "a", "b", prompter);
  EXPECT_FALSE(folder.Exists("missing.cds"));
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(BootMenuEdits, PatchReplacesEveryCaseSensitiveMatchInPlace) {
  WriteText(file, std::string("i386\0I386 i386", 14));
  PatchBinaryFile(file, "i386", "erdc", prompter);
  EXPECT_EQ(ReadText(file), std::string("erdc\0I386 erdc", 14));
  // Later comparisons see the bytes already written.
  WriteText(file, "abb.");
  PatchBinaryFile(file, "ab", "aa", prompter);
  EXPECT_EQ(ReadText(file), "aaa.");
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(BootMenuEdits, PatchRunningPastTheEndReportsAndKeepsTheFile) {
  WriteText(file, "xx I38");
  PatchBinaryFile(file, "I386", "ERDC", prompter);
  EXPECT_EQ(ReadText(file), "xx I38");
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "Error while patching " + file + " in Hex mode");
  EXPECT_EQ(prompter.messages[0].title, "Patching Error");
  EXPECT_EQ(prompter.messages[0].icon, Icon::None);
}

TEST_F(BootMenuEdits, PatchOfAnEmptyFileDoesNothing) {
  WriteText(file, "");
  PatchBinaryFile(file, "I386", "ERDC", prompter);
  EXPECT_EQ(ReadText(file), "");
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(BootMenuEdits, PasswordIsStoredHashedWhenConfirmed) {
  WriteText(file, "Set PasswordRequest=0\r\nSet PasswordString=\"\"\r\n");
  const std::optional<PasswordHash> hash =
      SetBootPassword(file, "S3cret \"x", "S3cret \"x", std::nullopt, chance, prompter);
  ASSERT_TRUE(hash);
  EXPECT_EQ(*hash, HashPassword("S3cret \"x", hash->salt));
  EXPECT_EQ(ReadText(file),
            "Set PasswordRequest=1\r\nSet PasswordString=\"" + PasswordHashText(*hash) + "\"\r\n\r\n\r\n");
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(BootMenuEdits, PasswordsDifferingInCaseDisableProtection) {
  const std::string script = "Set PasswordRequest=0\r\nSet PasswordString=\"\"\r\n";
  WriteText(file, script);
  EXPECT_FALSE(SetBootPassword(file, "secret", "Secret", std::nullopt, chance, prompter));
  EXPECT_EQ(ReadText(file), script);
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "Entered Passwords doesn't match, password protection will be disabled");
  EXPECT_EQ(prompter.messages[0].title, "Password Protection disabled");
  EXPECT_EQ(prompter.messages[0].icon, Icon::Critical);
}

TEST_F(BootMenuEdits, ProductKeyFillsThePlaceholders) {
  WriteText(file, folder.Read("files/kivcd/boot/scripts/main.cds"));
  InjectProductKey(file, "ABCDE-FGHIJ-KLMNO-PQRST-UVWXY", prompter);
  std::string text = ReadText(file);
  EXPECT_NE(text.find("Set WinKey1=\"ABCDE\"\r\nSet WinKey2=\"FGHIJ\"\r\nSet WinKey3=\"KLMNO\"\r\n"
                      "Set WinKey4=\"PQRST\"\r\nSet WinKey5=\"UVWXY\"\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nSet Action3_Macro=\"ShowWinKey\""), std::string::npos);
  EXPECT_EQ(text.find("#Set Action3"), std::string::npos);
}

TEST_F(BootMenuEdits, ShortProductKeyOverwritesOnlyWhatItHas) {
  WriteText(file, "\"Store\"your_\"Produ\"ctKey\"here_.");
  InjectProductKey(file, "ABCDE-FG", prompter);
  // Piece 2 is "FG": three bytes; pieces 3-5 are empty: only the quote.
  EXPECT_EQ(ReadText(file), "\"ABCDE\"FGur_\"Produ\"ctKey\"here_.\r\n");
}

}  // namespace
}  // namespace kiv
