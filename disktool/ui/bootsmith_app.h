#pragma once
// bootsmith with Qt windows: the wizard, or the batch run with its "Please
// Wait" window and the driver dialog for -sel.
#include <string>
#include <vector>

namespace kiv {

class Environment;

int RunBootsmithGui(int argc, char** argv, const std::string& programFolder, const std::vector<std::string>& args,
                    const Environment& environment);

}  // namespace kiv
