#pragma once
// The SetupWin (Windows 98/Me) and SetupNT (Windows 2000/XP) modules of a
// floppy: the answers the Windows-setup page shows, where they come from (the
// key file or the system's own registry), and the answer files written from
// them into files\setupwin and files\setupnt, each folder then packed into a
// cabinet in cabs\lib.
#include <string>

#include "common/setup_answer_defaults.h"

namespace kiv {

class CabinetMaker;
class FloppyWorkspace;
struct Win9xInfo;

// The answers of the SetupWin module, as the Windows-setup page shows them.
// The defaults (the CD builder's too) also stand in for answers that come
// empty.
struct SetupAnswers {
  std::string LblOSType = kDefaultOSType;
  std::string TxtKeyPart[5];
  std::string TxtOwner = kDefaultOwner;
  std::string TxtOrg = kDefaultOrg;
  std::string TxtPCName = kDefaultPCName;
  std::string TxtWorkgroup = kDefaultWorkgroup;
};

// Each step that fails has shown its message and returns false; ending the
// build is the caller's business.
class SetupModules {
 public:
  SetupModules(const FloppyWorkspace& workspace, SetupAnswers& answers, CabinetMaker& cabinets);

  // Puts answer data on the Windows-setup page, each empty answer replaced by
  // the page's default.
  void ShowSetupData(const Win9xInfo& info);
  // The answers of keyfile.txt (nothing changes when it cannot be read).
  void FillSetupDataFromKeyFile();
  // The answers of this system's Windows 98 registry (the platform's).
  void FillSetupDataFromReg();
  // The SetupWin module: key.inf, def.inf, auto.inf and os.bat from the
  // templates of the OS the answers name, packed as cabs\lib\setupwin.cab.
  bool CreateSetupInf();
  // The SetupNT module: unattend.txt from keyfile.txt, packed as
  // cabs\lib\setupnt.cab.
  bool CreateSetupNT();

 private:
  bool ProcessSetupInfFile(const std::string& relativeFile, int mode);

  const FloppyWorkspace& workspace_;
  SetupAnswers& answers_;
  CabinetMaker& cabinets_;
};

}  // namespace kiv
