#include "cdtool/bootmenu/password_hash.h"

#include <gtest/gtest.h>

#include <optional>

#include "testsupport/seeded_random.h"

namespace kiv {
namespace {

PasswordSalt SaltOf(const std::string& sixteen) {
  PasswordSalt salt{};
  std::copy_n(sixteen.begin(), salt.size(), salt.begin());
  return salt;
}

TEST(PasswordHash, HashesTheSaltFollowedByThePassword) {
  // FIPS 180-2's two-block example, cut into a 16-byte salt and the rest.
  const PasswordHash h = HashPassword("efghfghighijhijkijkljklmklmnlmnomnopnopq", SaltOf("abcdbcdecdefdefg"));
  EXPECT_EQ(PasswordHashText(h),
            "sha256:61626364626364656364656664656667:"
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // Another password or another salt: another hash.
  EXPECT_NE(HashPassword("rescue", h.salt).digest, HashPassword("Rescue", h.salt).digest);
  EXPECT_NE(HashPassword("rescue", h.salt).digest, HashPassword("rescue", SaltOf("0123456789abcdef")).digest);
}

TEST(PasswordHash, SaltsAreTheRandomSourcesBytesUnlessTheBuildIsReproducible) {
  // Without a fixed date: the source's next bytes, so each salt is fresh.
  const testing::SeededRandom random(7);
  const PasswordSalt first = NewPasswordSalt(std::nullopt, random);
  EXPECT_NE(NewPasswordSalt(std::nullopt, random), first);
  EXPECT_EQ(NewPasswordSalt(std::nullopt, testing::SeededRandom(7)), first);
  EXPECT_NE(NewPasswordSalt(std::nullopt, testing::SeededRandom(8)), first);
  // With one: derived from the date alone, whatever the source.
  const PasswordSalt salt = NewPasswordSalt(1700000000, random);
  EXPECT_EQ(NewPasswordSalt(1700000000, testing::SeededRandom(8)), salt);
  EXPECT_NE(salt, PasswordSalt{});
  EXPECT_NE(NewPasswordSalt(1700000001, random), salt);
}

TEST(PasswordHash, TextFormRoundTripsAndRejectsAnythingElse) {
  const PasswordHash h = HashPassword("open sesame", SaltOf("0123456789abcdef"));
  const std::string text = PasswordHashText(h);
  ASSERT_EQ(text.size(), 7u + 32 + 1 + 64);
  EXPECT_EQ(ParsePasswordHashText(text), h);
  std::string upper = text;
  for (size_t i = 7; i < upper.size(); ++i) upper[i] = static_cast<char>(std::toupper(upper[i]));
  EXPECT_EQ(ParsePasswordHashText(upper), h);
  for (const std::string& bad :
       {std::string(""), std::string("sha256:"), text.substr(0, text.size() - 1), text + "0", "sha1:" + text.substr(7),
        std::string(text).replace(39, 1, "-"), std::string(text).replace(10, 1, "g"),
        std::string(text).replace(80, 1, "x"), std::string("open sesame")})
    EXPECT_FALSE(ParsePasswordHashText(bad)) << bad;
}

TEST(PasswordHash, OnlyWhatTheKeyboardTypesAtBootTimeIsAPassword) {
  for (const std::string& ok : {std::string("rescue"), std::string("my \"pass\" $1 \\x ~'`"), std::string(" "),
                                std::string(127, 'p'), std::string()})
    EXPECT_EQ(PasswordProblem(ok), std::nullopt) << ok;
  struct Case {
    std::string password;
    std::string shown;
  } bad[] = {
      {"p\xC3\xA4ssw\xC3\xB6rd", "\"\xC3\xA4\""},  // pässwörd: its first letter the keyboard cannot type
      {"caf\xE2\x82\xAC", "\"\xE2\x82\xAC\""},     // the euro sign, three bytes
      {"tab\there", "a control character (code 9)"},
      {"del\x7F", "a control character (code 127)"},
      {"\xFF", "\"\xFF\""},  // not UTF-8 at all
  };
  for (const Case& c : bad) {
    const auto problem = PasswordProblem(c.password);
    ASSERT_TRUE(problem) << c.password;
    EXPECT_EQ(*problem, "The password contains " + c.shown +
                            ", which cannot be typed at the CD's password prompt: before the CD starts, the "
                            "keyboard types only the printable ASCII characters (A-Z, a-z, 0-9, blanks and "
                            "punctuation)");
  }
  EXPECT_EQ(PasswordProblem(std::string(128, 'p')),
            "The password is 128 characters long; the CD's password prompt takes at most 127");
}

}  // namespace
}  // namespace kiv
