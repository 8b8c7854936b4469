#include "cdtool/build/tree_dates.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/platform.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

std::string Clamp(const fs::path& path, int64_t epoch) {
  FileTime accessed, modified;
  std::string why;
  if (!GetFileTimes(path.string(), false, accessed, modified, &why))
    return "cannot read the date of " + path.string() + ": " + why;
  if (modified.seconds < epoch || (modified.seconds == epoch && modified.nanoseconds == 0)) return "";
  if (why = SetFileTimes(path.string(), false, {epoch, 0}, {epoch, 0}); !why.empty())
    return "cannot set the date of " + path.string() + ": " + why;
  return "";
}

}  // namespace

std::string ClampTreeDates(const std::string& root, int64_t epoch) {
  std::error_code ec;
  fs::recursive_directory_iterator it(root, ec), end;
  if (ec) return "cannot read the folder " + root + ": " + ec.message();
  for (; it != end; it.increment(ec)) {
    if (ec) return "cannot read the folder " + root + ": " + ec.message();
    if (std::string why = Clamp(it->path(), epoch); !why.empty()) return why;
  }
  if (ec) return "cannot read the folder " + root + ": " + ec.message();
  // The root last: the entries' dates are set, its own is not touched again.
  return Clamp(root, epoch);
}

std::string ClampFileDate(const std::string& path, int64_t epoch) { return Clamp(path, epoch); }

}  // namespace kiv
