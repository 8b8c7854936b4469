#pragma once
// Compresses the 32 KiB blocks of one cabinet folder, in order. Each call gets
// one block (32 KiB except possibly the last) and returns the CFDATA blocks
// finished so far: NONE and MSZIP return each block at once; LZX may hold a
// few back so that its Huffman trees cover several blocks, and returns them
// all by the call for the last block. Every returned block decodes to at most
// 32 KiB, as cabinet readers require.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tools/cabinet/cab_writer.h"

namespace kiv::cab {

// One finished CFDATA block: its payload (cbData bytes) and the number of
// uncompressed bytes it stands for (cbUncomp).
struct CompressedBlock {
  std::vector<uint8_t> data;
  uint32_t uncompressedSize = 0;
};

class BlockCompressor {
 public:
  virtual ~BlockCompressor() = default;
  // Replaces `out` with the blocks finished by this call, oldest first. False
  // with `error` set when the block cannot be compressed.
  virtual bool Compress(std::span<const uint8_t> block, bool lastBlock, std::vector<CompressedBlock>& out,
                        std::string& error) = 0;
  virtual uint16_t TypeCompress() const = 0;
};

// Null with `error` set when the method is not available in this build.
std::unique_ptr<BlockCompressor> MakeBlockCompressor(const WriteOptions& options, std::string& error);

}  // namespace kiv::cab
