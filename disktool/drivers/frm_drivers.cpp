// The "Select Drivers" window's model: a kind's cabinets listed with the first
// line of their descriptor (extracted with cabarc), check marks from
// Drivers.ini, sorting, Select/Unselect All, and OK writing the marks back.
#include "disktool/drivers/frm_drivers.h"

#include <algorithm>
#include <cstdio>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "disktool/catalogue/data_files.h"

namespace kiv {

FrmDrivers::FrmDrivers(std::string programFolder, ProcessLauncher& launcher)
    : programFolder_(std::move(programFolder)), cabarc_(programFolder_, launcher) {}

void FrmDrivers::CreateIndex(const IndexOptions& options) {
  const std::string& txtName = options.descriptor;
  std::string section = options.folder;
  while (!section.empty() && (section.back() == '\\' || section.back() == '/')) section.pop_back();
  CurrentList = section;
  const std::string folderPath = ResolvePathPrefix(JoinPath(programFolder_, JoinPath("drivers", section)));
  if (!options.append) LV.clear();
  Sorted = false;
  ColumnHeader[0] = options.kindHeader;
  const std::string iniPath = ResolvePath(JoinPath(programFolder_, "Drivers.ini"));
  const bool iniExisted = FileExists(iniPath);
  const INIFile ini(iniPath);

  for (const std::string& file : ListFolder(folderPath, "*.cab", true, false)) {
    if (Pump) Pump();
    const std::string descriptor = JoinPath(programFolder_, txtName);
    std::remove(ResolvePath(descriptor).c_str());
    // Hidden, as the build's own extractions: every cabinet has a descriptor
    // of that name, and the tool's line for each ("extracted ndis.txt", once
    // a cabinet) tells the user nothing the list does not show. A descriptor
    // that did not come out reads as "not available" below.
    cabarc_.Extract(AddSlash(RelativeToProgram(folderPath)) + file, txtName, Pump);

    DriverItem item;
    bool corrupted = false;
    item.Name = ToUpper(file.substr(0, file.size() - 4));
    const std::string found = ResolvePath(descriptor);
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
      item.Description = "Description not available (" + ToUpper(section) + " Driver)";
    }
    item.Checked = iniExisted ? LeadingNumber(ini.GetINIKey(section, item.Name)) != 0 : true;
    if (corrupted) item.Checked = false;  // a corrupted driver starts unchecked
    LV.push_back(item);
  }
  SortColumn = 1;
  SortAscending = true;
  SortItems();
  Sorted = true;
}

std::string FrmDrivers::RelativeToProgram(const std::string& path) const {
  const std::string prefix = AddSlash(programFolder_);
  if (path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
  return path;
}

void FrmDrivers::SortItems() {
  const int column = SortColumn;
  const bool ascending = SortAscending;
  std::stable_sort(LV.begin(), LV.end(), [column, ascending](const DriverItem& a, const DriverItem& b) {
    const std::string x = ToLower(column == 0 ? a.Name : a.Description);
    const std::string y = ToLower(column == 0 ? b.Name : b.Description);
    return ascending ? x < y : y < x;
  });
}

void FrmDrivers::ColumnClick(int column) {
  if (column == SortColumn) {
    SortAscending = !SortAscending;
  } else {
    SortColumn = column;
    SortAscending = true;
  }
  SortItems();
  Sorted = true;
}

void FrmDrivers::CmdSelAll_Click() {
  for (DriverItem& item : LV) item.Checked = selectAllNext_;
  selectAllNext_ = !selectAllNext_;
}

void FrmDrivers::CmdOK_Click() {
  if (closed_) {
    Visible = false;
    return;
  }
  const INIFile ini(ResolvePathPrefix(JoinPath(programFolder_, "Drivers.ini")));
  const bool odi = EqualsNoCase(CurrentList, "odi32");
  for (const DriverItem& item : LV) {
    std::string section = ToUpper(CurrentList);
    if (odi) {
      const std::string odi16 = ResolvePath(JoinPath(programFolder_, "drivers/odi16/" + ToLower(item.Name) + ".cab"));
      section = FileExists(odi16) ? "ODI16" : "ODI32";
    }
    ini.SetINIKey(section, item.Name, item.Checked ? "1" : "0");
  }
  Visible = false;
}

void FrmDrivers::CmdCancel_Click() { Visible = false; }

void FrmDrivers::Close() {
  closed_ = true;
  Visible = false;
}

}  // namespace kiv
