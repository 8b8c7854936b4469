#pragma once
// The folder tree a FAT12 image is made from: names as they appear on the
// disk, where each file's bytes come from, time stamps and DOS attributes.
#include <cstdint>
#include <string>
#include <vector>

namespace kiv::fat12 {

// DOS attribute bits.
inline constexpr uint8_t kAttrReadOnly = 0x01;
inline constexpr uint8_t kAttrHidden = 0x02;
inline constexpr uint8_t kAttrSystem = 0x04;
inline constexpr uint8_t kAttrVolume = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrArchive = 0x20;

struct Node {
  std::string name;  // name on the disk (UTF-8); empty for the root
  bool isDirectory = false;
  std::string sourcePath;      // files: file the bytes are read from; empty: `bytes`
  std::vector<uint8_t> bytes;  // files without a source path
  uint64_t size = 0;           // files: byte count
  uint8_t attributes = 0;      // read-only / hidden / system bits to set
  int64_t mtime = 0;           // seconds since 1970-01-01 UTC
  std::vector<Node> children;  // directories
};

// An empty folder node (the root when `name` is empty).
Node Folder(const std::string& name = {});

// A file node holding `bytes` (for callers that make files in memory).
Node MemoryFile(const std::string& name, std::vector<uint8_t> bytes, int64_t mtime = 0);

// Reads the folder `folder` into `root` (children in directory order; the
// image writer sorts them). Symbolic links are followed; a link that leads
// back into its own ancestry, a device, pipe or socket, or an unreadable entry
// is refused with a message naming the path.
bool ScanTree(const std::string& folder, Node& root, std::string& error);

}  // namespace kiv::fat12
