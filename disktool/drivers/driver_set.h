#pragma once
// The floppy's drivers (Drivers.ini): seeding from the driver folders,
// narrowing to a disk's defaults, copying the selected cabinets at build
// time, and the NDIS menu file and PCI map of the floppy's network start-up.
// The lists a user picks from are driver_lists.h's.
#include <string>
#include <vector>

#include "disktool/floppy/file_list.h"

namespace kiv {

class CabinetTool;
class FloppyWorkspace;

enum class NetDriverFamily { NDIS, ODI };

// Driver classes: SCSI host adapters (ASPI), and network adapters of one
// family (NDIS, or the two ODI kinds). What a disk offers (its catalogue
// entry loads the class and the program folder holds its drivers), or what a
// build takes of that.
struct DriverClasses {
  bool aspi = false;
  bool network = false;
  NetDriverFamily family = NetDriverFamily::NDIS;  // of the network class
};

class DriverSet {
 public:
  // Menu lines and PCI lists are extracted with `cabarc`.
  DriverSet(const FloppyWorkspace& workspace, const CabinetTool& cabarc);

  // Every cabinet of drivers\<kind> into section <kind> of iniName, valued
  // `value`.
  void AddDriversToIni(const std::string& iniName, const std::string& kind, int value);
  // Drivers.ini's <kind> narrowed to the [DefaultDrivers] of files\<diskIni>.
  void GetDefaultDriversOptions(const std::string& diskIni, const std::string& kind);
  // Copies the selected cabinets of the `chosen` classes into cabs\lib and
  // lists them in `files`. False after a copy failed (its message shown).
  bool PrepareDrivers(std::vector<FileListEntry>& files, const DriverClasses& chosen);
  // The NDIS menu and PCI map in cabs\etc (NDIS chosen), listed in `files`.
  void CreatePrebuiltFiles(std::vector<FileListEntry>& files, const DriverClasses& chosen);

 private:
  void CreateCacheFile(const std::string& baseName, const std::string& kind);

  const FloppyWorkspace& workspace_;
  const CabinetTool& cabarc_;
};

}  // namespace kiv
