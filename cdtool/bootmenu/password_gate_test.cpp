#include "cdtool/bootmenu/password_gate.h"

#include <gtest/gtest.h>

#include "testsupport/test_files.h"

namespace kiv {
namespace {

// A loader image with a gate block at `at` (as the CD's loader carries it:
// the magic and zeroed fields).
std::string Loader(size_t at, size_t size = 2048) {
  std::string bytes(size, '\x90');
  bytes.replace(at, kGateTag.size, kGateMagic);
  if (at + kGateBlockSize <= size)
    bytes.replace(at + kGateTag.end(), kGateBlockSize - kGateTag.end(), kGateBlockSize - kGateTag.end(), '\0');
  return bytes;
}

// The bytes of `field` in the block at `at`.
std::string Field(const std::string& loader, size_t at, const GateField& field) {
  return loader.substr(at + field.offset, field.size);
}

// The gate the block at `at` holds, read by the table alone: the way back of
// WritePasswordGate.
PasswordGate ReadGate(const std::string& loader, size_t at) {
  auto byte = [&](size_t offset) { return static_cast<uint8_t>(loader.at(at + offset)); };
  PasswordGate gate;
  gate.ask = byte(kGateAsk.offset) != 0;
  gate.retries = byte(kGateRetries.offset);
  const int port = byte(kGateSerialPort.offset) | byte(kGateSerialPort.offset + 1) << 8;
  gate.serialConsole = port == 0x3F8 ? 1 : port == 0x2F8 ? 2 : port == 0 ? 0 : -1;
  for (size_t i = 0; i < gate.password.salt.size(); ++i) gate.password.salt[i] = byte(kGateSalt.offset + i);
  for (size_t i = 0; i < gate.password.digest.size(); ++i) gate.password.digest[i] = byte(kGateHash.offset + (i ^ 3));
  const std::string prompt = Field(loader, at, kGatePrompt);
  gate.prompt = prompt.substr(0, prompt.find('\0'));
  return gate;
}

PasswordSalt Salt(char first) {
  PasswordSalt salt{};
  for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(first + i);
  return salt;
}

TEST(PasswordGate, FillsTheBlockWithTheHashAndNeverThePassword) {
  const size_t at = 0x600;
  std::string loader = Loader(at);
  std::string before = loader;
  const std::string pw = "my \"pass\" $1 \\x";
  const PasswordHash hash = HashPassword(pw, Salt('A'));
  std::string error;
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{true, 4, 2, hash, "Password:"}, "loader.bin", &error)) << error;
  ASSERT_EQ(loader.size(), before.size());
  EXPECT_EQ(loader.substr(0, at + kGateTag.end()), before.substr(0, at + kGateTag.end()));
  EXPECT_EQ(loader.substr(at + kGateBlockSize), before.substr(at + kGateBlockSize));
  EXPECT_EQ(Field(loader, at, kGateAsk), "\x01");
  EXPECT_EQ(Field(loader, at, kGateRetries), "\x04");
  EXPECT_EQ(Field(loader, at, kGateSerialPort), "\xF8\x02");  // COM2 at 2F8h
  EXPECT_EQ(Field(loader, at, kGateSalt), "ABCDEFGHIJKLMNOP");
  // The hash as the loader's SHA-256 leaves it: each word's bytes reversed.
  const std::string stored = Field(loader, at, kGateHash);
  ASSERT_EQ(stored.size(), hash.digest.size());
  for (size_t i = 0; i < stored.size(); ++i) EXPECT_EQ(static_cast<uint8_t>(stored[i ^ 3]), hash.digest[i]) << i;
  EXPECT_EQ(Field(loader, at, kGatePrompt), "Password:" + std::string(kGatePrompt.size - 9, '\0'));
  EXPECT_EQ(loader.find(pw), std::string::npos);

  // Written again (no password, no serial console): the old values are gone.
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{false, 255, 0, {}, ""}, "loader.bin", &error));
  std::string cleared(kGateBlockSize, '\0');
  cleared.replace(kGateTag.offset, kGateTag.size, kGateMagic);
  cleared[kGateRetries.offset] = '\xFF';
  EXPECT_EQ(loader.substr(at, kGateBlockSize), cleared);
  ASSERT_TRUE(WritePasswordGate(loader, PasswordGate{false, 3, 1, {}, ""}, "loader.bin", &error));
  EXPECT_EQ(Field(loader, at, kGateSerialPort), "\xF8\x03");  // COM1 at 3F8h
}

