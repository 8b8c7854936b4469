#include "cdtool/rescue/package_versions.h"

#include <map>
#include <sstream>

namespace kiv {

namespace {

std::map<std::string, std::string> ParseVersions(const std::string& text) {
  std::map<std::string, std::string> versions;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string package, version, extra;
    if (fields >> package >> version && !(fields >> extra)) versions[package] = version;
  }
  return versions;
}

}  // namespace

std::vector<std::string> PackageVersionChanges(const std::string& before, const std::string& after) {
  const std::map<std::string, std::string> old = ParseVersions(before);
  const std::map<std::string, std::string> now = ParseVersions(after);
  std::vector<std::string> changes;
  auto o = old.begin();
  auto n = now.begin();
  while (o != old.end() || n != now.end()) {
    if (n == now.end() || (o != old.end() && o->first < n->first)) {
      changes.push_back("gone: " + o->first + " " + o->second);
      ++o;
    } else if (o == old.end() || n->first < o->first) {
      changes.push_back("new: " + n->first + " " + n->second);
      ++n;
    } else {
      if (o->second != n->second) changes.push_back(o->first + " " + o->second + " -> " + n->second);
      ++o;
      ++n;
    }
  }
  return changes;
}

}  // namespace kiv
