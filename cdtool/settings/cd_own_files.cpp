#include "cdtool/settings/cd_own_files.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "cdtool/build/add_disks.h"
#include "cdtool/build/build_run.h"
#include "cdtool/rescue/rescue_recipe.h"
#include "common/paths.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

// What the build writes into the tree beside the template's files (the boot
// images besides, from their table).
// The tag file is the floppies' way to find the CD (a user's would stand in
// its place); the boot catalogue is the mastering tool's, hidden from the
// folders (a user's of that name would be left out without a word).
const char* const kWrittenFiles[] = {
    "boot/images/w2ksect.bin",
    "boot/images/erdc.bin",
    "boot/images/oobc.bin",
    "boot/efi/efiboot.img",
    "boot/isolinux/isolinux.cfg",
    "boot/isolinux/usbstick.cfg",
    "boot/grub/grub.cfg",
    "boot.catalog",
    kCdTagFile,
};

void AddFile(CdOwnPaths& own, const std::string& path) {
  const std::string lower = ToLower(path);
  own.files.insert(lower);
  for (size_t slash = lower.find('/'); slash != std::string::npos; slash = lower.find('/', slash + 1))
    own.folders.insert(lower.substr(0, slash));
}

// Backslashes of the build's own table become the CD's slashes.
std::string CdPath(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

}  // namespace

CdOwnPaths CdOwnFiles(const std::string& programFolder, bool rescue) {
  CdOwnPaths own;
  const fs::path tmpl = fs::path(programFolder) / "files" / "kivcd";
  std::error_code ec;
  for (fs::recursive_directory_iterator it(tmpl, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) AddFile(own, it->path().lexically_relative(tmpl).generic_string());
  }
  for (const char* path : kWrittenFiles) AddFile(own, path);
  for (const BootImageRow& row : BootImageTable()) {
    const std::string image = CdPath(row.cdImage);  // "kivcd/boot/images/..."
    AddFile(own, image.substr(image.find('/') + 1));
  }
  if (rescue)
    for (const char* name : {kRescueKernel, kRescueInitrd, kRescueSquashfs})
      AddFile(own, std::string(kRescueCdFolder) + "/" + name);
  return own;
}

namespace {

// One walk of a user's folder as the build lays it on the CD: links followed
// (a folder already on the way down is not entered again), folders whose
// names begin with '.' and special files left out, as the copy and the
// mapping leave them out.
struct ClashWalk {
  const std::string& what;
  CdOwnPaths& own;
  std::map<std::string, std::string> mine;
  std::set<std::string> trail;  // canonical paths of the folders walked into

  std::optional<std::string> Folder(const fs::path& dir, const std::string& cdDir) {
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& path : entries) {
      const std::string name = path.filename().string();
      std::error_code typeError;
      const fs::file_status st = fs::status(path, typeError);  // a link: what it points to
      if (typeError) continue;                                 // a broken link: the folder check names it
      const bool isFolder = fs::is_directory(st);
      if (!isFolder && !fs::is_regular_file(st)) continue;
      if (isFolder && name[0] == '.') continue;
      const std::string cd = ToLower(cdDir + name);
      if (const auto other = own.userFiles.find(cd); other != own.userFiles.end() && !isFolder)
        return "The " + what + " folder holds \"" + path.string() + "\" and \"" + other->second +
               "\" is in the other folder: both would go onto the CD as \"/" + cd +
               "\" and one of them would be lost !\nRename one of them";
      const bool clash = isFolder ? own.files.count(cd) > 0 : own.files.count(cd) > 0 || own.folders.count(cd) > 0;
      if (clash)
        return "The " + what + " folder holds \"" + path.string() + "\", which would go onto the CD as \"/" + cd +
               "\": the CD's own " + (own.files.count(cd) ? "file" : "folder") +
               " of that name would be replaced or the build would fail !\nRename it, or move it into a folder of "
               "its own";
      if (!isFolder) {
        mine.emplace(cd, path.string());
        continue;
      }
      const std::string canonical = fs::canonical(path, ec).string();
      if (ec || !trail.insert(canonical).second) continue;
      if (auto found = Folder(path, cd + "/")) return found;
      trail.erase(canonical);
    }
    return std::nullopt;
  }
};

}  // namespace

std::optional<std::string> CdOwnFileClash(const std::string& folder, const std::string& cdPrefix,
                                          const std::string& what, CdOwnPaths& own) {
  ClashWalk walk{what, own, {}, {}};
  std::error_code ec;
  walk.trail.insert(fs::canonical(folder, ec).string());
  if (auto found = walk.Folder(fs::path(folder), ToLower(cdPrefix))) return found;
  own.userFiles.insert(walk.mine.begin(), walk.mine.end());
  return std::nullopt;
}

}  // namespace kiv
