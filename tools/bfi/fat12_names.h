#pragma once
// File names on a FAT disk: which names fit an 8.3 directory entry as they
// are, the short alias for the ones that do not, and the VFAT long-name
// pieces (UTF-16 text, checksum).
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace kiv::fat12 {

// The 11 bytes of a short entry name: base padded to 8, extension to 3.
using ShortName = std::array<uint8_t, 11>;

// ASCII upper-case; other bytes unchanged.
std::string FoldCase(std::string text);

// Why `name` cannot be stored on a FAT disk at all (empty when it can): empty,
// "." or "..", control characters or one of "*:<>?\|/, a trailing dot or space,
// invalid UTF-8, more than 255 UTF-16 units, a DOS device name.
std::string CheckLongName(const std::string& name);

// True when DOS takes `name` for a character device rather than a file: NUL,
// CON, AUX, PRN, COM1-COM4 or LPT1-LPT3 in any case, with or without an
// extension ("con", "Nul.txt", "LPT1.DOC"). DOS opens the device for such a
// name in every folder, so a file of that name on the disk cannot be read.
bool IsDosDeviceName(const std::string& name);

// True when `name` is a valid 8.3 name written in one case ("io.sys",
// "COMMAND.COM"): it is stored upper-case in a plain entry, no long name.
bool IsPlainShortName(const std::string& name);

// The entry form of a plain 8.3 name ("io.sys" -> "IO      SYS").
ShortName PlainShortName(const std::string& name);

// Short alias for a name that needs a long-name entry. A name that fits 8.3
// once upper-cased ("Readme.txt") keeps that form when free; otherwise the
// basis gets a numeric tail ("Program Files" -> "PROGRA~1"), the first that
// `taken` reports free. Returns false when no tail up to ~999999 is free.
bool MakeShortAlias(const std::string& longName, const std::function<bool(const ShortName&)>& taken, ShortName& alias);

// Display form of a short name ("IO.SYS"), for messages.
std::string ShortNameText(const ShortName& name);

// UTF-8 -> UTF-16; false on malformed input.
bool Utf8ToUtf16(const std::string& text, std::u16string& out);

// Checksum of the short name that ties the long-name entries to it.
uint8_t LfnChecksum(const ShortName& name);

}  // namespace kiv::fat12
