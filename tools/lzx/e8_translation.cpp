#include "tools/lzx/e8_translation.h"

#include <cstring>

namespace kiv::lzx {

void TranslateE8(uint8_t* frame, size_t size, int64_t streamPos, uint32_t fileSize) {
  if (size <= 10) return;
  const int32_t limit = static_cast<int32_t>(fileSize);
  const size_t end = size - 10;
  size_t i = 0;
  while (i < end) {
    const uint8_t* hit = static_cast<const uint8_t*>(std::memchr(frame + i, 0xE8, end - i));
    if (!hit) break;
    i = static_cast<size_t>(hit - frame);
    const int32_t pos = static_cast<int32_t>(streamPos + static_cast<int64_t>(i));
    uint8_t* p = frame + i + 1;
    int32_t rel = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                       static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
    if (rel >= -pos && rel < limit) {
      // Targets inside the file become absolute; the rest of the range maps
      // onto the negative values the decoder sends back the same way.
      int32_t abs = rel < limit - pos ? rel + pos : rel - limit;
      uint32_t u = static_cast<uint32_t>(abs);
      p[0] = static_cast<uint8_t>(u);
      p[1] = static_cast<uint8_t>(u >> 8);
      p[2] = static_cast<uint8_t>(u >> 16);
      p[3] = static_cast<uint8_t>(u >> 24);
    }
    i += 5;
  }
}

}  // namespace kiv::lzx
