#include "tools/lzx/lzx_encoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <tuple>

#include "tools/lzx/lzx_test_util.h"

namespace kiv::lzx::test {
namespace {

// Pseudo-English with a Zipf-like word choice, so it compresses like text.
Bytes MakeText(size_t n, uint32_t seed) {
  static const char* kWords[] = {
      "the",   "of",        "and",    "to",       "in",      "a",        "is",        "that",       "for",
      "it",    "as",        "was",    "with",     "be",      "by",       "on",        "not",        "he",
      "I",     "this",      "are",    "or",       "his",     "from",     "at",        "which",      "but",
      "have",  "an",        "had",    "they",     "you",     "were",     "their",     "one",        "all",
      "we",    "can",       "her",    "has",      "there",   "been",     "if",        "more",       "when",
      "will",  "would",     "who",    "so",       "License", "Software", "copyright", "distribute", "modify",
      "GNU",   "General",   "Public", "warranty", "without", "program",  "source",    "code",       "object",
      "terms", "conditions"};
  std::mt19937 rng(seed);
  Bytes out;
  const size_t count = sizeof(kWords) / sizeof(kWords[0]);
  while (out.size() < n) {
    double u = std::uniform_real_distribution<double>(0, 1)(rng);
    size_t idx = static_cast<size_t>(u * u * u * count) % count;
    const char* w = kWords[idx];
    out.insert(out.end(), w, w + std::strlen(w));
    uint32_t r = rng() % 23;
    out.push_back(r == 0 ? '\n' : r == 1 ? ',' : ' ');
  }
  out.resize(n);
  return out;
}

// x86-like code: short random instruction runs and many near calls (E8 rel32)
// to a few hundred fixed targets, which the call translation turns into
// repeating absolute addresses.
Bytes MakeX86(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> targets(300);
  for (auto& t : targets) t = rng() % static_cast<uint32_t>(std::max<size_t>(n, 1));
  static const uint8_t kOps[][3] = {{0x55, 0x89, 0xE5}, {0x8B, 0x45, 0x08}, {0x83, 0xEC, 0x10},
                                    {0x5D, 0xC3, 0x90}, {0x31, 0xC0, 0x40}, {0x89, 0x04, 0x24}};
  Bytes out;
  while (out.size() < n) {
    uint32_t r = rng() % 4;
    if (r == 0) {
      uint32_t target = targets[rng() % targets.size()];
      int32_t rel = static_cast<int32_t>(target) - static_cast<int32_t>(out.size() + 5);
      out.push_back(0xE8);
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(rel) >> (8 * i)));
    } else if (r == 1) {
      out.push_back(static_cast<uint8_t>(rng()));
    } else {
      const auto& op = kOps[rng() % 6];
      out.insert(out.end(), op, op + 3);
    }
  }
  out.resize(n);
  return out;
}

void ExpectRawRoundTrip(const Bytes& data, const Options& options, size_t* packedSize = nullptr,
                        bool lookahead = false) {
  auto frames = EncodeFrames(data, options, lookahead);
  if (!data.empty()) {
    ASSERT_EQ(frames.size(), (data.size() + 32767) / 32768) << "one output per frame";
  }
  size_t packed = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    packed += frames[i].size();
    // Frames end on 16-bit boundaries, except one that ends in a stored
    // block of odd length: its pad byte opens the next frame.
    if (frames[i].size() % 2 != 0 && i + 1 < frames.size()) {
      ASSERT_EQ(frames[i + 1].size() % 2, 1u) << "frame " << i + 1 << " lacks the pad byte of frame " << i;
      ASSERT_EQ(frames[i + 1][0], 0) << "frame " << i + 1 << " does not open with the pad byte";
    }

    if (!data.empty()) {
      ASSERT_LE(frames[i].size(), 32768u + 6144u) << "frame " << i << " grew past the CFDATA limit";
    }
  }
  ASSERT_EQ(packed % 2, 0u) << "stream does not end on a 16-bit boundary";
  Bytes decoded;
  ASSERT_TRUE(DecodeRaw(frames, options.windowBits, data.size(), &decoded))
      << "libmspack rejected the stream (level " << options.level << ", window " << options.windowBits << ", "
      << data.size() << " bytes)";
  ASSERT_EQ(decoded.size(), data.size());
  ASSERT_TRUE(decoded == data) << "decoded data differs (level " << options.level << ")";
  if (packedSize) *packedSize = packed;
}

