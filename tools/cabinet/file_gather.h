#pragma once
// Turns the file patterns of a cabinet creation command line ("src\*.*",
// "files\netdrv\readme.txt") into cabinet entries: the files found, in a
// stable order, with the names they are stored under.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "tools/cabinet/cab_writer.h"

namespace kiv::cab {

struct GatherOptions {
  bool recurse = false;             // match the pattern's name part in every subfolder too
  bool preservePaths = false;       // store paths as spelled on the command line (else names only)
  std::string stripPrefix;          // removed from the front of stored paths (any case, either separator)
  std::optional<time_t> fixedTime;  // every file dated so (UTC) instead of its own time
  std::string excludePath;          // never stored (the cabinet being written)
};

// Appends the entries for `patterns`. A pattern that matches nothing adds a
// warning. False with a message when a folder cannot be read or a stored name
// would be unusable (".." after prefix stripping, longer than 255 bytes).
bool GatherFiles(const std::vector<std::string>& patterns, const GatherOptions& options, std::vector<CabEntry>& entries,
                 std::vector<std::string>& warnings, std::string& error);

}  // namespace kiv::cab
