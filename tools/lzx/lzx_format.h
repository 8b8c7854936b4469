// Constants of the LZX bit stream as cabinet decoders read it.
#pragma once

#include <array>
#include <cstdint>

namespace kiv::lzx {

inline constexpr int kFrameSize = 32768;  // one CFDATA block of output
inline constexpr int kNumChars = 256;
inline constexpr int kMinMatch = 2;
inline constexpr int kMaxMatch = 257;
inline constexpr int kNumPrimaryLengths = 7;   // length headers 0..6 inline
inline constexpr int kNumLengthSymbols = 249;  // length tree
inline constexpr int kNumAlignedSymbols = 8;
inline constexpr int kNumPretreeSymbols = 20;
inline constexpr int kMaxPositionSlots = 50;
inline constexpr int kMaxMainSymbols = kNumChars + kMaxPositionSlots * 8;
inline constexpr int kMaxCodeLength = 16;     // main and length trees
inline constexpr int kMaxAlignedLength = 7;   // 3-bit lengths
inline constexpr int kMaxPretreeLength = 15;  // 4-bit lengths
inline constexpr int kNumRepeats = 3;         // R0, R1, R2

enum BlockType { kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

// The size given in the stream header for x86 call translation; any value
// above the largest module we pack works, this one is customary.
inline constexpr uint32_t kE8FileSize = 12000000;

inline constexpr int NumPositionSlots(int windowBits) {
  return windowBits == 21 ? 50 : windowBits == 20 ? 42 : windowBits * 2;
}

struct SlotTables {
  std::array<uint32_t, kMaxPositionSlots + 1> base{};
  std::array<uint8_t, kMaxPositionSlots> extra{};
};

inline constexpr SlotTables MakeSlotTables() {
  SlotTables t;
  uint32_t base = 0;
  for (int i = 0; i < kMaxPositionSlots; ++i) {
    int e = i < 4 ? 0 : i / 2 - 1;
    if (e > 17) e = 17;
    t.extra[i] = static_cast<uint8_t>(e);
    t.base[i] = base;
    base += 1u << e;
  }
  t.base[kMaxPositionSlots] = base;
  return t;
}

inline constexpr SlotTables kSlots = MakeSlotTables();

// Position slot of a formatted offset (match offset + 2); slots 0..2 are the
// repeated offsets and never come out of here for a real offset >= 1.
inline int SlotOfFormatted(uint32_t formatted) {
  if (formatted < 4) return static_cast<int>(formatted);
  if (formatted >= kSlots.base[36]) {
    return 36 + static_cast<int>((formatted - kSlots.base[36]) >> 17);
  }
  int hi = 31 - __builtin_clz(formatted);  // 2..17
  int second = (formatted >> (hi - 1)) & 1;
  return 2 * hi + second;
}

}  // namespace kiv::lzx
