#include "tools/lzx/block_writer.h"

#include "tools/lzx/huffman.h"

namespace kiv::lzx {

void BlockStats::Add(const Item& item) {
  if (item.length == 0) {
    main[item.literal]++;
    bytes++;
    return;
  }
  int slot = SlotOfCode(item.code);
  main[MainSymbol(slot, item.length)]++;
  if (item.length - kMinMatch >= kNumPrimaryLengths) {
    length[item.length - kMinMatch - kNumPrimaryLengths]++;
  }
  if (item.code >= 3) {
    int extra = kSlots.extra[slot];
    verbatimExtraBits += extra;
    if (extra >= 3) {
      aligned[(item.code - kSlots.base[slot]) & 7]++;
      alignedExtraBits += extra - 3;
    } else {
      alignedExtraBits += extra;
    }
  }
  bytes += item.length;
}

uint64_t WriteLengths(BitWriter* out, const uint8_t* prev, const uint8_t* cur, int n) {
  struct Code {
    uint8_t sym;
    uint8_t extraBits;
    uint8_t extraValue;
    int8_t follow;  // the delta symbol after a 19, else -1
  };
  Code codes[kMaxMainSymbols];
  int count = 0;
  uint32_t freq[kNumPretreeSymbols] = {};
  auto delta = [&](int i) { return static_cast<uint8_t>((prev[i] - cur[i] + 17) % 17); };
  for (int i = 0; i < n;) {
    int run = 1;
    while (i + run < n && cur[i + run] == cur[i]) ++run;
    Code c{};
    int take = 1;
    c.follow = -1;
    if (cur[i] == 0 && run >= 20) {
      take = std::min(run, 51);
      c = {18, 5, static_cast<uint8_t>(take - 20), -1};
    } else if (cur[i] == 0 && run >= 4) {
      take = std::min(run, 19);
      c = {17, 4, static_cast<uint8_t>(take - 4), -1};
    } else if (run >= 4) {
      take = std::min(run, 5);
      c = {19, 1, static_cast<uint8_t>(take - 4), static_cast<int8_t>(delta(i))};
      freq[c.follow]++;
    } else {
      c = {delta(i), 0, 0, -1};
    }
    freq[c.sym]++;
    codes[count++] = c;
    i += take;
  }
  uint8_t lens[kNumPretreeSymbols];
  BuildCodeLengths(freq, kMaxPretreeLength, lens);
  uint64_t bits = 4 * kNumPretreeSymbols;
  for (int s = 0; s < kNumPretreeSymbols; ++s) bits += static_cast<uint64_t>(freq[s]) * lens[s];
  for (int k = 0; k < count; ++k) bits += codes[k].extraBits;
  if (!out) return bits;
  uint16_t huff[kNumPretreeSymbols] = {};
  BuildCodes(lens, huff);
  for (int s = 0; s < kNumPretreeSymbols; ++s) out->Write(lens[s], 4);
  for (int k = 0; k < count; ++k) {
    const Code& c = codes[k];
    out->Write(huff[c.sym], lens[c.sym]);
    if (c.extraBits) out->Write(c.extraValue, c.extraBits);
    if (c.follow >= 0) out->Write(huff[c.follow], lens[c.follow]);
  }
  return bits;
}

BlockWriter::BlockWriter(int windowBits)
    : mainSymbols_(kNumChars + 8 * NumPositionSlots(windowBits)) {}

void BlockWriter::BuildTrees(const BlockStats& stats, Trees& trees) const {
  BuildCodeLengths(std::span<const uint32_t>(stats.main.data(), mainSymbols_), kMaxCodeLength,
                   std::span<uint8_t>(trees.mainLen.data(), mainSymbols_));
  BuildCodeLengths(stats.length, kMaxCodeLength, trees.lengthLen);
  BuildCodeLengths(stats.aligned, kMaxAlignedLength, trees.alignedLen);
}

uint64_t BlockWriter::TreeCost(const Trees& trees, const TreeState& prev) const {
  return WriteLengths(nullptr, prev.main.data(), trees.mainLen.data(), kNumChars) +
         WriteLengths(nullptr, prev.main.data() + kNumChars, trees.mainLen.data() + kNumChars,
                      mainSymbols_ - kNumChars) +
         WriteLengths(nullptr, prev.length.data(), trees.lengthLen.data(), kNumLengthSymbols);
}

uint64_t BlockWriter::SymbolCost(const BlockStats& stats, const Trees& trees, bool aligned) const {
  uint64_t bits = 0;
  for (int s = 0; s < mainSymbols_; ++s) bits += static_cast<uint64_t>(stats.main[s]) * trees.mainLen[s];
  for (int s = 0; s < kNumLengthSymbols; ++s) bits += static_cast<uint64_t>(stats.length[s]) * trees.lengthLen[s];
  if (!aligned) return bits + stats.verbatimExtraBits;
  bits += stats.alignedExtraBits + 3 * kNumAlignedSymbols;
  for (int s = 0; s < kNumAlignedSymbols; ++s) bits += static_cast<uint64_t>(stats.aligned[s]) * trees.alignedLen[s];
  return bits;
}

uint64_t BlockWriter::CompressedCost(const BlockStats& stats, const TreeState& prev) const {
  Trees trees;
  BuildTrees(stats, trees);
  return 27 + TreeCost(trees, prev) +
         std::min(SymbolCost(stats, trees, false), SymbolCost(stats, trees, true));
}

void BlockWriter::Write(BitWriter& out, std::span<const Item> items, const BlockStats& stats,
                        const uint8_t* data, const uint32_t repeatsAfter[3], TreeState& state,
                        std::span<const size_t> frameBreaks, const std::function<void()>& onFrameBreak) {
  Trees trees;
  BuildTrees(stats, trees);
  uint64_t verbatim = SymbolCost(stats, trees, false);
  uint64_t alignedCost = SymbolCost(stats, trees, true);
  bool aligned = alignedCost < verbatim;
  uint64_t compressed = 27 + TreeCost(trees, state) + std::min(verbatim, alignedCost);

  if (frameBreaks.empty() && UncompressedCost(stats.bytes) <= compressed) {
    out.Write(kUncompressed, 3);
    out.Write(stats.bytes, 24);
    // The decoder skips 1..16 bits to reach a 16-bit boundary.
    if (out.Aligned()) out.Write(0, 16); else out.AlignTo16();
    for (int r = 0; r < 3; ++r) {
      for (int i = 0; i < 4; ++i) out.WriteByte(static_cast<uint8_t>(repeatsAfter[r] >> (8 * i)));
    }
    out.WriteBytes(data, stats.bytes);
    if (stats.bytes & 1) out.WriteByte(0);
    return;
  }

  out.Write(aligned ? kAligned : kVerbatim, 3);
  out.Write(stats.bytes, 24);
  if (aligned) {
    for (int s = 0; s < kNumAlignedSymbols; ++s) out.Write(trees.alignedLen[s], 3);
  }
  WriteLengths(&out, state.main.data(), trees.mainLen.data(), kNumChars);
  WriteLengths(&out, state.main.data() + kNumChars, trees.mainLen.data() + kNumChars,
               mainSymbols_ - kNumChars);
  WriteLengths(&out, state.length.data(), trees.lengthLen.data(), kNumLengthSymbols);

  std::array<uint16_t, kMaxMainSymbols> mainCode{};
  std::array<uint16_t, kNumLengthSymbols> lengthCode{};
  std::array<uint16_t, kNumAlignedSymbols> alignedCode{};
  BuildCodes(std::span<const uint8_t>(trees.mainLen.data(), mainSymbols_),
             std::span<uint16_t>(mainCode.data(), mainSymbols_));
  BuildCodes(trees.lengthLen, lengthCode);
  BuildCodes(trees.alignedLen, alignedCode);

  size_t nextBreak = 0;
  for (size_t k = 0; k < items.size(); ++k) {
    if (nextBreak < frameBreaks.size() && frameBreaks[nextBreak] == k) {
      onFrameBreak();
      ++nextBreak;
    }
    const Item& item = items[k];
    if (item.length == 0) {
      out.Write(mainCode[item.literal], trees.mainLen[item.literal]);
      continue;
    }
    int slot = SlotOfCode(item.code);
    int sym = MainSymbol(slot, item.length);
    out.Write(mainCode[sym], trees.mainLen[sym]);
    if (item.length - kMinMatch >= kNumPrimaryLengths) {
      int ls = item.length - kMinMatch - kNumPrimaryLengths;
      out.Write(lengthCode[ls], trees.lengthLen[ls]);
    }
    if (item.code >= 3) {
      int extra = kSlots.extra[slot];
      uint32_t value = item.code - kSlots.base[slot];
      if (aligned && extra >= 3) {
        if (extra > 3) out.Write(value >> 3, extra - 3);
        out.Write(alignedCode[value & 7], trees.alignedLen[value & 7]);
      } else if (extra > 0) {
        out.Write(value, extra);
      }
    }
  }
  std::copy(trees.mainLen.begin(), trees.mainLen.end(), state.main.begin());
  state.length = trees.lengthLen;
}

}  // namespace kiv::lzx
