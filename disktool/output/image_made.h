#pragma once
// What the finish page says about the image a build made: where it is and
// how large, so the user knows what to pick up without looking for it.
#include <cstdint>
#include <string>

namespace kiv {

// "The floppy image is <path> (1440 KB)": the size in kilobytes of 1024
// bytes, the unit floppy sizes are counted in (1.44 MB is 1440 KB).
std::string ImageMadeText(const std::string& path, std::uintmax_t bytes);

}  // namespace kiv
