// The POSIX side of the duplicate linker (dfl_platform.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tools/dfl/dfl_platform.h"

namespace fs = std::filesystem;

namespace kiv::dfl {
namespace {

std::string ErrnoText(int err) { return std::strerror(err); }

}  // namespace

bool Examine(const std::string& path, EntryFacts& facts, std::string& error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  facts.isFolder = S_ISDIR(st.st_mode);
  facts.isFile = S_ISREG(st.st_mode);
  facts.device = static_cast<uint64_t>(st.st_dev);
  facts.fileNumber = static_cast<uint64_t>(st.st_ino);
  facts.mode = static_cast<uint32_t>(st.st_mode & 07777);
  facts.size = static_cast<uint64_t>(st.st_size);
  facts.modified = static_cast<int64_t>(st.st_mtim.tv_sec);
  return true;
}

bool LinkOver(const std::string& keep, const std::string& dup, std::string& error) {
  static unsigned counter = 0;
  const fs::path dupPath(dup);
  struct stat folder {};
  const bool folderDated = ::stat(dupPath.parent_path().c_str(), &folder) == 0;
  std::string tmp;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tmp = (dupPath.parent_path() / (".dfl-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp"))
              .string();
    if (::link(keep.c_str(), tmp.c_str()) == 0) break;
    if (errno != EEXIST) {
      error = "cannot link " + dup + " to " + keep + ": " + ErrnoText(errno);
      return false;
    }
    tmp.clear();
  }
  if (tmp.empty()) {
    error = "cannot find a free temporary name beside " + dup;
    return false;
  }
  if (::rename(tmp.c_str(), dup.c_str()) != 0) {
    error = "cannot replace " + dup + ": " + ErrnoText(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  if (folderDated) {
    const struct timespec times[2] = {folder.st_atim, folder.st_mtim};
    ::utimensat(AT_FDCWD, dupPath.parent_path().c_str(), times, 0);
  }
  return true;
}

}  // namespace kiv::dfl
