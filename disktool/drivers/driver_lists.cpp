// A kind's cabinets listed with the first line of their descriptor, and the
// marks written back to Drivers.ini.
#include "disktool/drivers/driver_lists.h"

#include <cstdio>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "disktool/catalogue/data_files.h"

namespace kiv {

DriverLists::DriverLists(std::string programFolder, ProcessLauncher& launcher)
    : programFolder_(std::move(programFolder)), cabarc_(programFolder_, launcher) {}

std::string DriverLists::RelativeToProgram(const std::string& path) const {
  const std::string prefix = AddSlash(programFolder_);
  if (path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
  return path;
}

std::vector<DriverItem> DriverLists::Index(const std::string& descriptor, const std::string& folder,
                                           const std::function<void()>& pump) const {
  const std::string folderPath = ResolvePathPrefix(JoinPath(programFolder_, JoinPath("drivers", folder)));
  const std::string iniPath = ResolvePath(JoinPath(programFolder_, "Drivers.ini"));
  const bool iniExisted = FileExists(iniPath);
  const INIFile ini(iniPath);
  std::vector<DriverItem> items;
  for (const std::string& file : ListFolder(folderPath, "*.cab", true, false)) {
    if (pump) pump();
    const std::string extracted = JoinPath(programFolder_, descriptor);
    std::remove(ResolvePath(extracted).c_str());
    // Hidden, as the build's own extractions: every cabinet has a descriptor
    // of that name, and the tool's line for each ("extracted ndis.txt", once
    // a cabinet) tells the user nothing the list does not show. A descriptor
    // that did not come out reads as "not available" below.
    cabarc_.Extract(AddSlash(RelativeToProgram(folderPath)) + file, descriptor, pump);

    DriverItem item;
    bool corrupted = false;
    item.Name = ToUpper(file.substr(0, file.size() - 4));
    const std::string found = ResolvePath(extracted);
    if (FileExists(found)) {
      std::vector<std::string> lines;
      ReadLines(found, lines);
      std::string bytes;
      ReadWholeFile(found, bytes);
      if (bytes.empty()) {
        item.Description = "The Driver file is corrupted";
        corrupted = true;
      } else {
        const std::string first = lines.empty() ? std::string() : lines.front();
        item.Description = first.size() > 13 ? Trim(first.substr(13)) : std::string();
      }
      std::remove(found.c_str());
    } else {
      item.Description = "Description not available (" + ToUpper(folder) + " Driver)";
    }
    item.Checked = iniExisted ? LeadingNumber(ini.GetINIKey(folder, item.Name)) != 0 : true;
    if (corrupted) item.Checked = false;  // a corrupted driver starts unchecked
    items.push_back(item);
  }
  return items;
}

void DriverLists::Save(const std::string& list, const std::vector<DriverItem>& items) const {
  const INIFile ini(ResolvePathPrefix(JoinPath(programFolder_, "Drivers.ini")));
  const bool odi = EqualsNoCase(list, "odi32");
  for (const DriverItem& item : items) {
    std::string section = ToUpper(list);
    if (odi) {
      const std::string odi16 = ResolvePath(JoinPath(programFolder_, "drivers/odi16/" + ToLower(item.Name) + ".cab"));
      section = FileExists(odi16) ? "ODI16" : "ODI32";
    }
    ini.SetINIKey(section, item.Name, item.Checked ? "1" : "0");
  }
}

}  // namespace kiv
