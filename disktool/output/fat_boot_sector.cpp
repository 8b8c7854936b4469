#include "disktool/output/fat_boot_sector.h"

#include <fstream>

namespace kiv {

bool IsFatBootSector(const std::string& s) {
  if (s.size() < 512) return false;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  if (byte(0) != 0xEB && byte(0) != 0xE9) return false;
  const unsigned bytesPerSector = byte(11) | byte(12) << 8;
  const unsigned perCluster = byte(13);
  if (bytesPerSector < 512 || bytesPerSector > 4096 || (bytesPerSector & (bytesPerSector - 1)) != 0) return false;
  if (perCluster == 0 || (perCluster & (perCluster - 1)) != 0) return false;
  if (byte(16) != 1 && byte(16) != 2) return false;
  return s.compare(54, 3, "FAT") == 0 || s.compare(82, 3, "FAT") == 0;
}

bool StartsWithFatBootSector(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string sector(512, '\0');
  if (!in.read(sector.data(), 512)) return false;
  return static_cast<unsigned char>(sector[510]) == 0x55 && static_cast<unsigned char>(sector[511]) == 0xAA &&
         IsFatBootSector(sector);
}

}  // namespace kiv
