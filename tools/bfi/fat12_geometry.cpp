#include "tools/bfi/fat12_geometry.h"

namespace kiv::fat12 {

uint32_t Geometry::RootDirSectors() const { return (uint32_t(rootEntries) * 32 + bytesPerSector - 1) / bytesPerSector; }

uint32_t Geometry::FirstRootSector() const { return reservedSectors + uint32_t(fatCount) * sectorsPerFat; }

uint32_t Geometry::FirstDataSector() const { return FirstRootSector() + RootDirSectors(); }

uint32_t Geometry::ClusterCount() const { return (totalSectors - FirstDataSector()) / sectorsPerCluster; }

uint32_t Geometry::ClusterBytes() const { return uint32_t(sectorsPerCluster) * bytesPerSector; }

uint64_t Geometry::ImageBytes() const { return uint64_t(totalSectors) * bytesPerSector; }

uint64_t Geometry::ClusterOffset(uint32_t cluster) const {
  return (uint64_t(FirstDataSector()) + uint64_t(cluster - 2) * sectorsPerCluster) * bytesPerSector;
}

namespace {

// Smallest FAT that holds a 12-bit entry for every cluster (plus the two
// reserved entries), given that the FATs themselves take room from the data.
uint16_t ComputeSectorsPerFat(const Geometry& g) {
  for (uint16_t spf = 1;; ++spf) {
    Geometry probe = g;
    probe.sectorsPerFat = spf;
    uint32_t entries = probe.ClusterCount() + 2;
    uint32_t fatBytes = (entries * 3 + 1) / 2;
    if (fatBytes <= uint32_t(spf) * g.bytesPerSector) return spf;
  }
}

}  // namespace

Geometry GeometryFor(FloppySize size) {
  Geometry g;
  if (size == FloppySize::k2880) {
    g.totalSectors = 5760;
    g.sectorsPerTrack = 36;
    g.rootEntries = 240;
    g.sectorsPerCluster = 2;
    g.sectorsPerFat = ComputeSectorsPerFat(g);
  }
  return g;
}

std::string SizeName(FloppySize size) { return size == FloppySize::k2880 ? "2.88 MB" : "1.44 MB"; }

}  // namespace kiv::fat12
