#pragma once
// Step 2 of the build run: Windows 2000/XP setup files. Copies the I386 tree
// and the medium's root tag files into the CD tree, provides the setup boot
// sector, lets the service pack's installer integrate itself (through wine on
// POSIX), writes WINNT.SIF, removes the extra-language files and puts the
// product key into the boot menu, each as the wizard asked.
#include <string>
#include <vector>

namespace kiv {

class BuildRun;

// argv of the service-pack installer: `SP_exe -s:<CD tree>`; on POSIX run by
// `wine` with the CD tree named by its wine drive path (Z:\...).
std::vector<std::string> ServicePackArgv(const std::string& wine, const std::string& spExe,
                                         const std::string& cdTree);

void AddWin2K(BuildRun& run, const std::string& Source, const std::string& I386Name, bool DelTreeLang,
              const std::string& SP_exe, const std::string& HotFixDir, bool InjectProdKey,
              const std::string& ProductKey, bool AddInfo_toUnattend);

}  // namespace kiv
