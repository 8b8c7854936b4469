#pragma once
// Extraction of the files of an open cabinet that match name patterns, as the
// cabinet tools do it: the whole cabinet is refused when any stored path is
// unsafe, existing files are kept unless overwriting was asked for, stored
// folders are never made or entered through a symbolic link in the target
// folder, and each file is written under a temporary name and renamed into
// place (so a link where a file goes is replaced, not written through).
#include <ostream>
#include <string>
#include <vector>

#include "tools/cabinet/cab_reader.h"

namespace kiv::cab {

struct ExtractRequest {
  std::vector<std::string> patterns;  // empty: every file
  bool overwrite = false;
  bool keepPaths = false;       // recreate stored folders (else names only)
  std::string targetDir = ".";  // '\' or '/' separated; created when missing
  std::string overwriteHint;    // how to ask for overwriting ("use -o")
};

struct ExtractOutcome {
  int extracted = 0;
  int skipped = 0;  // existing files kept
  int failed = 0;
  std::vector<bool> patternMatched;  // per pattern
};

// True when a stored name matches a pattern: a pattern with a separator is
// matched against the whole stored path, one without against the file name.
bool StoredNameMatches(const std::string& pattern, const std::string& stored);

// Extracts; reports each written/kept/failed file on `log`/`err`. False when
// the cabinet was refused or the target folder cannot be made (`error` set);
// per-file failures are counted in the outcome.
bool ExtractMatching(CabReader& reader, const ExtractRequest& request, ExtractOutcome& outcome, std::ostream& log,
                     std::ostream& err, std::string& error);

// Creates a folder and its missing parents (components found in any case).
// Returns the real path; false with a message on failure.
bool MakeFolders(const std::string& path, std::string& realPath, std::string& error);

}  // namespace kiv::cab
