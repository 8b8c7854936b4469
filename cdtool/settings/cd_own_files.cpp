#include "cdtool/settings/cd_own_files.h"

#include <filesystem>

#include "cdtool/build/add_disks.h"
#include "cdtool/rescue/rescue_recipe.h"
#include "common/paths.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

// What the build writes into the tree beside the template's files (the boot
// images besides, from their table).
const char* const kWrittenFiles[] = {
    "boot/images/w2ksect.bin",    "boot/images/erdc.bin",       "boot/images/oobc.bin", "boot/efi/efiboot.img",
    "boot/isolinux/isolinux.cfg", "boot/isolinux/usbstick.cfg", "boot/grub/grub.cfg",
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

std::optional<std::string> CdOwnFileClash(const std::string& folder, const std::string& cdPrefix,
                                          const std::string& what, CdOwnPaths& own) {
  const fs::path root(folder);
  std::error_code ec;
  std::map<std::string, std::string> mine;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    const bool isFolder = it->is_directory(typeError);
    const std::string cd = ToLower(cdPrefix + it->path().lexically_relative(root).generic_string());
    if (const auto other = own.userFiles.find(cd); other != own.userFiles.end() && !isFolder)
      return "The " + what + " folder holds \"" + it->path().string() + "\" and \"" + other->second +
             "\" is in the other folder: both would go onto the CD as \"/" + cd +
             "\" and one of them would be lost !\nRename one of them";
    const bool clash = isFolder ? own.files.count(cd) > 0 : own.files.count(cd) > 0 || own.folders.count(cd) > 0;
    if (clash)
      return "The " + what + " folder holds \"" + it->path().string() + "\", which would go onto the CD as \"/" + cd +
             "\": the CD's own " + (own.files.count(cd) ? "file" : "folder") +
             " of that name would be replaced or the build would fail !\nRename it, or move it into a folder of "
             "its own";
    if (!isFolder) mine.emplace(cd, it->path().string());
  }
  own.userFiles.insert(mine.begin(), mine.end());
  return std::nullopt;
}

}  // namespace kiv
