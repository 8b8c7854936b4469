#pragma once
// The bootsmith command line: its grammar, the messages each rejected argument
// shows, and the usage text. Parsing talks to the user only through the
// Prompter; it never ends the program itself.
#include <optional>
#include <string>
#include <vector>

#include "common/window_place.h"

namespace kiv {

class Prompter;

// What Main hands to RunBatch.
struct BatchOptions {
  std::string DiskName;
  std::string Target;
  int ImageType = 0;  // 0 not given, 1 = 1.44 MB, 2 = 2.88 MB
  bool UseKeyFile = false;
  std::string Plugin;
  bool DFlag = false;
  bool SelectDrivers = false;
  bool HadError = false;
  // Accepted and stored, read by nothing.
  std::string OS;
  bool IFlag = false;
};

inline constexpr const char* kCommandLineTitle = "Command Line options Error";

// The usage text, every line ending in CR LF, a blank line after the first.
std::string UsageText();

// `bootsmith --help` (-h, -?) and `--version`: the usage for this system (its
// paths, no registry) or the version, for standard output. Nothing for any
// other argument list; those go through the command line as usual.
std::optional<std::string> InfoSwitchText(const std::vector<std::string>& args, const std::string& version);

// kOverWindowSwitch (window_place.h) with its frame as the first argument: the frame of the
// window that started this run (the CD builder's), over which the "Please
// Wait" window opens. It is taken off `args`, so the grammar below never
// sees it. A value that is no frame stays in `args`, where the grammar
// rejects it as an invalid argument.
std::optional<ScreenRect> TakeOverWindow(std::vector<std::string>& args);

// The raw command line of a POSIX process: the arguments after the program
// name joined by single blanks.
std::string RawCommandLine(const std::vector<std::string>& args);

// Walks the raw command line token by token (tokens are what lies between
// single blanks). Each rejected argument shows its message through `prompter`
// and, where the grammar says so, sets HadError. A plugin value is checked
// against <programFolder>/plugins/<value>.
BatchOptions ParseCommandLine(const std::string& raw, const std::string& programFolder, Prompter& prompter);

}  // namespace kiv
