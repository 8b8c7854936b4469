#include "tools/lzx/huffman.h"

#include <algorithm>
#include <vector>

namespace kiv::lzx {

namespace {

// Plain Huffman code lengths by the two-queue method over sorted leaves.
// Returns the longest length.
int HuffmanLengths(const std::vector<std::pair<uint32_t, int>>& leaves, std::span<uint8_t> lengths) {
  const int n = static_cast<int>(leaves.size());
  // Nodes 0..n-1 are leaves (ascending weight), n.. are internal nodes.
  std::vector<uint64_t> weight(2 * n);
  std::vector<int> parent(2 * n, -1);
  for (int i = 0; i < n; ++i) weight[i] = leaves[i].first;
  int leaf = 0, inner = n, next = n;
  auto take = [&]() {
    if (leaf < n && (inner >= next || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (; next < 2 * n - 1; ++next) {
    int a = take();
    int b = take();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = next;
  }
  std::vector<int> depth(2 * n, 0);
  int maxDepth = 0;
  for (int i = 2 * n - 3; i >= 0; --i) {
    depth[i] = depth[parent[i]] + 1;
  }
  for (int i = 0; i < n; ++i) {
    lengths[leaves[i].second] = static_cast<uint8_t>(depth[i]);
    maxDepth = std::max(maxDepth, depth[i]);
  }
  return maxDepth;
}

}  // namespace

void BuildCodeLengths(std::span<const uint32_t> freqs, int maxLength, std::span<uint8_t> lengths) {
  std::fill(lengths.begin(), lengths.end(), 0);
  std::vector<std::pair<uint32_t, int>> leaves;
  for (size_t i = 0; i < freqs.size(); ++i) {
    if (freqs[i]) leaves.push_back({freqs[i], static_cast<int>(i)});
  }
  if (leaves.empty()) return;
  if (leaves.size() == 1) {
    int sym = leaves[0].second;
    lengths[sym] = 1;
    lengths[sym == 0 ? 1 : 0] = 1;
    return;
  }
  std::sort(leaves.begin(), leaves.end());
  // Flatten the weights until the tree fits; rarely needed and it keeps
  // every used symbol codable.
  for (;;) {
    if (HuffmanLengths(leaves, lengths) <= maxLength) return;
    for (auto& l : leaves) l.first = (l.first >> 1) | 1;
    std::stable_sort(leaves.begin(), leaves.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  }
}

void BuildCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes) {
  int count[33] = {};
  for (uint8_t l : lengths) count[l]++;
  count[0] = 0;
  uint32_t next[33] = {};
  uint32_t code = 0;
  for (int len = 1; len <= 32; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  for (size_t i = 0; i < lengths.size(); ++i) {
    if (lengths[i]) codes[i] = static_cast<uint16_t>(next[lengths[i]]++);
  }
}

}  // namespace kiv::lzx
