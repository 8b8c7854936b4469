#include "tools/lzx/lzx_encoder.h"

#include <algorithm>
#include <deque>
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

// Decoders translate E8 calls only in the first 1 GiB; libmspack (and so
// cabextract) still does in the frame that starts at 1 GiB, so we do too.
constexpr int64_t kE8Frames = 32769;
// A cabinet folder's offsets are 32-bit; the match finder relies on that.
constexpr int64_t kMaxStream = int64_t{0xFFFFFFFF} - 2 * kFrameSize;
// Blocks are split down to about this size when statistics change.
constexpr uint32_t kMinSplitBytes = 4096;
constexpr int kSplitDepth = 3;
// Frames Feed() may hold back so a block's trees can cover several.
constexpr size_t kMaxLookahead = 8;

// Level 1: lazy parse over a bucketed hash table. Levels 2 to 4: the
// near-optimal parse over binary trees keyed by four bytes (side tables
// give the 2- and 3-byte matches), with costs estimated from the recent
// frames' statistics. Level 2 (default): one pass over a moderate search.
// Level 3: two passes over a deeper one. Level 4: four passes over a very
// deep search with every match length tried.
ParserSettings SettingsFor(int level) {
  ParserSettings s;
  if (level <= 1) {
    s.depth = 16;
    s.nice = 48;
    s.lazyLength = 32;
    s.passes = 0;
    s.hashBytes = 4;
    s.ways = 16;
    return s;
  }
  s.tree = true;
  s.ways = 0;
  s.hashBytes = 4;
  // 2^22 trees (16 MiB of roots): few strings share a tree, so walks stay
  // short.
  s.hashBits = 22;
  s.tails = true;
  s.history = 6;
  if (level == 2) {
    s.depth = 24;
    // Positions inside long matches are only inserted, but shallow
    // insertions cut the trees short and later searches miss matches.
    s.insertDepth = 16;
    s.nice = 96;
    s.passes = 1;
    s.denseLengths = 4;
  } else if (level == 3) {
    s.depth = 48;
    s.insertDepth = 24;
    s.nice = 128;
    s.passes = 2;
    s.denseLengths = 16;
  } else {
    s.depth = 512;
    s.insertDepth = 128;
    // Longer would not find more here, but on long repeats the passes then
    // drift to costlier codes than the weaker levels keep.
    s.nice = 128;
    s.passes = 4;
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
  // A frame parsed but not yet written.
  struct Pending {
    int64_t start;
    uint32_t size;
    size_t itemEnd;        // its items end here in `items`
    uint32_t repStart[3];  // R0..R2 before its first item
    BlockStats stats;      // of its items
  };

  Options options;
  std::vector<uint8_t> current;  // output of the frame being written
  BitWriter bits{&current};
  std::vector<EncodedFrame>* sink = nullptr;
  bool headerWritten = false;
  bool finished = false;
  bool translate = false;
  bool streaming = false;  // Feed() used: frames may wait for later ones
  int64_t streamPos = 0;
  int64_t frameIndex = 0;
  int64_t framesIn = 0;   // non-empty frames taken
  int64_t framesOut = 0;  // frames finished
  uint32_t repeats[kNumRepeats] = {1, 1, 1};
  TreeState trees;
  BlockWriter writer;
  std::optional<MatchFinder> finder;
  std::optional<Parser> parser;
  std::vector<Item> items;
  std::deque<Pending> pending;
  size_t lookahead = 1;

  explicit Impl(const Options& o) : options(o), writer(o.windowBits) {
    if (options.level > 0) {
      translate = true;
      ParserSettings settings = SettingsFor(options.level);
      // A small window holds few positions: as many roots buy nothing.
      if (settings.tree) settings.hashBits = std::min(settings.hashBits, options.windowBits + 1);
      finder.emplace(options.windowBits, settings.hashBits, settings.hashBytes, settings.ways, settings.tree);
      finder->SetTreeEffort(settings.insertDepth, settings.nice);
      parser.emplace(*finder, options.windowBits, settings);
    }
    // Waiting frames must stay inside the history the match finder keeps.
    lookahead = std::min<size_t>(kMaxLookahead, (size_t{1} << options.windowBits) / kFrameSize);
  }

  void WriteHeaderOnce() {
    if (headerWritten) return;
    bits.Write(translate ? 1 : 0, 1);
    if (translate) {
      bits.Write(kE8FileSize >> 16, 16);
      bits.Write(kE8FileSize & 0xFFFF, 16);
    }
    headerWritten = true;
  }

  void FinishFrame(uint32_t size) {
    bits.AlignTo16();
    // The stream's very last block may owe its pad byte.
    if (++framesOut == framesIn && finished) writer.Finish(bits);
    sink->push_back(EncodedFrame{std::move(current), size});
    current.clear();
  }

  void WriteStoredFrame(const uint8_t* data, size_t size) {
    WriteHeaderOnce();
    writer.WriteStored(bits, data, static_cast<uint32_t>(size), repeats);
    FinishFrame(static_cast<uint32_t>(size));
  }

  BlockStats StatsOf(size_t a, size_t b) const {
    BlockStats stats;
    stats.AddAll(std::span<const Item>(items.data() + a, b - a));
    return stats;
  }

  uint64_t BlockCost(size_t a, size_t b) const {
    BlockStats stats = StatsOf(a, b);
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

  size_t ItemBegin(size_t i) const { return i == 0 ? 0 : pending[i - 1].itemEnd; }

  // Writes the first pending frame on its own, split into blocks where the
  // statistics change.
  void WriteSingleFrame() {
    const Pending& f = pending.front();
    std::vector<size_t> cuts;
    Split(0, f.itemEnd, f.size, kSplitDepth, cuts);
    cuts.push_back(f.itemEnd);
    uint32_t rep[3] = {f.repStart[0], f.repStart[1], f.repStart[2]};
    size_t a = 0;
    int64_t pos = f.start;
    for (size_t b : cuts) {
      std::span<const Item> block(items.data() + a, b - a);
      BlockStats stats;
      stats.AddAll(block);
      for (const Item& it : block) Replay(rep, it);
      writer.Write(bits, block, stats, finder->At(pos), rep, trees);
      pos += stats.bytes;
      a = b;
    }
    FinishFrame(f.size);
  }

  // Writes the first `count` pending frames as one block spanning them.
  void WriteFrameGroup(size_t count, const BlockStats& stats) {
    std::vector<size_t> breaks;
    for (size_t i = 1; i < count; ++i) breaks.push_back(ItemBegin(i));
    size_t next = 0;
    auto onBreak = [&]() { FinishFrame(pending[next++].size); };
    uint32_t rep[3] = {pending[count - 1].repStart[0], pending[count - 1].repStart[1], pending[count - 1].repStart[2]};
    for (size_t k = ItemBegin(count - 1); k < pending[count - 1].itemEnd; ++k) Replay(rep, items[k]);
    writer.Write(bits, std::span<const Item>(items.data(), pending[count - 1].itemEnd), stats,
                 finder->At(pending.front().start), rep, trees, breaks, onBreak);
    FinishFrame(pending[count - 1].size);
  }

  // Writes the oldest pending frames: as many as share one block with
  // profit (a block's trees then cover all of them), else just the first.
  void EmitOldest() {
    WriteHeaderOnce();
    BlockStats group = pending[0].stats;
    uint64_t groupCost = writer.CompressedCost(group, trees);
    size_t count = 1;
    if (groupCost < BlockWriter::UncompressedCost(group.bytes)) {
      while (count < pending.size()) {
        const BlockStats& next = pending[count].stats;
        uint64_t alone = std::min(writer.CompressedCost(next, trees), BlockWriter::UncompressedCost(next.bytes));
        BlockStats merged = group;
        Merge(merged, next);
        uint64_t mergedCost = writer.CompressedCost(merged, trees);
        if (mergedCost > groupCost + alone) break;
        group = merged;
        groupCost = mergedCost;
        ++count;
      }
    }
    if (count == 1) {
      WriteSingleFrame();
    } else {
      WriteFrameGroup(count, group);
    }
    size_t used = pending[count - 1].itemEnd;
    items.erase(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(used));
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(count));
    for (auto& p : pending) p.itemEnd -= used;
  }

  static void Merge(BlockStats& into, const BlockStats& from) {
    for (size_t i = 0; i < into.main.size(); ++i) into.main[i] += from.main[i];
    for (size_t i = 0; i < into.length.size(); ++i) into.length[i] += from.length[i];
    for (size_t i = 0; i < into.aligned.size(); ++i) into.aligned[i] += from.aligned[i];
    into.verbatimExtraBits += from.verbatimExtraBits;
    into.alignedExtraBits += from.alignedExtraBits;
    into.bytes += from.bytes;
  }

  void CheckFrame(std::span<const uint8_t> frame, bool last) {
    if (finished) throw std::invalid_argument("LZX: frame after the last frame");
    if (frame.size() > static_cast<size_t>(kFrameSize) || (!last && frame.size() != static_cast<size_t>(kFrameSize))) {
      throw std::invalid_argument("LZX: frame of " + std::to_string(frame.size()) +
                                  " bytes; frames before the last must be 32768 bytes");
    }
    if (streamPos + static_cast<int64_t>(frame.size()) > kMaxStream) {
      throw std::invalid_argument("LZX: a cabinet folder holds less than 4 GiB");
    }
  }

  void Add(std::span<const uint8_t> frame, bool last, size_t wait, std::vector<EncodedFrame>& out) {
    CheckFrame(frame, last);
    finished = last;
    sink = &out;
    if (!frame.empty()) {
      ++framesIn;
      if (!finder) {
        WriteStoredFrame(frame.data(), frame.size());
      } else {
        uint8_t* copy = finder->Append(frame.data(), frame.size());
        if (translate && frameIndex < kE8Frames) {
          TranslateE8(copy, frame.size(), streamPos, kE8FileSize);
        }
        Pending p{streamPos, static_cast<uint32_t>(frame.size()), 0, {repeats[0], repeats[1], repeats[2]}, {}};
        p.stats = parser->Parse(streamPos, streamPos + static_cast<int64_t>(frame.size()), repeats, items);
        p.itemEnd = items.size();
        pending.push_back(p);
      }
      streamPos += static_cast<int64_t>(frame.size());
      ++frameIndex;
    }
    while (!pending.empty() && (pending.size() >= wait || last)) EmitOldest();
    sink = nullptr;
  }
};

Encoder::Encoder(const Options& options) {
  if (options.windowBits < 15 || options.windowBits > 21) {
    throw std::invalid_argument("LZX: window bits " + std::to_string(options.windowBits) + " outside 15..21");
  }
  impl_ = std::make_unique<Impl>(options);
}
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

std::vector<uint8_t> Encoder::EncodeFrame(std::span<const uint8_t> frame, bool lastFrame) {
  if (impl_->streaming) throw std::logic_error("LZX: EncodeFrame after Feed on one encoder");
  std::vector<EncodedFrame> out;
  impl_->Add(frame, lastFrame, 1, out);
  return out.empty() ? std::vector<uint8_t>() : std::move(out.front().data);
}

std::vector<EncodedFrame> Encoder::Feed(std::span<const uint8_t> frame, bool lastFrame) {
  impl_->streaming = true;
  std::vector<EncodedFrame> out;
  impl_->Add(frame, lastFrame, impl_->lookahead, out);
  return out;
}

}  // namespace kiv::lzx
