#pragma once
// What a folder the build copies onto the CD (the utilities, the additional
// files) may hold. The CD is read by DOS and Windows and its file system
// (ISO 9660) has limits of its own, so some things that are fine here cannot
// go onto it; the page check refuses them, naming the path, instead of the
// build losing or failing on them later:
//   - two names in one folder that differ only in letter case (one name on
//     the CD: one of them would be lost);
//   - a file of 4 GiB or more (the largest a CD file can be is 4 GiB - 1);
//   - anything that is not a regular file or folder: special files (FIFOs,
//     sockets, devices) and links that are broken or point outside the folder.
//     Links to files and folders inside it are fine; they are copied as what
//     they point to.
#include <cstdint>
#include <optional>
#include <string>

#include "common/folder_bytes.h"

namespace kiv {

inline constexpr uint64_t kMaxCdFileSize = 4294967295ull;  // 4 GiB - 1

// The first problem found in `folder`, as the text of a page-check message;
// none when everything in it can go onto the CD.
std::optional<std::string> CdFolderProblem(const std::string& folder);

}  // namespace kiv
