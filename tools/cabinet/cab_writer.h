#pragma once
// Writes a Microsoft cabinet with one folder: the header, the folder record,
// one file record per entry and the data of all files as one stream cut into
// 32 KiB blocks, each compressed on its own (NONE, MSZIP or LZX) and carrying
// its checksum. The cabinet is written under a temporary name beside the
// target and renamed into place only when complete.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/cabinet/cab_format.h"

namespace kiv::cab {

enum class Method { None, MsZip, Lzx };

struct WriteOptions {
  Method method = Method::MsZip;
  int lzxWindowBits = 21;  // 15..21
  // LZX encoder level 0..4 (0 stored, 2 the encoder's fast default, 4 the
  // strongest and slowest); -1 leaves the encoder's default.
  int lzxLevel = -1;
  // Cabinet-set fields; a lone cabinet leaves them alone. The previous/next
  // names only link cabinets: every cabinet keeps a complete folder of its own.
  uint16_t setId = 0;
  uint16_t cabinetIndex = 0;
  std::string prevCabinet, prevDisk, nextCabinet, nextDisk;
};

struct CabEntry {
  std::string sourcePath;  // file whose bytes are stored
  std::string storedName;  // name in the cabinet, '\' separated
  DosDateTime stamp;
  uint16_t attribs = kAttrArchive;
};

// Parses "NONE", "MSZIP", "LZX:<15..21>" (any letter case). False with a
// message on anything else.
bool ParseMethod(const std::string& text, WriteOptions& options, std::string& error);

// Parses an LZX level "0".."4" (from an option or the environment). False
// with a message naming `source` and the value on anything else.
bool ParseLzxLevel(const std::string& text, const std::string& source, WriteOptions& options, std::string& error);

// Whether this build can write LZX (the encoder library is linked in).
bool LzxAvailable();

// Writes `cabPath`. False with a message naming the file at fault; nothing is
// left behind then (an existing cabinet of that name is untouched).
bool WriteCabinet(const std::string& cabPath, const std::vector<CabEntry>& entries, const WriteOptions& options,
                  std::string& error);

}  // namespace kiv::cab
