#include "tools/cabinet/block_compressor.h"

#include <zlib.h>

#include <cstring>

#if defined(KIV_HAVE_LZX) && __has_include("tools/lzx/lzx_encoder.h")
#include "tools/lzx/lzx_encoder.h"
#define KIV_CAB_LZX 1
#endif

namespace kiv::cab {
namespace {

class StoreCompressor : public BlockCompressor {
 public:
  bool Compress(std::span<const uint8_t> block, bool, std::vector<uint8_t>& out, std::string&) override {
    out.assign(block.begin(), block.end());
    return true;
  }
  uint16_t TypeCompress() const override { return kCompressNone; }
};

// MSZIP: each block is "CK" and a complete raw deflate stream. The decoder
// keeps its 32 KiB window across blocks, so every block after the first is
// compressed with the previous block as its preset dictionary.
class MsZipCompressor : public BlockCompressor {
 public:
  MsZipCompressor() {
    std::memset(&z_, 0, sizeof z_);
    ok_ = deflateInit2(&z_, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~MsZipCompressor() override {
    if (ok_) deflateEnd(&z_);
  }
  bool Compress(std::span<const uint8_t> block, bool, std::vector<uint8_t>& out, std::string& error) override {
    if (!ok_) {
      error = "zlib could not be initialised";
      return false;
    }
    deflateReset(&z_);
    if (!previous_.empty() &&
        deflateSetDictionary(&z_, previous_.data(), uInt(previous_.size())) != Z_OK) {
      error = "zlib refused the preset dictionary";
      return false;
    }
    out.assign(2 + deflateBound(&z_, uLong(block.size())) + 16, 0);
    out[0] = 'C';
    out[1] = 'K';
    z_.next_in = const_cast<Bytef*>(block.data());
    z_.avail_in = uInt(block.size());
    z_.next_out = out.data() + 2;
    z_.avail_out = uInt(out.size() - 2);
    int rc = deflate(&z_, Z_FINISH);
    size_t produced = out.size() - 2 - z_.avail_out;
    if (rc != Z_STREAM_END || produced + 2 > 2 + 5 + block.size()) {
      // Incompressible (or zlib trouble): one final stored block.
      out.resize(2 + 5 + block.size());
      out[2] = 0x01;  // BFINAL, BTYPE 00
      uint16_t len = uint16_t(block.size());
      PutLE16(&out[3], len);
      PutLE16(&out[5], uint16_t(~len));
      if (!block.empty()) std::memcpy(&out[7], block.data(), block.size());
    } else {
      out.resize(2 + produced);
    }
    previous_.assign(block.begin(), block.end());
    return true;
  }
  uint16_t TypeCompress() const override { return kCompressMsZip; }

 private:
  z_stream z_;
  bool ok_ = false;
  std::vector<uint8_t> previous_;
};

#ifdef KIV_CAB_LZX
class LzxCompressor : public BlockCompressor {
 public:
  explicit LzxCompressor(int windowBits)
      : windowBits_(windowBits), encoder_(kiv::lzx::Options{windowBits, 9}) {}
  bool Compress(std::span<const uint8_t> block, bool last, std::vector<uint8_t>& out, std::string& error) override {
    out = encoder_.EncodeFrame(block, last);
    if (out.empty() && !block.empty()) {
      error = "the LZX encoder produced no data";
      return false;
    }
    return true;
  }
  uint16_t TypeCompress() const override { return uint16_t(kCompressLzx | (windowBits_ << 8)); }

 private:
  int windowBits_;
  kiv::lzx::Encoder encoder_;
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
    case Method::None: return std::make_unique<StoreCompressor>();
    case Method::MsZip: return std::make_unique<MsZipCompressor>();
    case Method::Lzx:
#ifdef KIV_CAB_LZX
      return std::make_unique<LzxCompressor>(options.lzxWindowBits);
#else
      error = "LZX compression is not available in this build of the cabinet writer";
      return nullptr;
#endif
  }
  error = "unknown compression method";
  return nullptr;
}

}  // namespace kiv::cab
