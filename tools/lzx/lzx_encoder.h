// LZX encoder for the data of one cabinet folder.
//
// A cabinet's LZX bit stream runs on across the folder's CFDATA blocks, but
// every block holds the code of exactly one 32 KiB frame of output (the last
// may be shorter) and ends on a 16-bit boundary. The caller therefore feeds the
// folder's uncompressed data in frames of exactly 32768 bytes and gets, for
// each frame, the bytes for that CFDATA block (cbData); libmspack and
// cabextract decode them to exactly that frame (cbUncomp). x86 call (E8)
// translation is on from level 1 and follows libmspack's rules.
//
// Memory is bounded by the window (2^windowBits bytes of history plus the
// match finder's tables), never by the input.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kiv::lzx {

struct Options {
  int windowBits = 21;  // 15..21; the folder's typeCompress is 3 | windowBits << 8
  // 0 = stored blocks only; 1 = lazy parse (fastest); 2 = default: one pass
  // of the near-optimal parse over binary-tree matches (above 5 MB/s);
  // 3 = two passes over a deeper search; 4 = four passes over a very deep
  // search with every match length tried (slowest, best).
  int level = 2;
};

// One CFDATA block's worth of output from Feed().
struct EncodedFrame {
  std::vector<uint8_t> data;  // the block's payload (cbData bytes)
  uint32_t uncompressedSize;  // the frame it decodes to (cbUncomp)
};

class Encoder {
 public:
  // Throws std::invalid_argument for a window outside 15..21.
  explicit Encoder(const Options& options);
  ~Encoder();
  Encoder(Encoder&&) noexcept;
  Encoder& operator=(Encoder&&) noexcept;

  // Encodes the next frame of the folder. Every frame but the last must be
  // exactly 32768 bytes; `lastFrame` marks the final one (1..32768 bytes).
  // An empty frame yields no bytes: a folder without data has no CFDATA
  // blocks. Throws std::invalid_argument on a wrong frame size, on a frame
  // after the last one, or when the folder would reach 4 GiB.
  std::vector<uint8_t> EncodeFrame(std::span<const uint8_t> frame, bool lastFrame);

  // The same with look-ahead, for better compression: a block and its
  // Huffman trees may then span several frames, so a frame's bytes are final
  // only once some later frames have been seen (up to 8, fewer for windows
  // under 256 KiB). Takes the next frame under the same rules as EncodeFrame
  // and returns the frames finished so far, oldest first: none, one or
  // several; the call with `lastFrame` returns all that remain. The caller
  // still writes one CFDATA block per returned frame, in order. Use either
  // Feed or EncodeFrame on one encoder (EncodeFrame after Feed throws
  // std::logic_error).
  std::vector<EncodedFrame> Feed(std::span<const uint8_t> frame, bool lastFrame);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kiv::lzx
