#pragma once
// discsmith's command line as `discsmith --help` prints it: every command
// main() dispatches, one line each, and what the wizard needs.
#include <string>

namespace kiv {

std::string DiscsmithUsage();

}  // namespace kiv
