// The disk a build reads: found in the catalogue, its image file checked, its
// definition run, its destination and driver classes taken.
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/catalogue/data_files.h"
#include "disktool/catalogue/disk_definition.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

// The row a list chose, or the last row of the request's name among `rows`.
bool FloppyBuilder::FindDisk(const FloppyRequest& request, const std::vector<DiskRow>& rows) {
  FloppyDisk disk;
  disk.name = request.disk;
  disk.row = request.diskRow;
  disk.image = disk_.image;
  disk_ = disk;
  if (disk_.row == 0) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].Name == request.disk) disk_.row = static_cast<int>(i) + 1;
    }
  }
  if (disk_.row != 0) return true;
  RemoveWorkFiles();
  status_.end = FloppyEnd::NoSuchDisk;
  Changed();
  return false;
}

// The entry's image file ("file=") must lead into the program folder, as a
// disk definition's paths must: batch mode writes the image there unasked,
// even when it was given another. The text is checked first, then where the
// path really leads, so a symbolic link in the program folder cannot carry the
// image out of it either. True when it is refused (the message names the
// catalogue, the entry and the value).
bool FloppyBuilder::RefuseCatalogueFile() {
  const int section = disk_.row - 1;
  const std::string file = catalogue_.Entry(section).File;
  if (StaysInside(file)) {
    const std::string target = ResolvePathPrefix(JoinPath(ProgramFolder(), NativePath(file)));
    if (!RealPathWithin(ProgramFolder(), target).empty()) return false;
  }
  prompter().MsgBox(Message{"The image file \"" + file + "\" of the entry [" + std::to_string(section) + "] (" +
                                disk_.name + ") in " + catalogue_.Path() + " leaves the program folder." + "\r\n\r\n" +
                                "The Kiv Disk Builder Can't Continue !",
                            "Invalid Disk Catalogue", Icon::Critical, Buttons::OK, 0, std::nullopt});
  return true;
}

// A build that writes the disk's own image file (the request names none, as
// the CD builder's runs do) asks before it replaces a file there that is not
// an earlier image, as it asks for a target it is given; without anyone to
// ask, the file is kept and the build ends before the definition runs.
bool FloppyBuilder::DefaultImageAgreed(const FloppyRequest& request) {
  if (!request.image.empty()) return true;
  const std::string image = JoinPath(ProgramFolder(), NativePath(catalogue_.Entry(disk_.row - 1).File));
  return output_.ImageTargetAgreed(image, request.output);
}

bool FloppyBuilder::Init_Lists() {
  DiskDefinition definition(workspace_, tree_, cabinets_);
  const bool done = definition.Init_Lists(ToLower(disk_.name) + ".ini", [this](const std::string& line) {
    status_.section = line;
    Changed();
  });
  disk_.needSetupWin = definition.NeedSetupWin;
  disk_.needSetupNT = definition.NeedSetupNT;
  return done;
}

void FloppyBuilder::GetDiskAndDriverSettings() {
  const DiskEntry entry = catalogue_.Entry(disk_.row - 1);
  const std::string diskIni = ToLower(disk_.name) + ".ini";

  // 1. Destination, inside the program folder (RefuseCatalogueFile).
  disk_.image = JoinPath(ProgramFolder(), NativePath(entry.File));

  // 2. SCSI class: offered when the entry loads it and its drivers are there.
  DriverClasses& offered = disk_.offered;
  offered = {};
  offered.aspi = FolderExists(workspace_.Resolve("drivers\\aspi")) && entry.Aspi != 0;
  if (offered.aspi) drivers_.GetDefaultDriversOptions(diskIni, "ASPI");

  // 3. Network class, NDIS first.
  if (FolderExists(workspace_.Resolve("drivers\\ndis")) && entry.Ndis != 0) {
    offered.network = true;
    offered.family = NetDriverFamily::NDIS;
    drivers_.GetDefaultDriversOptions(diskIni, "NDIS");
  }

  // 4. ODI, which wins over NDIS when an entry sets both.
  const bool odiFolder =
      FolderExists(workspace_.Resolve("drivers\\odi32")) || FolderExists(workspace_.Resolve("drivers\\odi16"));
  if (odiFolder && entry.Netw != 0) {
    offered.network = true;
    offered.family = NetDriverFamily::ODI;
    drivers_.GetDefaultDriversOptions(diskIni, "ODI16");
    drivers_.GetDefaultDriversOptions(diskIni, "ODI32");
  }
  Changed();
}

}  // namespace kiv
