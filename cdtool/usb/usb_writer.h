#pragma once
// Writing the hybrid ISO to a USB stick (`discsmith --write-usb <device>`).
// Only a removable whole disk that nothing has mounted is accepted; what the
// device is (its size and model, from sysfs) is shown and the user is asked
// before a byte is written. The image goes over in 1 MiB blocks with
// progress, is synced, and is read back and compared.
//
// The device checks read sysfs below `sysRoot` and the mount table at
// `mountsFile`, so tests can describe a device of their own.
#include <cstdint>
#include <functional>
#include <string>

namespace kiv {

class Prompter;
class ProgressSink;

struct UsbTarget {
  std::string device;  // as given
  std::string path;    // with symbolic links resolved (/dev/disk/by-id/... -> /dev/sdb)
  std::string name;    // the kernel's name: sdb
  std::string model;   // vendor and model, "" when sysfs has none
  uint64_t sizeBytes = 0;
  std::string problem;  // why it is refused; "" when it may be written
};

// Looks the device up: a block device (or, for tests, a file that the sysfs
// below `sysRoot` describes) that is a whole, removable disk, not mounted
// itself nor through a partition.
UsbTarget InspectUsbTarget(const std::string& device, const std::string& sysRoot = "/sys",
                           const std::string& mountsFile = "/proc/self/mounts");

// "7.5 GB" style sizes for the question.
std::string HumanSize(uint64_t bytes);

// Whether the device can be opened for writing: 0, or the errno of the
// failed open. Nothing is written.
int WriteAccess(const std::string& path);

// What to tell a user who may not open `path` (errno `err`): the device,
// and the two ways on: the command as root, or membership of the group that
// owns the device.
std::string NoAccessText(const std::string& path, const std::string& iso, int err);

struct UsbWriteRequest {
  std::string iso;
  std::string device;
  std::string sysRoot = "/sys";
  std::string mountsFile = "/proc/self/mounts";
  // Tests replace it: as root every open succeeds.
  std::function<int(const std::string&)> writeAccess = WriteAccess;
};

// The whole command: checks the ISO (it must be the hybrid image the build
// makes), the device and the right to open it, asks, writes, syncs, verifies. Messages go through
// the prompter; returns "" on success, otherwise what went wrong (also shown).
std::string WriteIsoToUsb(const UsbWriteRequest& request, Prompter& prompter, ProgressSink& progress);

}  // namespace kiv
