#include "cdtool/win10/wim_images.h"

#include <algorithm>
#include <cstdlib>

namespace kiv {

namespace {

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromUtf16Le(const std::string& bytes, size_t from) {
  std::string out;
  auto unit = [&](size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
  };
  auto put = [&out](unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  for (size_t i = from; i + 1 < bytes.size(); i += 2) {
    unsigned u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      put(0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00));
      i += 2;
    } else if (u >= 0xD800 && u < 0xE000) {
      put(0xFFFD);
    } else {
      put(u);
    }
  }
  return out;
}

// The document as UTF-8: wimlib and Windows write it as UTF-16LE (with a
// byte order mark), a hand-made one may be UTF-8 already.
std::string AsUtf8(const std::string& xml) {
  if (xml.size() >= 2 && static_cast<unsigned char>(xml[0]) == 0xFF && static_cast<unsigned char>(xml[1]) == 0xFE)
    return Utf8FromUtf16Le(xml, 2);
  if (xml.size() >= 2 && xml[0] == '<' && xml[1] == '\0') return Utf8FromUtf16Le(xml, 0);
  return xml;
}

std::string Unescaped(const std::string& text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&')
      for (const auto& [entity, plain] : kEntities)
        if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
          out += plain;
          i += std::char_traits<char>::length(entity);
          replaced = true;
          break;
        }
    if (!replaced) out += text[i++];
  }
  return out;
}

// The text of the first element `tag` in `xml` at or after `from` and before
// `end` (its content, unescaped), "" when there is none.
std::string ElementText(const std::string& xml, const std::string& tag, size_t from, size_t end) {
  const std::string open = "<" + tag + ">";
  const size_t start = xml.find(open, from);
  if (start == std::string::npos || start >= end) return "";
  const size_t content = start + open.size();
  const size_t close = xml.find("</" + tag + ">", content);
  if (close == std::string::npos || close > end) return "";
  return Unescaped(xml.substr(content, close - content));
}

// A number as the document writes it: decimal, or hexadecimal with 0x.
int Number(const std::string& text) {
  if (text.empty()) return 0;
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 0));
}

uint64_t LittleEndian(const std::string& bytes, size_t at, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return v;
}

}  // namespace

std::string WimArchitectureName(int number) {
  switch (number) {
    case 0:
      return "x86";
    case 5:
      return "arm";
    case 9:
      return "amd64";
    case 12:
      return "arm64";
    default:
      return "";
  }
}

std::optional<std::vector<WimImage>> ParseWimXml(const std::string& raw) {
  const std::string xml = AsUtf8(raw);
  const size_t wim = xml.find("<WIM>");
  if (wim == std::string::npos) return std::nullopt;
  std::vector<WimImage> images;
  for (size_t at = xml.find("<IMAGE", wim); at != std::string::npos; at = xml.find("<IMAGE", at + 1)) {
    // <IMAGES> or <IMAGEBLA> are not images.
    if (at + 6 >= xml.size() || (xml[at + 6] != ' ' && xml[at + 6] != '>')) continue;
    const size_t tagEnd = xml.find('>', at);
    size_t end = xml.find("</IMAGE>", at);
    if (tagEnd == std::string::npos || end == std::string::npos) break;
    WimImage image;
    const std::string attributes = xml.substr(at, tagEnd - at);
    if (const size_t index = attributes.find("INDEX=\""); index != std::string::npos)
      image.index = Number(attributes.substr(index + 7));
    image.name = ElementText(xml, "NAME", tagEnd, end);
    image.displayName = ElementText(xml, "DISPLAYNAME", tagEnd, end);
    image.editionId = ElementText(xml, "EDITIONID", tagEnd, end);
    const std::string arch = ElementText(xml, "ARCH", tagEnd, end);
    if (!arch.empty()) image.architecture = WimArchitectureName(Number(arch));
    image.major = Number(ElementText(xml, "MAJOR", tagEnd, end));
    image.minor = Number(ElementText(xml, "MINOR", tagEnd, end));
    image.build = Number(ElementText(xml, "BUILD", tagEnd, end));
    images.push_back(image);
    at = end;
  }
  return images;
}

std::optional<WimXmlPlace> WimXmlPlaceInHeader(const std::string& header) {
  if (header.size() < kWimHeaderSize || header.compare(0, 8, std::string("MSWIM\0\0\0", 8)) != 0) return std::nullopt;
  if (LittleEndian(header, 8, 4) != kWimHeaderSize) return std::nullopt;
  // The XML document's resource header: 7 bytes of stored size, a flag
  // byte, 8 bytes of offset (it is always stored uncompressed).
  constexpr size_t kXmlResource = 72;
  WimXmlPlace place{LittleEndian(header, kXmlResource + 8, 8), LittleEndian(header, kXmlResource, 7)};
  if (place.size == 0 || place.offset < kWimHeaderSize) return std::nullopt;
  return place;
}

bool WimXmlCollector::Feed(const std::string& piece) {
  if (notAWim_) return false;
  const uint64_t start = seen_;
  seen_ += piece.size();
  if (header_.size() < kWimHeaderSize)
    header_ += piece.substr(0, static_cast<size_t>(std::min<uint64_t>(piece.size(), kWimHeaderSize - header_.size())));
  if (!place_ && header_.size() == kWimHeaderSize) {
    place_ = WimXmlPlaceInHeader(header_);
    if (!place_) {
      notAWim_ = true;
      return false;
    }
  }
  if (!place_) return true;
  const uint64_t from = std::max(start, place_->offset);
  const uint64_t to = std::min(seen_, place_->offset + place_->size);
  if (from < to) xml_.append(piece, static_cast<size_t>(from - start), static_cast<size_t>(to - from));
  return xml_.size() < place_->size;
}

std::optional<std::string> WimXmlCollector::Xml() const {
  if (!place_ || xml_.size() < place_->size) return std::nullopt;
  return xml_;
}

}  // namespace kiv
