#include "tools/bfi/fat12_tree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace kiv::fat12 {

Node Folder(const std::string& name) {
  Node n;
  n.name = name;
  n.isDirectory = true;
  return n;
}

Node MemoryFile(const std::string& name, std::vector<uint8_t> bytes, int64_t mtime) {
  Node n;
  n.name = name;
  n.size = bytes.size();
  n.bytes = std::move(bytes);
  n.mtime = mtime;
  return n;
}

namespace {

struct DirId {
  dev_t dev;
  ino_t ino;
};

bool ScanFolder(const std::string& path, Node& dir, std::vector<DirId>& ancestry,
                std::string& error) {
  DIR* d = opendir(path.c_str());
  if (d == nullptr) {
    error = path + ": cannot read the folder (" + std::strerror(errno) + ")";
    return false;
  }
  bool ok = true;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string child = path + "/" + name;
    struct stat st {};
    if (stat(child.c_str(), &st) != 0) {
      error = child + ": " + std::strerror(errno);
      ok = false;
      break;
    }
    Node n;
    n.name = name;
    n.mtime = st.st_mtime;
    if (S_ISDIR(st.st_mode)) {
      for (const DirId& a : ancestry) {
        if (a.dev == st.st_dev && a.ino == st.st_ino) {
          error = child + ": link leads back into its own folder";
          ok = false;
          break;
        }
      }
      if (!ok) break;
      n.isDirectory = true;
      ancestry.push_back({st.st_dev, st.st_ino});
      ok = ScanFolder(child, n, ancestry, error);
      ancestry.pop_back();
      if (!ok) break;
    } else if (S_ISREG(st.st_mode)) {
      n.sourcePath = child;
      n.size = uint64_t(st.st_size);
    } else {
      error = child + ": not a regular file or folder";
      ok = false;
      break;
    }
    dir.children.push_back(std::move(n));
  }
  closedir(d);
  return ok;
}

}  // namespace

bool ScanTree(const std::string& folder, Node& root, std::string& error) {
  root = Node();
  root.isDirectory = true;
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0) {
    error = folder + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    error = folder + ": not a folder";
    return false;
  }
  root.mtime = st.st_mtime;
  std::vector<DirId> ancestry{{st.st_dev, st.st_ino}};
  std::string base = folder;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return ScanFolder(base, root, ancestry, error);
}

}  // namespace kiv::fat12
