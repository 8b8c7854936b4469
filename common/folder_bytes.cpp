#include "common/folder_bytes.h"

#include <filesystem>

namespace kiv {

int64_t FolderBytes(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  int64_t total = 0;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sizeError;
    if (it->is_regular_file(sizeError)) {
      const uintmax_t size = it->file_size(sizeError);
      if (!sizeError) total += static_cast<int64_t>(size);
    }
  }
  return total;
}

}  // namespace kiv
