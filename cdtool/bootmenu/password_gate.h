#pragma once
// The password gate of the CD: the CD's stage-0 loader (boot/loader.bin) asks
// for the password before isolinux starts, from settings the build writes
// into a fixed block of the loader image. The block's fields, their offsets
// and sizes are the table in gate_layout.h.
#include <cstddef>
#include <string>

#include "cdtool/bootmenu/gate_layout.h"
#include "cdtool/bootmenu/password_hash.h"

namespace kiv {

struct PasswordGate {
  bool ask = false;
  int retries = 3;
  int serialConsole = 1;  // COM1, COM2, or 0 for none
  PasswordHash password;  // what is typed at the prompt, hashed with its salt
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

// The boot sector of "Boot from the first hard disk" (boot/isolinux/
// harddisk.bin) waits for a key on the same serial console: its port, a
// 16-bit little-endian word after the tag "KIVHDCOM" (once in the file).
inline constexpr char kHardDiskPortMagic[] = "KIVHDCOM";
bool WriteHardDiskPort(std::string& image, int serialConsole, const std::string& imageName, std::string* error);

}  // namespace kiv
