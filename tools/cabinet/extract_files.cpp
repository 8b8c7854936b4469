#include "tools/cabinet/extract_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "tools/cabinet/cab_paths.h"

namespace kiv::cab {

bool StoredNameMatches(const std::string& pattern, const std::string& stored) {
  std::string p = BackSlashes(Unquote(pattern));
  if (p.find('\\') != std::string::npos) return WildcardMatch(p, BackSlashes(stored));
  return WildcardMatch(p, BaseName(stored));
}

bool MakeFolders(const std::string& path, std::string& realPath, std::string& error) {
  std::string p = ForwardSlashes(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) p = ".";
  realPath = ResolvePath(p);
  struct stat st;
  if (::stat(realPath.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    error = realPath + " exists and is not a folder";
    return false;
  }
  // Create each missing component in turn.
  std::string built;
  size_t pos = 0;
  if (realPath[0] == '/') {
    built = "/";
    pos = 1;
  }
  while (pos <= realPath.size()) {
    size_t next = realPath.find('/', pos);
    if (next == std::string::npos) next = realPath.size();
    std::string comp = realPath.substr(pos, next - pos);
    pos = next + 1;
    if (comp.empty()) continue;
    if (!built.empty() && built.back() != '/') built += '/';
    built += comp;
    built = ResolvePath(built);
    if (::stat(built.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        error = built + " exists and is not a folder";
        return false;
      }
      continue;
    }
    if (::mkdir(built.c_str(), 0777) != 0 && errno != EEXIST) {
      error = "cannot create the folder " + built + ": " + std::strerror(errno);
      return false;
    }
  }
  realPath = built;
  return true;
}

namespace {

// Creates the stored folders `rel` below the target folder `target` one
// component at a time, each found in any letter case. A component that is a
// symbolic link is refused rather than followed: a link in the target folder
// could otherwise lead the extracted files to anywhere on the disk.
bool MakeFoldersBelow(const std::string& target, const std::string& rel, std::string& realPath,
                      std::string& error) {
  std::string built = target;
  size_t pos = 0;
  while (pos <= rel.size()) {
    size_t next = rel.find('/', pos);
    if (next == std::string::npos) next = rel.size();
    const std::string comp = rel.substr(pos, next - pos);
    pos = next + 1;
    if (comp.empty()) continue;
    built = ResolvePath(built + "/" + comp);
    struct stat st;
    if (::lstat(built.c_str(), &st) == 0) {
      if (S_ISLNK(st.st_mode)) {
        error = built + " is a symbolic link; files are not extracted through links";
        return false;
      }
      if (!S_ISDIR(st.st_mode)) {
        error = built + " exists and is not a folder";
        return false;
      }
      continue;
    }
    if (::mkdir(built.c_str(), 0777) != 0 && errno != EEXIST) {
      error = "cannot create the folder " + built + ": " + std::strerror(errno);
      return false;
    }
    // Made by someone else meanwhile: only a real folder will do.
    if (::lstat(built.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      error = built + " is not a folder";
      return false;
    }
  }
  realPath = built;
  return true;
}

}  // namespace

bool ExtractMatching(CabReader& reader, const ExtractRequest& request, ExtractOutcome& outcome,
                     std::ostream& log, std::ostream& err, std::string& error) {
  outcome = ExtractOutcome{};
  outcome.patternMatched.assign(request.patterns.size(), false);
  if (reader.FindUnsafeName(error)) return false;

  std::vector<size_t> chosen;
  const std::vector<CabFileInfo>& files = reader.Files();
  for (size_t i = 0; i < files.size(); ++i) {
    bool take = request.patterns.empty();
    for (size_t p = 0; p < request.patterns.size(); ++p) {
      if (StoredNameMatches(request.patterns[p], files[i].name)) {
        outcome.patternMatched[p] = true;
        take = true;
      }
    }
    if (take) chosen.push_back(i);
  }
  if (chosen.empty()) return true;

  std::string target;
  if (!MakeFolders(request.targetDir, target, error)) return false;

  for (size_t i : chosen) {
    const CabFileInfo& f = files[i];
    std::string rel = request.keepPaths ? StoredToRelative(f.name) : BaseName(f.name);
    std::string dest = target + "/" + rel;
    if (request.keepPaths && rel.find('/') != std::string::npos) {
      std::string parent, why;
      if (!MakeFoldersBelow(target, rel.substr(0, rel.rfind('/')), parent, why)) {
        err << f.name << ": " << why << "\n";
        ++outcome.failed;
        continue;
      }
      dest = parent + "/" + BaseName(rel);
    }
    // An existing file in another letter case is the same file on Windows.
    dest = ResolvePath(dest);
    struct stat st;
    if (::lstat(dest.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        err << dest << " is a folder; " << f.name << " not extracted\n";
        ++outcome.failed;
        continue;
      }
      if (!request.overwrite) {
        err << dest << " already exists and was not overwritten"
            << (request.overwriteHint.empty() ? "" : " (" + request.overwriteHint + ")") << "\n";
        ++outcome.skipped;
        continue;
      }
    }
    std::string why;
    if (!reader.Extract(i, dest, why)) {
      err << why << "\n";
      ++outcome.failed;
      continue;
    }
    log << "extracted " << f.name << " -> " << dest << "\n";
    ++outcome.extracted;
  }
  return true;
}

}  // namespace kiv::cab
