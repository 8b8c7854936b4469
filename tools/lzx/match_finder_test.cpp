#include "tools/lzx/match_finder.h"

#include <gtest/gtest.h>

#include <random>

#include "tools/lzx/lzx_format.h"

namespace kiv::lzx {
namespace {

// Text-like data with repeats at all distances and runs, over more than
// the window, appended frame by frame.
std::vector<uint8_t> Sample(size_t n) {
  std::mt19937 rng(3);
  std::vector<uint8_t> d;
  while (d.size() < n) {
    if (d.size() > 300 && rng() % 3 == 0) {
      size_t from = d.size() - 1 - rng() % std::min<size_t>(d.size() - 1, 150000);
      for (size_t k = 3 + rng() % 300; k > 0; --k) d.push_back(d[from++]);
    } else {
      d.push_back(static_cast<uint8_t>('a' + rng() % 6));
    }
  }
  d.resize(n);
  return d;
}

// Longest match at `pos` within `maxOffset`, by brute force.
uint32_t Longest(const std::vector<uint8_t>& d, size_t pos, size_t end, uint32_t maxOffset) {
  uint32_t best = 0;
  for (size_t c = pos > maxOffset ? pos - maxOffset : 0; c < pos; ++c) {
    uint32_t len = 0;
    while (len < kMaxMatch && pos + len < end && d[c + len] == d[pos + len]) ++len;
    best = std::max(best, len);
  }
  return best;
}

// Binary trees, chains and buckets report only real matches, each longer
// than the one before; an unlimited tree search finds the longest one.
TEST(MatchFinder, ReportsRealMatchesAndTheTreeFindsTheLongest) {
  const int windowBits = 17;
  const auto data = Sample(200000);
  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    MatchFinder finder(windowBits, 16, 3, mode == 2 ? 8 : 0, mode == 0);
    finder.SetTreeEffort(1 << 20, kMaxMatch);
    Match found[kMaxMatch + 1];
    int checked = 0;
    for (size_t start = 0; start < data.size(); start += kFrameSize) {
      const size_t end = std::min(data.size(), start + kFrameSize);
      finder.Append(data.data() + start, end - start);
      for (size_t pos = start; pos < end; ++pos) {
        const uint32_t maxLength = static_cast<uint32_t>(std::min<size_t>(kMaxMatch, end - pos));
        int n = finder.FindAndInsert(static_cast<int64_t>(pos), maxLength, mode == 0 ? 1 << 20 : 64, kMaxMatch, found);
        uint32_t last = 2;
        for (int i = 0; i < n; ++i) {
          ASSERT_GT(found[i].length, last) << pos;
          ASSERT_LE(found[i].offset, finder.MaxOffset());
          ASSERT_LE(found[i].offset, pos);
          for (uint32_t k = 0; k < found[i].length; ++k) {
            ASSERT_EQ(data[pos + k], data[pos - found[i].offset + k]) << pos;
          }
          last = found[i].length;
        }
        if (mode == 0 && pos % 499 == 0 && pos > 140000) {
          uint32_t longest = Longest(data, pos, end, finder.MaxOffset());
          EXPECT_EQ(n ? found[n - 1].length : 0, longest >= 3 ? longest : 0) << pos;
          ++checked;
        }
      }
    }
    if (mode == 0) {
      EXPECT_GT(checked, 100);
    }
  }
}

// Trees over a 4-byte hash take the short matches from side tables: the
// nearest 2-byte match (where it is not also a longer one) and the nearest
// 3-byte one, then the tree's longer ones; the longest is still found.
TEST(MatchFinder, FourByteTreesStillReportTheNearestShortMatches) {
  const auto data = Sample(150000);
  MatchFinder finder(17, 16, 4, 0, true);
  finder.SetTreeEffort(1 << 20, kMaxMatch);
  Match found[kMaxMatch + 1];
  int nearestTwo = 0, nearestThree = 0, longestChecked = 0;
  for (size_t start = 0; start < data.size(); start += kFrameSize) {
    const size_t end = std::min(data.size(), start + kFrameSize);
    finder.Append(data.data() + start, end - start);
    for (size_t pos = start; pos < end; ++pos) {
      const uint32_t maxLength = static_cast<uint32_t>(std::min<size_t>(kMaxMatch, end - pos));
      const int n = finder.FindAndInsert(static_cast<int64_t>(pos), maxLength, 1 << 20, kMaxMatch, found);
      uint32_t last = 1;
      for (int i = 0; i < n; ++i) {
        ASSERT_GT(found[i].length, last) << pos;
        ASSERT_LE(found[i].offset, pos);
        for (uint32_t k = 0; k < found[i].length; ++k) ASSERT_EQ(data[pos + k], data[pos - found[i].offset + k]) << pos;
        last = found[i].length;
      }
      if (pos % 97 != 0 || pos < 1000 || end - pos < 3) continue;
      // The nearest earlier positions sharing two and three bytes.
      size_t near2 = 0, near3 = 0;
      for (size_t c = pos; c-- > 0 && (!near2 || !near3);) {
        if (data[c] != data[pos] || data[c + 1] != data[pos + 1]) continue;
        if (!near2) near2 = pos - c;
        if (!near3 && data[c + 2] == data[pos + 2]) near3 = pos - c;
      }
      if (n > 0 && found[0].length == 2) {
        EXPECT_EQ(found[0].offset, near2) << pos;
        ++nearestTwo;
      }
      for (int i = 0; i < n; ++i) {
        if (found[i].length == 3) {
          EXPECT_EQ(found[i].offset, near3) << pos;
          ++nearestThree;
        }
      }
      const uint32_t longest = Longest(data, pos, end, finder.MaxOffset());
      if (longest >= 4) {
        EXPECT_EQ(n ? found[n - 1].length : 0, longest) << pos;
        ++longestChecked;
      }
    }
  }
  EXPECT_GT(nearestTwo, 20);
  EXPECT_GT(nearestThree, 20);
  EXPECT_GT(longestChecked, 500);
}

}  // namespace
}  // namespace kiv::lzx
