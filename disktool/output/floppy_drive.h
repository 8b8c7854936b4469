#pragma once
// The physical floppy of floppy output mode. On Windows this is drive A:; here
// it is a floppy device (default /dev/fd0, or the path in KIV_FLOPPY_DEVICE),
// which may as well be a 1.44 MB image file standing in for the device. The
// disk is formatted with our own FAT12 writer and files are written straight
// into its file system, so no mount is needed.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/clock.h"

namespace kiv {

class Environment;

class FloppyDrive {
 public:
  virtual ~FloppyDrive() = default;
  // What the messages call the drive (the device path).
  virtual std::string DeviceName() const = 0;
  // Writes an empty 1.44 MB FAT12 file system (boot code from bootSector when
  // that file holds a 512-byte sector, our BPB written over it).
  virtual bool Format(const std::string& bootSector, std::string* error) = 0;
  // Free bytes of the floppy's file system; -1 when it cannot be read.
  virtual int64_t FreeSpace() = 0;
  // Creates a folder (and its parents); path relative to the root, '\' or '/'.
  virtual bool MakeFolder(const std::string& path, std::string* error) = 0;
  // Writes one file (replacing one of the same name).
  virtual bool WriteFile(const std::string& path, const std::string& bytes, std::string* error) = 0;
};

// The volume label of every disk the builder writes: the image tool is
// called with it (-l), and the floppy is formatted with it.
inline constexpr const char* kDiskLabel = "kivstart";

// The FAT12 drive on a device or image file. It writes the file system the
// image tool writes: the label (upper case) in the boot sector and as a root
// entry after IO.SYS and MSDOS.SYS, and those two files system, hidden and
// read-only. Its files and volume serial are dated `epoch` in a reproducible
// build (SOURCE_DATE_EPOCH), else by `clock` as they are written.
std::unique_ptr<FloppyDrive> MakeFat12FloppyDrive(const std::string& device, std::optional<int64_t> epoch,
                                                  const Clock& clock, const std::string& label = kDiskLabel);
// KIV_FLOPPY_DEVICE of `environment` when set and not empty, else /dev/fd0.
std::string DefaultFloppyDevice(const Environment& environment);

}  // namespace kiv
