#pragma once
// Checks a GRUB password_pbkdf2 hash the way GRUB does: the password, hashed
// with the salt and round count the text names, gives the text. Header-only;
// for the tests of the CD's UEFI menu.
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "cdtool/bootmenu/grub_password.h"

namespace kiv::testing {

// "0A1b" -> {0x0A, 0x1B}.
inline std::vector<uint8_t> BytesFromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The first "grub.pbkdf2.sha512.<n>.<salt>.<hash>" in `text`, or "".
inline std::string GrubHashIn(const std::string& text) {
  std::smatch m;
  return std::regex_search(text, m, std::regex(R"(grub\.pbkdf2\.sha512\.\d+\.[0-9A-F]+\.[0-9A-F]+)")) ? m[0].str() : "";
}

// Whether `password` opens the hash text.
inline bool GrubHashOpens(const std::string& hashText, const std::string& password) {
  std::smatch m;
  if (!std::regex_match(hashText, m, std::regex(R"(grub\.pbkdf2\.sha512\.(\d+)\.([0-9A-F]+)\.[0-9A-F]+)")))
    return false;
  return GrubPasswordHash(password, BytesFromHex(m[2].str()), std::stoi(m[1].str())) == hashText;
}

}  // namespace kiv::testing
