#include "cdtool/bootmenu/grub_password.h"

#include <gtest/gtest.h>

#include "cdtool/bootmenu/password_hash.h"
#include "common/process_runner.h"
#include "testsupport/grub_hash_check.h"
#include "testsupport/seeded_random.h"

namespace kiv {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string Hex(const std::vector<uint8_t>& bytes) { return HexDigits(bytes.data(), bytes.size()); }

TEST(GrubPassword, Pbkdf2Sha512MatchesThePublishedVectors) {
  // PBKDF2-HMAC-SHA512, P = "password", S = "salt", 64 bytes.
  EXPECT_EQ(Hex(Pbkdf2Sha512("password", Bytes("salt"), 1, 64)),
            "867f70cf1ade02cff3752599a3a53dc4af34c7a669815ae5d513554e1c8cf252"
            "c02d470a285a0501bad999bfe943c08f050235d7d68b1da55e63f73b60a57fce");
  EXPECT_EQ(Hex(Pbkdf2Sha512("password", Bytes("salt"), 2, 64)),
            "e1d9c16aa681708a45f5c7c4e215ceb66e011a2e9f0040713f18aefdb866d53c"
            "f76cab2868a39b9f7840edce4fef5a82be67335c77a6068e04112754f27ccf4e");
}

TEST(GrubPassword, TextHasGrubsFormWithTheSaltAndHashInUpperCaseHex) {
  const std::vector<uint8_t> salt = Bytes("salt");
  const std::string text = GrubPasswordHash("password", salt, 2);
  EXPECT_EQ(text,
            "grub.pbkdf2.sha512.2.73616C74.E1D9C16AA681708A45F5C7C4E215CEB66E011A2E9F0040713F18AEFDB866D53C"
            "F76CAB2868A39B9F7840EDCE4FEF5A82BE67335C77A6068E04112754F27CCF4E");
  EXPECT_EQ(GrubPasswordHash("password", salt).find("grub.pbkdf2.sha512.10000.73616C74."), 0u);
}

TEST(GrubPassword, SaltsAreTheRandomSourcesBytesUnlessTheBuildIsReproducible) {
  const testing::SeededRandom random(7);
  const std::vector<uint8_t> a = NewGrubSalt(std::nullopt, random), b = NewGrubSalt(std::nullopt, random);
  EXPECT_EQ(a.size(), kGrubSaltBytes);
  EXPECT_NE(a, b);
  EXPECT_EQ(NewGrubSalt(std::nullopt, testing::SeededRandom(7)), a);
  const std::vector<uint8_t> first = NewGrubSalt(1700000000, random);
  EXPECT_EQ(first, NewGrubSalt(1700000000, testing::SeededRandom(8)));
  EXPECT_EQ(first.size(), kGrubSaltBytes);
  EXPECT_NE(first, NewGrubSalt(1700000001, random));
}

// GRUB's own tool agrees: the hash it prints for a password is the one we
// compute from its salt and round count.
TEST(GrubPassword, AgreesWithGrubMkpasswdPbkdf2) {
  if (SystemLauncher().FindProgram("grub-mkpasswd-pbkdf2").empty())
    GTEST_SKIP() << "grub-mkpasswd-pbkdf2 (grub-common) is not installed";
  const RunResult run = RunAndCapture(
      {"sh", "-c", "printf 'Open Sesame 1!\\nOpen Sesame 1!\\n' | grub-mkpasswd-pbkdf2 --iteration-count=1000"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::string hash = testing::GrubHashIn(run.output);
  ASSERT_NE(hash.find("grub.pbkdf2.sha512.1000."), std::string::npos) << run.output;
  EXPECT_TRUE(testing::GrubHashOpens(hash, "Open Sesame 1!"));
  EXPECT_FALSE(testing::GrubHashOpens(hash, "Open Sesame 1?"));
}

}  // namespace
}  // namespace kiv
