#pragma once
// Windows setup (the 9x setup and the text-mode setup of 2000/XP) reads its
// answer files in the ANSI code page, for Western European installs
// Windows-1252. Our texts are UTF-8; these turn them into what setup reads.
#include <optional>
#include <string>

namespace kiv {

// `utf8` in Windows-1252; nullopt when a character has no place in it, with
// `unplaceable` set to that character (as UTF-8). Bytes that are not UTF-8
// are taken as Windows-1252 already and kept.
std::optional<std::string> ToWindows1252(const std::string& utf8, std::string* unplaceable = nullptr);

}  // namespace kiv
