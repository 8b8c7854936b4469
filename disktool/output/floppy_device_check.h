#pragma once
// Before the floppy is formatted: is there a floppy drive at the device path?
// A missing /dev/fd0 (most machines have no floppy drive) is said as such,
// with the way to name another device, instead of a format that fails.
#include <string>

namespace kiv {

inline constexpr const char* kNoFloppyDriveTitle = "No Floppy Drive";

// True when `device` can be opened as a floppy: a device node with a drive
// behind it, or a file standing in for the disk. Otherwise `reason` says
// what was found instead.
bool FloppyDeviceFound(const std::string& device, std::string* reason);

// The message for a device FloppyDeviceFound refused.
std::string NoFloppyDriveText(const std::string& device, const std::string& reason);

}  // namespace kiv
