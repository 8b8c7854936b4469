#include "cdtool/bootmenu/password_hash.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdlib>

namespace kiv {

namespace {

std::array<uint8_t, 32> Sha256(const std::string& bytes) {
  std::array<uint8_t, 32> digest{};
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr);
  return digest;
}

template <size_t N>
std::string Hex(const std::array<uint8_t, N>& bytes) {
  return HexDigits(bytes.data(), bytes.size());
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <size_t N>
bool FromHex(const std::string& text, std::array<uint8_t, N>& out) {
  if (text.size() != 2 * N) return false;
  for (size_t i = 0; i < N; ++i) {
    const int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return true;
}

constexpr char kPrefix[] = "sha256:";

}  // namespace

std::string HexDigits(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

PasswordSalt NewPasswordSalt(std::optional<int64_t> epoch, const RandomSource& random) {
  PasswordSalt salt{};
  if (epoch) {
    const auto digest = Sha256("kivcd boot password salt " + std::to_string(*epoch));
    std::copy_n(digest.begin(), salt.size(), salt.begin());
    return salt;
  }
  random.FillRandom(salt.data(), salt.size());
  return salt;
}

PasswordHash HashPassword(const std::string& password, const PasswordSalt& salt) {
  PasswordHash hash;
  hash.salt = salt;
  hash.digest = Sha256(std::string(salt.begin(), salt.end()) + password);
  return hash;
}

std::string PasswordHashText(const PasswordHash& hash) { return kPrefix + Hex(hash.salt) + ":" + Hex(hash.digest); }

std::optional<PasswordHash> ParsePasswordHashText(const std::string& text) {
  const std::string prefix = kPrefix;
  PasswordHash hash;
  const size_t saltEnd = prefix.size() + 2 * hash.salt.size();
  if (text.compare(0, prefix.size(), prefix) != 0 || text.size() != saltEnd + 1 + 2 * hash.digest.size() ||
      text[saltEnd] != ':')
    return std::nullopt;
  if (!FromHex(text.substr(prefix.size(), saltEnd - prefix.size()), hash.salt) ||
      !FromHex(text.substr(saltEnd + 1), hash.digest))
    return std::nullopt;
  return hash;
}

std::optional<std::string> PasswordProblem(const std::string& password) {
  for (size_t i = 0; i < password.size(); ++i) {
    const auto byte = static_cast<unsigned char>(password[i]);
    if (byte >= 0x20 && byte <= 0x7E) continue;
    std::string what;
    if (byte < 0x20 || byte == 0x7F) {
      what = "a control character (code " + std::to_string(byte) + ")";
    } else {
      // The whole UTF-8 sequence the byte starts (or continues).
      size_t end = i + 1;
      while (end < password.size() && (static_cast<unsigned char>(password[end]) & 0xC0) == 0x80) ++end;
      what = "\"" + password.substr(i, end - i) + "\"";
    }
    return "The password contains " + what +
           ", which cannot be typed at the CD's password prompt: before the CD starts, the keyboard types "
           "only the printable ASCII characters (A-Z, a-z, 0-9, blanks and punctuation)";
  }
  if (password.size() > kMaxGateText)
    return "The password is " + std::to_string(password.size()) +
           " characters long; the CD's password prompt takes at most " + std::to_string(kMaxGateText);
  return std::nullopt;
}

}  // namespace kiv
