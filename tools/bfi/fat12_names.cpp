#include "tools/bfi/fat12_names.h"

#include <cstring>

namespace kiv::fat12 {

namespace {

// Characters a short name may hold besides A-Z and 0-9.
bool IsShortNameChar(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return c != 0 && std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

ShortName Blank() {
  ShortName n;
  n.fill(' ');
  return n;
}

}  // namespace

std::string FoldCase(std::string text) {
  for (char& c : text) c = Upper(c);
  return text;
}

bool Utf8ToUtf16(const std::string& text, std::u16string& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    uint32_t cp;
    int extra;
    if (*p < 0x80) {
      cp = *p;
      extra = 0;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      cp = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      cp = *p & 0x07;
      extra = 3;
    } else {
      return false;
    }
    ++p;
    if (end - p < extra) return false;
    for (int i = 0; i < extra; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (*p & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return true;
}

std::string CheckLongName(const std::string& name) {
  if (name.empty()) return "empty name";
  if (name == "." || name == "..") return "reserved name";
  for (unsigned char c : name) {
    if (c < 0x20) return "control character in the name";
    if (std::strchr("\"*:<>?\\|/", c) != nullptr)
      return std::string("character '") + char(c) + "' is not allowed on a FAT disk";
  }
  if (name.back() == '.' || name.back() == ' ') return "a FAT name cannot end in a dot or a space";
  if (IsDosDeviceName(name)) return "a DOS device name; DOS opens the device, not the file, under this name";
  std::u16string wide;
  if (!Utf8ToUtf16(name, wide)) return "the name is not valid UTF-8";
  if (wide.size() > 255) return "the name is longer than 255 characters";
  return {};
}

bool IsDosDeviceName(const std::string& name) {
  // DOS matches the name before the extension; blanks before the dot are
  // padding in an 8.3 entry ("CON .TXT" is CON too).
  std::string base = FoldCase(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  // CLOCK$ is the device of the system clock every DOS loads.
  for (const char* device :
       {"NUL", "CON", "AUX", "PRN", "COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2", "LPT3", "CLOCK$"})
    if (base == device) return true;
  return false;
}

bool IsPlainShortName(const std::string& name) {
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string::npos && ext.empty()) return false;
  bool lower = false, upper = false;
  for (char c : base + ext) {
    if (c >= 'a' && c <= 'z') lower = true;
    if (c >= 'A' && c <= 'Z') upper = true;
    if (!IsShortNameChar(static_cast<unsigned char>(Upper(c)))) return false;
  }
  return !(lower && upper);
}

ShortName PlainShortName(const std::string& name) {
  ShortName n = Blank();
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  for (size_t i = 0; i < base.size() && i < 8; ++i) n[i] = uint8_t(Upper(base[i]));
  for (size_t i = 0; i < ext.size() && i < 3; ++i) n[8 + i] = uint8_t(Upper(ext[i]));
  return n;
}

bool MakeShortAlias(const std::string& longName, const std::function<bool(const ShortName&)>& taken, ShortName& alias) {
  bool lossy = false;
  // Upper-case ASCII; a non-ASCII character (one UTF-8 sequence) becomes '_'.
  std::string text;
  for (size_t i = 0; i < longName.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(longName[i]);
    if (c >= 0x80) {
      while (i + 1 < longName.size() && (static_cast<unsigned char>(longName[i + 1]) & 0xC0) == 0x80) ++i;
      text.push_back('_');
      lossy = true;
    } else if (c == ' ') {
      lossy = true;  // spaces are dropped
    } else {
      text.push_back(Upper(char(c)));
    }
  }
  size_t lead = text.find_first_not_of('.');
  if (lead == std::string::npos) lead = text.size();
  if (lead > 0) lossy = true;
  text.erase(0, lead);

  size_t lastDot = text.rfind('.');
  std::string base, ext;
  for (size_t i = 0; i < text.size() && i < lastDot; ++i) {
    if (text[i] == '.') {
      lossy = true;
      continue;
    }
    base.push_back(text[i]);
  }
  if (lastDot != std::string::npos) ext = text.substr(lastDot + 1);
  auto clean = [&](std::string& part, size_t max) {
    for (char& c : part) {
      if (!IsShortNameChar(static_cast<unsigned char>(c))) {
        c = '_';
        lossy = true;
      }
    }
    if (part.size() > max) {
      part.resize(max);
      lossy = true;
    }
  };
  clean(base, 8);
  clean(ext, 3);
  if (base.empty()) {
    base = "_";
    lossy = true;
  }

  ShortName n = Blank();
  for (size_t i = 0; i < ext.size(); ++i) n[8 + i] = uint8_t(ext[i]);
  if (!lossy) {
    for (size_t i = 0; i < base.size(); ++i) n[i] = uint8_t(base[i]);
    if (!taken(n)) {
      alias = n;
      return true;
    }
  }
  for (int tail = 1; tail <= 999999; ++tail) {
    std::string suffix = "~" + std::to_string(tail);
    std::string b = base.substr(0, 8 - suffix.size()) + suffix;
    ShortName candidate = n;
    for (size_t i = 0; i < 8; ++i) candidate[i] = i < b.size() ? uint8_t(b[i]) : ' ';
    if (!taken(candidate)) {
      alias = candidate;
      return true;
    }
  }
  return false;
}

std::string ShortNameText(const ShortName& name) {
  std::string base(name.begin(), name.begin() + 8), ext(name.begin() + 8, name.end());
  base.erase(base.find_last_not_of(' ') + 1);
  ext.erase(ext.find_last_not_of(' ') + 1);
  return ext.empty() ? base : base + "." + ext;
}

uint8_t LfnChecksum(const ShortName& name) {
  uint8_t sum = 0;
  for (uint8_t c : name) sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + c);
  return sum;
}

}  // namespace kiv::fat12
