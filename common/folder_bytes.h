#pragma once
// The size of a folder tree, for estimates (the CD's size, the build's work).
#include <cstdint>
#include <string>

namespace kiv {

// The bytes of the regular files below `folder`; 0 when it cannot be read.
int64_t FolderBytes(const std::string& folder);

}  // namespace kiv
