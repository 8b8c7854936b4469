#pragma once
// The boot password as the CD keeps it: never in clear text, but as the
// SHA-256 of a salt followed by the password. The loader hashes what is typed
// at its prompt the same way and compares; the CD's copy of main.cds carries
// the same salt and hash as text:
//   Set PasswordString="sha256:<salt, 32 hex digits>:<hash, 64 hex digits>"
// and the script reader takes that form back, so a script copied from a CD
// still describes its password.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/random_source.h"

namespace kiv {

// Longest password and prompt the CD's loader can hold.
inline constexpr size_t kMaxGateText = 127;

using PasswordSalt = std::array<uint8_t, 16>;

struct PasswordHash {
  PasswordSalt salt{};
  std::array<uint8_t, 32> digest{};  // SHA-256 of the salt, then the password
  bool operator==(const PasswordHash&) const = default;
};

// A salt for one build: bytes of `random`, or, for a reproducible build (the
// fixed date `epoch`, SOURCE_DATE_EPOCH), derived from it, so that two builds
// of the same inputs give the same CD.
PasswordSalt NewPasswordSalt(std::optional<int64_t> epoch, const RandomSource& random);

PasswordHash HashPassword(const std::string& password, const PasswordSalt& salt);

// Bytes as lower-case hex digits, two a byte.
std::string HexDigits(const uint8_t* bytes, size_t size);

// "sha256:<salt>:<hash>" in lower-case hex, and back (hex digits of either
// case; anything else gives nothing).
std::string PasswordHashText(const PasswordHash& hash);
std::optional<PasswordHash> ParsePasswordHashText(const std::string& text);

// Why the CD's password prompt could never take `password`, or nothing. Before
// anything on the CD runs, the keyboard delivers one ASCII code a key: only
// printable ASCII (20h to 7Eh, blanks and quotes among them) can be typed,
// and the loader's line holds kMaxGateText characters.
std::optional<std::string> PasswordProblem(const std::string& password);

}  // namespace kiv
