// The disk chosen from the catalogue: the list filled, the entry's image file
// checked, its destination and driver classes taken, its definition run.
#include <string>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/catalogue/data_files.h"
#include "disktool/catalogue/disk_definition.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

void FloppyBuilder::Fill_DiskList() {
  LV_Disk = Catalogue.Rows();
  LV_Disk[0].Selected = true;
  SelectedDisk = 1;
  Notify();
}

// The text is checked first, then where the path really leads, so a symbolic
// link in the program folder cannot carry the image out of it either.
bool FloppyBuilder::RefuseCatalogueFile() {
  const int section = SelectedDisk - 1;
  const std::string file = Catalogue.Entry(section).File;
  if (StaysInside(file)) {
    const std::string target = ResolvePathPrefix(JoinPath(ProgramFolder(), NativePath(file)));
    if (!RealPathWithin(ProgramFolder(), target).empty()) return false;
  }
  prompter().MsgBox(Message{"The image file \"" + file + "\" of the entry [" + std::to_string(section) + "] (" +
                                SelectedDiskName() + ") in " + Catalogue.Path() + " leaves the program folder." +
                                "\r\n\r\n" + "The Kiv Disk Builder Can't Continue !",
                            "Invalid Disk Catalogue", Icon::Critical, Buttons::OK, 0, std::nullopt});
  CancelApp();
  return true;
}

void FloppyBuilder::GetDiskAndDriverSettings() {
  if (RefuseCatalogueFile()) return;
  const DiskEntry entry = Catalogue.Entry(SelectedDisk - 1);
  const std::string diskIni = ToLower(SelectedDiskName()) + ".ini";

  // 1. Destination, inside the program folder (RefuseCatalogueFile).
  TxtDest = JoinPath(ProgramFolder(), NativePath(entry.File));

  // 2. SCSI class: offered, and then chosen, when the entry loads it and
  // its drivers are there.
  const bool aspi = FolderExists(Resolve("drivers\\aspi")) && entry.Aspi != 0;
  Aspi = {aspi, aspi};
  if (aspi) drivers_.GetDefaultDriversOptions(diskIni, "ASPI");

  // 3. Network class, NDIS first.
  const long ndis = entry.Ndis;
  const bool ndisFolder = FolderExists(Resolve("drivers\\ndis"));
  Net = {};
  if (ndisFolder && ndis != 0) {
    Net = {true, true};
    NetFamily = NetDriverFamily::NDIS;
    NetFamilyOffered = true;
    drivers_.GetDefaultDriversOptions(diskIni, "NDIS");
  }

  // 4. ODI, which wins over NDIS when an entry sets both.
  const bool odiFolder = FolderExists(Resolve("drivers\\odi32")) || FolderExists(Resolve("drivers\\odi16"));
  if (odiFolder && entry.Netw != 0) {
    Net = {true, true};
    NetFamily = NetDriverFamily::ODI;
    NetFamilyOffered = true;
    drivers_.GetDefaultDriversOptions(diskIni, "ODI16");
    drivers_.GetDefaultDriversOptions(diskIni, "ODI32");
  }
  Notify();
}

bool FloppyBuilder::Init_Lists(const std::string& InitFile) {
  DiskDefinition definition(workspace_, tree_, cabinets_);
  const bool done = definition.Init_Lists(InitFile, [this](const std::string& line) { SetStatus(line); });
  NeedSetupWin = definition.NeedSetupWin;
  NeedSetupNT = definition.NeedSetupNT;
  return EndUnless(done);
}

}  // namespace kiv
