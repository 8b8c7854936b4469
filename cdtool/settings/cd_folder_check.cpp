#include "cdtool/settings/cd_folder_check.h"

#include <filesystem>
#include <map>
#include <vector>

#include "common/paths.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

bool Inside(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> CdFolderProblem(const std::string& folder) {
  std::error_code ec;
  const fs::path root = fs::canonical(folder, ec);
  if (ec) return std::nullopt;  // the folder checks report a missing folder themselves
  // Folders are walked without following links, so a link cannot lead the
  // walk in circles; where a link points is checked on its own.
  std::vector<fs::path> pending{root};
  while (!pending.empty()) {
    const fs::path dir = pending.back();
    pending.pop_back();
    std::map<std::string, std::string> seen;  // lower-cased name -> name
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path path = it->path();
      const std::string name = path.filename().string();
      auto [at, fresh] = seen.emplace(ToLower(name), name);
      if (!fresh)
        return "The folder \"" + folder + "\" holds \"" + (dir / at->second).string() + "\" and \"" + path.string() +
               "\", whose names differ only in letter case: on the CD they are one name and one of them would be "
               "lost !\nRename one of them";
      const fs::file_status link = it->symlink_status(ec);
      if (ec) break;
      fs::file_status status = link;
      if (fs::is_symlink(link)) {
        std::error_code linkError;
        const fs::path target = fs::canonical(path, linkError);
        if (linkError || !Inside(target, root))
          return "\"" + path.string() + "\" is a link that is broken or points outside \"" + folder +
                 "\", and cannot go onto the CD !\nRemove it or copy what it points to into the folder";
        status = fs::status(target, ec);
        if (fs::is_directory(status)) continue;  // its contents are walked where they are
      }
      if (fs::is_directory(status)) {
        pending.push_back(path);
      } else if (fs::is_regular_file(status)) {
        const uint64_t size = fs::file_size(path, ec);
        if (!ec && size > kMaxCdFileSize)
          return "The file \"" + path.string() + "\" is " + std::to_string(size) +
                 " bytes long; a file on a CD can hold at most 4 GiB (" + std::to_string(kMaxCdFileSize) +
                 " bytes) !\nRemove it from the folder";
      } else {
        return "\"" + path.string() +
               "\" is not a file or a folder (a device, a pipe or a socket) and cannot go "
               "onto the CD !\nRemove it from the folder";
      }
    }
    if (ec) return "The folder \"" + dir.string() + "\" cannot be read (" + ec.message() + ")";
  }
  return std::nullopt;
}

}  // namespace kiv
