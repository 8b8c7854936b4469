#include "cdtool/bootmenu/password_gate.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

// A loader image with a gate block at `at` (as the CD's loader carries it:
// the magic and zeroed fields).
std::string Loader(size_t at, size_t size = 2048) {
  std::string bytes(size, '\x90');
  if (at + kGateBlockSize <= size) {
    bytes.replace(at, 8, kGateMagic);
    bytes.replace(at + 8, kGateBlockSize - 8, std::string(kGateBlockSize - 8, '\0'));
  } else {
    bytes.replace(at, 8, kGateMagic);
  }
  return bytes;
}

PasswordSalt Salt(char first) {
  PasswordSalt salt{};
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(first + i);
  return salt;
}

TEST(PasswordGate, FillsTheBlockWithTheHashAndNeverThePassword) {
  std::string loader = Loader(0x600);
  std::string before = loader;
  const std::string pw = "my \"pass\" $1 \\x";
  const PasswordHash hash = HashPassword(pw, Salt('A'));
  std::string error;
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{true, 4, 2, hash, "Password:"}, "loader.bin", &error)) << error;
  ASSERT_EQ(loader.size(), before.size());
  EXPECT_EQ(loader.substr(0, 0x608), before.substr(0, 0x608));
  EXPECT_EQ(loader.substr(0x600 + kGateBlockSize), before.substr(0x600 + kGateBlockSize));
  EXPECT_EQ(loader[0x608], 1);
  EXPECT_EQ(loader[0x609], 4);
  EXPECT_EQ(loader.substr(0x60A, 2), "\xF8\x02");  // COM2 at 2F8h
  EXPECT_EQ(loader.substr(0x60C, 16), "ABCDEFGHIJKLMNOP");
  // The hash as the loader's SHA-256 leaves it: each word's bytes reversed.
  for (size_t i = 0; i < 32; ++i) EXPECT_EQ(static_cast<uint8_t>(loader[0x61C + (i ^ 3)]), hash.digest[i]) << i;
  EXPECT_EQ(loader.substr(0x600 + 60, 128), "Password:" + std::string(119, '\0'));
  EXPECT_EQ(loader.find(pw), std::string::npos);

  // Written again (no password, no serial console): the old values are gone.
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{false, 255, 0, {}, ""}, "loader.bin", &error));
  EXPECT_EQ(loader.substr(0x608, kGateBlockSize - 8),
            std::string(1, '\0') + '\xFF' + std::string(kGateBlockSize - 10, '\0'));
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{false, 3, 1, {}, ""}, "loader.bin", &error));
  EXPECT_EQ(loader.substr(0x60A, 2), "\xF8\x03");  // COM1 at 3F8h
}

TEST(PasswordGate, LongestPromptFitsWithItsEnd) {
  std::string loader = Loader(2048 - kGateBlockSize - 4);  // block ends 4 bytes before the end
  std::string error;
  EXPECT_TRUE(WritePasswordGate(loader, PasswordGate{true, 1, 1, {}, std::string(127, 'q')}, "l", &error)) << error;
  EXPECT_EQ(loader.substr(2048 - 4 - 128, 128), std::string(127, 'q') + '\0');
}

TEST(PasswordGate, RefusesWhatDoesNotFitAndLeavesTheLoader) {
  struct Case {
    std::string loader;
    PasswordGate gate;
    std::string error;
  } cases[] = {
      {std::string(2048, '\0'),
       {},
       "/cd/loader.bin: no password gate block (\"KIVGATE2\"); this loader cannot ask for the password"},
      {Loader(0x100) + Loader(0x100).substr(0, 0x400), {}, ""},  // filled below
      {Loader(0x101),
       {},
       "/cd/loader.bin: no password gate block (\"KIVGATE2\"); this loader cannot ask for the password"},
      {Loader(2048 - 16), {}, "/cd/loader.bin: the password gate block at offset 2032 runs past the end of the file"},
      {Loader(0),
       {true, 3, 1, {}, std::string(130, 'q')},
       "the password prompt \"" + std::string(130, 'q') + "\" is 130 bytes long; the CD's loader takes at most 127"},
      {Loader(0), {true, 3, 1, {}, std::string("a\0b", 3)}, "the password prompt holds a zero byte"},
      {Loader(0), {true, 0, 1, {}, ""}, "the number of password tries 0 is not from 1 to 255"},
      {Loader(0), {true, 3, 3, {}, ""}, "the serial console 3 is not COM1, COM2 or 0 (none)"},
  };
  cases[1].error = "/cd/loader.bin: 2 password gate blocks (\"KIVGATE2\"); there must be one";
  for (Case& c : cases) {
    std::string loader = c.loader;
    std::string error;
    EXPECT_FALSE(WritePasswordGate(loader, c.gate, "/cd/loader.bin", &error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(loader, c.loader);
  }
}

}  // namespace
}  // namespace kiv
