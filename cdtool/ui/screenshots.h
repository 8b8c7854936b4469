#pragma once
// Renders every wizard page and both information dialogs to PNG files, from
// the real widgets, for the README (`discsmith --screenshots <dir>`).
#include <string>

namespace kiv {

class FrmCDBuild;

// Puts the window model in the state it has on `page` in a real session:
// pages 0-8 as Next leaves them, page 10 while the build works on step 4,
// page 9 after a build that succeeded.
void ShowScreenshotState(FrmCDBuild& form, int page);

// Returns 0 when every picture was written; messages name a file that failed.
int RenderScreenshots(const std::string& outputFolder);

}  // namespace kiv
