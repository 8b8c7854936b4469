#pragma once
// Reads Microsoft cabinets through libmspack, which decodes every compression
// type (NONE, MSZIP, Quantum, LZX) and checks the data block checksums. A
// cabinet can be opened alone or together with the cabinets that follow it in
// its set, which are looked for beside it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kiv::cab {

struct CabFileInfo {
  std::string name;  // as stored ('\' separators), converted to UTF-8
  uint32_t size = 0;
  uint16_t attribs = 0;
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class CabReader {
 public:
  CabReader();
  ~CabReader();
  CabReader(const CabReader&) = delete;
  CabReader& operator=(const CabReader&) = delete;

  // Opens a cabinet file. With `followSet`, the cabinets named as its
  // successors are opened too and their files listed after its own; one that
  // cannot be found or read ends the chain with a warning.
  bool Open(const std::string& path, bool followSet, std::string& error);
  // Opens a cabinet held in memory (the buffer must outlive the reader).
  bool OpenMemory(const uint8_t* data, size_t size, std::string& error);

  const std::vector<CabFileInfo>& Files() const { return files_; }
  const std::vector<std::string>& Warnings() const { return warnings_; }
  std::string Path() const { return path_; }

  // The first stored name that must never be written (absolute, drive letter,
  // ".." or empty), with the reason; false when every name is safe.
  bool FindUnsafeName(std::string& message) const;

  // Extracts file `index` to `destPath`, written under a temporary name beside
  // it and renamed into place; the file gets the stored date. An existing file
  // of that name is replaced.
  bool Extract(size_t index, const std::string& destPath, std::string& error);
  // Decodes file `index` and throws the bytes away (integrity test, fuzzing).
  bool Test(size_t index, std::string& error);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<CabFileInfo> files_;
  std::vector<std::string> warnings_;
  std::string path_;
};

}  // namespace kiv::cab
