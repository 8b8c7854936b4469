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

// The size of the image the image tool writes: 1,474,560 bytes for a 1.44 MB
// floppy, 2,949,120 for a 2.88 MB one.
inline constexpr long long kImage144Bytes = 1474560;
inline constexpr long long kImage288Bytes = 2949120;

// What stands at a destination the image would replace, when that is not an
// earlier image of the same kind: empty when nothing is there or a floppy
// image of the size asked for is (that size, starting with a FAT boot
// sector); otherwise a text naming the destination and what it is not ("The
// target /x/notes.txt already exists and is not a 1.44 MB floppy image
// (1,474,560 bytes)"). `folder` is set when it is a folder, which no image
// can replace.
std::string ExistingTargetText(const std::string& destination, bool image288, bool* folder = nullptr);

inline constexpr const char* kReplaceTargetTitle = "Replace Existing File";

}  // namespace kiv
