// Driver selection (Drivers.ini): seeding from the driver folders, narrowing
// to a disk's defaults, copying the selected cabinets at build time, and the
// NDIS menu file and PCI map of the floppy's network start-up.
#include <cstdio>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

namespace {

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string WithoutTrailingBackslash(std::string s) {
  while (!s.empty() && (s.back() == '\\' || s.back() == '/')) s.pop_back();
  return s;
}

// Path below the program folder as the tools are given it (native separators).
std::string RelativeTo(const std::string& folder, const std::string& path) {
  const std::string prefix = AddSlash(folder);
  if (path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
  return path;
}

}  // namespace

void FloppyBuilder::AddDriversToIni(const std::string& iniName, const std::string& kind, int value) {
  const std::string section = WithoutTrailingBackslash(kind);
  const std::string folder = Resolve("drivers\\" + section);
  const INIFile ini(Resolve(iniName));
  for (const std::string& file : ListFolder(folder, "*.cab", true, false)) {
    ini.SetINIKey(section, ToUpper(file.substr(0, file.size() - 4)), std::to_string(value));
  }
}

void FloppyBuilder::GetDefaultDriversOptions(const std::string& diskIni, const std::string& kind) {
  std::vector<std::string> lines;
  if (!ReadLines(Resolve("files\\" + diskIni), lines)) return;
  const INIFile ini(Resolve("Drivers.ini"));
  bool inside = false;
  for (const std::string& line : lines) {
    if (line == "[DefaultDrivers]") {
      inside = true;
      AddDriversToIni("Drivers.ini", kind, 0);
      continue;
    }
    if (!line.empty() && line[0] == '[') {
      inside = false;
      continue;
    }
    if (!inside) continue;
    const size_t slash = line.find('\\');
    if (slash == std::string::npos) continue;
    const std::string lineKind = ToUpper(Trim(line.substr(0, slash)));
    std::string name = ToUpper(Trim(line.substr(slash + 1)));
    const size_t cab = name.find(".CAB");
    if (cab != std::string::npos) name.resize(cab);
    if (lineKind != kind || name.empty()) continue;
    // A driver is a cabinet directly in its kind's folder.
    if (name.find_first_of("\\/") != std::string::npos || name == "..") {
      prompter_.MsgBox(
          Message{"The default driver \"" + Trim(line) + "\" in " + diskIni + " is not a driver name; it is ignored.",
                  "Invalid Disk Definition", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
      continue;
    }
    ini.SetINIKey(kind, name, "1");
  }
}

bool FloppyBuilder::PrepareDrivers() {
  std::vector<std::string> lines;
  ReadLines(Resolve("Drivers.ini"), lines);
  progress_.SetMaximum(static_cast<int64_t>(lines.size()));
  progress_.SetValue(0);
  std::string current;
  for (const std::string& raw : lines) {
    progress_.SetValue(progress_.Value() + 1);
    Notify();
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == ';') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      if (EqualsNoCase(line, "[ASPI]")) {
        current = Aspi.Chosen ? "aspi" : "";
      } else if (EqualsNoCase(line, "[NDIS]")) {
        current = Net.Chosen && NetFamily == NetDriverFamily::NDIS ? "ndis" : "";
      } else if (EqualsNoCase(line, "[ODI16]")) {
        current = Net.Chosen && NetFamily == NetDriverFamily::ODI ? "odi16" : "";
      } else if (EqualsNoCase(line, "[ODI32]")) {
        current = Net.Chosen && NetFamily == NetDriverFamily::ODI ? "odi32" : "";
      }
      continue;
    }
    if (current.empty() || LeadingNumber(Trim(line.substr(eq + 1))) == 0) continue;
    const std::string name = ToLower(Trim(line.substr(0, eq)));
    if (name.empty() || name.find_first_of("\\/") != std::string::npos || name == "..") continue;
    const std::string source = ResolvePath(Resolve("drivers\\" + current + "\\" + name + ".cab"));
    // One folder "lib" on the floppy: the file list names it in lower case.
    const std::string dest = Resolve("cabs\\lib\\" + current + "\\" + name + ".cab");
    MakePath(FolderOf(dest));
    std::string error;
    if (!CopyOneFile(source, dest, &error)) {
      prompter_.MsgBox(Message{"The driver " + source + " could not be copied :\r\n" + error, "Error While Copying",
                               Icon::Critical, Buttons::OK, 0, std::nullopt});
      CancelApp();
      return false;
    }
    FileList.push_back(FileListEntry{"lib\\" + current + "\\" + name + ".cab", false});
  }
  for (FileListEntry& e : FileList) {
    const std::string head = e.Path.substr(0, 8);
    if (head == "lib\\aspi" || head == "lib\\ndis" || head == "lib\\odi1" || head == "lib\\odi3") e.Selected = true;
  }
  Notify();
  return true;
}

void FloppyBuilder::CreatePrebuiltFiles() {
  if (Net.Chosen && NetFamily == NetDriverFamily::NDIS) {
    CreateCacheFile("ndis", "ndis");
    MakePath(Resolve("cabs\\etc"));
    const std::string menu = Resolve("cabs\\_ndis.txt");
    if (FileExists(menu)) {
      CopyOneFile(menu, Resolve("cabs\\etc\\_msnet.nic"));
      std::remove(menu.c_str());
      FileList.push_back(FileListEntry{"etc\\_msnet.nic", false});
    }
    const std::string pci = Resolve("cabs\\_ndis.pci");
    if (FileExists(pci)) {
      CopyOneFile(pci, Resolve("cabs\\etc\\_msnet.pci"));
      std::remove(pci.c_str());
      FileList.push_back(FileListEntry{"etc\\_msnet.pci", false});
    }
  }
  for (FileListEntry& e : FileList) {
    if (e.Path.compare(0, 4, "etc\\") == 0 && e.Path.size() > 4 && e.Path[4] == '_') e.Selected = true;
  }
  Notify();
}

void FloppyBuilder::CreateCacheFile(const std::string& baseName, const std::string& kind) {
  std::string menu =
      "; This file is used to manual\r\n; select a network driver\r\n"
      ":_ndis \"Select Network driver...\" [x]\r\n";
  std::string pciMap = "; PCI map file (build from ndis.pci files)\r\n";
  const std::string driversIni = Resolve("Drivers.ini");
  progress_.SetMaximum(CountSectionEntries(driversIni, ToUpper(kind), true, "1"));
  progress_.SetValue(0);

  std::vector<std::string> lines;
  ReadLines(driversIni, lines);
  const std::string header = "[" + ToUpper(kind) + "]";
  bool inside = false;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == '[') {
      inside = line == header;
      continue;
    }
    if (!inside || line.empty() || line[0] == ';' || !EndsWith(line, "1") || line.size() < 2) continue;
    const std::string name = line.substr(0, line.size() - 2);
    progress_.SetValue(progress_.Value() + 1);
    Notify();

