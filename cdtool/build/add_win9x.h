#pragma once
// Step 3 of the build run: Windows 98/Me setup files, copied into a CD folder
// named after the edition (WIN98 / WINME / WINSETUP), optionally with
// MSBATCH.INF written into it.
#include <string>

namespace kiv {

class BuildRun;

// "WINME" when <Source>/base2.cab exists, else "WIN98" when base4.cab exists,
// else "WINSETUP" (file names found case-insensitively).
std::string Win9xFolderName(const std::string& Source);

void AddWin9x(BuildRun& run, const std::string& Source, bool AddInfo_toMSBatch);

}  // namespace kiv
