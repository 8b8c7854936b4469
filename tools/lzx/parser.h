// Splits one frame of the history into literals and matches.
//
// The fast parse is lazy matching over hash chains with the three repeated
// offsets tried first. The strong parse collects all matches of increasing
// length at each position once, then finds the cheapest path through the
// frame under a bit-cost model, repeating with the model re-estimated from
// its own result (the repeated offsets are followed along the best path to
// each position).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/lzx/block_writer.h"
#include "tools/lzx/match_finder.h"

namespace kiv::lzx {

// Bit costs in 1/16 bit, estimated from symbol statistics.
struct CostModel {
  std::array<uint32_t, kMaxMainSymbols> main{};
  std::array<uint32_t, kNumLengthSymbols> length{};
  // Offset bits: when aligned-offset blocks pay, the low three bits of a
  // large offset cost what the aligned tree gives them.
  bool aligned = false;
  std::array<uint32_t, kNumAlignedSymbols> alignedBits{};

  void SetDefault(int mainSymbols);
  // A used symbol costs its -log2 share; an unused one a little more than
  // the rarest could.
  void FromStats(const BlockStats& stats, int mainSymbols);

  uint32_t OffsetCost(int slot, uint32_t formatted) const {
    uint32_t extra = kSlots.extra[slot];
    if (!aligned || extra < 3) return extra * 16;
    return (extra - 3) * 16 + alignedBits[(formatted - kSlots.base[slot]) & 7];
  }

  uint32_t MatchCost(int slot, uint32_t len) const {
    uint32_t c = main[MainSymbol(slot, len)];
    if (len - kMinMatch >= kNumPrimaryLengths) c += length[len - kMinMatch - kNumPrimaryLengths];
    return c;
  }
};

struct ParserSettings {
  int depth = 32;            // chain candidates per position
  uint32_t nice = 64;        // a match this long is taken at once
  uint32_t lazyLength = 32;  // lazy parse: no look-ahead behind a match this long
  int passes = 0;            // 0: lazy parse; else optimal-parse passes
  // Strong parse: lengths of a match tried one by one up to this, and as
  // many below its full length; the ones between are skipped.
  uint32_t denseLengths = kMaxMatch;
  bool tails = false;  // strong parse: also try match + literal + R0 match
  // Match finder: hash table size, bytes hashed, bucket ways (0 = chains).
  int hashBits = 17;
  int hashBytes = 4;
  int ways = 16;
  bool tree = false;    // binary trees instead of buckets or chains
  int insertDepth = 8;  // tree candidates visited by a position only inserted
  // How much of the earlier frames' statistics the cost model keeps, in
  // eighths per frame (0: this frame's alone). One 32 KiB frame is a small
  // sample for the codes of a block that often spans several.
  int history = 0;
};

class Parser {
 public:
  Parser(MatchFinder& finder, int windowBits, const ParserSettings& settings);

  // Parses [start, end) of the history; `repeats` (R0..R2) are updated.
  // Returns the statistics of the items appended.
  BlockStats Parse(int64_t start, int64_t end, uint32_t repeats[3], std::vector<Item>& items);

 private:
  BlockStats ParseLazy(int64_t start, int64_t end, uint32_t repeats[3], std::vector<Item>& items);
  BlockStats ParseOptimal(int64_t start, int64_t end, uint32_t repeats[3], std::vector<Item>& items);
  void CollectMatches(int64_t start, int64_t end);
  void OptimalPass(int64_t start, int64_t end, const uint32_t repeats[3], const CostModel& costs,
                   std::vector<Item>& items, uint32_t repeatsOut[3]);

  MatchFinder& finder_;
  int mainSymbols_;
  ParserSettings settings_;
  CostModel model_;  // carried from frame to frame
  // This frame's statistics weighted together with the decayed history.
  BlockStats WithHistory(const BlockStats& frame) const;
  void Remember(const BlockStats& frame);
  BlockStats history_;

  std::vector<int32_t> litPrefix_;  // lazy parse: literal costs, summed

  // Strong parse scratch.
  std::vector<Match> matches_;
  std::vector<uint32_t> matchIndex_;  // per position, into matches_ (n + 1 entries)
  struct Node {
    uint32_t cost;
    uint16_t length;  // length of the step that reached here; 0 = literal
    uint16_t tail;    // the step went on with a literal and an R0 match this long
    uint32_t code;
  };
  std::vector<Node> nodes_;
  struct Reps {
    uint32_t r[3];
  };
  std::vector<Reps> reps_;
};

}  // namespace kiv::lzx
