#include <cstdio>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/catalogue/data_files.h"
#include "disktool/drivers/cabinet_tool.h"
#include "disktool/drivers/driver_set.h"
#include "disktool/workspace/floppy_workspace.h"

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

DriverSet::DriverSet(const FloppyWorkspace& workspace, const CabinetTool& cabarc)
    : workspace_(workspace), cabarc_(cabarc) {}

void DriverSet::AddDriversToIni(const std::string& iniName, const std::string& kind, int value) {
  const std::string section = WithoutTrailingBackslash(kind);
  const std::string folder = workspace_.Resolve("drivers\\" + section);
  const INIFile ini(workspace_.Resolve(iniName));
  for (const std::string& file : ListFolder(folder, "*.cab", true, false)) {
    ini.SetINIKey(section, ToUpper(file.substr(0, file.size() - 4)), std::to_string(value));
  }
}

void DriverSet::GetDefaultDriversOptions(const std::string& diskIni, const std::string& kind) {
  std::vector<std::string> lines;
  if (!ReadLines(workspace_.Resolve("files\\" + diskIni), lines)) return;
  const INIFile ini(workspace_.Resolve("Drivers.ini"));
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
      workspace_.prompter().MsgBox(
          Message{"The default driver \"" + Trim(line) + "\" in " + diskIni + " is not a driver name; it is ignored.",
                  "Invalid Disk Definition", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
      continue;
    }
    ini.SetINIKey(kind, name, "1");
  }
}

bool DriverSet::PrepareDrivers(std::vector<FileListEntry>& files, const DriverClasses& chosen) {
  std::vector<std::string> lines;
  ReadLines(workspace_.Resolve("Drivers.ini"), lines);
  workspace_.progress().SetMaximum(static_cast<int64_t>(lines.size()));
  workspace_.progress().SetValue(0);
  std::string current;
  for (const std::string& raw : lines) {
    workspace_.progress().SetValue(workspace_.progress().Value() + 1);
    workspace_.Notify();
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == ';') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      if (EqualsNoCase(line, "[ASPI]")) {
        current = chosen.aspi ? "aspi" : "";
      } else if (EqualsNoCase(line, "[NDIS]")) {
        current = chosen.network && chosen.family == NetDriverFamily::NDIS ? "ndis" : "";
      } else if (EqualsNoCase(line, "[ODI16]")) {
        current = chosen.network && chosen.family == NetDriverFamily::ODI ? "odi16" : "";
      } else if (EqualsNoCase(line, "[ODI32]")) {
        current = chosen.network && chosen.family == NetDriverFamily::ODI ? "odi32" : "";
      }
      continue;
    }
    if (current.empty() || LeadingNumber(Trim(line.substr(eq + 1))) == 0) continue;
    const std::string name = ToLower(Trim(line.substr(0, eq)));
    if (name.empty() || name.find_first_of("\\/") != std::string::npos || name == "..") continue;
    const std::string source = ResolvePath(workspace_.Resolve("drivers\\" + current + "\\" + name + ".cab"));
    // One folder "lib" on the floppy: the file list names it in lower case.
    const std::string dest = workspace_.Resolve("cabs\\lib\\" + current + "\\" + name + ".cab");
    MakePath(FolderOf(dest));
    std::string error;
    if (!CopyOneFile(source, dest, &error)) {
      workspace_.prompter().MsgBox(Message{"The driver " + source + " could not be copied :\r\n" + error,
                                           "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
      return false;
    }
    files.push_back(FileListEntry{"lib\\" + current + "\\" + name + ".cab", false});
  }
  for (FileListEntry& e : files) {
    const std::string head = e.Path.substr(0, 8);
    if (head == "lib\\aspi" || head == "lib\\ndis" || head == "lib\\odi1" || head == "lib\\odi3") e.Selected = true;
  }
  workspace_.Notify();
  return true;
}

void DriverSet::CreatePrebuiltFiles(std::vector<FileListEntry>& files, const DriverClasses& chosen) {
  if (chosen.network && chosen.family == NetDriverFamily::NDIS) {
    CreateCacheFile("ndis", "ndis");
    MakePath(workspace_.Resolve("cabs\\etc"));
    const std::string menu = workspace_.Resolve("cabs\\_ndis.txt");
    if (FileExists(menu)) {
      CopyOneFile(menu, workspace_.Resolve("cabs\\etc\\_msnet.nic"));
      std::remove(menu.c_str());
      files.push_back(FileListEntry{"etc\\_msnet.nic", false});
    }
    const std::string pci = workspace_.Resolve("cabs\\_ndis.pci");
    if (FileExists(pci)) {
      CopyOneFile(pci, workspace_.Resolve("cabs\\etc\\_msnet.pci"));
      std::remove(pci.c_str());
      files.push_back(FileListEntry{"etc\\_msnet.pci", false});
    }
  }
  for (FileListEntry& e : files) {
    if (e.Path.compare(0, 4, "etc\\") == 0 && e.Path.size() > 4 && e.Path[4] == '_') e.Selected = true;
  }
  workspace_.Notify();
}

void DriverSet::CreateCacheFile(const std::string& baseName, const std::string& kind) {
  std::string menu =
      "; This file is used to manual\r\n; select a network driver\r\n"
      ":_ndis \"Select Network driver...\" [x]\r\n";
  std::string pciMap = "; PCI map file (build from ndis.pci files)\r\n";
  const std::string driversIni = workspace_.Resolve("Drivers.ini");
  workspace_.progress().SetMaximum(CountSectionEntries(driversIni, ToUpper(kind), true, "1"));
  workspace_.progress().SetValue(0);

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
    workspace_.progress().SetValue(workspace_.progress().Value() + 1);
    workspace_.Notify();

    const std::string txt = JoinPath(workspace_.ProgramFolder(), baseName + ".txt");
    const std::string pci = JoinPath(workspace_.ProgramFolder(), baseName + ".pci");
    std::remove(ResolvePath(txt).c_str());
    std::remove(ResolvePath(pci).c_str());
    const std::string cab = ResolvePath(workspace_.Resolve("drivers\\" + kind + "\\" + name + ".cab"));
    // Hidden: the tool's lines are not the user's business; a missing file
    // below simply leaves the menu line or PCI list out.
    cabarc_.Extract(RelativeTo(workspace_.ProgramFolder(), cab), baseName + ".*", [this] { workspace_.Pump(); });

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
  MakePath(workspace_.Resolve("cabs"));
  WriteFileAtomic(workspace_.Resolve("cabs\\_" + baseName + ".txt"), menu);
  WriteFileAtomic(workspace_.Resolve("cabs\\_" + baseName + ".pci"), pciMap);
}

}  // namespace kiv
