#include "disktool/floppy/module_folders.h"

#include <cstdio>

#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

std::vector<std::string> UnpackModuleCabinets(const std::string& programFolder, const std::string& cabs) {
  std::vector<std::string> unpacked;
  const std::string lib = ResolvePath(JoinPath(cabs, "lib"));
  if (!FolderExists(lib)) return unpacked;
  for (const std::string& cab : ListFolder(lib, "*.cab", true, false)) {
    const std::string name = cab.substr(0, cab.size() - 4);
    const std::string staged = ResolvePath(JoinPath(JoinPath(programFolder, "files"), name));
    if (!FolderExists(staged)) continue;
    if (!CopyFolder(staged, JoinPath(lib, name))) continue;
    std::remove(JoinPath(lib, cab).c_str());
    unpacked.push_back(name);
  }
  return unpacked;
}

}  // namespace kiv