// Every level, each with EncodeFrame and with the look-ahead Feed.
class LevelTest : public ::testing::TestWithParam<std::tuple<int, bool>> {
 protected:
  int Level() const { return std::get<0>(GetParam()); }
  Options Opts(int windowBits = 21) const { return Options{windowBits, Level()}; }
  void RoundTrip(const Bytes& data, const Options& options, size_t* packed = nullptr) {
    ExpectRawRoundTrip(data, options, packed, std::get<1>(GetParam()));
  }
};

TEST_P(LevelTest, EdgeSizesRoundTrip) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{11}, size_t{32767}, size_t{32768}, size_t{32769},
                   size_t{65536}, size_t{100001}}) {
    SCOPED_TRACE(n);
    RoundTrip(MakeText(n, static_cast<uint32_t>(n)), Opts());
  }
}

TEST_P(LevelTest, AllZeroAndRandomRoundTrip) {
  size_t zeroPacked = 0;
  RoundTrip(Bytes(300000, 0), Opts(), &zeroPacked);
  size_t randomPacked = 0;
  Bytes random = RandomBytes(200000, 7);
  RoundTrip(random, Opts(), &randomPacked);
  // Incompressible data must not blow up: uncompressed blocks cost a few bytes.
  EXPECT_LE(randomPacked, random.size() + random.size() / 100 + 64);
  if (Level() > 0) {
    EXPECT_LT(zeroPacked, 2000u);
  }
}

TEST_P(LevelTest, TextAndX86RoundTrip) {
  Bytes text = MakeText(400000, 3);
  Bytes code = MakeX86(400000, 4);
  size_t textPacked = 0, codePacked = 0;
  RoundTrip(text, Opts(), &textPacked);
  RoundTrip(code, Opts(), &codePacked);
  if (Level() > 0) {
    EXPECT_LT(textPacked, text.size() * 35 / 100);
    EXPECT_LT(codePacked, code.size() * 60 / 100);
  }
}

TEST_P(LevelTest, InputLongerThanWindowRoundTrip) {
  // Material repeats both within the window and from beyond it, so the
  // encoder must not reference data the decoder has already dropped.
  Bytes block = MakeX86(700000, 11);
  Bytes text = MakeText(600000, 12);
  Bytes data = block;
  data.insert(data.end(), text.begin(), text.end());
  data.insert(data.end(), block.begin(), block.end());             // 1.3 MB back
  data.insert(data.end(), text.begin(), text.end());               // 1.3 MB back
  data.insert(data.end(), block.begin(), block.begin() + 200000);  // 2.6 MB back
  RoundTrip(data, Opts());
  // Small windows wrap many times over the same data.
  for (int bits : {15, 16, 17}) {
    SCOPED_TRACE(bits);
    RoundTrip(Bytes(data.begin(), data.begin() + 400000), Opts(bits));
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelTest, ::testing::Combine(::testing::Values(0, 1, 2, 3), ::testing::Bool()));

TEST(LzxEncoder, EveryWindowSizeRoundTrips) {
  Bytes data = MakeX86(150000, 21);
  Bytes text = MakeText(150000, 22);
  data.insert(data.end(), text.begin(), text.end());
  for (int bits = 15; bits <= 21; ++bits) {
    SCOPED_TRACE(bits);
    ExpectRawRoundTrip(data, Options{bits, 1});
  }
}

TEST(LzxEncoder, StrongerLevelAndLookAheadAreNotWorse) {
  Bytes data = MakeX86(300000, 31);
  Bytes text = MakeText(300000, 32);
  data.insert(data.end(), text.begin(), text.end());
  size_t fast = 0, strong = 0, fastAhead = 0, strongAhead = 0;
  ExpectRawRoundTrip(data, Options{21, 1}, &fast);
  ExpectRawRoundTrip(data, Options{21, 2}, &strong);
  ExpectRawRoundTrip(data, Options{21, 1}, &fastAhead, true);
  ExpectRawRoundTrip(data, Options{21, 2}, &strongAhead, true);
  size_t strongest = 0;
  ExpectRawRoundTrip(data, Options{21, 4}, &strongest, true);
  EXPECT_LE(strong, fast);
  EXPECT_LE(strongest, strongAhead);
  // Trees shared across frames must not cost more than trees per frame.
  EXPECT_LE(fastAhead, fast);
  EXPECT_LE(strongAhead, strong);
}

TEST(LzxEncoder, RejectsBadWindowAndFrameSizes) {
  EXPECT_THROW(Encoder(Options{14, 1}), std::invalid_argument);
  EXPECT_THROW(Encoder(Options{22, 1}), std::invalid_argument);
  Encoder encoder(Options{});
  Bytes shortFrame(1000, 1);
  EXPECT_THROW(encoder.EncodeFrame(shortFrame, false), std::invalid_argument);
  Bytes big(32769, 1);
  EXPECT_THROW(encoder.EncodeFrame(big, true), std::invalid_argument);
  EXPECT_FALSE(encoder.EncodeFrame(shortFrame, true).empty());
  EXPECT_THROW(encoder.EncodeFrame(shortFrame, true), std::invalid_argument);
  Encoder feeder(Options{});
  EXPECT_TRUE(feeder.Feed(Bytes(32768, 2), false).empty()) << "look-ahead holds the first frame back";
  EXPECT_THROW(feeder.EncodeFrame(shortFrame, true), std::logic_error);
  EXPECT_THROW(feeder.Feed(shortFrame, false), std::invalid_argument);
  auto rest = feeder.Feed(shortFrame, true);
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest[0].uncompressedSize, 32768u);
  EXPECT_EQ(rest[1].uncompressedSize, 1000u);
}

