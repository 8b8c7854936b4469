#include "cdtool/build/content_order.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace kiv {
namespace fs = std::filesystem;

std::optional<std::string> SortWeightList(const std::string& root, std::string* error,
                                          const std::vector<std::string>& mapped) {
  std::error_code ec;
  std::vector<std::string> paths;
  fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;  // follows links, as the mastering tool does
    const std::string path = "/" + it->path().lexically_relative(root).generic_string();
    if (path.find_first_of("\r\n") == std::string::npos) paths.push_back(path);
  }
  if (ec) {
    if (error) *error = "cannot read the folder " + root + ": " + ec.message();
    return std::nullopt;
  }
  for (const std::string& path : mapped)
    if (path.find_first_of("\r\n") == std::string::npos) paths.push_back(path);
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  std::string list;
  long long weight = -1;
  for (const std::string& path : paths) list += std::to_string(weight--) + " " + path + "\n";
  return list;
}

}  // namespace kiv
