// expand: takes a named file out of every cabinet that matches a pattern.
#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "tools/cabinet/cab_paths.h"
#include "tools/cabinet/cab_reader.h"
#include "tools/cabinet/extract_files.h"

namespace {

using namespace kiv::cab;

const char kHelp[] =
    "Usage: expand <cabinet pattern> -f:<name> <destination folder>\n"
    "       expand -d <cabinet pattern> [-f:<name>]\n"
    "\n"
    "Extracts the files named by -f: (Windows wildcards, any letter case; all\n"
    "files without -f:) from every cabinet matching the pattern (for example\n"
    "*.cab in the current folder) into the destination folder, which is created\n"
    "when missing. Existing files there are replaced. -d only lists.\n"
    "\n"
    "Exit status: 0 when the name was found and every matching cabinet could be\n"
    "read, 1 otherwise, 2 on a usage error.\n";

int Usage(const std::string& message) {
  std::cerr << "expand: " << message << "\n(expand --help shows the usage)\n";
  return 2;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// The files the pattern names, sorted: wildcards in the last component only.
std::vector<std::string> MatchCabinets(const std::string& pattern) {
  std::string p = ForwardSlashes(pattern);
  size_t slash = p.rfind('/');
  std::string dir = slash == std::string::npos ? "" : p.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? p : p.substr(slash + 1);
  std::vector<std::string> out;
  if (!HasWildcards(mask)) {
    std::string real = ResolvePath(p);
    std::error_code ec;
    if (std::filesystem::is_regular_file(real, ec)) out.push_back(real);
    return out;
  }
  std::string realDir = dir.empty() ? "" : ResolvePath(dir);
  if (!realDir.empty() && realDir.back() != '/') realDir += '/';
  DIR* d = ::opendir(realDir.empty() ? "." : realDir.c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == ".." || !WildcardMatch(mask, n)) continue;
    std::error_code ec;
    if (std::filesystem::is_regular_file(realDir + n, ec)) out.push_back(realDir + n);
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(),
            [](const std::string& a, const std::string& b) { return LowerAscii(a) < LowerAscii(b); });
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional, names;
  bool listOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = Trim(Unquote(Trim(argv[i])));
    if (a.empty()) continue;  // a trailing blank argument
    if (a == "--help" || a == "/?" || a == "-?") {
      std::cout << kHelp;
      return 0;
    }
    std::string lower = LowerAscii(a);
    if (lower.size() > 3 && (lower[0] == '-' || lower[0] == '/') && lower[1] == 'f' && lower[2] == ':') {
      names.push_back(Unquote(a.substr(3)));
    } else if (lower == "-d" || lower == "/d") {
      listOnly = true;
    } else if (lower == "-r" || lower == "/r") {
      // rename-on-expand of single compressed files: not applicable to cabinets
    } else if (a.size() == 2 && a[0] == '-') {
      return Usage("unknown switch " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty()) return Usage("no cabinet given");
  if (!listOnly && positional.size() < 2) return Usage("no destination folder given");
  if (positional.size() > 2) return Usage("too many arguments: " + positional[2]);

  std::vector<std::string> cabs = MatchCabinets(positional[0]);
  if (cabs.empty()) {
    std::cerr << "expand: no cabinet matches " << positional[0] << "\n";
    return 1;
  }
  bool ok = true;
  std::vector<bool> found(names.size(), false);
  for (const std::string& cab : cabs) {
    kiv::cab::CabReader reader;
    std::string error;
    if (!reader.Open(cab, false, error)) {
      std::cerr << "expand: " << error << "\n";
      ok = false;
      continue;
    }
    if (listOnly) {
      for (const CabFileInfo& f : reader.Files())
        if (names.empty() ||
            std::any_of(names.begin(), names.end(), [&](const std::string& n) { return StoredNameMatches(n, f.name); }))
          std::cout << cab << ": " << f.name << "\n";
      continue;
    }
    ExtractRequest request;
    request.patterns = names;
    request.overwrite = true;
    request.targetDir = positional[1];
    ExtractOutcome outcome;
    if (!ExtractMatching(reader, request, outcome, std::cout, std::cerr, error)) {
      std::cerr << "expand: " << error << "\n";
      ok = false;
      continue;
    }
    if (outcome.failed) ok = false;
    for (size_t i = 0; i < names.size(); ++i)
      if (outcome.patternMatched[i]) found[i] = true;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (!found[i] && !listOnly) {
      std::cerr << "expand: " << names[i] << " is in none of the cabinets matching " << positional[0] << "\n";
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
