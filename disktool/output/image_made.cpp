#include "disktool/output/image_made.h"

namespace kiv {

std::string ImageMadeText(const std::string& path, std::uintmax_t bytes) {
  return "The floppy image is " + path + " (" + std::to_string((bytes + 512) / 1024) + " KB)";
}

}  // namespace kiv
