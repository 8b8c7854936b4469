#include "tools/lzx/huffman.h"

#include <gtest/gtest.h>

#include <vector>

namespace kiv::lzx {
namespace {

// Kraft sum scaled by 2^max; a complete code sums to exactly 2^max.
uint64_t KraftSum(const std::vector<uint8_t>& lengths, int max) {
  uint64_t sum = 0;
  for (uint8_t l : lengths) {
    if (l) sum += uint64_t{1} << (max - l);
  }
  return sum;
}

TEST(Huffman, SkewedFrequenciesStayWithinTheLimitAndComplete) {
  // Fibonacci weights would need codes far longer than 16 bits.
  std::vector<uint32_t> freqs(40);
  uint32_t a = 1, b = 1;
  for (auto& f : freqs) {
    f = a;
    uint32_t c = a + b;
    a = b;
    b = c > 100000000 ? 100000000 : c;
  }
  for (int limit : {16, 15, 7}) {
    SCOPED_TRACE(limit);
    std::vector<uint8_t> lengths(freqs.size());
    std::vector<uint32_t> use(freqs.begin(), freqs.begin() + (limit == 7 ? 8 : 40));
    lengths.resize(use.size());
    BuildCodeLengths(use, limit, lengths);
    for (uint8_t l : lengths) {
      EXPECT_GE(l, 1);
      EXPECT_LE(l, limit);
    }
    EXPECT_EQ(KraftSum(lengths, limit), uint64_t{1} << limit);
  }
}

TEST(Huffman, OneSymbolGetsAPartnerAndNoneGivesEmpty) {
  std::vector<uint32_t> freqs(10, 0);
  std::vector<uint8_t> lengths(10);
  BuildCodeLengths(freqs, 16, lengths);
  for (uint8_t l : lengths) EXPECT_EQ(l, 0);
  freqs[0] = 5;
  BuildCodeLengths(freqs, 16, lengths);
  EXPECT_EQ(lengths[0], 1);
  EXPECT_EQ(KraftSum(lengths, 16), uint64_t{1} << 16) << "a lone code must still be complete";
}

TEST(Huffman, CanonicalCodesArePrefixFreeInSymbolOrder) {
  std::vector<uint8_t> lengths = {3, 3, 3, 3, 3, 2, 4, 4};
  std::vector<uint16_t> codes(lengths.size());
  BuildCodes(lengths, codes);
  EXPECT_EQ(codes[5], 0b00);
  EXPECT_EQ(codes[0], 0b010);
  EXPECT_EQ(codes[4], 0b110);
  EXPECT_EQ(codes[6], 0b1110);
  EXPECT_EQ(codes[7], 0b1111);
  for (size_t i = 0; i < codes.size(); ++i) {
    for (size_t j = 0; j < codes.size(); ++j) {
      if (i == j || lengths[i] > lengths[j]) continue;
      EXPECT_NE(codes[j] >> (lengths[j] - lengths[i]), codes[i]) << i << " prefixes " << j;
    }
  }
}

}  // namespace
}  // namespace kiv::lzx
