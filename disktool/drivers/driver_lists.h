#pragma once
// The driver selection a user picks from: one kind's driver cabinets listed
// with the first line of their descriptor (extracted with cabarc) and the
// marks Drivers.ini holds for them, and the marks written back. The wizard's
// driver selection window shows and sorts the lists, on the drivers page and
// for batch mode's -sel alike.
#include <functional>
#include <string>
#include <vector>

#include "common/process_runner.h"
#include "disktool/drivers/cabinet_tool.h"

namespace kiv {

struct DriverItem {
  std::string Name;         // cabinet base name, upper case
  std::string Description;  // first line of its descriptor from the 14th character, or why there is none
  bool Checked = true;      // selected
};

class DriverLists {
 public:
  // The descriptors are extracted with cabarc, started hidden through
  // `launcher`; `pump` runs between cabinets so a window stays responsive.
  DriverLists(std::string programFolder, ProcessLauncher& launcher);

  // The cabinets of drivers\<folder>, each with its description (the first
  // line of the member `descriptor`) and its mark: as Drivers.ini has it,
  // all marked where there is none yet; a corrupted driver (empty
  // descriptor) unmarked.
  std::vector<DriverItem> Index(const std::string& descriptor, const std::string& folder,
                                const std::function<void()>& pump) const;
  // The marks of `items` into Drivers.ini, in the section of the kind
  // `list` names ("aspi", "ndis"); the ODI pair ("odi32") goes to ODI16 for
  // a driver that drivers\odi16 holds and to ODI32 otherwise.
  void Save(const std::string& list, const std::vector<DriverItem>& items) const;

 private:
  std::string RelativeToProgram(const std::string& path) const;
  std::string programFolder_;
  CabinetTool cabarc_;
};

}  // namespace kiv
