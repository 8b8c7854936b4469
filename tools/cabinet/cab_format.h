#pragma once
// The Microsoft cabinet layout: CFHEADER, CFFOLDER, CFFILE and CFDATA records,
// all little-endian, data in blocks of at most 32 KiB uncompressed.
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace kiv::cab {

inline constexpr size_t kHeaderSize = 36;                 // CFHEADER without reserve/set names
inline constexpr size_t kFolderSize = 8;                  // CFFOLDER
inline constexpr size_t kFileFixedSize = 16;              // CFFILE before the name
inline constexpr size_t kDataHeaderSize = 8;              // CFDATA before the data
inline constexpr size_t kBlockSize = 32768;               // uncompressed bytes per CFDATA
inline constexpr size_t kMaxNameBytes = 255;              // longest stored name (without NUL)
inline constexpr uint32_t kMaxFolderBytes = 0x7FFF8000u;  // 65535 blocks of 32 KiB

inline constexpr uint16_t kFlagPrevCabinet = 0x0001;
inline constexpr uint16_t kFlagNextCabinet = 0x0002;

inline constexpr uint16_t kCompressNone = 0x0000;
inline constexpr uint16_t kCompressMsZip = 0x0001;
inline constexpr uint16_t kCompressLzx = 0x0003;  // | windowBits << 8

inline constexpr uint16_t kAttrReadOnly = 0x01;
inline constexpr uint16_t kAttrHidden = 0x02;
inline constexpr uint16_t kAttrSystem = 0x04;
inline constexpr uint16_t kAttrArchive = 0x20;
inline constexpr uint16_t kAttrExec = 0x40;
inline constexpr uint16_t kAttrUtf8Name = 0x80;

// The CFDATA checksum algorithm: 32-bit little-endian words XORed together,
// the 1-3 trailing bytes folded in most significant first; `seed` chains calls.
uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);
// Checksum of one CFDATA record: its payload, then cbData and cbUncomp.
uint32_t DataBlockChecksum(const uint8_t* payload, uint16_t compressedSize, uint16_t uncompressedSize);

struct DosDateTime {
  uint16_t date = 0;
  uint16_t time = 0;
};
// Broken-down time -> DOS date/time (2-second resolution). Before 1980 gives
// 1980-01-01 00:00:00, after 2107 the last DOS day.
DosDateTime ToDosDateTime(const std::tm& tm);

inline void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace kiv::cab