TEST(PasswordGate, LongestPromptFitsWithItsEnd) {
  const size_t at = 2048 - kGateBlockSize - 4;  // block ends 4 bytes before the end
  std::string loader = Loader(at);
  std::string error;
  EXPECT_TRUE(WritePasswordGate(loader, PasswordGate{true, 1, 1, {}, std::string(kMaxGateText, 'q')}, "l", &error))
      << error;
  EXPECT_EQ(Field(loader, at, kGatePrompt),
            std::string(kMaxGateText, 'q') + std::string(kGatePrompt.size - kMaxGateText, '\0'));
  EXPECT_EQ(loader.substr(2048 - 4), std::string(4, '\x90'));
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

// The loader the build assembled from data/boot/loader.asm, which lays its
// gate block out from gate_layout.inc, the nasm view of gate_layout.h.
std::string AssembledLoader() { return testing::ReadText(KIV_BOOT_BIN_DIR "/kivcd/boot/loader.bin"); }

TEST(PasswordGateLayout, TheAssembledLoaderHoldsItsDefaultsWhereTheTableSays) {
  const std::string loader = AssembledLoader();
  ASSERT_EQ(loader.size(), 4096u) << "no assembled loader in " KIV_BOOT_BIN_DIR;
  std::string error;
  const long found = FindGateBlock(loader, "loader.bin", &error);
  ASSERT_GE(found, 0) << error;
  const size_t at = static_cast<size_t>(found);
  // In the half the BIOS loads: the loader needs the serial port before it
  // reads the second.
  EXPECT_LE(at + kGateBlockSize, 2048u);
  EXPECT_EQ(at % kGateAlign, 0u);
  EXPECT_EQ(Field(loader, at, kGateTag), kGateMagic);
  EXPECT_EQ(Field(loader, at, kGateAsk), std::string(1, '\0'));
  EXPECT_EQ(Field(loader, at, kGateRetries), "\x03");
  EXPECT_EQ(Field(loader, at, kGateSerialPort), "\xF8\x03");  // COM1 at 3F8h
  for (const GateField* field : {&kGateSalt, &kGateHash, &kGatePrompt})
    EXPECT_EQ(Field(loader, at, *field), std::string(field->size, '\0')) << field->name;

  // The writer's own defaults are the block as shipped, byte for byte.
  std::string written = loader;
  ASSERT_TRUE(WritePasswordGate(written, PasswordGate{}, "loader.bin", &error)) << error;
  EXPECT_EQ(written.substr(at, kGateBlockSize), loader.substr(at, kGateBlockSize));
}

TEST(PasswordGateLayout, WhatIsWrittenIntoTheAssembledLoaderReadsBackByTheTable) {
  std::string loader = AssembledLoader();
  ASSERT_EQ(loader.size(), 4096u) << "no assembled loader in " KIV_BOOT_BIN_DIR;
  const std::string shipped = loader;
  std::string error;
  const long found = FindGateBlock(loader, "loader.bin", &error);
  ASSERT_GE(found, 0) << error;
  const size_t at = static_cast<size_t>(found);
  const PasswordGate gates[] = {
      {true, 5, 2, HashPassword("Rescue", Salt('a')), "Boot password:"},
      {true, 255, 0, HashPassword(std::string(kMaxGateText, '~'), Salt('0')), std::string(kMaxGateText, '>')},
      {false, 1, 1, {}, ""},
  };
  for (const PasswordGate& gate : gates) {
    ASSERT_TRUE(WritePasswordGate(loader, gate, "loader.bin", &error)) << error;
    const PasswordGate back = ReadGate(loader, at);
    EXPECT_EQ(back.ask, gate.ask) << gate.prompt;
    EXPECT_EQ(back.retries, gate.retries) << gate.prompt;
    EXPECT_EQ(back.serialConsole, gate.serialConsole) << gate.prompt;
    EXPECT_EQ(back.password, gate.password) << gate.prompt;
    EXPECT_EQ(back.prompt, gate.prompt);
    EXPECT_EQ(Field(loader, at, kGateTag), kGateMagic);
    // Nothing of the loader outside the block changes.
    EXPECT_EQ(loader.substr(0, at), shipped.substr(0, at));
    EXPECT_EQ(loader.substr(at + kGateBlockSize), shipped.substr(at + kGateBlockSize));
  }
}

}  // namespace
}  // namespace kiv
