#pragma once
// The SetupWin (Windows 98/Me) and SetupNT (Windows 2000/XP) modules of a
// floppy: the answers SetupWin is made with, where they come from (the key
// file or the system's own registry), and the answer files written from them
// into files\setupwin and files\setupnt, each folder then packed into a
// cabinet in cabs\lib.
#include <string>

#include "common/setup_answer.h"

namespace kiv {

class CabinetMaker;
class FloppyWorkspace;

// Each step that fails has shown its message and returns false; ending the
// build is the caller's business.
class SetupModules {
 public:
  SetupModules(const FloppyWorkspace& workspace, CabinetMaker& cabinets);

  // The answers as the Windows-setup page shows them: each empty one (a key
  // file saved with blank fields, a machine without a registry) replaced by
  // the page's default (the CD builder's too), so the page is never blank and
  // the module never falls back to the Windows Me templates by accident.
  static Win9xInfo ShowSetupData(const Win9xInfo& info);
  // The answers of keyfile.txt, shown so; `current` when it cannot be read.
  Win9xInfo FillSetupDataFromKeyFile(const Win9xInfo& current) const;
  // The answers of this system's Windows 98 registry (the platform's).
  Win9xInfo FillSetupDataFromReg() const;
  // The SetupWin module: key.inf, def.inf, auto.inf and os.bat from the
  // templates of the OS the answers name, packed as cabs\lib\setupwin.cab.
  bool CreateSetupInf(const Win9xInfo& answers);
  // The SetupNT module: unattend.txt from keyfile.txt, packed as
  // cabs\lib\setupnt.cab.
  bool CreateSetupNT();

 private:
  bool ProcessSetupInfFile(const std::string& relativeFile, int mode, const Win9xInfo& answers);

  const FloppyWorkspace& workspace_;
  CabinetMaker& cabinets_;
};

}  // namespace kiv
