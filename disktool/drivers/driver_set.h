#pragma once
// The floppy's drivers (Drivers.ini): seeding from the driver folders,
// narrowing to a disk's defaults, loading a class's list into the selection
// window, copying the selected cabinets at build time, and the NDIS menu file
// and PCI map of the floppy's network start-up.
#include <string>
#include <vector>

#include "disktool/floppy/file_list.h"

namespace kiv {

class CabinetTool;
class FloppyWorkspace;
class FrmDrivers;

enum class NetDriverFamily { NDIS, ODI };

// A driver class of the drivers page: SCSI host adapters (ASPI) or network
// adapters (NDIS or ODI). Offered: the disk loads it and the program folder
// holds its drivers; only an offered class can be chosen.
struct DriverClass {
  bool Offered = false;
  bool Chosen = false;
};

// The driver classes of one build, as the chosen disk offers them and the
// user chooses.
struct DriverChoice {
  DriverClass Aspi;
  DriverClass Net;
  NetDriverFamily NetFamily = NetDriverFamily::NDIS;
  bool NetFamilyOffered = false;  // a disk has offered a network family
};

class DriverSet {
 public:
  // `list` is the selection window's model; descriptors and menu lines are
  // extracted with `cabarc`.
  DriverSet(const FloppyWorkspace& workspace, const DriverChoice& choice, FrmDrivers& list, const CabinetTool& cabarc);

  // Every cabinet of drivers\<kind> into section <kind> of iniName, valued
  // `value`.
  void AddDriversToIni(const std::string& iniName, const std::string& kind, int value);
  // Drivers.ini's <kind> narrowed to the [DefaultDrivers] of files\<diskIni>.
  void GetDefaultDriversOptions(const std::string& diskIni, const std::string& kind);
  // The selection window, opened from the drivers page beside the wizard,
  // lists the SCSI drivers, or the network family's.
  void ShowAspiList();
  void ShowNetworkList();
  // The lists of the chosen classes, in one window the build waits for
  // (batch mode's -sel).
  void LoadDriverLists();
  // Copies the chosen classes' selected cabinets into cabs\lib and lists them
  // in `files`. False after a copy failed (its message shown).
  bool PrepareDrivers(std::vector<FileListEntry>& files);
  // The NDIS menu and PCI map in cabs\etc, listed in `files`.
  void CreatePrebuiltFiles(std::vector<FileListEntry>& files);

 private:
  void LoadAspiList();
  void LoadNetworkDriverList();
  void CreateCacheFile(const std::string& baseName, const std::string& kind);

  const FloppyWorkspace& workspace_;
  const DriverChoice& choice_;
  FrmDrivers& list_;
  const CabinetTool& cabarc_;
};

}  // namespace kiv
