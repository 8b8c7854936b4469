#pragma once
// The removable whole disks a USB stick can be written to, as the system
// lists them (sysfs), each inspected as `--write-usb` inspects its target.
#include <string>
#include <vector>

#include "cdtool/usb/usb_writer.h"

namespace kiv {

class Environment;

// Where the device checks look: the system's, or a test's (KIV_SYSFS_ROOT,
// KIV_MOUNTS_FILE, KIV_DEV_DIR, as for `discsmith --write-usb`).
struct UsbDeviceSetting {
  std::string sysRoot = "/sys";
  std::string mountsFile = "/proc/self/mounts";
  std::string devDir = "/dev";
};
UsbDeviceSetting UsbDeviceSettingFromEnvironment(const Environment& environment);

// Every removable whole disk below sysRoot/class/block, in name order, each
// inspected as `--write-usb` would (a mounted one carries its problem).
std::vector<UsbTarget> ListUsbDisks(const UsbDeviceSetting& where);

}  // namespace kiv
