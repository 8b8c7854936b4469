#pragma once
// The password gate of the CD: the CD's stage-0 loader (boot/loader.bin) asks
// for the password before isolinux starts, from settings the build writes
// into a fixed block of the loader image:
//   +0   "KIVGATE1" (at a 16-byte aligned offset, exactly once in the file)
//   +8   ask (0/1)      +9  retries (1..255)
//   +10  password length (0..127)   +11 prompt length (0..127)
//   +12  password, 128 bytes, zero-padded
//   +140 prompt, 128 bytes, zero-padded          (268 bytes in all)
#include <cstddef>
#include <string>

namespace kiv {

inline constexpr char kGateMagic[] = "KIVGATE1";
inline constexpr size_t kGateBlockSize = 268;

struct PasswordGate {
  bool ask = false;
  int retries = 3;
  std::string password;  // raw bytes, as the user types them at the prompt
  std::string prompt;
};

// Offset of the one gate block in `loader`; -1 (and `error` set, naming
// `loaderName`) when there is none, more than one, or it runs past the end.
long FindGateBlock(const std::string& loader, const std::string& loaderName, std::string* error);

// Writes the gate into the block of `loader`. False, with `error` naming
// `loaderName` or the value at fault, when the block is not there exactly once
// or a value does not fit; `loader` is then unchanged.
bool WritePasswordGate(std::string& loader, const PasswordGate& gate, const std::string& loaderName,
                       std::string* error);

}  // namespace kiv
