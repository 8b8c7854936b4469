#pragma once
// The long tree copy of the CD build: the file being copied in the caption, a
// byte-exact bar. Files of any size copy (chunks of 1 MiB); events are pumped
// between files and between chunks. Entries whose names begin with '.' are
// neither counted nor copied.
#include <string>

namespace kiv {

class ProgressSink;
class Prompter;

// 1. caption "Preparing for Copy"; bar made visible; Cancel enabled.
// 2. total = sum of file sizes; 0 -> nothing copied, false.
// 3. bar maximum = total; each file: caption "Copying : " + name, copied with
//    the bar at (value at file start + bytes so far), capped at the maximum.
// 4. bar visibility restored. A source folder that cannot be listed shows
//    "Source folder \"<folder>\" not found." (OK, no icon) and gives false.
bool CopyPathWithProgress(const std::string& Source, const std::string& Destination,
                          ProgressSink& progress, Prompter& prompter,
                          const std::string& programTitle, std::string* error = nullptr);

}  // namespace kiv
