#pragma once
// Reproducible CDs: with SOURCE_DATE_EPOCH set, no date in the CD tree is
// later than it. What the build copied or wrote into the tree carries the time
// of the build, and the mastering tool puts every file's and folder's date in
// the ISO's directory records; clamped, two builds of the same inputs give the
// same records. (xorriso takes the volume's own dates from SOURCE_DATE_EPOCH.)
#include <cstdint>
#include <optional>
#include <string>

#include "common/source_date_epoch.h"

namespace kiv {

// Every folder, file and symbolic link at or below `root` dated later than
// `epoch` gets `epoch` as its modification and access time (a link itself,
// never what it points at). Returns "" or what failed, naming the path.
std::string ClampTreeDates(const std::string& root, int64_t epoch);

// The same for one file (or link), for what is copied elsewhere with its date
// kept, such as a file put into a disk image.
std::string ClampFileDate(const std::string& path, int64_t epoch);

}  // namespace kiv
