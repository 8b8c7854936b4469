#pragma once
// What the duplicate linker asks of the operating system: which file an entry
// is (hard links share it) and replacing a file by a hard link. Implemented
// per platform (platform_posix.cpp).
#include <cstdint>
#include <string>

namespace kiv::dfl {

// One folder entry, a link not followed.
struct EntryFacts {
  bool isFolder = false;
  bool isFile = false;  // a regular file
  // The file behind the name: equal for every hard link to it.
  uint64_t device = 0;
  uint64_t fileNumber = 0;
  uint32_t mode = 0;  // permission bits
  uint64_t size = 0;
  int64_t modified = 0;  // modification time, whole seconds since 1970
};
// False with the system's text in `error` when the entry cannot be examined.
bool Examine(const std::string& path, EntryFacts& facts, std::string& error);

// Replaces `dup` by a hard link to `keep` without a moment in which `dup` is
// missing: link under a temporary name beside it, then rename over it. The
// folder keeps its dates: the CD records them, and a reproducible build has
// set them before the linker runs. False with a message naming the files.
bool LinkOver(const std::string& keep, const std::string& dup, std::string& error);

}  // namespace kiv::dfl
