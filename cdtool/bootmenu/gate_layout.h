#pragma once
// The password gate block of the CD's stage-0 loader (boot/loader.bin): the
// settings the CD build writes (password_gate.cpp) and the loader reads
// before isolinux starts (data/boot/password_gate.inc). This table is the
// block's one description. The build turns it into gate_layout.inc
// (cmake/gate_layout_inc.cpp), from which data/boot/loader.asm lays out the
// block, so the loader and the writer cannot disagree about where a field is.
//
// The block starts at a kGateAlign-aligned offset of the loader's first half
// (the half the BIOS loads: the serial port is needed before the second half
// is read) and its tag occurs exactly once in the file. Numbers are
// little-endian. As shipped, no password is asked, three tries, the serial
// console on COM1, and salt, hash and prompt are zero.
#include <cstddef>

namespace kiv {

// One field: where it lies in the block and how many bytes it takes. `name`
// is its name in gate_layout.inc: GATE_<name> (offset), GATE_<name>_SIZE.
struct GateField {
  const char* name;
  size_t offset;
  size_t size;
  constexpr size_t end() const { return offset + size; }
};

// The tag the build finds the block by (without its terminating zero).
inline constexpr char kGateMagic[] = "KIVGATE2";
inline constexpr size_t kGateAlign = 16;

inline constexpr GateField kGateTag{"TAG", 0, sizeof kGateMagic - 1};
// Whether the password is asked: 0 or 1.
inline constexpr GateField kGateAsk{"ASK", kGateTag.end(), 1};
// Tries on each console, 1..255 as the build writes it (the loader counts 0
// as 1).
inline constexpr GateField kGateRetries{"RETRIES", kGateAsk.end(), 1};
// The serial console's base port: 0x3F8 (COM1), 0x2F8 (COM2) or 0 (none).
// The loader writes every text there and reads a password line from it.
inline constexpr GateField kGateSerialPort{"SERIAL", kGateRetries.end(), 2};
// The salt hashed in front of the password.
inline constexpr GateField kGateSalt{"SALT", kGateSerialPort.end(), 16};
// SHA-256 of the salt followed by the password, as eight dwords: the hash's
// big-endian words stored little-endian (each group of four bytes of the
// usual digest reversed), as the loader's sha256 leaves them.
inline constexpr GateField kGateHash{"HASH", kGateSalt.end(), 32};
// The prompt, zero-terminated and zero-padded.
inline constexpr GateField kGatePrompt{"PROMPT", kGateHash.end(), 128};

inline constexpr size_t kGateBlockSize = kGatePrompt.end();

// Every field, in the order of the block.
inline constexpr GateField kGateFields[] = {kGateTag,  kGateAsk,  kGateRetries, kGateSerialPort,
                                            kGateSalt, kGateHash, kGatePrompt};

// The list above holds the whole block, each field right behind the one
// before it, so a field added to the table but not to the list is refused.
constexpr bool GateFieldsCoverTheBlock() {
  size_t at = 0;
  for (const GateField& field : kGateFields) {
    if (field.offset != at) return false;
    at = field.end();
  }
  return at == kGateBlockSize;
}
static_assert(GateFieldsCoverTheBlock());

}  // namespace kiv
