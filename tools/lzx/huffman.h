// Length-limited canonical Huffman codes as LZX stores them: codes are
// assigned in order of length, then symbol, and written most significant
// bit first.
#pragma once

#include <cstdint>
#include <span>

namespace kiv::lzx {

// Fills `lengths` with code lengths (0 for unused symbols) no longer than
// `maxLength`. The code is always complete, as the decoder demands: a single
// used symbol gets a partner of length 1. All-zero frequencies give all-zero
// lengths.
void BuildCodeLengths(std::span<const uint32_t> freqs, int maxLength, std::span<uint8_t> lengths);

// Canonical codes for the given lengths.
void BuildCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes);

}  // namespace kiv::lzx
