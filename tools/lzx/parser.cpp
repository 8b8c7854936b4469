#include "tools/lzx/parser.h"

#include <algorithm>
#include <cmath>

namespace kiv::lzx {

namespace {

constexpr uint32_t kInfinity = 0xFFFFFFFFu;
constexpr int kMaxMatchesPerPosition = 24;

inline void UpdateRepeats(uint32_t rep[3], uint32_t code) {
  if (code == 0) return;
  if (code == 1) {
    std::swap(rep[0], rep[1]);
  } else if (code == 2) {
    std::swap(rep[0], rep[2]);
  } else {
    rep[2] = rep[1];
    rep[1] = rep[0];
    rep[0] = code - 2;
  }
}

}  // namespace

void CostModel::SetDefault(int mainSymbols) {
  for (int s = 0; s < mainSymbols; ++s) {
    int slot = (s - kNumChars) >> 3;
    main[s] = s < kNumChars ? 8 * 16 : slot < 3 ? 7 * 16 : 9 * 16;
  }
  length.fill(6 * 16);
}

void CostModel::FromStats(const BlockStats& stats, int mainSymbols) {
  auto fill = [](const uint32_t* freq, uint32_t* cost, int n) {
    uint64_t total = 0;
    for (int s = 0; s < n; ++s) total += freq[s];
    const double lt = std::log2(static_cast<double>(total) + 1.0);
    const auto unused = static_cast<uint32_t>(std::lround(std::clamp(lt + 2.0, 1.0, 18.0) * 16));
    for (int s = 0; s < n; ++s) {
      if (!freq[s]) {
        cost[s] = unused;
        continue;
      }
      double bits = std::clamp(lt - std::log2(static_cast<double>(freq[s])), 1.0, 18.0);
      cost[s] = static_cast<uint32_t>(std::lround(bits * 16));
    }
  };
  fill(stats.main.data(), main.data(), mainSymbols);
  fill(stats.length.data(), length.data(), kNumLengthSymbols);
  // Aligned blocks pay when the low offset bits are skewed: compare their
  // entropy with the three plain bits they replace.
  fill(stats.aligned.data(), alignedBits.data(), kNumAlignedSymbols);
  uint64_t plain = 0, coded = 0;
  for (int s = 0; s < kNumAlignedSymbols; ++s) {
    plain += 3ull * 16 * stats.aligned[s];
    coded += static_cast<uint64_t>(stats.aligned[s]) * alignedBits[s];
  }
  aligned = coded + 24 * 16 < plain;
}

Parser::Parser(MatchFinder& finder, int windowBits, const ParserSettings& settings)
    : finder_(finder), mainSymbols_(kNumChars + 8 * NumPositionSlots(windowBits)), settings_(settings) {
  model_.SetDefault(mainSymbols_);
}

BlockStats Parser::Parse(int64_t start, int64_t end, uint32_t repeats[3], std::vector<Item>& items) {
  return settings_.passes == 0 ? ParseLazy(start, end, repeats, items) : ParseOptimal(start, end, repeats, items);
}

BlockStats Parser::ParseLazy(int64_t start, int64_t end, uint32_t rep[3], std::vector<Item>& items) {
  // A match's gain is the bits its bytes would cost as literals, less its
  // own cost; literal costs come from the previous frame's statistics.
  litPrefix_.resize(static_cast<size_t>(end - start) + 1);
  litPrefix_[0] = 0;
  const uint8_t* frame = finder_.At(start);
  for (int64_t i = 0; i < end - start; ++i)
    litPrefix_[i + 1] = litPrefix_[i] + static_cast<int32_t>(model_.main[frame[i]]);
  auto literalCost = [&](int64_t pos, uint32_t len) { return litPrefix_[pos - start + len] - litPrefix_[pos - start]; };

  struct Choice {
    uint32_t length = 0;
    uint32_t code = 0;
    int32_t gain = 0;
  };
  Match found[kMaxMatch + 1];  // lengths strictly increase: at most one per length
  auto best = [&](int64_t pos, int depth) {
    Choice c;
    uint32_t maxLen = static_cast<uint32_t>(std::min<int64_t>(kMaxMatch, end - pos));
    for (uint32_t k = 0; k < 3 && maxLen >= 2; ++k) {
      uint32_t d = rep[k];
      if (static_cast<int64_t>(d) > pos || (k > 0 && d == rep[0]) || (k == 2 && d == rep[1])) continue;
      uint32_t len = finder_.MatchLength(pos, d, maxLen);
      if (len < 2) continue;
      int32_t gain = literalCost(pos, len) - static_cast<int32_t>(model_.MatchCost(k, len));
      if (gain > c.gain) c = {len, k, gain};
    }
    if (c.length >= settings_.nice) {
      finder_.InsertUpTo(pos + 1);
      return c;
    }
    int n = finder_.FindAndInsert(pos, maxLen, depth, settings_.nice, found);
    for (int i = n - 1; i >= 0; --i) {
      uint32_t off = found[i].offset;
      uint32_t code = off + 2;
      for (uint32_t k = 0; k < 3; ++k) {
        if (rep[k] == off) code = k;
      }
      int slot = SlotOfCode(code);
      int32_t cost = static_cast<int32_t>(model_.MatchCost(slot, found[i].length));
      if (code >= 3) cost += kSlots.extra[slot] * 16;
      int32_t gain = literalCost(pos, found[i].length) - cost;
      if (gain > c.gain) c = {found[i].length, code, gain};
    }
    return c;
  };

  BlockStats stats;
  int64_t pos = start;
  while (pos < end) {
    Choice c = best(pos, settings_.depth);
    if (c.length == 0) {
      Item it{0, *finder_.At(pos), 0};
      items.push_back(it);
      stats.Add(it);
      ++pos;
      continue;
    }
    // Look one position ahead unless the match is already long; search less
    // hard behind a fair one.
    while (c.length < settings_.lazyLength && pos + 1 < end) {
      Choice next = best(pos + 1, c.length >= 8 ? settings_.depth / 4 + 1 : settings_.depth);
      int skip = 1;
      if (next.gain <= c.gain) {
        // Two positions ahead, as far as the current match reaches.
        if (c.length < 3 || pos + 2 >= end) break;
        next = best(pos + 2, settings_.depth / 4 + 1);
        if (next.gain <= c.gain) break;
        skip = 2;
      }
      for (; skip > 0; --skip) {
        Item it{0, *finder_.At(pos), 0};
        items.push_back(it);
        stats.Add(it);
        ++pos;
      }
      c = next;
    }
    Item it{static_cast<uint16_t>(c.length), 0, c.code};
    items.push_back(it);
    stats.Add(it);
    UpdateRepeats(rep, c.code);
    pos += c.length;
    finder_.InsertUpTo(pos);
  }
  model_.FromStats(WithHistory(stats), mainSymbols_);
  Remember(stats);
  return stats;
}

namespace {
// A frame counts four times over, so that the decayed history keeps some
// resolution in integer counts.
constexpr uint32_t kFrameWeight = 4;

template <size_t N>
void Weigh(const std::array<uint32_t, N>& frame, const std::array<uint32_t, N>& history, int eighths,
           std::array<uint32_t, N>& out) {
  for (size_t i = 0; i < N; ++i) out[i] = frame[i] * kFrameWeight + history[i] * static_cast<uint32_t>(eighths) / 8;
}
}  // namespace

BlockStats Parser::WithHistory(const BlockStats& frame) const {
  if (settings_.history == 0) return frame;
  BlockStats b = frame;
  Weigh(frame.main, history_.main, settings_.history, b.main);
  Weigh(frame.length, history_.length, settings_.history, b.length);
  Weigh(frame.aligned, history_.aligned, settings_.history, b.aligned);
  return b;
}

void Parser::Remember(const BlockStats& frame) {
  if (settings_.history == 0) return;
  history_ = WithHistory(frame);
}

void Parser::CollectMatches(int64_t start, int64_t end) {
  const size_t n = static_cast<size_t>(end - start);
  matches_.clear();
  matchIndex_.assign(n + 1, 0);
  Match found[kMaxMatch + 1];
  int64_t skipUntil = start;
  for (int64_t pos = start; pos < end; ++pos) {
    matchIndex_[pos - start] = static_cast<uint32_t>(matches_.size());
    if (pos < skipUntil) {
      finder_.InsertUpTo(pos + 1);
      continue;
    }
    uint32_t maxLen = static_cast<uint32_t>(std::min<int64_t>(kMaxMatch, end - pos));
    int count = finder_.FindAndInsert(pos, maxLen, settings_.depth, settings_.nice, found);
    // Keep the longest few when the chain produced many.
    int first = std::max(0, count - kMaxMatchesPerPosition);
    for (int i = first; i < count; ++i) matches_.push_back(found[i]);
    if (count > 0 && found[count - 1].length >= settings_.nice) {
      skipUntil = pos + found[count - 1].length;
    }
  }
  matchIndex_[n] = static_cast<uint32_t>(matches_.size());
}

void Parser::OptimalPass(int64_t start, int64_t end, const uint32_t repeats[3], const CostModel& costs,
                         std::vector<Item>& items, uint32_t repeatsOut[3]) {
  const int n = static_cast<int>(end - start);
  nodes_.resize(static_cast<size_t>(n) + 1);
  reps_.resize(static_cast<size_t>(n) + 1);
  for (auto& node : nodes_) node.cost = kInfinity;
  Node& first = nodes_[0];
  first.cost = 0;
  first.length = 0;
  std::copy(repeats, repeats + 3, reps_[0].r);
  // A node's repeated offsets follow from those of the node its step left
  // from; they are worked out once, when the node is expanded, rather than
  // copied at every relaxation.
  auto repsOf = [&](int i) {
    Reps r;
    const Node& node = nodes_[i];
    if (node.length == 0) {
      r = reps_[i - 1];
    } else {
      r = reps_[i - node.length - (node.tail ? 1 + node.tail : 0)];
      UpdateRepeats(r.r, node.code);
    }
    return r;
  };

  const uint32_t nice = settings_.nice;
  for (int i = 0; i < n; ++i) {
    const Node& node = nodes_[i];
    if (i > 0) reps_[i] = repsOf(i);
    const uint32_t* rep = reps_[i].r;
    const int64_t pos = start + i;
    const uint32_t base = node.cost;
    const uint8_t* here = finder_.At(pos);
    // Literal.
    {
      uint32_t c = base + costs.main[*here];
      Node& t = nodes_[i + 1];
      if (c < t.cost) {
        t.cost = c;
        t.length = 0;
        t.code = 0;
        t.tail = 0;
      }
    }
    const uint32_t maxLen = static_cast<uint32_t>(std::min(kMaxMatch, n - i));
    if (maxLen < 2) continue;

    auto relax = [&](uint32_t len, uint32_t code, uint32_t cost) {
      Node& t = nodes_[i + len];
      if (cost >= t.cost) return;
      t.cost = cost;
      t.length = static_cast<uint16_t>(len);
      t.code = code;
      t.tail = 0;
    };
    // A match, one literal, then the same offset again as R0: a step the
    // single-item edges miss when another path reaches the literal first.
    auto relaxWithTail = [&](uint32_t len, uint32_t code, uint32_t offset, uint32_t cost) {
      const int after = i + static_cast<int>(len) + 1;
      if (after + 2 > n) return;
      uint32_t tail = finder_.MatchLength(start + after, offset, static_cast<uint32_t>(std::min(kMaxMatch, n - after)));
      if (tail < 2) return;
      cost += costs.main[here[len]] + costs.MatchCost(0, tail);
      Node& t = nodes_[after + tail];
      if (cost >= t.cost) return;
      t.cost = cost;
      t.length = static_cast<uint16_t>(len);
      t.code = code;
      t.tail = static_cast<uint16_t>(tail);
    };

    uint32_t repLongest = 0;
    for (uint32_t k = 0; k < 3; ++k) {
      uint32_t d = rep[k];
      if (static_cast<int64_t>(d) > pos || (k > 0 && d == rep[0]) || (k == 2 && d == rep[1])) continue;
      uint32_t len = finder_.MatchLength(pos, d, maxLen);
      if (len < 2) continue;
      repLongest = std::max(repLongest, len);
      if (settings_.tails) relaxWithTail(len, k, d, base + costs.MatchCost(k, len));
      if (len >= nice) {
        relax(len, k, base + costs.MatchCost(k, len));
        continue;
      }
      for (uint32_t l = 2; l <= len; ++l) {
        if (l > settings_.denseLengths && l + settings_.denseLengths < len) l = len - settings_.denseLengths;
        relax(l, k, base + costs.MatchCost(k, l));
      }
    }
    // A match this long is taken as it stands: the positions it covers are
    // not expanded, which on long repeats is most of the work.
    if (repLongest >= nice) {
      i += static_cast<int>(repLongest) - 1;
      continue;
    }

    // Lengths a repeated offset reaches are left to it: it needs no offset
    // bits, and its lengths were all tried above.
    uint32_t prevLen = std::max<uint32_t>(1, repLongest);
    uint32_t longest = 0;
    for (uint32_t m = matchIndex_[i]; m < matchIndex_[i + 1]; ++m) {
      uint32_t len = std::min(matches_[m].length, maxLen);
      uint32_t off = matches_[m].offset;
      if (off == rep[0] || off == rep[1] || off == rep[2]) {
        prevLen = std::max(prevLen, len);
        continue;
      }
      uint32_t code = off + 2;
      int slot = SlotOfFormatted(code);
      uint32_t offCost = base + costs.OffsetCost(slot, code);
      if (settings_.tails) relaxWithTail(len, code, off, offCost + costs.MatchCost(slot, len));
      if (len >= nice) {
        relax(len, code, offCost + costs.MatchCost(slot, len));
        longest = len;
      } else {
        for (uint32_t l = prevLen + 1; l <= len; ++l) {
          if (l > settings_.denseLengths && l + settings_.denseLengths < len) l = len - settings_.denseLengths;
          relax(l, code, offCost + costs.MatchCost(slot, l));
        }
      }
      prevLen = std::max(prevLen, len);
    }
    if (longest >= nice) i += static_cast<int>(longest) - 1;
  }

  // Walk back along the cheapest path.
  size_t firstItem = items.size();
  for (int i = n; i > 0;) {
    const Node& node = nodes_[i];
    if (node.length == 0) {
      items.push_back(Item{0, *finder_.At(start + i - 1), 0});
      i -= 1;
    } else if (node.tail) {
      items.push_back(Item{node.tail, 0, 0});
      items.push_back(Item{0, *finder_.At(start + i - node.tail - 1), 0});
      items.push_back(Item{node.length, 0, node.code});
      i -= node.length + 1 + node.tail;
    } else {
      items.push_back(Item{node.length, 0, node.code});
      i -= node.length;
    }
  }
  std::reverse(items.begin() + static_cast<std::ptrdiff_t>(firstItem), items.end());
  const Reps last = n > 0 ? repsOf(n) : reps_[0];
  std::copy(last.r, last.r + 3, repeatsOut);
}

BlockStats Parser::ParseOptimal(int64_t start, int64_t end, uint32_t repeats[3], std::vector<Item>& items) {
  CollectMatches(start, end);
  const size_t firstItem = items.size();
  uint32_t out[3];
  CostModel costs = model_;
  BlockStats stats;
  for (int pass = 0; pass < settings_.passes; ++pass) {
    items.resize(firstItem);
    OptimalPass(start, end, repeats, costs, items, out);
    stats = BlockStats();
    stats.AddAll(std::span<const Item>(items.data() + firstItem, items.size() - firstItem));
    costs.FromStats(WithHistory(stats), mainSymbols_);
  }
  Remember(stats);
  model_ = costs;
  std::copy(out, out + 3, repeats);
  return stats;
}

}  // namespace kiv::lzx
