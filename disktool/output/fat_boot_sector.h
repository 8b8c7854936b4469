#pragma once
// Whether bytes start like a FAT file system: the boot sector's jump, a
// sector size and cluster size that are powers of two, one or two FATs, and
// the "FAT" type text of a FAT12/16 or FAT32 boot sector. What the image tool
// writes, what a floppy or USB image of a FreeDOS starts with.
#include <string>

namespace kiv {

// `sector` holds at least the first 512 bytes of a volume.
bool IsFatBootSector(const std::string& sector);
// The file at `path` starts with such a boot sector and its 55 AA signature.
bool StartsWithFatBootSector(const std::string& path);

}  // namespace kiv
