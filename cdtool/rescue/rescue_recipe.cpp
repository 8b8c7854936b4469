#include "cdtool/rescue/rescue_recipe.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cdtool/build/makecd_script.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

std::string Trim(const std::string& s) {
  const size_t from = s.find_first_not_of(" \t\r");
  if (from == std::string::npos) return "";
  return s.substr(from, s.find_last_not_of(" \t\r") - from + 1);
}

// Documentation, manual pages and translations are left out of every
// package: a rescue system is used with the greeting and --help. The
// copyright files stay, as Debian's licences ask.
const char* const kDpkgFilters[] = {
    "path-exclude=/usr/share/doc/*",    "path-include=/usr/share/doc/*/copyright",
    "path-exclude=/usr/share/man/*",    "path-exclude=/usr/share/info/*",
    "path-exclude=/usr/share/locale/*", "path-include=/usr/share/locale/locale.alias",
};

// mmdebstrap's own hook that makes a file:// mirror's folder visible inside
// the tree it builds.
constexpr const char* kFileMirrorHooks = "/usr/share/mmdebstrap/hooks/file-mirror-automount";

// Where in the tree the hook leaves what goes on the CD.
constexpr const char* kHookOutput = "/run/kivrescue";

std::string Joined(const std::vector<std::string>& names, char separator) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : std::string(1, separator)) + n;
  return out;
}

}  // namespace

bool IsDebianPackageName(const std::string& name) {
  if (name.size() < 2) return false;
  if (!std::isalnum(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  });
}

PackageList ReadPackageList(const std::string& path) {
  PackageList list;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    list.error = "the package list " + path + " cannot be read";
    return list;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const size_t hash = line.find('#');
    const std::string name = Trim(hash == std::string::npos ? line : line.substr(0, hash));
    if (name.empty()) continue;
    if (!IsDebianPackageName(name)) {
      list.error = path + ", line " + std::to_string(number) + ": \"" + name +
                   "\" is not a Debian package name (one name a line: lower-case letters, digits, '+', '-', '.')";
      list.packages.clear();
      return list;
    }
    const auto& base = RescueBasePackages();
    if (std::find(base.begin(), base.end(), name) != base.end()) continue;
    if (std::find(list.packages.begin(), list.packages.end(), name) == list.packages.end())
      list.packages.push_back(name);
  }
  return list;
}

bool IsPackageFolder(const std::string& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec) || fs::exists(fs::path(folder) / "dists", ec)) return false;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".deb") return true;
  return false;
}

std::vector<std::string> MmdebstrapCommand(const RescueRecipe& recipe, const std::string& hook,
                                           const std::string& outFolder, const MmdebstrapExtras& extras) {
  std::vector<std::string> packages = RescueBasePackages();
  packages.insert(packages.end(), recipe.packages.begin(), recipe.packages.end());
  std::vector<std::string> argv = {"mmdebstrap", "--variant=minbase", "--architectures=" + recipe.architecture,
                                   "--include=" + Joined(packages, ',')};
  for (const char* filter : kDpkgFilters) argv.push_back(std::string("--dpkgopt=") + filter);
  std::string mirror = recipe.mirror;
  if (!extras.packageIndex.empty()) {
    // copy:, not file:: apt copies each package into the tree's own cache,
    // so dpkg inside it never follows the index's link to the folder.
    // Blanks split a sources line: the path goes in as a URI, escaped.
    std::string uri;
    for (char c : extras.packageIndex)
      uri += c == ' ' ? std::string("%20") : c == '%' ? std::string("%25") : std::string(1, c);
    mirror = "deb [trusted=yes] copy://" + uri + " ./";
  } else if (!mirror.empty() && mirror[0] == '/') {
    argv.push_back(std::string("--hook-dir=") + kFileMirrorHooks);
    mirror = "file://" + mirror;
  }
  if (!extras.savePackagesTo.empty()) {
    // What apt fetched is still in the tree's cache when the customize hooks
    // run (the essential packages too, when not unlinked); copied out before
    // our hook empties the cache.
    argv.push_back("--skip=essential/unlink");
    argv.push_back("--customize-hook=sync-out /var/cache/apt/archives " + ShellQuote(extras.savePackagesTo));
  }
  // mmdebstrap runs the hook through the shell with the tree as "$1". The
  // hook writes inside the tree, under /run (which the squashfs leaves
  // out): in unshare mode it runs as the namespace's root, who may not write
  // the user's folders. mmdebstrap's own sync-out then copies the files out
  // as the user who started it.
  // The same hook, run before the kernel is installed, sets up how its
  // initramfs is made; the hook's digest covers both.
  argv.push_back("--essential-hook=" + ShellQuote(hook) + " --initramfs \"$1\"");
  argv.push_back("--customize-hook=" + ShellQuote(hook) + " \"$1\" \"$1" + kHookOutput + "\"");
  argv.push_back(std::string("--customize-hook=sync-out ") + kHookOutput + " " + ShellQuote(outFolder));
  argv.push_back(recipe.release);
  argv.push_back("/dev/null");
  if (!mirror.empty()) argv.push_back(mirror);
  return argv;
}

std::string RecipeStamp(const RescueRecipe& recipe) {
  std::vector<std::string> packages = RescueBasePackages();
  packages.insert(packages.end(), recipe.packages.begin(), recipe.packages.end());
  return "release=" + recipe.release + "\narchitecture=" + recipe.architecture + "\nmirror=" + recipe.mirror +
         "\npackages=" + Joined(packages, ' ') + "\nhook=" + recipe.hookDigest + "\n";
}

}  // namespace kiv
