#pragma once
// A FreeDOS source for the DOS import, made readable as plain folders:
//   - an installed FreeDOS, or any folder with a FreeDOS kernel and FreeCOM
//     at its top, in BIN\ or in FREEDOS\BIN\;
//   - a FreeDOS 1.3/1.4 distribution (a folder or a mounted image) whose
//     packages\ (also in sub-folders such as packages\base\) hold zip
//     packages; the wanted ones are unpacked with unzip;
//   - a floppy or USB image file of one of these (a raw FAT image, or the
//     first FAT partition of a partitioned one), read with mtools.
// The outside tools run through the project's ProcessLauncher.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/process_runner.h"

namespace kiv {

// True when `folder` holds a FreeDOS kernel and FreeCOM, or FreeDOS packages
// (kernel.zip somewhere below its packages folder).
bool IsFreeDosFolder(const std::string& folder);

// Where the FAT file system of a disk image starts: 0 for a floppy-style
// image (boot sector with a FAT parameter block), the first FAT partition's
// first byte for a partitioned one; nullopt when the file is neither.
std::optional<uint64_t> FatImageOffset(const std::string& imagePath);

// What the import looks for: file names (any letter case) and the stems of
// the packages that may hold them ("kernel" for kernel.zip).
struct FreeDosWanted {
  std::set<std::string> files;     // upper case
  std::set<std::string> packages;  // lower case
};

struct FreeDosFound {
  std::string path;    // "" when the source has no such file
  std::string origin;  // where it came from, for the import's list
};

class FreeDosSource {
 public:
  // Unpacked packages and files copied out of an image go below `workFolder`
  // (made when needed; the caller removes it).
  FreeDosSource(ProcessLauncher& launcher, std::string workFolder);

  // Opens a folder or an image file. False with a message naming the file or
  // tool at fault.
  bool Open(const std::string& path, const FreeDosWanted& wanted, std::string& error);

  // The first of `names` the source has, looked for in that order.
  FreeDosFound Find(const std::vector<std::string>& names) const;

 private:
  struct Root {
    std::string folder;
    std::string label;  // prefixed to the file name in the origin
  };
  bool OpenFolder(const std::string& folder, const std::string& label, const FreeDosWanted& wanted, std::string& error);
  bool OpenImage(const std::string& image, uint64_t offset, const FreeDosWanted& wanted, std::string& error);
  bool Unpack(const std::string& zip, const std::string& into, std::string& error);

  ProcessLauncher& launcher_;
  std::string work_;
  std::vector<Root> roots_;
};

}  // namespace kiv
