#include "tools/cabinet/cab_format.h"

namespace kiv::cab {

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t words = size / 4;
  for (size_t i = 0; i < words; ++i, data += 4)
    sum ^= uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
  uint32_t rest = 0;
  switch (size & 3) {
    case 3:
      rest |= uint32_t(*data++) << 16;
      [[fallthrough]];
    case 2:
      rest |= uint32_t(*data++) << 8;
      [[fallthrough]];
    case 1:
      rest |= uint32_t(*data);
      break;
    default:
      break;
  }
  return sum ^ rest;
}

uint32_t DataBlockChecksum(const uint8_t* payload, uint16_t compressedSize, uint16_t uncompressedSize) {
  uint8_t sizes[4];
  PutLE16(sizes, compressedSize);
  PutLE16(sizes + 2, uncompressedSize);
  return CabChecksum(sizes, 4, CabChecksum(payload, compressedSize, 0));
}

DosDateTime ToDosDateTime(const std::tm& tm) {
  int year = tm.tm_year + 1900;
  DosDateTime out;
  if (year < 1980) {
    out.date = (1 << 5) | 1;
    return out;
  }
  if (year > 2107) {
    out.date = uint16_t((127 << 9) | (12 << 5) | 31);
    out.time = uint16_t((23 << 11) | (59 << 5) | 29);
    return out;
  }
  out.date = uint16_t(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  out.time = uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (sec / 2));
  return out;
}

}  // namespace kiv::cab
