#pragma once
// What changed between two builds of the rescue system, from the
// "<package> <version>" lines each build records: so an update can say which
// packages Debian has replaced since the last build (security fixes, point
// releases) instead of only that it built again.
#include <string>
#include <vector>

namespace kiv {

// One line per package whose version differs, that came or that went, in
// package order: "ntfs-3g 1:2022.10.3-1+b1 -> 1:2022.10.3-1+deb12u1",
// "new: nvme-cli 2.4+really2.3-3", "gone: nano 7.2-1". Lines that are not
// "<package> <version>" are skipped.
std::vector<std::string> PackageVersionChanges(const std::string& before, const std::string& after);

}  // namespace kiv
