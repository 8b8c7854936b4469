#pragma once
// Renders every wizard page and both information dialogs to PNG files, from
// the real widgets, for the README (`discsmith --screenshots <dir>`).
#include <string>

namespace kiv {

// Returns 0 when every picture was written; messages name a file that failed.
int RenderScreenshots(const std::string& outputFolder);

}  // namespace kiv
