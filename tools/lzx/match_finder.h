// The encoder's history: the last window's worth of (translated) data plus
// the frame being encoded, and hash chains over every position in it.
// Positions are offsets in the folder's uncompressed data.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/lzx/large_table.h"

namespace kiv::lzx {

struct Match {
  uint32_t length;
  uint32_t offset;
};

class MatchFinder {
 public:
  // `hashBytes` (3 or 4) is how many bytes a chain's hash covers: 4 makes
  // chains shorter and the search faster, at the price of 3-byte matches.
  // `ways` > 0 replaces the chains by buckets of that many most recent
  // positions per hash: no dependent loads, so much faster, but a bucket
  // only remembers its last few positions.
  //
  // `tree` replaces both by binary trees: per hash, the window's positions
  // sorted by the strings that start there, rebuilt around each new
  // position as it is searched. A search then visits only candidates that
  // share ever longer prefixes with it and finds the longest matches at
  // every length at a small fraction of a deep chain's cost.
  MatchFinder(int windowBits, int hashBits, int hashBytes, int ways = 0, bool tree = false);

  // Appends the next frame; returns a pointer to its copy in the history so
  // the caller can translate it in place before any search.
  uint8_t* Append(const uint8_t* data, size_t size);

  // Data at stream position `pos` (must lie in the kept history).
  const uint8_t* At(int64_t pos) const { return buf_.data() + (pos - base_); }
  int64_t End() const { return base_ + static_cast<int64_t>(used_); }

  // Adds positions up to `pos` (exclusive) to the chains, as far as data for
  // a 3-byte hash exists.
  void InsertUpTo(int64_t pos);

  // Walks the chain at `pos` (which must be the next position to insert)
  // and inserts it. Appends matches of strictly increasing length (>= 3,
  // or >= 2 from trees over a 4-byte hash) to `out`; returns the number
  // added. Stops after `depth` candidates or once a match reaches
  // `niceLength` or `maxLength`.
  int FindAndInsert(int64_t pos, uint32_t maxLength, int depth, uint32_t niceLength, Match* out);

 private:
  int FindInBuckets(int64_t pos, uint32_t maxLength, uint32_t niceLength, Match* out);
  // Searches the tree at `pos`; with `insert` also makes `pos` its new
  // root. With `out` null only inserts.
  int FindInTree(int64_t pos, uint32_t maxLength, int depth, Match* out, bool insert);

 public:
  // Length of the common prefix of `pos` and `pos - offset`, up to `limit`.
  uint32_t MatchLength(int64_t pos, uint32_t offset, uint32_t limit) const {
    const uint8_t* a = At(pos);
    const uint8_t* b = a - offset;
    uint32_t len = 0;
    while (len + 8 <= limit) {
      uint64_t x, y;
      std::memcpy(&x, a + len, 8);
      std::memcpy(&y, b + len, 8);
      if (x != y) return len + static_cast<uint32_t>(__builtin_ctzll(x ^ y) >> 3);
      len += 8;
    }
    while (len < limit && a[len] == b[len]) ++len;
    return len;
  }

  uint32_t MaxOffset() const { return maxOffset_; }
  // Tree mode: how many candidates the insertion of a position that is not
  // searched (inside a long match) visits, and how many bytes the tree
  // compares: a match that long ends a search, whatever `niceLength`.
  void SetTreeEffort(int insertDepth, uint32_t nice) {
    treeInsertDepth_ = insertDepth;
    treeNice_ = std::min<uint32_t>(nice, 257);
  }

 private:
  uint32_t Hash(const uint8_t* p) const {
    uint32_t v;
    std::memcpy(&v, p, 4);
    v &= hashMask_;
    return (v * 2654435761u) >> (32 - hashBits_);
  }

  int hashBits_;
  uint32_t hashMask_;
  int hashBytes_;
  uint32_t windowSize_;
  uint32_t maxOffset_;
  std::vector<uint8_t> buf_;
  int64_t base_ = 0;  // stream position of buf_[0]
  size_t used_ = 0;
  int64_t inserted_ = 0;            // next position to insert
  int ways_;                        // a power of two in bucket mode
  LargeTable<uint8_t> bucketHead_;  // per bucket: slot of its newest entry
  LargeTable<uint32_t> head_;       // stream position + 1, 0 = empty (ways_ per hash in bucket mode)
  LargeTable<uint32_t> prev_;       // indexed by position modulo the window
  bool tree_;
  // Tree mode: the two children (smaller, larger) of each position modulo
  // the window, as stream position + 1, 0 = none.
  LargeTable<uint32_t> children_;
  // Tree mode over a 4-byte hash: the newest position per pair of bytes and
  // per 3-byte hash, so that the short matches the trees cannot hold are
  // still found.
  LargeTable<uint32_t> last2_;
  static constexpr int kHash3Bits = 18;
  LargeTable<uint32_t> hash3_;
  uint32_t Hash3(const uint8_t* p) const {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return ((v & 0xFFFFFFu) * 2654435761u) >> (32 - kHash3Bits);
  }
  int treeInsertDepth_ = 16;  // candidates visited when only inserting
  uint32_t treeNice_ = 32;
};

}  // namespace kiv::lzx
