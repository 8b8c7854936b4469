// The destination check made before an image is written.
#include "disktool/output/image_target.h"

#include <filesystem>
#include <system_error>

#include "common/paths.h"
#include "disktool/output/fat_boot_sector.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

// Folders the builders delete and re-create: the disk builder's staging tree
// and temporary trees, the DOS working copy, and the CD builder's trees.
constexpr const char* kWorkFolders[] = {"cabs", "Temp", "files/dos", "kivcd", "advtemp"};

// The leading components of `rel` are `folder`, compared without regard to
// case (the data files spell them either way).
bool LiesIn(const std::string& rel, const std::string& folder) {
  if (rel.size() < folder.size() || !EqualsNoCase(rel.substr(0, folder.size()), folder)) return false;
  return rel.size() == folder.size() || rel[folder.size()] == '/';
}

// What the image tool writes: a 1.44 MB or 2.88 MB floppy image. An earlier
// image may be written over; any other file of the program may not.
bool LooksLikeImage(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  const std::string lower = ToLower(path);
  const bool imgName = lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".img") == 0;
  const uintmax_t size = fs::file_size(path, ec);
  return imgName || (!ec && (size == 1474560 || size == 2949120));
}

}  // namespace

std::string ImageTargetProblem(const std::string& programFolder, const std::string& destination) {
  const std::string path = ResolvePathPrefix(NativePath(destination));
  const std::string rel = RealPathWithin(programFolder, path);
  if (rel.empty()) return "";  // outside the program folder
  const std::string again = "\r\n\r\nChoose another target for the image.";
  for (const char* folder : kWorkFolders) {
    if (LiesIn(rel, folder)) {
      return "The target " + destination + " lies in the work folder " + WindowsPath(folder) +
             ", which is deleted when a build ends; the image would be lost." + again;
    }
  }
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (rel == "." || (!ec && st.type() == fs::file_type::directory)) {
    return "The target " + destination + " is a folder of the Kiv Disk Builder, not a file." + again;
  }
  if (!ec && !LooksLikeImage(path)) {
    return "The target " + destination + " is one of the Kiv Disk Builder's own files (" + WindowsPath(rel) +
           "); the image would replace it." + again;
  }
  return "";
}

std::string ExistingTargetText(const std::string& destination, bool image288, bool* folder) {
  if (folder) *folder = false;
  const std::string path = ResolvePathPrefix(NativePath(destination));
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec) return "";
  if (st.type() == fs::file_type::directory) {
    if (folder) *folder = true;
    return "The target " + destination + " is a folder, not a file.";
  }
  const long long size = image288 ? kImage288Bytes : kImage144Bytes;
  const bool sized =
      st.type() == fs::file_type::regular && static_cast<long long>(fs::file_size(path, ec)) == size && !ec;
  // The size alone does not make an image: what the image tool wrote starts
  // with a FAT boot sector.
  if (sized && StartsWithFatBootSector(path)) return "";
  if (sized) {
    return "The target " + destination + " already exists and is not a floppy image: it has the size of one (" +
           (image288 ? "2,949,120" : "1,474,560") + " bytes) but does not start with a FAT boot sector.";
  }
  return "The target " + destination + " already exists and is not a " +
         (image288 ? "2.88 MB floppy image (2,949,120 bytes)" : "1.44 MB floppy image (1,474,560 bytes)") + ".";
}

}  // namespace kiv
