#pragma once
// What the cabinet code asks of the operating system beyond std::filesystem:
// output under a temporary name, reading a source file, and a new file's mode
// and date. Implemented per platform (platform_posix.cpp).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kiv::cab {

// An output file under a temporary name in the target's folder, with the
// permissions a new file gets; removed unless Commit() renamed it into place.
class TempOutput {
 public:
  explicit TempOutput(const std::string& target) : target_(target) {}
  ~TempOutput();
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;
  // Each answers false with a message naming the target in `error`.
  bool Open(std::string& error);
  bool Write(const uint8_t* data, size_t size, std::string& error);
  bool WriteAt(const std::vector<uint8_t>& data, int64_t offset, std::string& error);
  // Closes the file and renames it over the target.
  bool Commit(std::string& error);

 private:
  std::string target_, tempPath_;
  intptr_t handle_ = -1;  // the platform's handle of the open file
  bool committed_ = false;
};

// Reads the whole file, handing each piece (up to 64 KiB) to `onPiece`; a false
// from it stops the read and is answered with false, `error` left to it.
// False with "cannot read <path>: <reason>" when the file cannot be read.
bool ReadInPieces(const std::string& path, const std::function<bool(const uint8_t*, size_t)>& onPiece,
                  std::string& error);

// A new empty file beside `dest` (its name from TempTemplateBeside) for an
// extraction to fill; its path, or "" with the system's text in `error`.
std::string MakeTempFileBeside(const std::string& dest, std::string& error);
// Gives a file the permissions a newly created one gets (the umask applied).
void SetNewFileMode(const std::string& path);
// Sets access and modification time of `path` to `seconds` since 1970 (UTC);
// quietly keeps the old date when it cannot.
void SetFileDate(const std::string& path, int64_t seconds);

}  // namespace kiv::cab
