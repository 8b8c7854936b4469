// libFuzzer target: encode arbitrary data at a level, window and entry point
// chosen by the first input byte, decode it with libmspack's LZX decoder and
// demand the original back. Built only with KIV_FUZZ.
#include <cstdio>
#include <cstdlib>

#include "tools/lzx/lzx_test_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  kiv::lzx::Options options{15 + control % 7, (control >> 3) % 5};
  const bool lookahead = (control & 0x80) != 0;
  kiv::lzx::test::Bytes input(data + 1, data + size);
  // Stretch small inputs over several frames so frame and window edges get
  // exercised: repeat the input with a varying byte in between.
  if ((control & 0x40) && !input.empty()) {
    kiv::lzx::test::Bytes grown;
    for (uint32_t i = 0; grown.size() < 100000; ++i) {
      grown.insert(grown.end(), input.begin(), input.end());
      grown.push_back(static_cast<uint8_t>(i));
    }
    input.swap(grown);
  }
  auto frames = kiv::lzx::test::EncodeFrames(input, options, lookahead);
  kiv::lzx::test::Bytes decoded;
  if (!kiv::lzx::test::DecodeRaw(frames, options.windowBits, input.size(), &decoded) || decoded != input) {
    std::fprintf(stderr, "round trip failed: level %d window %d lookahead %d size %zu\n", options.level,
                 options.windowBits, lookahead ? 1 : 0, input.size());
    std::abort();
  }
  return 0;
}