    const std::string txt = JoinPath(programFolder_, baseName + ".txt");
    const std::string pci = JoinPath(programFolder_, baseName + ".pci");
    std::remove(ResolvePath(txt).c_str());
    std::remove(ResolvePath(pci).c_str());
    const std::string cab = ResolvePath(Resolve("drivers\\" + kind + "\\" + name + ".cab"));
    // Hidden: the tool's lines are not the user's business; a missing file
    // below simply leaves the menu line or PCI list out.
    cabarc_.Extract(RelativeTo(programFolder_, cab), baseName + ".*", [this] { progress_.PumpEvents(); });

    std::vector<std::string> extracted;
    const std::string txtFound = ResolvePath(txt);
    if (FileExists(txtFound)) {
      if (ReadLines(txtFound, extracted) && !extracted.empty()) menu += extracted.front() + "\r\n";
      std::remove(txtFound.c_str());
    }
    const std::string pciFound = ResolvePath(pci);
    if (FileExists(pciFound)) {
      if (ReadLines(pciFound, extracted))
        for (const std::string& l : extracted) pciMap += l + "\r\n";
      std::remove(pciFound.c_str());
    }
  }
  MakePath(Resolve("cabs"));
  WriteFileAtomic(Resolve("cabs\\_" + baseName + ".txt"), menu);
  WriteFileAtomic(Resolve("cabs\\_" + baseName + ".pci"), pciMap);
}

// The network family's list: NDIS, or the two ODI kinds in one list.
void FloppyBuilder::LoadNetworkDriverList() {
  if (NetFamily == NetDriverFamily::ODI) {
    Drivers.CreateIndex({.descriptor = "odi.txt", .folder = "odi16", .kindHeader = "NIC", .append = false});
    Drivers.CreateIndex({.descriptor = "odi.txt", .folder = "odi32", .kindHeader = "NIC", .append = true});
  } else {
    Drivers.CreateIndex({.descriptor = "ndis.txt", .folder = "ndis", .kindHeader = "NIC", .append = false});
  }
}

void FloppyBuilder::CmdSelASPI_Click() {
  Drivers.Visible = true;
  Drivers.Modal = false;
  Drivers.CreateIndex({.descriptor = "scsi.txt", .folder = "aspi", .kindHeader = "ASPI", .append = false});
}

void FloppyBuilder::CmdSelNDIS_Click() {
  Drivers.Visible = true;
  Drivers.Modal = false;
  LoadNetworkDriverList();
}

void FloppyBuilder::LoadDriverLists() {
  WaitStatus = "Getting Drivers List ...";
  Notify();
  if (Aspi.Chosen)
    Drivers.CreateIndex({.descriptor = "scsi.txt", .folder = "aspi", .kindHeader = "ASPI", .append = false});
  if (Net.Chosen) LoadNetworkDriverList();
  Drivers.Visible = true;
  Drivers.Modal = true;
}

}  // namespace kiv
