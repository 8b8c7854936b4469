#pragma once
// Finds files with equal content in a folder tree and replaces every duplicate
// by a hard link to one copy. Candidates are narrowed by size, then by MD5
// digest, and every pair is confirmed byte by byte before it is linked, so
// files that differ are never linked. Only files with the same permission mode
// and the same modification time are linked, since the link has one of each
// for all its names and the CD shows both. Owners are not compared: a CD tree
// keeps none.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kiv::dfl {

struct LinkReport {
  uint64_t filesScanned = 0;        // regular files seen (each inode once)
  uint64_t filesLinked = 0;         // duplicates replaced by a hard link
  uint64_t bytesSaved = 0;          // their total size
  std::vector<std::string> errors;  // one line per file that could not be read or linked
};

// Receives the phase lines ("Calculating MD5 digests", "Finding duplicate
// files") as they begin.
using PhaseSink = std::function<void(const std::string&)>;

// Links duplicates below `root`. Symbolic links, empty files, files on
// another file system than their twin and files whose permission mode or
// modification time differs from their twin's are left alone. Each link is made
// atomically: a hard link under a temporary name in the duplicate's folder,
// then renamed over the duplicate, so a failure never loses a file.
LinkReport LinkDuplicates(const std::string& root, const PhaseSink& phase);

// MD5 of a file as 32 lower-case hex digits; "" when it cannot be read.
std::string FileMd5(const std::string& path);

// True when both files can be read and hold the same bytes.
bool SameContent(const std::string& a, const std::string& b);

}  // namespace kiv::dfl
