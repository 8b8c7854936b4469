// LZX bit output: bits fill 16-bit words from the most significant end and the
// words are stored little-endian, as the decoder's bit reader expects.
#pragma once

#include <cstdint>
#include <vector>

namespace kiv::lzx {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}

  // Writes the low `count` bits of `value` (count <= 24).
  void Write(uint32_t value, int count) {
    acc_ = (acc_ << count) | (value & ((1u << count) - 1));
    bits_ += count;
    while (bits_ >= 16) {
      bits_ -= 16;
      uint16_t word = static_cast<uint16_t>(acc_ >> bits_);
      out_->push_back(static_cast<uint8_t>(word));
      out_->push_back(static_cast<uint8_t>(word >> 8));
    }
    acc_ &= (1ull << bits_) - 1;
  }

  // Pads with zero bits up to the next 16-bit boundary; returns the number of
  // padding bits written.
  int AlignTo16() {
    int pad = bits_ ? 16 - bits_ : 0;
    if (pad) Write(0, pad);
    return pad;
  }

  bool Aligned() const { return bits_ == 0; }

  // Raw bytes; only valid at a 16-bit boundary.
  void WriteBytes(const uint8_t* data, size_t size) { out_->insert(out_->end(), data, data + size); }
  void WriteByte(uint8_t b) { out_->push_back(b); }

  void SetOutput(std::vector<uint8_t>* out) { out_ = out; }

 private:
  std::vector<uint8_t>* out_;
  uint64_t acc_ = 0;
  int bits_ = 0;
};

}  // namespace kiv::lzx
