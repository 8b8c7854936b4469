#pragma once
// Step 2 of the build run: Windows 2000/XP setup files. Copies the I386 tree
// and the medium's root tag files into the CD tree, provides the setup boot
// sector, lets the service pack's installer integrate itself (through wine on
// POSIX), writes WINNT.SIF, removes the extra-language files and puts the
// product key into the boot menu, each as the wizard asked.
#include <optional>
#include <string>
#include <vector>

#include "common/setup_answer.h"

namespace kiv {

class BuildRun;

// argv of the service-pack installer: `SP_exe -s:<CD tree>`; on POSIX run by
// `wine` with the CD tree named by its wine drive path (Z:\...).
std::vector<std::string> ServicePackArgv(const std::string& wine, const std::string& spExe, const std::string& cdTree);

struct Win2KOptions {
  std::string Source;        // the I386 folder
  bool DelTreeLang = false;  // remove I386\LANG
  std::string SP_exe;        // empty: no service pack
  // Set: the key goes into the boot menu (the script's placeholders and the
  // entry that shows it). Unset when the user typed none.
  std::optional<KeyParts> ProductKey;
  bool AddInfo_toUnattend = false;  // write WINNT.SIF
};

void AddWin2K(BuildRun& run, const Win2KOptions& options);

}  // namespace kiv
