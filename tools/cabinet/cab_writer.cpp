#include "tools/cabinet/cab_writer.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "tools/cabinet/block_compressor.h"
#include "tools/cabinet/cab_paths.h"
#include "tools/cabinet/cab_platform.h"

namespace kiv::cab {
namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

bool IsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

void AppendString(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

// Streams the files' bytes into 32 KiB blocks and writes each as a CFDATA.
class DataWriter {
 public:
  DataWriter(TempOutput& out, BlockCompressor& compressor) : out_(out), compressor_(compressor) {
    block_.reserve(kBlockSize);
  }
  bool Add(const uint8_t* data, size_t size, std::string& error) {
    while (size > 0) {
      // A full block is compressed only once more data follows, so that the
      // folder's final block always goes out marked as the last (LZX hands
      // back the blocks it held for look-ahead then).
      if (block_.size() == kBlockSize && !Flush(false, error)) return false;
      size_t take = std::min(size, kBlockSize - block_.size());
      block_.insert(block_.end(), data, data + take);
      data += take;
      size -= take;
      total_ += take;
      if (total_ > kMaxFolderBytes) {
        error = "the files hold more than the 2 GiB one cabinet folder can take";
        return false;
      }
    }
    return true;
  }
  bool Finish(std::string& error) { return block_.empty() || Flush(true, error); }
  uint64_t bytesWritten() const { return written_; }
  uint32_t blocks() const { return blocks_; }
  uint64_t total() const { return total_; }

 private:
  bool Flush(bool last, std::string& error) {
    if (!compressor_.Compress(block_, last, finished_, error)) return false;
    block_.clear();
    for (const CompressedBlock& b : finished_)
      if (!WriteBlock(b, error)) return false;
    return true;
  }

  bool WriteBlock(const CompressedBlock& block, std::string& error) {
    const std::vector<uint8_t>& payload = block.data;
    if (payload.size() > 0xFFFF) {
      error = "a compressed block is larger than a cabinet data block can hold";
      return false;
    }
    uint8_t header[kDataHeaderSize];
    uint16_t cb = uint16_t(payload.size()), ub = uint16_t(block.uncompressedSize);
    PutLE32(header, DataBlockChecksum(payload.data(), cb, ub));
    PutLE16(header + 4, cb);
    PutLE16(header + 6, ub);
    if (!out_.Write(header, sizeof header, error) || !out_.Write(payload.data(), payload.size(), error)) return false;
    written_ += sizeof header + payload.size();
    ++blocks_;
    return true;
  }

  TempOutput& out_;
  BlockCompressor& compressor_;
  std::vector<uint8_t> block_;
  std::vector<CompressedBlock> finished_;
  uint64_t total_ = 0, written_ = 0;
  uint32_t blocks_ = 0;
};

}  // namespace

bool ParseMethod(const std::string& text, WriteOptions& options, std::string& error) {
  std::string t = Upper(text);
  if (t == "NONE") {
    options.method = Method::None;
    return true;
  }
  if (t == "MSZIP") {
    options.method = Method::MsZip;
    return true;
  }
  if (t.rfind("LZX:", 0) == 0) {
    std::string digits = t.substr(4);
    if (!digits.empty() && digits.size() <= 2 && digits.find_first_not_of("0123456789") == std::string::npos) {
      int bits = std::stoi(digits);
      if (bits >= 15 && bits <= 21) {
        options.method = Method::Lzx;
        options.lzxWindowBits = bits;
        return true;
      }
    }
    error = "invalid LZX window '" + text + "': use LZX:15 to LZX:21";
    return false;
  }
  error = "unknown compression type '" + text + "': use LZX:<15..21>, MSZIP or NONE";
  return false;
}

bool ParseLzxLevel(const std::string& text, const std::string& source, WriteOptions& options, std::string& error) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '4') {
    options.lzxLevel = text[0] - '0';
    return true;
  }
  error = "invalid LZX level '" + text + "' in " + source + ": use 0 (stored) to 4 (strongest)";
  return false;
}

