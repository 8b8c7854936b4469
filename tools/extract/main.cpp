// extract: takes files out of a cabinet, or out of a cabinet and the cabinets
// that follow it in its set, by name.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "tools/cabinet/cab_paths.h"
#include "tools/cabinet/cab_reader.h"
#include "tools/cabinet/extract_files.h"

namespace {

using namespace kiv::cab;

const char kHelp[] =
    "Usage: extract [/y] [/a] [/d | /e] [/l <folder>] <cabinet> [<name>...]\n"
    "\n"
    "Extracts the named files (Windows wildcards, any letter case; all files\n"
    "when no name is given) from the cabinet into the current folder.\n"
    "\n"
    "  /a          also search the cabinets that follow this one in its set\n"
    "              (found beside it by the names its header gives)\n"
    "  /d          only list the files\n"
    "  /e          extract all files\n"
    "  /l <folder> extract into <folder> ('\\' or '/'; created when missing)\n"
    "  /y          overwrite existing files (without it they are kept)\n"
    "  --help      this text\n"
    "\n"
    "Exit status: 0 when every named file was extracted, 1 otherwise, 2 on a\n"
    "usage error.\n";

int Usage(const std::string& message) {
  std::cerr << "extract: " << message << "\n(extract --help shows the usage)\n";
  return 2;
}

// "/y", "-Y", ... : a switch is exactly a slash or dash and one letter, so an
// absolute path such as "/tmp/x.cab" is never taken for one.
char SwitchLetter(const std::string& a) {
  if (a.size() == 2 && (a[0] == '/' || a[0] == '-')) {
    char c = a[1];
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Unquote(argv[i]));
  bool overwrite = false, followSet = false, listOnly = false, all = false;
  std::string target = ".";
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "/?" || a == "-?") {
      std::cout << kHelp;
      return 0;
    }
    switch (SwitchLetter(a)) {
      case 'y':
        overwrite = true;
        break;
      case 'a':
        followSet = true;
        break;
      case 'd':
        listOnly = true;
        break;
      case 'e':
        all = true;
        break;
      case 'l':
        if (++i == args.size()) return Usage("/l needs a folder");
        target = args[i];
        break;
      case 0:
        positional.push_back(a);
        break;
      default:
        return Usage("unknown switch " + a);
    }
  }
  if (positional.empty()) return Usage("no cabinet given");
  std::string cab = positional.front();
  std::vector<std::string> names(positional.begin() + 1, positional.end());
  if (all) names.clear();

  CabReader reader;
  std::string error;
  if (!reader.Open(ResolvePath(cab), followSet, error)) {
    std::cerr << "extract: " << error << "\n";
    return 1;
  }
  for (const std::string& w : reader.Warnings()) std::cerr << "extract: warning: " << w << "\n";
  if (listOnly) {
    for (const CabFileInfo& f : reader.Files())
      if (names.empty() ||
          std::any_of(names.begin(), names.end(), [&](const std::string& n) { return StoredNameMatches(n, f.name); }))
        std::cout << f.name << "  " << f.size << "\n";
    return 0;
  }
  ExtractRequest request;
  request.patterns = names;
  request.overwrite = overwrite;
  request.targetDir = target;
  request.overwriteHint = "use /y to overwrite";
  ExtractOutcome outcome;
  if (!ExtractMatching(reader, request, outcome, std::cout, std::cerr, error)) {
    std::cerr << "extract: " << error << "\n";
    return 1;
  }
  bool ok = outcome.failed == 0 && outcome.skipped == 0;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!outcome.patternMatched[i]) {
      std::cerr << "extract: " << names[i] << " is not in " << cab << (followSet ? " or the cabinets after it" : "")
                << "\n";
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
