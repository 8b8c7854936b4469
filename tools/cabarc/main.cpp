// cabarc: creates, lists and extracts Microsoft cabinet files.
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "common/source_date_epoch.h"
#include "tools/cabinet/cab_paths.h"
#include "tools/cabinet/cab_reader.h"
#include "tools/cabinet/cab_writer.h"
#include "tools/cabinet/extract_files.h"
#include "tools/cabinet/file_gather.h"

namespace {

using namespace kiv::cab;

const char kHelp[] =
    "Usage: cabarc [options] <command> <cabinet> [<file pattern>...]\n"
    "\n"
    "Commands:\n"
    "  n   create a new cabinet from the files matching the patterns\n"
    "  x   extract the files matching the patterns (all when none) into the\n"
    "      current folder\n"
    "  l   list the contents of the cabinet\n"
    "\n"
    "Options:\n"
    "  -m LZX:<15..21>|MSZIP|NONE   compression for n (default MSZIP)\n"
    "  -p          keep paths: n stores paths as given, x recreates the folders\n"
    "              (without -p, x writes every file into the current folder)\n"
    "  -r          n: look for the pattern's files in all subfolders too\n"
    "  -P <prefix> n: remove <prefix> from the front of the stored paths\n"
    "  -o          x: overwrite existing files (without it they are kept)\n"
    "  --level=<0..4>  n with LZX: encoder effort; 0 stores, 1 is the fastest,\n"
    "              2 the default (fast), 3 stronger, 4 the strongest (smallest\n"
    "              cabinets, many times slower); also --level <0..4>. Without\n"
    "              it, the environment variable KIV_LZX_LEVEL gives the level.\n"
    "  --help      this text\n"
    "\n"
    "Patterns take Windows wildcards (*.* is every file), any letter case and\n"
    "either '\\' or '/'. Stored paths use '\\'. When SOURCE_DATE_EPOCH is set, n\n"
    "dates every file at that time, so equal inputs give identical cabinets.\n"
    "Exit status: 0 on success, 1 on failure, 2 on a usage error.\n";

int Usage(const std::string& message) {
  std::cerr << "cabarc: " << message << "\n(cabarc --help shows the usage)\n";
  return 2;
}

std::string AttrText(uint16_t a) {
  std::string s;
  s += (a & kAttrReadOnly) ? 'r' : '-';
  s += (a & kAttrHidden) ? 'h' : '-';
  s += (a & kAttrSystem) ? 's' : '-';
  s += (a & kAttrArchive) ? 'a' : '-';
  return s;
}

int List(const std::string& cab) {
  CabReader reader;
  std::string error;
  if (!reader.Open(ResolvePath(cab), false, error)) {
    std::cerr << "cabarc: " << error << "\n";
    return 1;
  }
  std::cout << "Listing of cabinet file '" << cab << "' (" << reader.Files().size() << " file(s)):\n\n";
  std::cout << "File name                                 File size        Date     Time  Attrs\n";
  std::cout << "----------------------------------------  ---------  ---------- -------- -----\n";
  for (const CabFileInfo& f : reader.Files()) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute,
                  f.second);
    std::cout << std::left << std::setw(40) << f.name << "  " << std::right << std::setw(9) << f.size << "  " << stamp
              << " " << AttrText(f.attribs) << "\n";
  }
  return 0;
}

int Create(const std::string& cab, const std::vector<std::string>& patterns, const WriteOptions& writeOptions,
           GatherOptions gather) {
  if (patterns.empty()) return Usage("n needs at least one file pattern");
  std::string epochError;
  if (const std::optional<int64_t> epoch = kiv::SourceDateEpochOfThisProcess(&epochError))
    gather.fixedTime = time_t(*epoch);
  if (!epochError.empty()) {
    std::cerr << "cabarc: " << epochError << "\n";
    return 1;
  }
  // An existing cabinet of the same name in another letter case is replaced.
  std::string target = ResolvePath(ForwardSlashes(cab));
  gather.excludePath = target;
  std::vector<CabEntry> entries;
  std::vector<std::string> warnings;
  std::string error;
  if (!GatherFiles(patterns, gather, entries, warnings, error)) {
    std::cerr << "cabarc: " << error << "\n";
    return 1;
  }
  for (const std::string& w : warnings) std::cerr << "cabarc: warning: " << w << "\n";
  if (entries.empty()) {
    std::cerr << "cabarc: no files to store; " << target << " was not created\n";
    return 1;
  }
  if (!WriteCabinet(target, entries, writeOptions, error)) {
    std::cerr << "cabarc: " << error << "\n";
    return 1;
  }
  std::cout << "Created " << target << " with " << entries.size() << " file(s)\n";
  return 0;
}

