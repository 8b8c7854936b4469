#pragma once
// The order of the files' data in the ISO. xorriso lays out data files of
// equal weight by their inode numbers on the disk, which differ from one
// program folder to the next; a reproducible build gives it a weight list
// (--sort-weight-list) with one weight a file in the order of the paths, so
// the same tree gives the same image wherever it lies.
#include <optional>
#include <string>
#include <vector>

namespace kiv {

// The list's name in the program folder, as the makecd script names it.
inline constexpr const char* kSortWeightList = "mkisofs.sort";

// One line a regular file (a link followed) at or below `root`: a weight,
// a blank, the file's path in the image ("/boot/loader.bin"). The paths are
// in byte order, and the weights go down from -1, so the mastering tool's own
// weights (the boot catalogue, the boot images) keep those first. A path
// holding a line break cannot be listed and is left to the tool's order.
// Nothing, and `error` naming the folder, when the tree cannot be read.
// `mapped` adds the image's files that are not in the tree (the sources'
// files mapped into the image, "/I386/TXTSETUP.SIF"), in the same order.
std::optional<std::string> SortWeightList(const std::string& root, std::string* error,
                                          const std::vector<std::string>& mapped = {});

}  // namespace kiv
