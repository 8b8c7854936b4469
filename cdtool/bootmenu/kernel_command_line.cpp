#include "cdtool/bootmenu/kernel_command_line.h"

namespace kiv {

namespace {

// Whether one of the blank-separated words of `line` starts with "console=".
bool NamesConsole(const std::string& line) {
  const std::string key = "console=";
  for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1))
    if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') return true;
  return false;
}

}  // namespace

std::string KernelCommandLine(const std::string& scriptArgs, int serialConsole, bool linuxSystem) {
  if (serialConsole <= 0 || NamesConsole(scriptArgs)) return scriptArgs;
  const std::string console = (linuxSystem ? "console=tty0 " : "") + std::string("console=ttyS") +
                              std::to_string(serialConsole - 1) + ",115200";
  return scriptArgs.empty() ? console : scriptArgs + " " + console;
}

}  // namespace kiv
