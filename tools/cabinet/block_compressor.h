#pragma once
// Compresses the 32 KiB blocks of one cabinet folder, in order. Each call gets
// one block (32 KiB except possibly the last) and returns the CFDATA payload.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tools/cabinet/cab_writer.h"

namespace kiv::cab {

class BlockCompressor {
 public:
  virtual ~BlockCompressor() = default;
  // False with `error` set when the block cannot be compressed.
  virtual bool Compress(std::span<const uint8_t> block, bool lastBlock, std::vector<uint8_t>& out,
                        std::string& error) = 0;
  virtual uint16_t TypeCompress() const = 0;
};

// Null with `error` set when the method is not available in this build.
std::unique_ptr<BlockCompressor> MakeBlockCompressor(const WriteOptions& options, std::string& error);

}  // namespace kiv::cab
