#pragma once
// Pieces of the file operations shared with the progress copy; not for callers
// outside common/.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kiv {

// "Disk Full", "Permission denied", "Disk Not Ready", "Path Not found" for the
// errors they stand for, otherwise the system's text.
std::string CopyErrorText(int err);

// Copies one file (real paths, no resolving) in 1 MiB chunks into a temporary
// file beside `to`, then renames it into place; mode and modification time go
// with it. `onChunk` gets the bytes copied so far after every chunk.
// inPlaceWhenNew: a target that does not exist yet is written under its own
// name (removed again if the copy fails) instead of a temporary name and a
// rename; an existing target is always replaced whole. For tree copies into
// work folders, where the rename per file is measurable.
bool CopyFileChunked(const std::string& from, const std::string& to, std::string* error,
                     const std::function<void(int64_t)>& onChunk, bool inPlaceWhenNew = false);

// The path with every existing leading part replaced by its canonical form
// (links resolved), the rest appended as given.
std::string CanonicalLoose(const std::string& path);
// True when `inner` lies strictly inside the folder `outer` (canonical forms).
bool PathInside(const std::string& inner, const std::string& outer);
// The folders of one tree walk from its top down to the current one, by
// identity: a link back to one of them would make the walk endless.
class FolderTrail {
 public:
  // False when the folder is already on the trail (it is not entered then).
  bool Enter(const std::string& folder);
  void Leave() {
    if (!ids_.empty()) ids_.pop_back();
  }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> ids_;  // device, file number
};

// The names of one destination folder by their lower-case form, so a copy
// writes onto an entry that differs only in letter case instead of adding a
// second one beside it (README.TXT and readme.txt are one file on the CD).
class FolderNames {
 public:
  explicit FolderNames(const std::string& folder);
  // The existing entry's name matching `name` in any letter case, or `name`
  // itself; remembered as taken from then on.
  std::string Target(const std::string& name);

 private:
  std::unordered_map<std::string, std::string> byLower_;
};

// Text for a copy of something that is no file (pipe, socket, device).
inline constexpr const char* kNotAFile = "Not a regular file";
// Text for a copy into its own source.
inline constexpr const char* kCopyIntoItself = "Destination is inside the source folder";

}  // namespace kiv
