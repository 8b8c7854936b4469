#pragma once
// The long tree copy of the CD build: the file being copied in the caption, a
// byte-exact bar. Files of any size copy (chunks of 1 MiB); events are pumped
// between files and between chunks. Folders whose names begin with '.' are
// neither counted nor copied; files whose names begin with '.' are copied and
// counted (so the bar ends exactly at its maximum).
#include <string>

namespace kiv {

class ProgressSink;
class Prompter;

// 1. caption "Preparing for Copy"; bar made visible; Cancel enabled.
// 2. total = sum of file sizes; 0 -> nothing copied, false.
// 3. bar maximum = total, value 0; each file: caption "Copying : " + name,
//    copied with the bar at (value at file start + bytes so far), capped at
//    the maximum. Entries in name order (case-insensitive).
// 4. bar visibility restored. A source folder that cannot be listed (the
//    top one included) shows "Source folder \"<folder>\" not found." (OK, no
//    icon, the program title; <folder> with a trailing separator) and gives
//    false. A destination inside the source is refused (false, no message).
// On failure `error` gets the cause ("Disk Full", "Path Not found", ...) and
// `failedPath` the file or folder it happened on; an empty tree fails with
// neither set (there was nothing to copy). A stop request of the progress
// sink ends the copy before the next file (cause kCopyStopped).
bool CopyPathWithProgress(const std::string& Source, const std::string& Destination, ProgressSink& progress,
                          Prompter& prompter, const std::string& programTitle, std::string* error = nullptr,
                          std::string* failedPath = nullptr);

inline constexpr const char* kCopyStopped = "Operation canceled";

}  // namespace kiv
