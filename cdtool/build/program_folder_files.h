#pragma once
// The files a CD build writes into the program folder itself, beside its
// work folders: the makecd script and the mastering tool's lists and log,
// the build's log and lock, the key files, and what bootsmith leaves there
// while it makes the boot disks (its images, its driver settings, its lock).
// A file of the user's at one of these names would be overwritten by the next
// build, so the ISO page refuses them as the ISO's name; every name the build
// writes is in this one list.
#include <string>
#include <vector>

namespace kiv {

std::vector<std::string> BuildWrittenFiles();

}  // namespace kiv
