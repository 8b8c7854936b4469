#include "cdtool/usb/usb_disks.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/environment.h"
#include "common/paths.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return Trim(line);
}

}  // namespace

UsbDeviceSetting UsbDeviceSettingFromEnvironment(const Environment& environment) {
  UsbDeviceSetting s;
  const auto valueOr = [&environment](const char* name, const std::string& fallback) {
    const std::string value = environment.Get(name);
    return value.empty() ? fallback : value;
  };
  s.sysRoot = valueOr("KIV_SYSFS_ROOT", s.sysRoot);
  s.mountsFile = valueOr("KIV_MOUNTS_FILE", s.mountsFile);
  s.devDir = valueOr("KIV_DEV_DIR", s.devDir);
  return s;
}

std::vector<UsbTarget> ListUsbDisks(const UsbDeviceSetting& where) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(where.sysRoot) / "class/block", ec)) {
    const fs::path& dir = entry.path();
    const std::string name = dir.filename().string();
    if (fs::exists(dir / "partition", ec) || ReadLine(dir / "removable") != "1") continue;
    // Optical drives (SCSI type 5) and floppy drives are removable too, but
    // no stick: they never take a disk image.
    if (ReadLine(dir / "device/type") == "5" || name.rfind("fd", 0) == 0) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<UsbTarget> disks;
  disks.reserve(names.size());
  for (const std::string& name : names)
    disks.push_back(InspectUsbTarget((fs::path(where.devDir) / name).string(), where.sysRoot, where.mountsFile));
  return disks;
}

}  // namespace kiv
