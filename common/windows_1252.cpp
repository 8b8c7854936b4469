#include "common/windows_1252.h"

#include <cstdint>

namespace kiv {

namespace {

// Code points of bytes 80h-9Fh; 0 where the code page has no character.
constexpr uint16_t kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte for code point `cp`, or -1.
int ByteOf(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] != 0 && kHighControls[i] == cp) return 0x80 + i;
  return -1;
}

// Length of the UTF-8 sequence at `at` and its code point; 0 when the bytes
// there are not one.
size_t DecodeUtf8(const std::string& s, size_t at, uint32_t& cp) {
  const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = b(at);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (length == 0 || at + length > s.size()) return 0;
  cp = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((b(at + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(at + i) & 0x3F);
  }
  // Overlong forms and surrogates are not UTF-8.
  if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (length == 4 && cp < 0x10000)) return 0;
  return length;
}

}  // namespace

std::optional<std::string> ToWindows1252(const std::string& utf8, std::string* unplaceable) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = 0;
    const size_t length = byte < 0x80 ? 0 : DecodeUtf8(utf8, i, cp);
    if (length == 0) {
      out += static_cast<char>(byte);
      ++i;
      continue;
    }
    const int mapped = ByteOf(cp);
    if (mapped < 0) {
      if (unplaceable) *unplaceable = utf8.substr(i, length);
      return std::nullopt;
    }
    out += static_cast<char>(mapped);
    i += length;
  }
  return out;
}

}  // namespace kiv
