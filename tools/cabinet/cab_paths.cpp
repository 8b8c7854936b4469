#include "tools/cabinet/cab_paths.h"

#include <dirent.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace kiv::cab {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// True for any entry, a dangling link too.
bool Exists(const std::string& path) {
  std::error_code ec;
  static_cast<void>(std::filesystem::symlink_status(path, ec));
  return !ec;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Plain '*'/'?' matcher, iterative with one back-track point (no recursion,
// so long names cannot blow the stack).
bool Glob(const std::string& p, const std::string& s) {
  size_t pi = 0, si = 0, starP = std::string::npos, starS = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && Lower(p[pi]) == Lower(s[si])))) {
      ++pi;
      ++si;
    } else if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starS = si;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

std::string Unquote(const std::string& arg) {
  std::string s = arg;
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  size_t sep = s.find_first_of(":=");
  if (sep != std::string::npos && s.size() >= sep + 3 && s[sep + 1] == '"' && s.back() == '"')
    return s.substr(0, sep + 1) + s.substr(sep + 2, s.size() - sep - 3);
  return s;
}

std::string ForwardSlashes(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string BackSlashes(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string BaseName(const std::string& path) {
  size_t pos = path.find_last_of("/\\");
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

bool HasWildcards(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, "*.") == 0 &&
      pattern.find_first_of("*?") == pattern.size() - 2) {
    // "*." : names without an extension; "abc*." likewise with the prefix.
    if (name.find('.') != std::string::npos) return false;
    return Glob(pattern.substr(0, pattern.size() - 1), name);
  }
  if (Glob(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 && name.find('.') == std::string::npos)
    return Glob(pattern.substr(0, pattern.size() - 2), name);
  return false;
}

std::string ResolvePath(const std::string& path) {
  std::string p = ForwardSlashes(path);
  if (p.empty() || Exists(p)) return p;
  std::string result;
  size_t pos = 0;
  if (p[0] == '/') {
    result = "/";
    pos = 1;
  }
  bool lost = false;  // once a component is missing, the rest stays as spelled
  while (pos <= p.size()) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string comp = p.substr(pos, next - pos);
    pos = next + 1;
    if (comp.empty()) {
      if (next == p.size() && !result.empty() && result.back() != '/') result += '/';
      if (next == p.size()) break;
      continue;
    }
    std::string base = result.empty() ? std::string() : result;
    if (!base.empty() && base.back() != '/') base += '/';
    std::string candidate = base + comp;
    if (!lost && !Exists(candidate) && comp != "." && comp != "..") {
      std::string dirPath = base.empty() ? "." : base;
      if (DIR* d = ::opendir(dirPath.c_str())) {
        while (dirent* e = ::readdir(d)) {
          if (EqualNoCase(e->d_name, comp)) {
            candidate = base + e->d_name;
            break;
          }
        }
        ::closedir(d);
      }
      if (!Exists(candidate)) lost = true;
    }
    result = candidate;
    if (next == p.size()) break;
  }
  return result;
}

bool IsUnsafeStoredName(const std::string& stored, std::string* reason) {
  auto fail = [&](const char* why) {
    if (reason) *reason = why;
    return true;
  };
  if (stored.empty()) return fail("empty name");
  if (stored[0] == '/' || stored[0] == '\\') return fail("absolute path");
  if (stored.size() >= 2 && stored[1] == ':') return fail("drive letter");
  std::string p = ForwardSlashes(stored);
  size_t pos = 0;
  bool any = false;
  while (pos <= p.size()) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string comp = p.substr(pos, next - pos);
    if (comp == "..") return fail("'..' component");
    if (!comp.empty() && comp != ".") any = true;
    pos = next + 1;
  }
  if (!any) return fail("no file name");
  if (p.back() == '/') return fail("ends in a separator");
  return false;
}

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

std::string TempTemplateBeside(const std::string& path) {
  constexpr size_t kMaxComponent = 255;  // NAME_MAX of the usual file systems
  static const std::string kPrefix = ".", kSuffix = ".XXXXXX";
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t room = kMaxComponent - kPrefix.size() - kSuffix.size();
  if (base.size() > room) {
    size_t cut = room;
    // Do not split a multi-byte character: back off over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
    base.resize(cut);
  }
  return dir + kPrefix + base + kSuffix;
}

}  // namespace kiv::cab