int Extract(const std::string& cab, const std::vector<std::string>& patterns, bool overwrite, bool keepPaths) {
  CabReader reader;
  std::string error;
  if (!reader.Open(ResolvePath(cab), false, error)) {
    std::cerr << "cabarc: " << error << "\n";
    return 1;
  }
  ExtractRequest request;
  request.patterns = patterns;
  request.overwrite = overwrite;
  request.keepPaths = keepPaths;
  request.overwriteHint = "use -o to overwrite";
  ExtractOutcome outcome;
  if (!ExtractMatching(reader, request, outcome, std::cout, std::cerr, error)) {
    std::cerr << "cabarc: " << error << "\n";
    return 1;
  }
  bool ok = outcome.failed == 0 && outcome.skipped == 0;
  for (size_t i = 0; i < patterns.size(); ++i) {
    if (!outcome.patternMatched[i]) {
      std::cerr << "cabarc: no file in " << cab << " matches " << patterns[i] << "\n";
      ok = false;
    }
  }
  if (patterns.empty() && reader.Files().empty()) ok = false;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Unquote(argv[i]));
  if (args.empty()) return Usage("no command given");

  WriteOptions writeOptions;
  GatherOptions gather;
  bool overwrite = false;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h" || a == "-?" || a == "/?") {
      std::cout << kHelp;
      return 0;
    }
    if (a.size() < 2 || a[0] != '-') break;
    if (a == "-m") {
      if (++i == args.size()) return Usage("-m needs a compression type");
      std::string error;
      if (!ParseMethod(args[i], writeOptions, error)) return Usage(error);
    } else if (a == "-p") {
      gather.preservePaths = true;
    } else if (a == "-r") {
      gather.recurse = true;
    } else if (a == "-o") {
      overwrite = true;
    } else if (a == "--level" || a.rfind("--level=", 0) == 0) {
      std::string value;
      if (a == "--level") {
        if (++i == args.size()) return Usage("--level needs a level from 0 to 4");
        value = args[i];
      } else {
        value = a.substr(8);
      }
      std::string error;
      if (!ParseLzxLevel(value, "--level", writeOptions, error)) return Usage(error);
    } else if (a == "-P") {
      if (++i == args.size()) return Usage("-P needs a prefix");
      gather.stripPrefix = args[i];
    } else {
      return Usage("unknown option " + a);
    }
  }
  if (i == args.size()) return Usage("no command given");
  std::string command = args[i++];
  if (i == args.size()) return Usage("no cabinet file given");
  std::string cab = args[i++];
  std::vector<std::string> rest(args.begin() + long(i), args.end());

  if (command == "n" || command == "N") {
    // The option wins over the environment, which lets a build choose the
    // level without changing the command line it runs.
    if (writeOptions.lzxLevel < 0) {
      if (const char* env = std::getenv("KIV_LZX_LEVEL"); env && *env) {
        std::string error;
        if (!ParseLzxLevel(env, "KIV_LZX_LEVEL", writeOptions, error)) {
          std::cerr << "cabarc: " << error << "\n";
          return 2;
        }
      }
    }
    return Create(cab, rest, writeOptions, gather);
  }
  if (command == "x" || command == "X") return Extract(cab, rest, overwrite, gather.preservePaths);
  if (command == "l" || command == "L") return List(cab);
  return Usage("unknown command '" + command + "' (use n, x or l)");
}
