#include "tools/lzx/block_writer.h"

#include <algorithm>
#include <vector>

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

namespace {

// One pretree code: a delta symbol 0..16, a zero run (17, 18) or a run of
// one value (19, followed by the value's delta symbol).
struct PretreeCode {
  uint8_t sym;
  uint8_t extraBits;
  uint8_t extraValue;
  int8_t follow;  // the delta symbol after a 19, else -1
  uint16_t span;  // lengths covered
};

inline uint8_t Delta(const uint8_t* prev, const uint8_t* cur, int i) {
  return static_cast<uint8_t>((prev[i] - cur[i] + 17) % 17);
}

// Longest runs first: good, and what the size estimates use.
int GreedyCodes(const uint8_t* prev, const uint8_t* cur, int n, PretreeCode* codes) {
  int count = 0;
  for (int i = 0; i < n;) {
    int run = 1;
    while (i + run < n && cur[i + run] == cur[i]) ++run;
    PretreeCode c;
    if (cur[i] == 0 && run >= 20) {
      int take = std::min(run, 51);
      c = {18, 5, static_cast<uint8_t>(take - 20), -1, static_cast<uint16_t>(take)};
    } else if (cur[i] == 0 && run >= 4) {
      int take = std::min(run, 19);
      c = {17, 4, static_cast<uint8_t>(take - 4), -1, static_cast<uint16_t>(take)};
    } else if (run >= 4) {
      int take = std::min(run, 5);
      c = {19, 1, static_cast<uint8_t>(take - 4), static_cast<int8_t>(Delta(prev, cur, i)),
           static_cast<uint16_t>(take)};
    } else {
      c = {Delta(prev, cur, i), 0, 0, -1, 1};
    }
    codes[count++] = c;
    i += c.span;
  }
  return count;
}

// Cheapest code sequence under given pretree code lengths (0 = unused,
// priced as if it got a long code).
int CheapestCodes(const uint8_t* prev, const uint8_t* cur, int n, const uint8_t* lens, PretreeCode* codes) {
  uint32_t price[kNumPretreeSymbols];
  for (int s = 0; s < kNumPretreeSymbols; ++s) price[s] = lens[s] ? lens[s] : 12;
  std::vector<uint32_t> cost(n + 1, 0xFFFFFFFFu);
  std::vector<PretreeCode> how(n + 1);
  cost[n] = 0;
  // Backwards, so each position picks its best first step.
  std::vector<int> sameRun(n + 1, 0);
  for (int i = n - 1; i >= 0; --i) sameRun[i] = (i + 1 < n && cur[i + 1] == cur[i]) ? sameRun[i + 1] + 1 : 1;
  for (int i = n - 1; i >= 0; --i) {
    uint8_t d = Delta(prev, cur, i);
    uint32_t best = price[d] + cost[i + 1];
    PretreeCode choice{d, 0, 0, -1, 1};
    const int run = sameRun[i];
    if (cur[i] == 0) {
      for (int k = 4; k <= std::min(run, 19); ++k) {
        uint32_t c = price[17] + 4 + cost[i + k];
        if (c < best) best = c, choice = {17, 4, static_cast<uint8_t>(k - 4), -1, static_cast<uint16_t>(k)};
      }
      for (int k = 20; k <= std::min(run, 51); ++k) {
        uint32_t c = price[18] + 5 + cost[i + k];
        if (c < best) best = c, choice = {18, 5, static_cast<uint8_t>(k - 20), -1, static_cast<uint16_t>(k)};
      }
    }
    for (int k = 4; k <= std::min(run, 5); ++k) {
      uint32_t c = price[19] + 1 + price[d] + cost[i + k];
      if (c < best)
        best = c, choice = {19, 1, static_cast<uint8_t>(k - 4), static_cast<int8_t>(d), static_cast<uint16_t>(k)};
    }
    cost[i] = best;
    how[i] = choice;
  }
  int count = 0;
  for (int i = 0; i < n; i += how[i].span) codes[count++] = how[i];
  return count;
}

// Builds the pretree for the codes; returns the total size in bits.
uint64_t PriceCodes(const PretreeCode* codes, int count, uint8_t* lens) {
  uint32_t freq[kNumPretreeSymbols] = {};
  for (int k = 0; k < count; ++k) {
    freq[codes[k].sym]++;
    if (codes[k].follow >= 0) freq[codes[k].follow]++;
  }
  BuildCodeLengths(freq, kMaxPretreeLength, std::span<uint8_t>(lens, kNumPretreeSymbols));
  uint64_t bits = 4 * kNumPretreeSymbols;
  for (int s = 0; s < kNumPretreeSymbols; ++s) bits += static_cast<uint64_t>(freq[s]) * lens[s];
  for (int k = 0; k < count; ++k) bits += codes[k].extraBits;
  return bits;
}

}  // namespace

