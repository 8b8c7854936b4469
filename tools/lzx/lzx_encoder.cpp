#include "tools/lzx/lzx_encoder.h"

#include <stdexcept>
#include <string>

#include "tools/lzx/bit_writer.h"
#include "tools/lzx/lzx_format.h"

namespace kiv::lzx {

struct Encoder::Impl {
  Options options;
  std::vector<uint8_t>* out = nullptr;
  BitWriter bits{nullptr};
  bool headerWritten = false;
  bool finished = false;
  uint32_t repeats[kNumRepeats] = {1, 1, 1};

  explicit Impl(const Options& o) : options(o) {}

  void WriteUncompressedBlock(const uint8_t* data, size_t size) {
    bits.Write(kUncompressed, 3);
    bits.Write(static_cast<uint32_t>(size), 24);
    // The decoder skips 1..16 bits to reach a 16-bit boundary.
    if (bits.Aligned()) bits.Write(0, 16); else bits.AlignTo16();
    for (uint32_t r : repeats) {
      for (int i = 0; i < 4; ++i) bits.WriteByte(static_cast<uint8_t>(r >> (8 * i)));
    }
    bits.WriteBytes(data, size);
    if (size & 1) bits.WriteByte(0);
  }

  std::vector<uint8_t> Encode(std::span<const uint8_t> frame, bool last) {
    if (finished) throw std::invalid_argument("LZX: frame after the last frame");
    if (frame.size() > static_cast<size_t>(kFrameSize) ||
        (!last && frame.size() != static_cast<size_t>(kFrameSize))) {
      throw std::invalid_argument("LZX: frame of " + std::to_string(frame.size()) +
                                  " bytes; frames before the last must be 32768 bytes");
    }
    finished = last;
    std::vector<uint8_t> result;
    if (frame.empty()) return result;
    bits.SetOutput(&result);
    if (!headerWritten) {
      bits.Write(0, 1);  // no x86 call translation
      headerWritten = true;
    }
    WriteUncompressedBlock(frame.data(), frame.size());
    bits.AlignTo16();
    return result;
  }
};

Encoder::Encoder(const Options& options) {
  if (options.windowBits < 15 || options.windowBits > 21) {
    throw std::invalid_argument("LZX: window bits " + std::to_string(options.windowBits) +
                                " outside 15..21");
  }
  impl_ = std::make_unique<Impl>(options);
}
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

std::vector<uint8_t> Encoder::EncodeFrame(std::span<const uint8_t> frame, bool lastFrame) {
  return impl_->Encode(frame, lastFrame);
}

}  // namespace kiv::lzx
