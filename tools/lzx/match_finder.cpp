#include "tools/lzx/match_finder.h"

#include <algorithm>

#include "tools/lzx/lzx_format.h"

namespace kiv::lzx {

namespace {
constexpr size_t kSlack = 16;  // zero bytes after the data for wide compares
constexpr int64_t kPrefetchAhead = 4;
}  // namespace

MatchFinder::MatchFinder(int windowBits, int hashBits, int hashBytes, int ways, bool tree)
    : hashBits_(hashBits),
      hashMask_(hashBytes >= 4 ? 0xFFFFFFFFu : 0xFFFFFFu),
      hashBytes_(hashBytes >= 4 ? 4 : 3),
      windowSize_(1u << windowBits),
      maxOffset_((1u << windowBits) - 3),
      ways_(ways > 0 ? 1 << (31 - __builtin_clz(static_cast<unsigned>(std::min(ways, 128)))) : 0),
      bucketHead_(ways > 0 ? size_t{1} << hashBits : 0),
      head_((size_t{1} << hashBits) * static_cast<size_t>(ways_ > 0 ? ways_ : 1)),
      // Indexed by position modulo the window. Their pages are only touched
      // as positions are inserted, so a small folder pays for what it uses.
      prev_(ways_ == 0 && !tree ? windowSize_ : 0),
      tree_(tree),
      children_(tree ? 2 * static_cast<size_t>(windowSize_) : 0),
      last2_(tree && hashBytes_ == 4 ? size_t{1} << 16 : 0),
      hash3_(tree && hashBytes_ == 4 ? size_t{1} << kHash3Bits : 0) {}

uint8_t* MatchFinder::Append(const uint8_t* data, size_t size) {
  // One window of history, and a longest match more: the tree takes the
  // last positions of a frame only once the next has come, and their
  // window reaches back that far before the new frame's.
  const size_t keep = static_cast<size_t>(windowSize_) + kMaxMatch;
  const size_t full = keep + windowSize_ + kFrameSize + kSlack;
  if (used_ + size + kSlack > buf_.size() && buf_.size() < full) {
    buf_.resize(std::min(full, std::max(2 * buf_.size(), used_ + size + kSlack)), 0);
  }
  if (used_ + size + kSlack > buf_.size()) {
    // Older data can never be matched.
    size_t drop = used_ - keep;
    std::memmove(buf_.data(), buf_.data() + drop, keep);
    base_ += static_cast<int64_t>(drop);
    used_ = keep;
  }
  uint8_t* dst = buf_.data() + used_;
  std::memcpy(dst, data, size);
  used_ += size;
  std::memset(buf_.data() + used_, 0, kSlack);
  return dst;
}

void MatchFinder::InsertUpTo(int64_t pos) {
  const int64_t limit = std::min(pos, End() - (hashBytes_ - 1));
  const uint32_t mask = windowSize_ - 1;
  if (tree_) {
    // A position joins the tree only once as many bytes as the tree compares
    // follow it; one nearer the end than that waits for the next frame, so
    // that the tree's order stays exact.
    const int64_t treeLimit = std::min(pos, End() - static_cast<int64_t>(treeNice_) + 1);
    while (inserted_ < treeLimit) {
      FindInTree(inserted_, kMaxMatch, treeInsertDepth_, nullptr, true);
    }
    return;
  }
  if (ways_ > 0) {
    const unsigned wrap = static_cast<unsigned>(ways_ - 1);
    for (; inserted_ < limit; ++inserted_) {
      uint32_t h = Hash(At(inserted_));
      uint8_t slot = static_cast<uint8_t>((bucketHead_[h] - 1) & wrap);
      bucketHead_[h] = slot;
      head_[static_cast<size_t>(h) * ways_ + slot] = static_cast<uint32_t>(inserted_) + 1;
    }
    return;
  }
  for (; inserted_ < limit; ++inserted_) {
    uint32_t h = Hash(At(inserted_));
    prev_[static_cast<uint32_t>(inserted_) & mask] = head_[h];
    head_[h] = static_cast<uint32_t>(inserted_) + 1;
  }
}

int MatchFinder::FindAndInsert(int64_t pos, uint32_t maxLength, int depth, uint32_t niceLength, Match* out) {
  InsertUpTo(pos);
  if (pos + hashBytes_ > End()) return 0;
  if (ways_ > 0) return FindInBuckets(pos, maxLength, niceLength, out);
  if (tree_) {
    if (maxLength < 3) return 0;
    const bool insert = inserted_ == pos && pos + static_cast<int64_t>(treeNice_) <= End() && maxLength >= treeNice_;
    return FindInTree(pos, maxLength, depth, out, insert);
  }
  const uint32_t mask = windowSize_ - 1;
  const uint8_t* cur = At(pos);
  uint32_t h = Hash(cur);
  uint32_t cand = head_[h];
  prev_[static_cast<uint32_t>(pos) & mask] = cand;
  head_[h] = static_cast<uint32_t>(pos) + 1;
  inserted_ = pos + 1;

  int found = 0;
  uint32_t best = 2;
  if (maxLength < 3) return 0;
  while (cand != 0 && depth-- > 0) {
    int64_t c = static_cast<int64_t>(cand) - 1;
    uint32_t offset = static_cast<uint32_t>(pos - c);
    if (pos - c > static_cast<int64_t>(maxOffset_)) break;
    const uint8_t* p = At(c);
    if (p[best] == cur[best] && p[0] == cur[0] && p[1] == cur[1]) {
      uint32_t len = MatchLength(pos, offset, maxLength);
      if (len > best) {
        best = len;
        out[found++] = {len, offset};
        if (len >= niceLength || len >= maxLength) break;
      }
    }
    cand = prev_[static_cast<uint32_t>(c) & mask];
  }
  return found;
}

int MatchFinder::FindInBuckets(int64_t pos, uint32_t maxLength, uint32_t niceLength, Match* out) {
  const uint8_t* cur = At(pos);
  const uint32_t h = Hash(cur);
  uint32_t* bucket = &head_[static_cast<size_t>(h) * ways_];
  // Positions come in order: fetch a bucket a few positions ahead now so
  // its cache miss overlaps this search.
  if (pos + kPrefetchAhead + 4 <= End()) {
    uint32_t ahead = Hash(cur + kPrefetchAhead);
    __builtin_prefetch(&head_[static_cast<size_t>(ahead) * ways_]);
    __builtin_prefetch(&bucketHead_[ahead]);
  }
  const unsigned wrap = static_cast<unsigned>(ways_ - 1);
  const unsigned newest = bucketHead_[h];
  uint32_t cands[128];
  const int ways = ways_;
  for (int i = 0; i < ways; ++i) cands[i] = bucket[(newest + i) & wrap];
  uint8_t slot = static_cast<uint8_t>((newest - 1) & wrap);
  bucketHead_[h] = slot;
  bucket[slot] = static_cast<uint32_t>(pos) + 1;
  inserted_ = pos + 1;
  if (maxLength < 3) return 0;
  int found = 0;
  uint32_t best = 2;
  for (int i = 0; i < ways && cands[i] != 0; ++i) {
    int64_t c = static_cast<int64_t>(cands[i]) - 1;
    if (pos - c > static_cast<int64_t>(maxOffset_)) break;
    const uint8_t* p = At(c);
    if (p[best] != cur[best] || p[0] != cur[0] || p[1] != cur[1]) continue;
    uint32_t offset = static_cast<uint32_t>(pos - c);
    uint32_t len = MatchLength(pos, offset, maxLength);
    if (len > best) {
      best = len;
      out[found++] = {len, offset};
      if (len >= niceLength || len >= maxLength) break;
    }
  }
  return found;
}

int MatchFinder::FindInTree(int64_t pos, uint32_t maxLength, int depth, Match* out, bool insert) {
  const uint32_t mask = windowSize_ - 1;
  const uint8_t* cur = At(pos);
  const uint32_t h = Hash(cur);
  uint32_t cand = head_[h];
  uint32_t scratch[2];
  // Searches come position by position: fetch the tree root a few
  // positions ahead, and the data and children of the root fetched so two
  // positions ago, so that the first steps of a walk rarely wait.
  if (pos + kPrefetchAhead + 4 <= End()) {
    __builtin_prefetch(&head_[Hash(cur + kPrefetchAhead)]);
    if (!hash3_.empty()) __builtin_prefetch(&hash3_[Hash3(cur + kPrefetchAhead)]);
    if (const uint32_t root = head_[Hash(cur + kPrefetchAhead / 2)]) {
      __builtin_prefetch(At(static_cast<int64_t>(root) - 1));
      __builtin_prefetch(&children_[2 * ((root - 1) & mask)]);
    }
  }
  if (insert) {
    head_[h] = static_cast<uint32_t>(pos) + 1;
    inserted_ = pos + 1;
  }
  // The new position becomes the root: candidates smaller than it hang
  // below `smaller`, larger ones below `larger`. `smallLen` and `largeLen`
  // are the prefixes those sides are known to share with it.
  // A search that does not insert links into scratch slots instead.
  uint32_t* smaller = insert ? &children_[2 * (static_cast<uint32_t>(pos) & mask)] : &scratch[0];
  uint32_t* larger = smaller + 1;
  uint32_t smallLen = 0, largeLen = 0;
  // Every insertion compares the same number of bytes, so the tree is
  // ordered by that prefix exactly; a match reported is measured in full.
  const uint32_t limit = std::min(treeNice_, maxLength);
  uint32_t best = 2;
  int found = 0;
  if (!hash3_.empty()) {
    // The newest positions with the same two and three bytes give the
    // length-2 and length-3 matches at the smallest offsets; the tree finds
    // the longer ones. A near 2-byte match often beats two literals where
    // the nearest longer match lies far back.
    uint32_t& slot2 = last2_[cur[0] | cur[1] << 8];
    uint32_t& slot3 = hash3_[Hash3(cur)];
    const uint32_t c2 = slot2, c3 = slot3;
    // Unlike the tree, these take a position as soon as it is searched, so
    // that the last positions of the data seen so far see each other; its
    // insertion later must not put back an older position over a newer one.
    const uint32_t self = static_cast<uint32_t>(pos) + 1;
    if (slot2 < self) slot2 = self;
    if (slot3 < self) slot3 = self;
    if (out) {
      const int64_t p3 = static_cast<int64_t>(c3) - 1;
      const bool has3 = c3 != 0 && pos - p3 <= static_cast<int64_t>(maxOffset_) && std::memcmp(At(p3), cur, 3) == 0;
      const int64_t p2 = static_cast<int64_t>(c2) - 1;
      // The newest 2-byte match is only shorter than the 3-byte one when
      // its third byte differs.
      if (c2 != 0 && pos - p2 <= static_cast<int64_t>(maxOffset_) && At(p2)[2] != cur[2]) {
        out[found++] = {2, static_cast<uint32_t>(pos - p2)};
      }
      if (has3) {
        out[found++] = {3, static_cast<uint32_t>(pos - p3)};
        best = 3;
      }
    }
  }
  while (cand != 0) {
    const int64_t c = static_cast<int64_t>(cand) - 1;
    const uint32_t offset = static_cast<uint32_t>(pos - c);
    if (offset > maxOffset_ || depth-- <= 0) break;
    uint32_t* pair = &children_[2 * (static_cast<uint32_t>(c) & mask)];
    const uint8_t* p = At(c);
    uint32_t len = std::min(smallLen, largeLen);
    // The walk goes on to one of the two children: fetch both their links
    // now, so the next step's cache miss overlaps this one's compare. (Their
    // data too costs more bandwidth than it saves.)
    for (int side = 0; side < 2; ++side) {
      if (const uint32_t next = pair[side]) __builtin_prefetch(&children_[2 * ((next - 1) & mask)]);
    }
    if (p[len] == cur[len]) {
      len = len + 1 + MatchLength(pos + len + 1, offset, limit - len - 1);
      if (len > best && out) {
        // Measured in full only when it reached the compare limit.
        uint32_t real = len < limit ? len : limit + MatchLength(pos + limit, offset, maxLength - limit);
        if (real > best) {
          best = real;
          out[found++] = {real, offset};
        }
      }
      if (len >= limit) {
        // Equal as far as we look: the candidate's subtrees become ours.
        if (insert) {
          *smaller = pair[0];
          *larger = pair[1];
        }
        return found;
      }
    }
    if (p[len] < cur[len]) {
      if (insert) {
        *smaller = cand;
        smaller = &pair[1];
      }
      cand = pair[1];
      smallLen = len;
    } else {
      if (insert) {
        *larger = cand;
        larger = &pair[0];
      }
      cand = pair[0];
      largeLen = len;
    }
  }
  if (insert) {
    *smaller = 0;
    *larger = 0;
  }
  return found;
}

}  // namespace kiv::lzx