bool WriteCabinet(const std::string& cabPath, const std::vector<CabEntry>& entries, const WriteOptions& options,
                  std::string& error) {
  if (entries.empty()) {
    error = "no files to store in " + cabPath;
    return false;
  }
  if (entries.size() > 0xFFFF) {
    error = "too many files for one cabinet (" + std::to_string(entries.size()) + ", at most 65535)";
    return false;
  }
  for (const CabEntry& e : entries) {
    std::string why;
    if (IsUnsafeStoredName(e.storedName, &why)) {
      error = "cannot store '" + e.storedName + "' (" + why + ")";
      return false;
    }
    if (e.storedName.size() > kMaxNameBytes) {
      error = "the stored name '" + e.storedName + "' is longer than 255 bytes";
      return false;
    }
  }
  std::unique_ptr<BlockCompressor> compressor = MakeBlockCompressor(options, error);
  if (!compressor) return false;

  // Header with the optional set links, then the folder and file records.
  std::vector<uint8_t> head(kHeaderSize, 0);
  uint16_t flags = 0;
  if (!options.prevCabinet.empty()) {
    flags |= kFlagPrevCabinet;
    AppendString(head, options.prevCabinet);
    AppendString(head, options.prevDisk);
  }
  if (!options.nextCabinet.empty()) {
    flags |= kFlagNextCabinet;
    AppendString(head, options.nextCabinet);
    AppendString(head, options.nextDisk);
  }
  size_t folderOffset = head.size();
  head.resize(head.size() + kFolderSize, 0);
  size_t filesOffset = head.size();
  for (const CabEntry& e : entries) head.resize(head.size() + kFileFixedSize + e.storedName.size() + 1, 0);
  const size_t dataOffset = head.size();

  TempOutput out(cabPath);
  if (!out.Open(error) || !out.Write(head.data(), head.size(), error)) return false;

  DataWriter data(out, *compressor);
  std::vector<uint32_t> sizes;
  for (const CabEntry& e : entries) {
    uint64_t before = data.total();
    auto add = [&](const uint8_t* piece, size_t size) { return data.Add(piece, size, error); };
    if (!ReadInPieces(e.sourcePath, add, error)) return false;
    sizes.push_back(uint32_t(data.total() - before));
  }
  if (!data.Finish(error)) return false;
  if (data.blocks() > 0xFFFF) {
    error = "too much data for one cabinet folder";
    return false;
  }
  uint64_t cabSize = dataOffset + data.bytesWritten();
  if (cabSize > 0xFFFFFFFFull) {
    error = "the cabinet would be larger than 4 GiB";
    return false;
  }

  // Now that sizes are known, fill in the records.
  std::memcpy(&head[0], "MSCF", 4);
  PutLE32(&head[8], uint32_t(cabSize));
  PutLE32(&head[16], uint32_t(filesOffset));
  head[24] = 3;  // format version 1.3
  head[25] = 1;
  PutLE16(&head[26], 1);
  PutLE16(&head[28], uint16_t(entries.size()));
  PutLE16(&head[30], flags);
  PutLE16(&head[32], options.setId);
  PutLE16(&head[34], options.cabinetIndex);
  PutLE32(&head[folderOffset], uint32_t(dataOffset));
  PutLE16(&head[folderOffset + 4], uint16_t(data.blocks()));
  PutLE16(&head[folderOffset + 6], compressor->TypeCompress());
  size_t pos = filesOffset;
  uint32_t offset = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const CabEntry& e = entries[i];
    PutLE32(&head[pos], sizes[i]);
    PutLE32(&head[pos + 4], offset);
    PutLE16(&head[pos + 8], 0);
    PutLE16(&head[pos + 10], e.stamp.date);
    PutLE16(&head[pos + 12], e.stamp.time);
    uint16_t attribs = uint16_t(e.attribs & ~kAttrUtf8Name);
    if (!IsAscii(e.storedName)) attribs |= kAttrUtf8Name;
    PutLE16(&head[pos + 14], attribs);
    std::memcpy(&head[pos + 16], e.storedName.data(), e.storedName.size());
    pos += kFileFixedSize + e.storedName.size() + 1;
    offset += sizes[i];
  }
  return out.WriteAt(head, 0, error) && out.Commit(error);
}

}  // namespace kiv::cab
