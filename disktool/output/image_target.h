#pragma once
// Whether an image file may be written at a destination. The image tool
// replaces whatever file it is pointed at, and the build deletes its work
// folders when it ends, so a destination inside those folders, or one that
// names a file of the program itself, would destroy something or lose the
// image.
#include <string>

namespace kiv {

// Empty when the destination may receive the image; otherwise the message
// that says why not (naming the destination and the folder or file at
// fault). Symbolic links are followed to where they really lead.
std::string ImageTargetProblem(const std::string& programFolder, const std::string& destination);

inline constexpr const char* kInvalidTargetTitle = "Invalid Target";

}  // namespace kiv
