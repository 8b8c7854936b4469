#include "tools/lzx/lzx_encoder.h"

#include <optional>
#include <stdexcept>
#include <string>

#include "tools/lzx/bit_writer.h"
#include "tools/lzx/block_writer.h"
#include "tools/lzx/e8_translation.h"
#include "tools/lzx/lzx_format.h"
#include "tools/lzx/match_finder.h"
#include "tools/lzx/parser.h"

namespace kiv::lzx {

namespace {

// Decoders translate E8 calls only in the first 32768 frames (1 GiB).
constexpr int64_t kE8Frames = 32768;
// Blocks are split down to about this size when statistics change.
constexpr uint32_t kMinSplitBytes = 4096;
constexpr int kSplitDepth = 3;

ParserSettings SettingsFor(int level) {
  ParserSettings s;
  if (level <= 1) {
    s.depth = 24;
    s.nice = 48;
    s.passes = 0;
  } else if (level == 2) {
    s.depth = 64;
    s.nice = 160;
    s.passes = 2;
  } else {
    s.depth = 256;
    s.nice = kMaxMatch;
    s.passes = 3;
  }
  return s;
}

void Replay(uint32_t rep[3], const Item& item) {
  if (item.length == 0 || item.code == 0) return;
  if (item.code == 1) {
    std::swap(rep[0], rep[1]);
  } else if (item.code == 2) {
    std::swap(rep[0], rep[2]);
  } else {
    rep[2] = rep[1];
    rep[1] = rep[0];
    rep[0] = item.code - 2;
  }
}

}  // namespace

struct Encoder::Impl {
  Options options;
  BitWriter bits{nullptr};
  bool headerWritten = false;
  bool finished = false;
  bool translate = false;
  int64_t streamPos = 0;
  int64_t frameIndex = 0;
  uint32_t repeats[kNumRepeats] = {1, 1, 1};
  TreeState trees;
  BlockWriter writer;
  std::optional<MatchFinder> finder;
  std::optional<Parser> parser;
  std::vector<Item> items;

  explicit Impl(const Options& o) : options(o), writer(o.windowBits) {
    if (options.level > 0) {
      translate = true;
      finder.emplace(options.windowBits, options.level >= 2 ? 17 : 16);
      parser.emplace(*finder, options.windowBits, SettingsFor(options.level));
    }
  }

  void WriteStoredFrame(const uint8_t* data, size_t size) {
    BlockStats stats;
    stats.bytes = static_cast<uint32_t>(size);
    bits.Write(kUncompressed, 3);
    bits.Write(static_cast<uint32_t>(size), 24);
    if (bits.Aligned()) bits.Write(0, 16); else bits.AlignTo16();
    for (uint32_t r : repeats) {
      for (int i = 0; i < 4; ++i) bits.WriteByte(static_cast<uint8_t>(r >> (8 * i)));
    }
    bits.WriteBytes(data, size);
    if (size & 1) bits.WriteByte(0);
  }

  uint64_t BlockCost(size_t a, size_t b) const {
    BlockStats stats;
    stats.AddAll(std::span<const Item>(items.data() + a, b - a));
    return std::min(writer.CompressedCost(stats, trees), BlockWriter::UncompressedCost(stats.bytes));
  }

  // Cheapest division of items [a, b) into blocks, by halving where that
  // pays for the extra trees. Appends the cut points (item indices).
  uint64_t Split(size_t a, size_t b, uint32_t bytes, int depth, std::vector<size_t>& cuts) const {
    uint64_t whole = BlockCost(a, b);
    if (depth == 0 || bytes < 2 * kMinSplitBytes) return whole;
    uint32_t half = 0;
    size_t mid = a;
    while (mid < b && half < bytes / 2) {
      half += items[mid].length ? items[mid].length : 1;
      ++mid;
    }
    if (mid == a || mid == b) return whole;
    std::vector<size_t> left, right;
    uint64_t split = Split(a, mid, half, depth - 1, left) + Split(mid, b, bytes - half, depth - 1, right);
    if (split >= whole) return whole;
    cuts.insert(cuts.end(), left.begin(), left.end());
    cuts.push_back(mid);
    cuts.insert(cuts.end(), right.begin(), right.end());
    return split;
  }

  void WriteCompressedFrame(int64_t start, size_t size) {
    uint32_t repStart[3] = {repeats[0], repeats[1], repeats[2]};
    items.clear();
    parser->Parse(start, start + static_cast<int64_t>(size), repeats, items);

    std::vector<size_t> cuts;
    Split(0, items.size(), static_cast<uint32_t>(size), kSplitDepth, cuts);
    cuts.push_back(items.size());

    uint32_t rep[3] = {repStart[0], repStart[1], repStart[2]};
    size_t a = 0;
    int64_t pos = start;
    for (size_t b : cuts) {
      std::span<const Item> block(items.data() + a, b - a);
      BlockStats stats;
      stats.AddAll(block);
      for (const Item& it : block) Replay(rep, it);
      writer.Write(bits, block, stats, finder->At(pos), rep, trees);
      pos += stats.bytes;
      a = b;
    }
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
      bits.Write(translate ? 1 : 0, 1);
      if (translate) {
        bits.Write(kE8FileSize >> 16, 16);
        bits.Write(kE8FileSize & 0xFFFF, 16);
      }
      headerWritten = true;
    }
    if (!finder) {
      WriteStoredFrame(frame.data(), frame.size());
    } else {
      uint8_t* copy = finder->Append(frame.data(), frame.size());
      if (translate && frameIndex < kE8Frames) {
        TranslateE8(copy, frame.size(), streamPos, kE8FileSize);
      }
      WriteCompressedFrame(streamPos, frame.size());
    }
    bits.AlignTo16();
    streamPos += static_cast<int64_t>(frame.size());
    ++frameIndex;
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