uint64_t WriteLengths(BitWriter* out, const uint8_t* prev, const uint8_t* cur, int n) {
  PretreeCode codes[kMaxMainSymbols];
  uint8_t lens[kNumPretreeSymbols];
  int count = GreedyCodes(prev, cur, n, codes);
  uint64_t bits = PriceCodes(codes, count, lens);
  if (!out) return bits;
  // Writing: refine the run choices against the pretree they produce.
  for (int round = 0; round < 2; ++round) {
    PretreeCode better[kMaxMainSymbols];
    uint8_t betterLens[kNumPretreeSymbols];
    int betterCount = CheapestCodes(prev, cur, n, lens, better);
    uint64_t betterBits = PriceCodes(better, betterCount, betterLens);
    if (betterBits >= bits) break;
    std::copy(better, better + betterCount, codes);
    std::copy(betterLens, betterLens + kNumPretreeSymbols, lens);
    count = betterCount;
    bits = betterBits;
  }
  uint16_t huff[kNumPretreeSymbols] = {};
  BuildCodes(std::span<const uint8_t>(lens, kNumPretreeSymbols), huff);
  for (int s = 0; s < kNumPretreeSymbols; ++s) out->Write(lens[s], 4);
  for (int k = 0; k < count; ++k) {
    const PretreeCode& c = codes[k];
    out->Write(huff[c.sym], lens[c.sym]);
    if (c.extraBits) out->Write(c.extraValue, c.extraBits);
    if (c.follow >= 0) out->Write(huff[c.follow], lens[c.follow]);
  }
  return bits;
}

BlockWriter::BlockWriter(int windowBits) : mainSymbols_(kNumChars + 8 * NumPositionSlots(windowBits)) {}

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
  return 27 + TreeCost(trees, prev) + std::min(SymbolCost(stats, trees, false), SymbolCost(stats, trees, true));
}

void BlockWriter::WriteStored(BitWriter& out, const uint8_t* data, uint32_t size, const uint32_t repeats[3]) {
  WriteOwedPad(out);
  out.Write(kUncompressed, 3);
  out.Write(size, 24);
  // The decoder skips 1..16 bits to reach a 16-bit boundary.
  if (out.Aligned()) out.Write(0, 16);
  else out.AlignTo16();
  for (int r = 0; r < 3; ++r) {
    for (int i = 0; i < 4; ++i) out.WriteByte(static_cast<uint8_t>(repeats[r] >> (8 * i)));
  }
  out.WriteBytes(data, size);
  padOwed_ = (size & 1) != 0;
}

void BlockWriter::Write(BitWriter& out, std::span<const Item> items, const BlockStats& stats, const uint8_t* data,
                        const uint32_t repeatsAfter[3], TreeState& state, std::span<const size_t> frameBreaks,
                        const std::function<void()>& onFrameBreak) {
  Trees trees;
  BuildTrees(stats, trees);
  uint64_t verbatim = SymbolCost(stats, trees, false);
  uint64_t alignedCost = SymbolCost(stats, trees, true);
  bool aligned = alignedCost < verbatim;
  uint64_t compressed = 27 + TreeCost(trees, state) + std::min(verbatim, alignedCost);

  if (frameBreaks.empty() && UncompressedCost(stats.bytes) <= compressed) {
    WriteStored(out, data, stats.bytes, repeatsAfter);
    return;
  }

  WriteOwedPad(out);
  out.Write(aligned ? kAligned : kVerbatim, 3);
  out.Write(stats.bytes, 24);
  if (aligned) {
    for (int s = 0; s < kNumAlignedSymbols; ++s) out.Write(trees.alignedLen[s], 3);
  }
  WriteLengths(&out, state.main.data(), trees.mainLen.data(), kNumChars);
  WriteLengths(&out, state.main.data() + kNumChars, trees.mainLen.data() + kNumChars, mainSymbols_ - kNumChars);
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
