#include "tools/lzx/match_finder.h"

#include <algorithm>

#include "tools/lzx/lzx_format.h"

namespace kiv::lzx {

namespace {
constexpr size_t kSlack = 16;  // zero bytes after the data for wide compares
constexpr int64_t kPrefetchAhead = 4;
}

MatchFinder::MatchFinder(int windowBits, int hashBits, int hashBytes, int ways)
    : hashBits_(hashBits),
      hashMask_(hashBytes >= 4 ? 0xFFFFFFFFu : 0xFFFFFFu),
      hashBytes_(hashBytes >= 4 ? 4 : 3),
      windowSize_(1u << windowBits),
      maxOffset_((1u << windowBits) - 3),
      buf_(2 * static_cast<size_t>(1u << windowBits) + kFrameSize + kSlack, 0),
      ways_(ways > 0 ? 1 << (31 - __builtin_clz(static_cast<unsigned>(std::min(ways, 128)))) : 0),
      bucketHead_(ways > 0 ? size_t{1} << hashBits : 0, 0),
      head_((size_t{1} << hashBits) * static_cast<size_t>(ways_ > 0 ? ways_ : 1), 0),
      prev_(ways > 0 ? 0 : size_t{1} << windowBits, 0) {}

uint8_t* MatchFinder::Append(const uint8_t* data, size_t size) {
  if (used_ + size + kSlack > buf_.size()) {
    // Keep exactly one window of history; older data can never be matched.
    size_t drop = used_ - windowSize_;
    std::memmove(buf_.data(), buf_.data() + drop, windowSize_);
    base_ += static_cast<int64_t>(drop);
    used_ = windowSize_;
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

int MatchFinder::FindAndInsert(int64_t pos, uint32_t maxLength, int depth, uint32_t niceLength,
                               Match* out) {
  InsertUpTo(pos);
  if (pos + hashBytes_ > End()) return 0;
  if (ways_ > 0) return FindInBuckets(pos, maxLength, niceLength, out);
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

}  // namespace kiv::lzx
