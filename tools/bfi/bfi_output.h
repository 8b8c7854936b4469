#pragma once
// Writes the finished image under a temporary name in the target folder and
// renames it into place, so a failed or interrupted run never leaves a
// half-written image behind.
#include <cstdint>
#include <string>
#include <vector>

namespace kiv::bfi {

// Writes the first `used` bytes of `data` and extends the file with zeros
// (a hole) to `total` bytes. False with a message naming the file when it
// could not be written; the temporary file is gone then. SIGINT/SIGTERM/SIGHUP
// during the write remove the temporary file too.
bool WriteFileAtomic(const std::string& path, const uint8_t* data, size_t used, size_t total, std::string& error);

// Zeroed memory for a whole image, mapped in one go: touching a fresh page at
// a time costs more than building the image itself.
class ImageMemory {
 public:
  explicit ImageMemory(size_t size);
  ~ImageMemory();
  ImageMemory(const ImageMemory&) = delete;
  ImageMemory& operator=(const ImageMemory&) = delete;
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void* map_ = nullptr;
  size_t mapSize_ = 0;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::vector<uint8_t> fallback_;
};

}  // namespace kiv::bfi
