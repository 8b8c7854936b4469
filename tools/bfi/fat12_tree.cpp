#include "tools/bfi/fat12_tree.h"

#include <dirent.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tools/bfi/platform.h"

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
  uint64_t dev;
  uint64_t ino;
};

bool ScanFolder(const std::string& path, Node& dir, std::vector<DirId>& ancestry, std::string& error) {
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
    EntryInfo st;
    std::string why;
    if (!ReadEntryInfo(child, st, why)) {
      error = child + ": " + why;
      ok = false;
      break;
    }
    Node n;
    n.name = name;
    n.mtime = st.mtime;
    if (st.isDirectory) {
      for (const DirId& a : ancestry) {
        if (a.dev == st.device && a.ino == st.fileNumber) {
          error = child + ": link leads back into its own folder";
          ok = false;
          break;
        }
      }
      if (!ok) break;
      n.isDirectory = true;
      ancestry.push_back({st.device, st.fileNumber});
      ok = ScanFolder(child, n, ancestry, error);
      ancestry.pop_back();
      if (!ok) break;
    } else if (st.isRegularFile) {
      n.sourcePath = child;
      n.size = st.size;
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
  EntryInfo st;
  std::string why;
  if (!ReadEntryInfo(folder, st, why)) {
    error = folder + ": " + why;
    return false;
  }
  if (!st.isDirectory) {
    error = folder + ": not a folder";
    return false;
  }
  root.mtime = st.mtime;
  std::vector<DirId> ancestry{{st.device, st.fileNumber}};
  std::string base = folder;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return ScanFolder(base, root, ancestry, error);
}

}  // namespace kiv::fat12
