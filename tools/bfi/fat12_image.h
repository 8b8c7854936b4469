#pragma once
// FAT12 floppy image writer. Lays a folder tree out as a DOS boot floppy:
// boot sector (boot code of the caller's boot sector with our BPB over it),
// two FATs, the root folder with IO.SYS and MSDOS.SYS as its first two entries
// (IO.SYS contiguous from cluster 2, as DOS boot sectors expect), the volume
// label after them, then everything else in a fixed order, subfolders included.
// Names that are not plain 8.3 names get VFAT long-name entries and a short
// alias. The whole image is built in memory; nothing here writes files.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/bfi/fat12_geometry.h"
#include "tools/bfi/fat12_tree.h"

namespace kiv::fat12 {

struct ImageOptions {
  FloppySize size = FloppySize::k1440;
  // 512-byte boot sector ending in 55 AA whose code is kept; empty: a built-in
  // boot sector that prints "Non-system disk" and restarts on a key press.
  std::vector<uint8_t> bootSector;
  std::string label;  // up to 11 characters, upper-cased; empty: no label
  uint32_t serial = 0;
  // Time stamp of the label entry, and of every entry when fixedTime is set
  // (reproducible images); otherwise files and folders keep their mtime.
  int64_t time = 0;
  bool fixedTime = false;
  // DOS time stamps are local time on a PC; reproducible images use UTC.
  bool localTime = false;
};

// Why a boot sector cannot be used (empty when it can): shorter than 512 bytes,
// or no 55 AA signature at offset 510. Longer input: the first 512 bytes count.
std::string CheckBootSector(const std::vector<uint8_t>& bytes);

// Why a volume label cannot be used (empty when it can): more than 11
// characters, or characters a label cannot hold.
std::string CheckLabel(const std::string& label);

// Volume serial made from a time, the way DOS FORMAT makes it from the clock.
uint32_t SerialFromTime(int64_t seconds, int hundredths = 0);

// DOS date and time words for a time (clamped to 1980..2107).
void DosDateTime(int64_t seconds, bool localTime, uint16_t& date, uint16_t& time);

// Builds the image of `root` (a directory node). On failure returns false with
// a message in `error` — a tree that does not fit names the size it needs and
// the size the floppy offers — and leaves `image` empty.
bool BuildImage(const ImageOptions& options, const Node& root, std::vector<uint8_t>& image, std::string& error);

// The same into caller memory: `image` holds GeometryFor(options.size)
// .ImageBytes() bytes, all zero on entry. `used` receives the length of the
// part written; every byte after it stays zero (clusters are handed out from
// the start of the data area), so a caller may write just that part and
// extend the file to the full size. On failure the memory holds garbage.
bool BuildImageInto(const ImageOptions& options, const Node& root, uint8_t* image, size_t imageSize, size_t& used,
                    std::string& error);

}  // namespace kiv::fat12
