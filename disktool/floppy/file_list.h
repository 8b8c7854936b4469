#pragma once
#include <string>

namespace kiv {

// One file of the floppy, relative to cabs\ and written with '\' (as the data
// files and the original list show it), with its selected flag.
struct FileListEntry {
  std::string Path;
  bool Selected = true;
};

}  // namespace kiv
