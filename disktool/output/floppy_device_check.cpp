#include "disktool/output/floppy_device_check.h"

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return refuse(std::strerror(errno));
  if (S_ISDIR(st.st_mode)) return refuse("it is a folder");
  if (!S_ISBLK(st.st_mode) && !S_ISREG(st.st_mode)) return refuse("it is neither a disk device nor a file");
  // A device node can exist with no drive behind it; opening it tells.
  // O_NONBLOCK: an empty drive opens all the same (the format asks for a disk).
  const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(std::strerror(errno));
  ::close(fd);
  return true;
#endif
}

std::string NoFloppyDriveText(const std::string& device, const std::string& reason) {
  return "No floppy drive was found at " + device + (reason.empty() ? "" : " (" + reason + ")") +
         ".\r\nTo write to another floppy drive, start the Kiv Disk Builder with KIV_FLOPPY_DEVICE set to its "
         "device path (for example the device of a USB floppy drive), or choose a floppy image instead.";
}

}  // namespace kiv
