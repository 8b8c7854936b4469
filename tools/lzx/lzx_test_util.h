// Test helpers: encode whole inputs, decode them again through libmspack's
// own LZX decoder and through complete cabinets (libmspack's cabinet reader
// and the cabextract program). Only the test executables include this.
#pragma once

#include <mspack.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tools/cabinet/cab_format.h"
#include "tools/lzx/lzx_encoder.h"

// lzxd is exported by libmspack but its header is not installed.
extern "C" {
struct lzxd_stream;
struct lzxd_stream* lzxd_init(struct mspack_system* system, struct mspack_file* input, struct mspack_file* output,
                              int window_bits, int reset_interval, int input_buffer_size, off_t output_length,
                              char is_delta);
int lzxd_decompress(struct lzxd_stream* lzx, off_t out_bytes);
void lzxd_free(struct lzxd_stream* lzx);
}

namespace kiv::lzx::test {

using Bytes = std::vector<uint8_t>;

// Encodes `data` frame by frame, with EncodeFrame or, when `lookahead`,
// with Feed; returns the per-frame outputs in order. Throws when Feed hands
// back frames of the wrong sizes.
inline std::vector<Bytes> EncodeFrames(const Bytes& data, const Options& options, bool lookahead = false) {
  Encoder encoder(options);
  std::vector<Bytes> frames;
  std::vector<uint32_t> fed, got;
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(32768, data.size() - pos);
    bool last = pos + n == data.size();
    std::span<const uint8_t> frame(data.data() + pos, n);
    if (lookahead) {
      if (n) fed.push_back(static_cast<uint32_t>(n));
      for (auto& f : encoder.Feed(frame, last)) {
        got.push_back(f.uncompressedSize);
        frames.push_back(std::move(f.data));
      }
    } else {
      frames.push_back(encoder.EncodeFrame(frame, last));
    }
    pos += n;
  } while (pos < data.size());
  if (lookahead && fed != got) throw std::runtime_error("Feed returned frames of the wrong sizes");
  if (lookahead && frames.empty()) frames.emplace_back();
  return frames;
}

struct MemFile : mspack_file {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  Bytes* sink = nullptr;
};

inline int MemRead(mspack_file* f, void* buf, int bytes) {
  auto* m = static_cast<MemFile*>(f);
  size_t n = std::min<size_t>(static_cast<size_t>(bytes), m->size - m->pos);
  std::memcpy(buf, m->data + m->pos, n);
  m->pos += n;
  return static_cast<int>(n);
}
inline int MemWrite(mspack_file* f, void* buf, int bytes) {
  auto* m = static_cast<MemFile*>(f);
  auto* p = static_cast<uint8_t*>(buf);
  m->sink->insert(m->sink->end(), p, p + bytes);
  return bytes;
}
inline void* MemAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
inline void MemFree(void* p) { std::free(p); }
inline void MemCopy(void* src, void* dst, size_t bytes) { std::memmove(dst, src, bytes); }
inline void MemMessage(mspack_file*, const char*, ...) {}

// Decodes the concatenated frames with libmspack's LZX decoder; returns false
// when the decoder reports an error.
inline bool DecodeRaw(const std::vector<Bytes>& frames, int windowBits, size_t outSize, Bytes* out) {
  Bytes stream;
  for (const auto& f : frames) stream.insert(stream.end(), f.begin(), f.end());
  mspack_system sys{};
  sys.read = MemRead;
  sys.write = MemWrite;
  sys.alloc = MemAlloc;
  sys.free = MemFree;
  sys.copy = MemCopy;
  sys.message = MemMessage;
  MemFile in;
  in.data = stream.data();
  in.size = stream.size();
  MemFile sink;
  sink.sink = out;
  out->clear();
  if (outSize == 0) return true;
  lzxd_stream* lzx = lzxd_init(&sys, &in, &sink, windowBits, 0, 4096, static_cast<off_t>(outSize), 0);
  if (!lzx) return false;
  int err = lzxd_decompress(lzx, static_cast<off_t>(outSize));
  lzxd_free(lzx);
  return err == MSPACK_ERR_OK && out->size() == outSize;
}

