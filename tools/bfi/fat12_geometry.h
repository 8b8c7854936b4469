#pragma once
// Layout of the two floppy formats the FAT12 writer knows: the BIOS parameter
// block values and the positions derived from them.
#include <cstdint>
#include <string>

namespace kiv::fat12 {

enum class FloppySize { k1440, k2880 };

struct Geometry {
  uint16_t bytesPerSector = 512;
  uint8_t sectorsPerCluster = 1;
  uint16_t reservedSectors = 1;
  uint8_t fatCount = 2;
  uint16_t rootEntries = 224;
  uint32_t totalSectors = 2880;
  uint8_t media = 0xF0;
  uint16_t sectorsPerFat = 9;
  uint16_t sectorsPerTrack = 18;
  uint16_t heads = 2;

  uint32_t RootDirSectors() const;
  uint32_t FirstRootSector() const;
  uint32_t FirstDataSector() const;
  // Number of data clusters (cluster numbers 2 .. ClusterCount()+1).
  uint32_t ClusterCount() const;
  uint32_t ClusterBytes() const;
  uint64_t ImageBytes() const;
  // Byte offset of a data cluster (n >= 2) in the image.
  uint64_t ClusterOffset(uint32_t cluster) const;
};

// 1.44 MB: 2880 sectors, 18/track, 224 root entries, 1 sector per cluster,
// 9 sectors per FAT. 2.88 MB: 5760 sectors, 36/track, 240 root entries,
// 2 sectors per cluster, FAT size computed to cover every cluster.
Geometry GeometryFor(FloppySize size);
// "1.44 MB" / "2.88 MB", for messages.
std::string SizeName(FloppySize size);

}  // namespace kiv::fat12
