// The disk catalogue files\disklist.ini: the disk list, and what the chosen
// entry sets up (default destination, driver class boxes and their defaults).
#include "disktool/catalogue/disk_catalogue.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

namespace {
constexpr const char* kCustomText = "Custom, load default configuration";
constexpr const char* kNdisCaption = "Network adapters drivers (NDIS)";
constexpr const char* kOdiCaption = "Network adapters drivers (ODI16/32)";
constexpr const char* kNdisNote =
    "You only need the MSNET module and it requirements to make use of the NDIS drivers and load the "
    "network interface.";
constexpr const char* kOdiNote =
    "You need the NWLAN module and it requirements to make use of the ODI16/32 drivers and load the "
    "network interface.";
// The highest n of the "[n]" sections the catalogue holds, 0 when none. The
// disk list ends there whatever Count says: rows past the last entry would be
// empty, and a Count of billions would read the file billions of times.
long LastEntrySection(const std::string& path) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return 0;
  long last = 0;
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    if (line.empty() || line[0] != '[') continue;
    const size_t close = line.find(']');  // the profile reader reads "[3" as [3] too
    const std::string inner = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    if (inner.empty() || inner.size() > 9 || inner.find_first_not_of("0123456789") != std::string::npos) continue;
    last = std::max(last, std::stol(inner));
  }
  return last;
}

}  // namespace

DiskCatalogue::DiskCatalogue(std::string programFolder) : programFolder_(std::move(programFolder)) {}

std::string DiskCatalogue::Path() const {
  return ResolvePathPrefix(JoinPath(programFolder_, NativePath("files\\disklist.ini")));
}

std::vector<DiskRow> DiskCatalogue::Rows() const {
  std::vector<DiskRow> rows;
  rows.push_back(DiskRow{kCustomText, "custom", 1, false});
  const INIFile catalogue(Path());
  const long count = std::min(LeadingNumber(catalogue.GetINIKey("Disks_List", "Count")),
                              LastEntrySection(ResolvePath(catalogue.FileName())));
  for (long i = 1; i <= count; ++i) {
    const std::string section = std::to_string(i);
    DiskRow row;
    row.Name = catalogue.GetINIKey(section, "Name");
    row.Text = catalogue.GetINIKey(section, "Desc");
    const int icon = static_cast<int>(LeadingNumber(catalogue.GetINIKey(section, "Icon")));
    row.SmallIcon = icon > 8 ? 1 : icon;
    rows.push_back(row);
  }
  return rows;
}

DiskEntry DiskCatalogue::Entry(int section) const {
  const INIFile catalogue(Path());
  const std::string name = std::to_string(section);
  DiskEntry entry;
  entry.File = catalogue.GetINIKey(name, "file");
  entry.Aspi = LeadingNumber(catalogue.GetINIKey(name, "aspi"));
  entry.Ndis = LeadingNumber(catalogue.GetINIKey(name, "ndis"));
  entry.Netw = LeadingNumber(catalogue.GetINIKey(name, "netw"));
  return entry;
}

void FloppyBuilder::Fill_DiskList() {
  LV_Disk = Catalogue.Rows();
  LV_Disk[0].Selected = true;
  SelectedDisk = 1;
  Notify();
}

// Setting a check box's value runs its click handler, as on the form.
void FloppyBuilder::SetChkASPIValue(int value) {
  ChkASPI.Value = value;
  ChkASPI_Click();
}

void FloppyBuilder::SetChkNDISValue(int value) {
  ChkNDIS.Value = value;
  ChkNDIS_Click();
}

void FloppyBuilder::ChkASPI_Click() { CmdSelASPI.Enabled = ChkASPI.Value == 1; }
void FloppyBuilder::ChkNDIS_Click() { CmdSelNDIS.Enabled = ChkNDIS.Value == 1; }

// The text is checked first, then where the path really leads, so a symbolic
// link in the program folder cannot carry the image out of it either.
bool FloppyBuilder::RefuseCatalogueFile() {
  const int section = SelectedDisk - 1;
  const std::string file = Catalogue.Entry(section).File;
  if (StaysInside(file)) {
    const std::string target = ResolvePathPrefix(JoinPath(programFolder_, NativePath(file)));
    if (!RealPathWithin(programFolder_, target).empty()) return false;
  }
  prompter_.MsgBox(Message{"The image file \"" + file + "\" of the entry [" + std::to_string(section) + "] (" +
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
  TxtDest = JoinPath(programFolder_, NativePath(entry.File));

  // 2. SCSI class. An unavailable box is greyed: disabled and unchecked.
  if (FolderExists(Resolve("drivers\\aspi"))) {
    if (entry.Aspi != 0) {
      ChkASPI.Enabled = true;
      SetChkASPIValue(1);
      GetDefaultDriversOptions(diskIni, "ASPI");
    } else {
      ChkASPI.Enabled = false;
      SetChkASPIValue(0);
    }
  } else {
    CmdSelASPI.Enabled = false;
    ChkASPI.Enabled = false;
    ChkASPI.Value = 0;
  }

  // 3. Network class, NDIS first.
  const long ndis = entry.Ndis;
  const bool ndisFolder = FolderExists(Resolve("drivers\\ndis"));
  if (ndisFolder && ndis != 0) {
    ChkNDIS.Enabled = true;
    SetChkNDISValue(1);
    ChkNDIS.Caption = kNdisCaption;
    NetFamily = NetDriverFamily::NDIS;
    LblNDISNote = kNdisNote;
    GetDefaultDriversOptions(diskIni, "NDIS");
  } else if (ndisFolder) {
    ChkNDIS.Enabled = false;
    SetChkNDISValue(0);
  } else {
    CmdSelNDIS.Enabled = false;
    ChkNDIS.Enabled = false;
    ChkNDIS.Value = 0;
  }
  // A disk without the NDIS folder never read its ndis flag.
  const long ndisRead = ndisFolder ? ndis : 0;

  // 4. ODI, which wins over NDIS when an entry sets both.
  const bool odiFolder = FolderExists(Resolve("drivers\\odi32")) || FolderExists(Resolve("drivers\\odi16"));
  if (!odiFolder) {
    if (ndisRead == 0) {
      CmdSelNDIS.Enabled = false;
      ChkNDIS.Enabled = false;
      ChkNDIS.Value = 0;
    }
  } else {
    if (entry.Netw != 0) {
      ChkNDIS.Enabled = true;
      SetChkNDISValue(1);
      ChkNDIS.Caption = kOdiCaption;
      NetFamily = NetDriverFamily::ODI;
      LblNDISNote = kOdiNote;
      GetDefaultDriversOptions(diskIni, "ODI16");
      GetDefaultDriversOptions(diskIni, "ODI32");
    } else if (ndisRead == 0) {
      ChkNDIS.Enabled = false;
      SetChkNDISValue(0);
    }
  }
  Notify();
}

}  // namespace kiv
