// x86 call translation: the encoder turns the relative target of every E8
// (CALL rel32) byte into an absolute one, so calls to one function repeat
// byte for byte; the decoder turns them back after each frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv::lzx {

// Translates one frame in place. `streamPos` is the frame's offset in the
// folder's uncompressed data. Only E8 bytes before the frame's last ten bytes
// count, and the four bytes after one are skipped, as in the decoder.
void TranslateE8(uint8_t* frame, size_t size, int64_t streamPos, uint32_t fileSize);

}  // namespace kiv::lzx
