#pragma once
// What the FAT12 writer asks of the operating system when it reads a folder
// tree from disk; implemented per platform (platform_posix.cpp, which also
// holds the image output of bfi_output.h).
#include <cstdint>
#include <string>

namespace kiv::fat12 {

// One file system entry, links followed.
struct EntryInfo {
  bool isDirectory = false;
  bool isRegularFile = false;
  uint64_t size = 0;
  int64_t mtime = 0;  // seconds since 1970 (UTC)
  // Which entry it is: the same pair for every path leading to it.
  uint64_t device = 0;
  uint64_t fileNumber = 0;
};

// False with the system's text in `error` when the entry cannot be read.
bool ReadEntryInfo(const std::string& path, EntryInfo& info, std::string& error);

// Reads `size` bytes of the file into `dest` and checks it has no more.
// False with a message naming the file in `error`: it cannot be opened or
// read, or it changed size while it was read.
bool ReadWholeSource(const std::string& path, uint8_t* dest, uint64_t size, std::string& error);

}  // namespace kiv::fat12
