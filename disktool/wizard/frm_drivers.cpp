// The "Select Drivers" window's model: the lists the engine reads
// (driver_lists.h) under the kind's header, sorting, Select/Unselect All, and
// OK writing the marks back.
#include "disktool/wizard/frm_drivers.h"

#include <algorithm>

#include "common/paths.h"

namespace kiv {

FrmDrivers::FrmDrivers(std::string programFolder, ProcessLauncher& launcher)
    : lists_(std::move(programFolder), launcher) {}

void FrmDrivers::CreateIndex(const IndexOptions& options) {
  std::string section = options.folder;
  while (!section.empty() && (section.back() == '\\' || section.back() == '/')) section.pop_back();
  CurrentList = section;
  if (!options.append) LV.clear();
  Sorted = false;
  ColumnHeader[0] = options.kindHeader;
  for (DriverItem& item : lists_.Index(options.descriptor, section, Pump)) LV.push_back(std::move(item));
  SortColumn = 1;
  SortAscending = true;
  SortItems();
  Sorted = true;
}

void FrmDrivers::LoadAspiList() {
  CreateIndex({.descriptor = "scsi.txt", .folder = "aspi", .kindHeader = "ASPI", .append = false});
}

void FrmDrivers::LoadNetworkList(NetDriverFamily family) {
  if (family == NetDriverFamily::ODI) {
    CreateIndex({.descriptor = "odi.txt", .folder = "odi16", .kindHeader = "NIC", .append = false});
    CreateIndex({.descriptor = "odi.txt", .folder = "odi32", .kindHeader = "NIC", .append = true});
  } else {
    CreateIndex({.descriptor = "ndis.txt", .folder = "ndis", .kindHeader = "NIC", .append = false});
  }
}

void FrmDrivers::ShowAspiList() {
  Visible = true;
  Modal = false;
  LoadAspiList();
}

void FrmDrivers::ShowNetworkList(NetDriverFamily family) {
  Visible = true;
  Modal = false;
  LoadNetworkList(family);
}

void FrmDrivers::LoadDriverLists(const DriverClasses& chosen) {
  if (chosen.aspi) LoadAspiList();
  if (chosen.network) LoadNetworkList(chosen.family);
  Visible = true;
  Modal = true;
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
  if (!closed_) lists_.Save(CurrentList, LV);
  Visible = false;
}

void FrmDrivers::CmdCancel_Click() { Visible = false; }

void FrmDrivers::Close() {
  closed_ = true;
  Visible = false;
}

}  // namespace kiv
