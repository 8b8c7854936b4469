#include "tools/cabinet/extract_files.h"

#include <filesystem>
#include <system_error>

#include "tools/cabinet/cab_paths.h"

namespace kiv::cab {

namespace fs = std::filesystem;

namespace {

// Makes one folder; "" when made or when something of that name is there
// already (the caller looks at what it is), otherwise the system's text.
std::string MakeOneFolder(const std::string& path) {
  std::error_code ec;
  if (!fs::create_directory(path, ec) && ec && ec != std::errc::file_exists) return ec.message();
  return "";
}

}  // namespace

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
  std::error_code ec;
  if (const fs::file_status st = fs::status(realPath, ec); !ec) {
    if (st.type() == fs::file_type::directory) return true;
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
    if (const fs::file_status st = fs::status(built, ec); !ec) {
      if (st.type() != fs::file_type::directory) {
        error = built + " exists and is not a folder";
        return false;
      }
      continue;
    }
    if (std::string why = MakeOneFolder(built); !why.empty()) {
      error = "cannot create the folder " + built + ": " + why;
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
bool MakeFoldersBelow(const std::string& target, const std::string& rel, std::string& realPath, std::string& error) {
  std::string built = target;
  size_t pos = 0;
  while (pos <= rel.size()) {
    size_t next = rel.find('/', pos);
    if (next == std::string::npos) next = rel.size();
    const std::string comp = rel.substr(pos, next - pos);
    pos = next + 1;
    if (comp.empty()) continue;
    built = ResolvePath(built + "/" + comp);
    std::error_code ec;
    if (const fs::file_status st = fs::symlink_status(built, ec); !ec) {
      if (st.type() == fs::file_type::symlink) {
        error = built + " is a symbolic link; files are not extracted through links";
        return false;
      }
      if (st.type() != fs::file_type::directory) {
        error = built + " exists and is not a folder";
        return false;
      }
      continue;
    }
    if (std::string why = MakeOneFolder(built); !why.empty()) {
      error = "cannot create the folder " + built + ": " + why;
      return false;
    }
    // Made by someone else meanwhile: only a real folder will do.
    if (fs::symlink_status(built, ec).type() != fs::file_type::directory || ec) {
      error = built + " is not a folder";
      return false;
    }
  }
  realPath = built;
  return true;
}

}  // namespace

bool ExtractMatching(CabReader& reader, const ExtractRequest& request, ExtractOutcome& outcome, std::ostream& log,
                     std::ostream& err, std::string& error) {
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
    std::string rel = request.keepPaths ? NormaliseRelative(f.name) : BaseName(f.name);
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
    std::error_code ec;
    if (const fs::file_status st = fs::symlink_status(dest, ec); !ec) {
      if (st.type() == fs::file_type::directory) {
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
