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
  bool Compress(std::span<const uint8_t> block, bool, std::vector<uint8_t>& out, std::string&) override {
    out.assign(block.begin(), block.end());
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
      if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK)
        ++ready_;
    }
  }
  ~MsZipCompressor() override {
    for (int i = 0; i < ready_; ++i) deflateEnd(&z_[i]);
  }
  bool Compress(std::span<const uint8_t> block, bool, std::vector<uint8_t>& out, std::string& error) override {
    if (ready_ != 2) {
      error = "zlib could not be initialised";
      return false;
    }
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
    if (!dictionary.empty() && deflateSetDictionary(&z, dictionary.data(), uInt(dictionary.size())) != Z_OK)
      return;
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
kiv::lzx::Options MakeOptions(int windowBits) {
  kiv::lzx::Options options;  // the encoder's default level
  options.windowBits = windowBits;
  return options;
}

class LzxCompressor : public BlockCompressor {
 public:
  explicit LzxCompressor(int windowBits)
      : windowBits_(windowBits), encoder_(MakeOptions(windowBits)) {}
  bool Compress(std::span<const uint8_t> block, bool last, std::vector<uint8_t>& out, std::string& error) override {
    try {
      out = encoder_.EncodeFrame(block, last);
    } catch (const std::exception& e) {
      error = std::string("LZX encoder: ") + e.what();
      return false;
    }
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
