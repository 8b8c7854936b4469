#include "common/paths.h"

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace kiv {

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Glob match of '*' and '?' without special dot rules, case-insensitive.
bool PlainMatch(const std::string& p, const std::string& n) {
  size_t pi = 0, ni = 0, starP = std::string::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || LowerAscii(p[pi]) == LowerAscii(n[ni]))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starN = ni;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

bool LstatOk(const std::string& p) {
  std::error_code ec;
  static_cast<void>(std::filesystem::symlink_status(p, ec));
  return !ec;
}

// Real name of `name` inside `folder` (exact spelling first, then the first
// case-insensitive match in sorted order); "" when none.
std::string FindEntryNoCase(const std::string& folder, const std::string& name) {
  std::string dir = folder.empty() ? "." : folder;
  std::string exact = folder.empty() ? name : (folder.back() == '/' ? folder + name : folder + "/" + name);
  if (LstatOk(exact)) return name;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return "";
  std::vector<std::string> hits;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    if (EqualsNoCase(n, name)) hits.push_back(n);
  }
  ::closedir(d);
  if (hits.empty()) return "";
  std::sort(hits.begin(), hits.end());
  return hits.front();
}

}  // namespace

std::string NativePath(const std::string& path) {
#ifdef _WIN32
  return path;
#else
  std::string r = path;
  std::replace(r.begin(), r.end(), '\\', '/');
  return r;
#endif
}

std::string WindowsPath(const std::string& path) {
  std::string r = path;
  std::replace(r.begin(), r.end(), '/', '\\');
  return r;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string AddSlash(const std::string& path) {
  std::string t = Trim(path);
  if (!t.empty() && IsSep(t.back())) return path;
  return TrimRight(path) + kSep;
}

std::string Unquote(const std::string& text) {
  std::string t = Trim(text);
  if (!t.empty() && t.front() == '"' && t.back() == '"') {
    if (t.size() < 2) return "";
    return t.substr(1, t.size() - 2);
  }
  return t;
}

std::string Quote(const std::string& text, bool force, bool trimFirst) {
  std::string t = trimFirst ? Trim(text) : text;
  if (t.empty() && !force) return t;
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') return t;
  return "\"" + t + "\"";
}

std::string StripNull(const std::string& text) {
  size_t p = text.find('\0');
  return p == std::string::npos ? text : text.substr(0, p);
}

std::string ShortPath(const std::string& path) { return StripNull(path); }

bool SplitPath(const std::string& path, std::string& folder, std::string& file) {
  size_t p = path.find_last_of("/\\");
  if (p == std::string::npos) {
    std::error_code ec;
    folder = std::filesystem::current_path(ec).string();  // "" when it cannot be read
    file = path;
    return false;
  }
  if (p + 1 == path.size()) return false;
  folder = path.substr(0, p);
  file = path.substr(p + 1);
  return true;
}

std::string FolderOf(const std::string& path) {
  std::string folder, file;
  SplitPath(path, folder, file);
  return folder;
}

bool IsAbsolutePath(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return true;
#ifdef _WIN32
  return path.size() >= 2 && IsSep(path[0]) && IsSep(path[1]);
#else
  return !path.empty() && IsSep(path[0]);
#endif
}

std::string JoinPath(const std::string& folder, const std::string& relative) {
  std::string f = NativePath(folder);
  std::string r = NativePath(relative);
  if (f.empty()) return r;
  while (!r.empty() && r.front() == kSep) r.erase(0, 1);
  bool root = f.find_first_not_of(kSep) == std::string::npos;
  while (f.size() > 1 && f.back() == kSep) f.pop_back();
  if (root) return std::string(1, kSep) + r;
  if (r.empty()) return f + kSep;
  return f + kSep + r;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string ToLower(std::string s) {
  for (char& c : s) c = LowerAscii(c);
  return s;
}

std::string ToUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern.empty()) return name.empty();
  if (PlainMatch(pattern, name)) return true;
  // "x.*": the dot and the extension are optional ("*.*" matches "README").
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      PlainMatch(pattern.substr(0, pattern.size() - 2), name))
    return true;
  // "x.": a trailing dot asks for names without an extension.
  if (pattern.back() == '.' && name.find('.') == std::string::npos &&
      PlainMatch(pattern.substr(0, pattern.size() - 1), name))
    return true;
  return false;
}

std::string ResolvePathPrefix(const std::string& path) {
  std::string native = NativePath(path);
  if (native.empty()) return native;
  std::string out;
  size_t i = 0;
  if (native[0] == '/') {
    out = "/";
    while (i < native.size() && native[i] == '/') ++i;
  }
  bool matching = true;
  while (i < native.size()) {
    size_t j = native.find('/', i);
    if (j == std::string::npos) j = native.size();
    std::string comp = native.substr(i, j - i);
    size_t next = j;
    while (next < native.size() && native[next] == '/') ++next;
    if (!comp.empty()) {
      std::string real = comp;
      if (matching && comp != "." && comp != "..") {
        std::string found = FindEntryNoCase(out, comp);
        if (found.empty()) matching = false;
        else real = found;
      }
      if (!out.empty() && out.back() != '/') out += '/';
      out += real;
    }
    i = next;
  }
  if (native.back() == '/' && !out.empty() && out.back() != '/') out += '/';
  return out;
}

std::string ResolvePath(const std::string& path) {
  std::string resolved = ResolvePathPrefix(path);
  if (!resolved.empty() && LstatOk(resolved)) return resolved;
  return NativePath(path);
}

namespace {

// The path with every symbolic link resolved, including links whose target
// does not exist yet (writing through such a link creates the target), and
// "." and ".." applied. Empty after too many links (a loop).
std::filesystem::path FollowLinks(const std::filesystem::path& start) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path absolute = fs::absolute(start, ec);
  if (ec) return {};
  std::vector<fs::path> pending(absolute.begin(), absolute.end());
  std::reverse(pending.begin(), pending.end());  // next component at the back
  fs::path result = absolute.root_path();
  if (!pending.empty() && pending.back() == absolute.root_path()) pending.pop_back();
  int links = 0;
  while (!pending.empty()) {
    const fs::path part = pending.back();
    pending.pop_back();
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      result = result.parent_path();
      continue;
    }
    const fs::path candidate = result / part;
    if (!fs::is_symlink(fs::symlink_status(candidate, ec))) {
      result = candidate;
      continue;
    }
    if (++links > 40) return {};
    const fs::path target = fs::read_symlink(candidate, ec);
    if (ec) return {};
    if (target.is_absolute()) result = target.root_path();
    const fs::path relative = target.relative_path();
    std::vector<fs::path> parts(relative.begin(), relative.end());
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) pending.push_back(*it);
  }
  return result;
}

}  // namespace

std::string RealPathWithin(const std::string& folder, const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path root = FollowLinks(fs::path(folder));
  const fs::path real = FollowLinks(fs::path(path));
  if (root.empty() || real.empty()) return "";
  const fs::path rel = real.lexically_relative(root);
  if (rel.empty() || *rel.begin() == "..") return "";
  return rel.generic_string();
}

}  // namespace kiv