TEST(LzxEncoder, EncoderIsMovable) {
  Bytes data = MakeText(70000, 41);
  Encoder first(Options{});
  std::vector<Bytes> frames;
  frames.push_back(first.EncodeFrame(std::span<const uint8_t>(data.data(), 32768), false));
  Encoder second = std::move(first);
  frames.push_back(second.EncodeFrame(std::span<const uint8_t>(data.data() + 32768, 32768), false));
  frames.push_back(second.EncodeFrame(std::span<const uint8_t>(data.data() + 65536, data.size() - 65536), true));
  Bytes decoded;
  ASSERT_TRUE(DecodeRaw(frames, 21, data.size(), &decoded));
  EXPECT_TRUE(decoded == data);
}

// Random inputs of random shapes for a bounded time: sizes around frame
// boundaries, runs, repeats at random distances, random window and level.
TEST(LzxEncoder, FuzzRoundTripForBoundedTime) {
  std::mt19937 rng(12345);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int rounds = 0;
  while (std::chrono::steady_clock::now() < deadline || rounds < 10) {
    size_t n = rng() % 4 == 0 ? 32768 * (1 + rng() % 3) + rng() % 3 - 1 : rng() % 150000;
    Bytes data;
    while (data.size() < n) {
      switch (rng() % 5) {
        case 0:
          data.insert(data.end(), rng() % 300, static_cast<uint8_t>(rng()));
          break;
        case 1: {
          if (data.empty()) break;
          size_t dist = 1 + rng() % data.size();
          size_t len = 2 + rng() % 400;
          for (size_t i = 0; i < len; ++i) data.push_back(data[data.size() - dist]);
          break;
        }
        case 2:
          data.push_back(0xE8);
          [[fallthrough]];
        default:
          for (int i = rng() % 40; i > 0; --i) data.push_back(static_cast<uint8_t>(rng() % (1 + rng() % 256)));
      }
    }
    data.resize(n);
    Options options{15 + static_cast<int>(rng() % 7), static_cast<int>(rng() % 5)};
    SCOPED_TRACE("round " + std::to_string(rounds) + " size " + std::to_string(n));
    ExpectRawRoundTrip(data, options, nullptr, rng() % 2 == 0);
    if (HasFatalFailure()) return;
    ++rounds;
  }
}

}  // namespace
}  // namespace kiv::lzx::test
