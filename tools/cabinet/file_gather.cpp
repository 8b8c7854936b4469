#include "tools/cabinet/file_gather.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include "tools/cabinet/cab_paths.h"

namespace kiv::cab {
namespace {

namespace fs = std::filesystem;

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && LowerAscii(text.substr(0, prefix.size())) == LowerAscii(prefix);
}

struct Walker {
  const GatherOptions& options;
  std::vector<CabEntry>& entries;
  std::string& error;
  // Files already stored, by folder (symbolic links resolved) and name: a path
  // that two patterns match is stored once, while hard links and links to a
  // file of the same tree are names of their own and are each stored.
  std::set<std::string> seen;
  bool haveExclude = false;  // options.excludePath exists

  bool StoredName(const std::string& spelled, std::string& stored) {
    if (!options.preservePaths) {
      stored = BaseName(spelled);
    } else {
      std::string rel = NormaliseRelative(spelled);
      std::string prefix = NormaliseRelative(options.stripPrefix);
      if (!prefix.empty()) {
        prefix += '/';
        if (StartsWithNoCase(rel, prefix)) rel = rel.substr(prefix.size());
      }
      stored = BackSlashes(rel);
    }
    std::string why;
    if (IsUnsafeStoredName(stored, &why)) {
      error = "cannot store " + spelled + " as '" + stored + "' (" + why + "); choose a -P prefix that removes it";
      return false;
    }
    if (stored.size() > kMaxNameBytes) {
      error = "the stored name of " + spelled + " is longer than 255 bytes";
      return false;
    }
    return true;
  }

  bool AddFile(const std::string& real, const std::string& seenKey, const std::string& spelled,
               const fs::file_status& st) {
    std::error_code ec;
    if (haveExclude && fs::equivalent(real, options.excludePath, ec)) return true;  // the cabinet being written
    if (!seen.insert(seenKey).second) return true;                                  // matched by an earlier pattern
    CabEntry e;
    e.sourcePath = real;
    if (!StoredName(spelled, e.storedName)) return false;
    std::tm tm{};
    if (options.fixedTime) {
      time_t t = *options.fixedTime;
      gmtime_r(&t, &tm);
    } else {
      const fs::file_time_type modified = fs::last_write_time(real, ec);
      time_t t = ec ? 0
                    : time_t(std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(modified))
                                 .time_since_epoch()
                                 .count());
      localtime_r(&t, &tm);
    }
    e.stamp = ToDosDateTime(tm);
    e.attribs = kAttrArchive;
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) e.attribs |= kAttrReadOnly;
    entries.push_back(std::move(e));
    return true;
  }

  // Files of `realDir` matching `mask` (then its subfolders when recursing).
  bool Walk(const std::string& realDir, const std::string& spelledDir, const std::string& mask, size_t& found) {
    DIR* d = ::opendir(realDir.empty() ? "." : realDir.c_str());
    if (!d) {
      error = "cannot read the folder " + (realDir.empty() ? std::string(".") : realDir) + ": " + std::strerror(errno);
      return false;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    std::error_code ec;
    const fs::path canonical = fs::canonical(realDir.empty() ? "." : realDir, ec);
    std::string keyDir = ec ? realDir : canonical.string();
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      std::string la = LowerAscii(a), lb = LowerAscii(b);
      return la != lb ? la < lb : a < b;
    });
    std::vector<std::string> subdirs;
    for (const std::string& n : names) {
      std::string real = realDir.empty() ? n : realDir + "/" + n;
      const fs::file_status st = fs::status(real, ec);
      if (ec) continue;  // dangling link
      if (st.type() == fs::file_type::directory) {
        const fs::file_status lst = fs::symlink_status(real, ec);
        if (!ec && lst.type() != fs::file_type::symlink) subdirs.push_back(n);
        continue;
      }
      if (st.type() != fs::file_type::regular || !WildcardMatch(mask, n)) continue;
      if (!AddFile(real, keyDir + "/" + n, spelledDir + n, st)) return false;
      ++found;
    }
    if (options.recurse) {
      for (const std::string& n : subdirs) {
        std::string real = realDir.empty() ? n : realDir + "/" + n;
        if (!Walk(real, spelledDir + n + "/", mask, found)) return false;
      }
    }
    return true;
  }
};

}  // namespace

bool GatherFiles(const std::vector<std::string>& patterns, const GatherOptions& options, std::vector<CabEntry>& entries,
                 std::vector<std::string>& warnings, std::string& error) {
  Walker w{options, entries, error, {}, false};
  std::error_code ec;
  if (!options.excludePath.empty()) {
    static_cast<void>(fs::status(options.excludePath, ec));
    w.haveExclude = !ec;
  }
  for (const std::string& raw : patterns) {
    std::string spelled = ForwardSlashes(Unquote(raw));
    if (spelled.empty()) continue;
    size_t slash = spelled.rfind('/');
    std::string spelledDir = slash == std::string::npos ? "" : spelled.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? spelled : spelled.substr(slash + 1);
    if (mask.empty()) {
      mask = "*.*";  // "src\" means the folder's files
    } else if (!HasWildcards(mask)) {
      std::string real = ResolvePath(spelled);
      if (fs::is_directory(real, ec)) {
        spelledDir = spelled + "/";
        mask = "*.*";
      }
    }
    std::string realDir = spelledDir.empty() ? "" : ResolvePath(spelledDir);
    while (realDir.size() > 1 && realDir.back() == '/') realDir.pop_back();
    if (!realDir.empty() && !fs::is_directory(realDir, ec)) {
      warnings.push_back("no folder " + realDir + " for the pattern " + raw);
      continue;
    }
    size_t found = 0;
    if (!w.Walk(realDir, spelledDir, mask, found)) return false;
    if (found == 0) warnings.push_back("no files match " + raw);
  }
  return true;
}

}  // namespace kiv::cab
