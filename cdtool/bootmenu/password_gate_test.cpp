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

TEST(PasswordGate, FillsTheBlockAndNothingElse) {
  std::string loader = Loader(0x600);
  std::string before = loader;
  const std::string pw = "my \"pass\" $1 \\x";
  std::string error;
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{true, 4, pw, "Password:"}, "loader.bin", &error)) << error;
  ASSERT_EQ(loader.size(), before.size());
  EXPECT_EQ(loader.substr(0, 0x608), before.substr(0, 0x608));
  EXPECT_EQ(loader.substr(0x600 + kGateBlockSize), before.substr(0x600 + kGateBlockSize));
  EXPECT_EQ(loader[0x608], 1);
  EXPECT_EQ(loader[0x609], 4);
  EXPECT_EQ(loader[0x60A], static_cast<char>(pw.size()));
  EXPECT_EQ(loader[0x60B], 9);
  EXPECT_EQ(loader.substr(0x60C, 128), pw + std::string(128 - pw.size(), '\0'));
  EXPECT_EQ(loader.substr(0x600 + 140, 128), "Password:" + std::string(119, '\0'));

  // Written again (no password this time): the old one is gone.
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{false, 255, "", ""}, "loader.bin", &error));
  EXPECT_EQ(loader.substr(0x608, kGateBlockSize - 8), std::string(1, '\0') + '\xFF' + std::string(kGateBlockSize - 10, '\0'));
}

TEST(PasswordGate, LongestValuesFit) {
  std::string loader = Loader(2048 - 272);  // block ends 4 bytes before the end
  std::string error;
  EXPECT_TRUE(WritePasswordGate(loader, PasswordGate{true, 1, std::string(127, 'p'), std::string(127, 'q')}, "l",
                                &error))
      << error;
  EXPECT_EQ(loader.substr(2048 - 272 + 12, 128), std::string(127, 'p') + '\0');
  EXPECT_EQ(loader.substr(2048 - 272 + 140, 128), std::string(127, 'q') + '\0');
}

TEST(PasswordGate, RefusesWhatDoesNotFitAndLeavesTheLoader) {
  struct Case {
    std::string loader;
    PasswordGate gate;
    std::string error;
  } cases[] = {
      {std::string(2048, '\0'), {}, "/cd/loader.bin: no password gate block (\"KIVGATE1\"); this loader cannot ask for the password"},
      {Loader(0x100) + Loader(0x100).substr(0, 0x400), {}, ""},  // filled below
      {Loader(0x101), {}, "/cd/loader.bin: no password gate block (\"KIVGATE1\"); this loader cannot ask for the password"},
      {Loader(2048 - 16), {}, "/cd/loader.bin: the password gate block at offset 2032 runs past the end of the file"},
      {Loader(0), {true, 3, std::string(128, 'p'), ""}, "the boot-menu password is 128 bytes long; the CD's loader takes at most 127"},
      {Loader(0), {true, 3, "", std::string(130, 'q')}, "the password prompt \"" + std::string(130, 'q') + "\" is 130 bytes long; the CD's loader takes at most 127"},
      {Loader(0), {true, 0, "", ""}, "the number of password tries 0 is not from 1 to 255"},
  };
  cases[1].error = "/cd/loader.bin: 2 password gate blocks (\"KIVGATE1\"); there must be one";
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
