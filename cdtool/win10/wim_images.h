#pragma once
// What a Windows image file (install.wim, install.esd, boot.wim) says about
// its images: the XML document every WIM carries, as wimlib's `wiminfo --xml`
// prints it or as it lies in the file (UTF-16LE), read into plain values.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kiv {

struct WimImage {
  int index = 0;
  std::string name;          // "Windows 11 Pro": what Setup's edition list shows
  std::string displayName;   // "" when the image has none
  std::string editionId;     // "Professional"
  std::string architecture;  // "amd64", "x86", "arm64" ("" when the image names none)
  int major = 0, minor = 0, build = 0;
};

// The images of a WIM's XML document (UTF-16LE with or without its byte
// order mark, or UTF-8), in index order. Nothing when the text is no WIM
// document (no <WIM> element); a document without images gives none.
std::optional<std::vector<WimImage>> ParseWimXml(const std::string& xml);

// Where the XML document lies in a WIM file, from the file's first
// kWimHeaderSize bytes: its offset and size. Nothing when the bytes are no
// WIM header ("MSWIM" and its size).
inline constexpr size_t kWimHeaderSize = 208;
struct WimXmlPlace {
  uint64_t offset = 0;
  uint64_t size = 0;
};
std::optional<WimXmlPlace> WimXmlPlaceInHeader(const std::string& header);

// A stream of a WIM file's bytes, fed in pieces as they come (from `7z x
// -so`), that keeps its header and its XML document and nothing else.
class WimXmlCollector {
 public:
  // Takes the next piece; false once everything needed is there (or the
  // bytes are no WIM file), when the rest of the stream can be dropped.
  bool Feed(const std::string& piece);
  // The XML document once it is whole; nothing before, or for no WIM file.
  std::optional<std::string> Xml() const;
  bool NotAWim() const { return notAWim_; }

 private:
  uint64_t seen_ = 0;  // bytes of the stream so far
  std::string header_;
  std::optional<WimXmlPlace> place_;
  std::string xml_;
  bool notAWim_ = false;
};

// "amd64" for the architecture numbers of a WIM document (0 x86, 5 arm, 9
// amd64, 12 arm64); "" for others.
std::string WimArchitectureName(int number);

}  // namespace kiv
