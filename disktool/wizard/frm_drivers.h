#pragma once
// Model of the "Select Drivers" window: one kind's driver cabinets with their
// descriptions and check marks (drivers/driver_lists.h), Select/Unselect All,
// sorting, and OK writing the marks back to Drivers.ini. The wizard's drivers
// page opens it beside the wizard; batch mode's -sel shows it modal before the
// build reads the marks.
#include <functional>
#include <string>
#include <vector>

#include "common/process_runner.h"
#include "disktool/drivers/driver_lists.h"
#include "disktool/drivers/driver_set.h"

namespace kiv {

class FrmDrivers {
 public:
  // The descriptors are extracted with cabarc, started hidden through
  // `launcher`.
  FrmDrivers(std::string programFolder, ProcessLauncher& launcher);

  std::string Caption = "Select Drivers";
  std::string ColumnHeader[2] = {"DriverName", "Description"};
  std::vector<DriverItem> LV;
  // The Select/Unselect All button: the next click checks every item when
  // SelectsAllNext(), else unchecks every item; its caption says which.
  bool SelectsAllNext() const { return selectAllNext_; }
  std::string CmdSelAllCaption() const { return selectAllNext_ ? "Select All" : "Unselect All"; }
  bool Visible = false;
  bool Modal = false;
  // The kind whose list is shown ("aspi", "ndis", "odi32" for the ODI pair).
  std::string CurrentList;
  bool Sorted = false;
  int SortColumn = 1;
  bool SortAscending = true;
  // Called between cabinets so the window stays responsive.
  std::function<void()> Pump;

  // One kind's cabinets listed in LV.
  struct IndexOptions {
    std::string descriptor;  // member whose first line describes a driver ("ndis.txt")
    std::string folder;      // the kind's folder below drivers ("ndis")
    std::string kindHeader;  // header of the name column ("NIC")
    bool append = false;     // added to the items shown rather than replacing them
  };
  void CreateIndex(const IndexOptions& options);
  // Opened from the drivers page beside the wizard: the SCSI drivers, or the
  // network family's (NDIS, or the two ODI kinds in one list).
  void ShowAspiList();
  void ShowNetworkList(NetDriverFamily family);
  // The driver list step of -sel: the lists of the `chosen` classes in one
  // window the build waits for (with both, the network list is the one left).
  void LoadDriverLists(const DriverClasses& chosen);
  void ColumnClick(int column);
  void CmdSelAll_Click();
  void CmdOK_Click();
  void CmdCancel_Click();
  // The build has started (or the run has ended): the window is hidden for
  // good, and an OK still pressed on it afterwards writes nothing - the build
  // has read Drivers.ini, and the end of the run removes it.
  void Close();
  bool Closed() const { return closed_; }
  // Re-sorts LV by SortColumn / SortAscending (case-insensitive, stable).
  void SortItems();

 private:
  void LoadAspiList();
  void LoadNetworkList(NetDriverFamily family);
  bool closed_ = false;
  bool selectAllNext_ = false;  // the list opens all checked: the first click unselects
  DriverLists lists_;
};

}  // namespace kiv
