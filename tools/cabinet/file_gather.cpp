#include "tools/cabinet/file_gather.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "tools/cabinet/cab_paths.h"

namespace kiv::cab {
namespace {

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
  bool haveExclude = false;
  std::pair<dev_t, ino_t> exclude{};

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
               const struct stat& st) {
    std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
    if (haveExclude && id == exclude) return true;  // the cabinet being written
    if (!seen.insert(seenKey).second) return true;  // matched by an earlier pattern
    CabEntry e;
    e.sourcePath = real;
    if (!StoredName(spelled, e.storedName)) return false;
    std::tm tm{};
    if (options.fixedTime) {
      time_t t = *options.fixedTime;
      gmtime_r(&t, &tm);
    } else {
      time_t t = st.st_mtime;
      localtime_r(&t, &tm);
    }
    e.stamp = ToDosDateTime(tm);
    e.attribs = kAttrArchive;
    if (!(st.st_mode & S_IWUSR)) e.attribs |= kAttrReadOnly;
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
    char* canonical = ::realpath(realDir.empty() ? "." : realDir.c_str(), nullptr);
    std::string keyDir = canonical ? canonical : realDir;
    std::free(canonical);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      std::string la = LowerAscii(a), lb = LowerAscii(b);
      return la != lb ? la < lb : a < b;
    });
    std::vector<std::string> subdirs;
    for (const std::string& n : names) {
      std::string real = realDir.empty() ? n : realDir + "/" + n;
      struct stat st;
      if (::stat(real.c_str(), &st) != 0) continue;  // dangling link
      if (S_ISDIR(st.st_mode)) {
        struct stat lst;
        if (::lstat(real.c_str(), &lst) == 0 && !S_ISLNK(lst.st_mode)) subdirs.push_back(n);
        continue;
      }
      if (!S_ISREG(st.st_mode) || !WildcardMatch(mask, n)) continue;
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

std::string NormaliseRelative(const std::string& path) {
  std::string p = ForwardSlashes(path), out;
  size_t pos = 0;
  while (pos <= p.size()) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string comp = p.substr(pos, next - pos);
    if (!comp.empty() && comp != ".") {
      if (!out.empty()) out += '/';
      out += comp;
    }
    pos = next + 1;
  }
  return out;
}

bool GatherFiles(const std::vector<std::string>& patterns, const GatherOptions& options,
                 std::vector<CabEntry>& entries, std::vector<std::string>& warnings, std::string& error) {
  Walker w{options, entries, error, {}, false, {}};
  struct stat xst;
  if (!options.excludePath.empty() && ::stat(options.excludePath.c_str(), &xst) == 0) {
    w.haveExclude = true;
    w.exclude = {xst.st_dev, xst.st_ino};
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
      struct stat st;
      std::string real = ResolvePath(spelled);
      if (::stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        spelledDir = spelled + "/";
        mask = "*.*";
      }
    }
    std::string realDir = spelledDir.empty() ? "" : ResolvePath(spelledDir);
    while (realDir.size() > 1 && realDir.back() == '/') realDir.pop_back();
    struct stat dst;
    if (!realDir.empty() && (::stat(realDir.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode))) {
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
