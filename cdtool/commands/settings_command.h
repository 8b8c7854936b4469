#pragma once
// `discsmith --set Section.Key=value ...`: changes settings of kivcd.ini
// without the wizard (scripts, the demo, tests), through the same writer the
// wizard uses. Starts from the saved settings, or from a first run's defaults
// when there is no file. A name or value that is not valid is reported and
// nothing is written; otherwise the file is replaced whole, atomically.
// `discsmith --set` alone prints the settings the next build would use.
#include <cstdio>
#include <string>
#include <vector>

namespace kiv {

class Environment;
class Platform;

// Exit status: 0 written (or printed), 2 bad arguments, 1 the file could not
// be written. Messages go to `err`, the printed settings to `out`.
int RunSetCommand(const std::vector<std::string>& assignments, const std::string& programFolder,
                  const Platform& platform, const Environment& environment, std::FILE* out, std::FILE* err);

// The line `--set` alone prints after the settings: whether the next
// `--build` protects the CD with a password (KIVCD_PASSWORD set), as an INI
// comment so the output still reads as settings.
std::string PasswordNote(const Environment& environment);

int RunSetCommandLine(int argc, char** argv, const Environment& environment);

}  // namespace kiv
