#include "disktool/output/floppy_device_check.h"

#include <filesystem>
#include <system_error>

#include "common/platform.h"

namespace kiv {

bool FloppyDeviceFound(const std::string& device, std::string* reason) {
  auto refuse = [reason](const std::string& why) {
    if (reason) *reason = why;
    return false;
  };
#ifdef _WIN32
  (void)refuse;
  (void)device;
  return true;  // drive A: is asked by the format itself
#else
  if (device.empty()) return refuse("no device path is set");
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_type type = fs::status(device, ec).type();
  if (ec) return refuse(ec.message());
  if (type == fs::file_type::directory) return refuse("it is a folder");
  if (type != fs::file_type::block && type != fs::file_type::regular)
    return refuse("it is neither a disk device nor a file");
  // A device node can exist with no drive behind it; opening it tells. An
  // empty drive opens all the same (the format asks for a disk).
  RawFile probe;
  if (!probe.Open(device, RawFile::Access::ReadProbe)) return refuse(probe.ErrorText());
  return true;
#endif
}

std::string NoFloppyDriveText(const std::string& device, const std::string& reason) {
  return "No floppy drive was found at " + device + (reason.empty() ? "" : " (" + reason + ")") +
         ".\r\nTo write to another floppy drive, start the Kiv Disk Builder with KIV_FLOPPY_DEVICE set to its "
         "device path (for example the device of a USB floppy drive), or choose a floppy image instead.";
}

}  // namespace kiv
