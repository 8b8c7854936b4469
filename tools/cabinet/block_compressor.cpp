#include "tools/cabinet/block_compressor.h"

#include <zlib.h>

#include <cstring>
#include <exception>

#if defined(KIV_HAVE_LZX) && __has_include("tools/lzx/lzx_encoder.h")
#include "tools/lzx/lzx_encoder.h"
#define KIV_CAB_LZX 1
#endif

namespace kiv::cab {
namespace {

class StoreCompressor : public BlockCompressor {
 public:
  bool Compress(std::span<const uint8_t> block, bool, std::vector<CompressedBlock>& out, std::string&) override {
    out.resize(1);
    out[0].data.assign(block.begin(), block.end());
    out[0].uncompressedSize = uint32_t(block.size());
    return true;
  }
  uint16_t TypeCompress() const override { return kCompressNone; }
};

// MSZIP: each block is "CK" and a complete raw deflate stream. The decoder
// keeps its 32 KiB window across blocks, so a block may refer back into the
// previous one: every block after the first is compressed both with the
// previous block as preset dictionary and without, and the smaller is kept
// (the dictionary usually wins by a few per cent, but on some data its long
// distances cost more than they save).
class MsZipCompressor : public BlockCompressor {
 public:
  MsZipCompressor() {
    for (z_stream& z : z_) {
      std::memset(&z, 0, sizeof z);
      if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK) ++ready_;
    }
  }
  ~MsZipCompressor() override {
    for (int i = 0; i < ready_; ++i) deflateEnd(&z_[i]);
  }
  bool Compress(std::span<const uint8_t> block, bool, std::vector<CompressedBlock>& blocks,
                std::string& error) override {
    if (ready_ != 2) {
      error = "zlib could not be initialised";
      return false;
    }
    blocks.resize(1);
    blocks[0].uncompressedSize = uint32_t(block.size());
    std::vector<uint8_t>& out = blocks[0].data;
    const size_t stored = 2 + 5 + block.size();  // "CK" + one stored deflate block
    Deflate(z_[0], block, {}, out);
    if (!previous_.empty()) {
      Deflate(z_[1], block, previous_, scratch_);
      if (!scratch_.empty() && (out.empty() || scratch_.size() < out.size())) out.swap(scratch_);
    }
    if (out.empty() || out.size() > stored) {
      out.assign(stored, 0);
      out[0] = 'C';
      out[1] = 'K';
      out[2] = 0x01;  // BFINAL, BTYPE 00
      uint16_t len = uint16_t(block.size());
      PutLE16(&out[3], len);
      PutLE16(&out[5], uint16_t(~len));
      if (!block.empty()) std::memcpy(&out[7], block.data(), block.size());
    }
    previous_.assign(block.begin(), block.end());
    return true;
  }
  uint16_t TypeCompress() const override { return kCompressMsZip; }

 private:
  // "CK" + deflated block into `out`; empty when zlib failed.
  static void Deflate(z_stream& z, std::span<const uint8_t> block, std::span<const uint8_t> dictionary,
                      std::vector<uint8_t>& out) {
    out.clear();
    if (deflateReset(&z) != Z_OK) return;
    if (!dictionary.empty() && deflateSetDictionary(&z, dictionary.data(), uInt(dictionary.size())) != Z_OK) return;
    out.assign(2 + deflateBound(&z, uLong(block.size())) + 16, 0);
    out[0] = 'C';
    out[1] = 'K';
    z.next_in = const_cast<Bytef*>(block.data());
    z.avail_in = uInt(block.size());
    z.next_out = out.data() + 2;
    z.avail_out = uInt(out.size() - 2);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
      out.clear();
      return;
    }
    out.resize(out.size() - z.avail_out);
  }

  z_stream z_[2];
  int ready_ = 0;
  std::vector<uint8_t> previous_, scratch_;
};

#ifdef KIV_CAB_LZX
kiv::lzx::Options MakeOptions(int windowBits, int level) {
  kiv::lzx::Options options;  // the encoder's default level unless one is asked for
  options.windowBits = windowBits;
  if (level >= 0) options.level = level;
  return options;
}

// Uses the encoder's look-ahead (Feed): it still yields exactly one CFDATA
// block per 32 KiB frame, but a block's Huffman trees may span several
// frames, which saves a little over coding every frame on its own.
class LzxCompressor : public BlockCompressor {
 public:
  LzxCompressor(int windowBits, int level) : windowBits_(windowBits), encoder_(MakeOptions(windowBits, level)) {}
  bool Compress(std::span<const uint8_t> block, bool last, std::vector<CompressedBlock>& out,
                std::string& error) override {
    out.clear();
    std::vector<kiv::lzx::EncodedFrame> frames;
    try {
      frames = encoder_.Feed(block, last);
    } catch (const std::exception& e) {
      error = std::string("LZX encoder: ") + e.what();
      return false;
    }
    for (kiv::lzx::EncodedFrame& f : frames) {
      if (f.uncompressedSize == 0 || f.uncompressedSize > kBlockSize || f.data.empty()) {
        error = "the LZX encoder returned a block of " + std::to_string(f.uncompressedSize) +
                " bytes, which a cabinet cannot hold";
        return false;
      }
      fed_ -= f.uncompressedSize;
      out.push_back({std::move(f.data), f.uncompressedSize});
    }
    fed_ += block.size();
    if (last && fed_ != 0) {
      error = "the LZX encoder did not return all of the folder's data";
      return false;
    }
    return true;
  }
  uint16_t TypeCompress() const override { return uint16_t(kCompressLzx | (windowBits_ << 8)); }

 private:
  int windowBits_;
  kiv::lzx::Encoder encoder_;
  int64_t fed_ = 0;  // bytes handed to the encoder and not yet returned
};
#endif

}  // namespace

bool LzxAvailable() {
#ifdef KIV_CAB_LZX
  return true;
#else
  return false;
#endif
}

std::unique_ptr<BlockCompressor> MakeBlockCompressor(const WriteOptions& options, std::string& error) {
  switch (options.method) {
    case Method::None:
      return std::make_unique<StoreCompressor>();
    case Method::MsZip:
      return std::make_unique<MsZipCompressor>();
    case Method::Lzx:
#ifdef KIV_CAB_LZX
      return std::make_unique<LzxCompressor>(options.lzxWindowBits, options.lzxLevel);
#else
      error = "LZX compression is not available in this build of the cabinet writer";
      return nullptr;
#endif
  }
  error = "unknown compression method";
  return nullptr;
}

}  // namespace kiv::cab
