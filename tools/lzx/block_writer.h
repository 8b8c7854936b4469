// Turns parsed items into LZX blocks: gathers symbol statistics, builds the
// main, length and aligned-offset trees, picks the cheapest block type
// (verbatim, aligned or uncompressed) and writes header, delta-coded trees
// and items.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "tools/lzx/bit_writer.h"
#include "tools/lzx/lzx_format.h"

namespace kiv::lzx {

// One literal or match. For a match, `code` 0..2 names repeated offset
// R0..R2; 3 and above is the formatted offset (match offset + 2).
struct Item {
  uint16_t length;  // 0 for a literal
  uint8_t literal;
  uint32_t code;
};

struct BlockStats {
  std::array<uint32_t, kMaxMainSymbols> main{};
  std::array<uint32_t, kNumLengthSymbols> length{};
  std::array<uint32_t, kNumAlignedSymbols> aligned{};
  uint64_t verbatimExtraBits = 0;  // extra offset bits in a verbatim block
  uint64_t alignedExtraBits = 0;   // extra bits left over in an aligned block
  uint32_t bytes = 0;              // uncompressed size covered

  void Add(const Item& item);
  void AddAll(std::span<const Item> items) {
    for (const auto& i : items) Add(i);
  }
};

// Main-tree symbol and the parts of a match.
inline int MainSymbol(int slot, uint32_t length) {
  uint32_t header = length - kMinMatch < kNumPrimaryLengths ? length - kMinMatch : kNumPrimaryLengths;
  return kNumChars + slot * 8 + static_cast<int>(header);
}
inline int SlotOfCode(uint32_t code) { return code < 3 ? static_cast<int>(code) : SlotOfFormatted(code); }

// Code lengths carried from block to block: the trees are sent as deltas.
struct TreeState {
  std::array<uint8_t, kMaxMainSymbols> main{};
  std::array<uint8_t, kNumLengthSymbols> length{};
};

class BlockWriter {
 public:
  explicit BlockWriter(int windowBits);

  // Estimated size in bits of the items as one compressed block (the
  // cheaper of verbatim and aligned), including its header and trees.
  uint64_t CompressedCost(const BlockStats& stats, const TreeState& prev) const;
  // Size in bits of an uncompressed block for `bytes` bytes, worst case of
  // the alignment padding.
  static uint64_t UncompressedCost(uint32_t bytes) { return 27 + 16 + 96 + 8ull * bytes + 8 * (bytes & 1); }

  // Writes the items (covering `data`, the translated bytes) as one block of
  // the cheapest type. `repeatsAfter` are R0..R2 after the block's items; an
  // uncompressed block stores them so the decoder continues in step.
  //
  // A block may span frames: `frameBreaks` lists the item indices (within
  // `items`, ascending) before which a frame ends; `onFrameBreak` is called
  // there to close the frame's output. Such a block is always compressed.
  void Write(BitWriter& out, std::span<const Item> items, const BlockStats& stats, const uint8_t* data,
             const uint32_t repeatsAfter[3], TreeState& trees, std::span<const size_t> frameBreaks = {},
             const std::function<void()>& onFrameBreak = {});

  // A stored block of `size` bytes with R0..R2 = `repeats`.
  void WriteStored(BitWriter& out, const uint8_t* data, uint32_t size, const uint32_t repeats[3]);

  // A stored block of odd length is followed by one pad byte. It is written
  // when the next block starts, so that when the block ends a frame the byte
  // opens the next frame's data block: readers that decode each data block
  // on its own skip it there. Finish writes a pad still owed at the end of
  // the stream.
  void Finish(BitWriter& out) { WriteOwedPad(out); }

  int MainSymbols() const { return mainSymbols_; }

 private:
  struct Trees {
    std::array<uint8_t, kMaxMainSymbols> mainLen{};
    std::array<uint8_t, kNumLengthSymbols> lengthLen{};
    std::array<uint8_t, kNumAlignedSymbols> alignedLen{};
  };
  void BuildTrees(const BlockStats& stats, Trees& trees) const;
  // Bits for the tree deltas of a verbatim block.
  uint64_t TreeCost(const Trees& trees, const TreeState& prev) const;
  uint64_t SymbolCost(const BlockStats& stats, const Trees& trees, bool aligned) const;
  void WriteOwedPad(BitWriter& out) {
    if (padOwed_) out.WriteByte(0);
    padOwed_ = false;
  }

  int mainSymbols_;
  bool padOwed_ = false;
};

// Writes lengths cur[0..n) as pretree-coded deltas against prev[0..n).
// With `out` null only counts; returns the number of bits.
uint64_t WriteLengths(BitWriter* out, const uint8_t* prev, const uint8_t* cur, int n);

}  // namespace kiv::lzx