struct CabFile {
  std::string name;
  Bytes data;
};

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A minimal single-folder LZX cabinet: the files, whose data the frames
// encode in order, one CFDATA block per frame.
inline Bytes CabinetAround(const std::vector<CabFile>& files, const std::vector<Bytes>& frames, int windowBits) {
  size_t folderSize = 0;
  for (const auto& f : files) folderSize += f.data.size();
  size_t filesSize = 0;
  for (const auto& f : files) filesSize += 16 + f.name.size() + 1;
  uint32_t coffFiles = 36 + 8;
  uint32_t coffData = coffFiles + static_cast<uint32_t>(filesSize);
  size_t total = coffData;
  for (const auto& f : frames) total += 8 + f.size();
  Bytes cab;
  cab.reserve(total);
  Put32(cab, 0x4643534Du);  // "MSCF"
  Put32(cab, 0);
  Put32(cab, static_cast<uint32_t>(total));
  Put32(cab, 0);
  Put32(cab, coffFiles);
  Put32(cab, 0);
  cab.push_back(3);
  cab.push_back(1);
  Put16(cab, 1);
  Put16(cab, static_cast<uint32_t>(files.size()));
  Put16(cab, 0);
  Put16(cab, 0x1234);
  Put16(cab, 0);
  Put32(cab, coffData);
  Put16(cab, static_cast<uint32_t>(frames.size()));
  Put16(cab, 3u | (static_cast<uint32_t>(windowBits) << 8));
  uint32_t offset = 0;
  for (const auto& f : files) {
    Put32(cab, static_cast<uint32_t>(f.data.size()));
    Put32(cab, offset);
    Put16(cab, 0);
    Put16(cab, 0x5A21);  // 2025-01-01
    Put16(cab, 0);
    Put16(cab, 0x20);
    cab.insert(cab.end(), f.name.begin(), f.name.end());
    cab.push_back(0);
    offset += static_cast<uint32_t>(f.data.size());
  }
  size_t pos = 0;
  for (const auto& f : frames) {
    size_t n = std::min<size_t>(32768, folderSize - pos);
    Put32(cab, cab::DataBlockChecksum(f.data(), static_cast<uint16_t>(f.size()), static_cast<uint16_t>(n)));
    Put16(cab, static_cast<uint32_t>(f.size()));
    Put16(cab, static_cast<uint32_t>(n));
    cab.insert(cab.end(), f.begin(), f.end());
    pos += n;
  }
  return cab;
}

// The same around the encoder's frames for the files.
inline Bytes MakeCabinet(const std::vector<CabFile>& files, const Options& options, bool lookahead = false) {
  Bytes folder;
  for (const auto& f : files) folder.insert(folder.end(), f.data.begin(), f.data.end());
  std::vector<Bytes> frames;
  if (!folder.empty()) frames = EncodeFrames(folder, options, lookahead);
  return CabinetAround(files, frames, options.windowBits);
}

inline std::filesystem::path TempDir(const std::string& tag) {
  static int counter = 0;
  auto dir = std::filesystem::temp_directory_path() /
             ("lzx_test_" + std::to_string(::getpid()) + "_" + tag + "_" + std::to_string(counter++));
  std::filesystem::create_directories(dir);
  return dir;
}

inline void WriteFile(const std::filesystem::path& p, const Bytes& data) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

// Extracts every file of the cabinet with libmspack's cabinet reader.
// Returns the error text, empty on success.
inline std::string ExtractWithMspack(const std::filesystem::path& cabPath, const std::filesystem::path& outDir,
                                     std::vector<CabFile>* out) {
  mscab_decompressor* cabd = mspack_create_cab_decompressor(nullptr);
  if (!cabd) return "no cabinet decompressor";
  std::string error;
  mscabd_cabinet* cab = cabd->open(cabd, cabPath.c_str());
  if (!cab) {
    error = "open failed: " + std::to_string(cabd->last_error(cabd));
  } else {
    for (mscabd_file* f = cab->files; f; f = f->next) {
      auto target = outDir / f->filename;
      int err = cabd->extract(cabd, f, target.c_str());
      if (err != MSPACK_ERR_OK) {
        error = std::string("extract ") + f->filename + ": error " + std::to_string(err);
        break;
      }
      out->push_back({f->filename, ReadFile(target)});
    }
    cabd->close(cabd, cab);
  }
  mspack_destroy_cab_decompressor(cabd);
  return error;
}

inline Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// Incompressible runs of odd lengths between text-like and repetitive runs:
// the encoder then ends stored blocks of odd length at odd places, also on
// frame boundaries.
inline Bytes MixedBytes(size_t n, uint32_t seed) {
  static const char* kWords[] = {"setup ", "driver ", "the ", "of ",   "CD-ROM ", "boot ",  "disk ",
                                 "files ", "copy ",   "\r\n", "NDIS ", "load ",   "memory "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < n) {
    switch (rng() % 3) {
      case 0:
        for (uint32_t k = 20 + rng() % 2000; k > 0; --k) {
          const char* w = kWords[rng() % 13];
          out.insert(out.end(), w, w + std::strlen(w));
        }
        break;
      case 1: {
        Bytes unit(1 + rng() % 9);
        for (auto& b : unit) b = static_cast<uint8_t>(rng());
        for (uint32_t k = 10 + rng() % 3000; k > 0; --k) out.insert(out.end(), unit.begin(), unit.end());
        break;
      }
      default:
        for (uint32_t k = (1 + rng() % 12000) | 1; k > 0; --k) out.push_back(static_cast<uint8_t>(rng()));
    }
  }
  out.resize(n);
  return out;
}

}  // namespace kiv::lzx::test
