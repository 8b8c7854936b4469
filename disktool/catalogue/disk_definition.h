#pragma once
// A disk definition files\<disk>.ini: the build recipe of one catalogue disk,
// executed line by line - files copied into cabs (or staged below files for a
// cabinet), cabinets packed, and the setup modules the disk asks for noted.
// Every destination must stay below the folder it is joined to.
#include <functional>
#include <string>

namespace kiv {

class CabinetMaker;
class FloppyTree;
class FloppyWorkspace;

class DiskDefinition {
 public:
  DiskDefinition(const FloppyWorkspace& workspace, FloppyTree& tree, CabinetMaker& cabinets);

  // Each section's status line as it begins ("Please Wait ... Creating CAB
  // files").
  using Status = std::function<void(const std::string& line)>;
  // Executes files\<InitFile>. False after the name, a path or a step was
  // refused or failed (its message shown, or the copy aborted by the user).
  bool Init_Lists(const std::string& InitFile, const Status& status);

  // What the definition's [Create_CABs] asked for, after Init_Lists.
  bool NeedSetupWin = false;
  bool NeedSetupNT = false;

 private:
  bool RefuseOutside(const std::string& value, const std::string& root, const std::string& file, int line);

  const FloppyWorkspace& workspace_;
  FloppyTree& tree_;
  CabinetMaker& cabinets_;
};

}  // namespace kiv
