#include "common/ini_file.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

namespace {

// One line of the file: its text and its line end ("\r\n", "\n", "\r" or "").
struct Line {
  std::string text;
  std::string end;
};

std::vector<Line> SplitLines(const std::string& bytes) {
  std::vector<Line> lines;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t j = bytes.find_first_of("\r\n", i);
    if (j == std::string::npos) {
      lines.push_back({bytes.substr(i), ""});
      break;
    }
    Line l{bytes.substr(i, j - i), ""};
    if (bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n') {
      l.end = "\r\n";
      i = j + 2;
    } else {
      l.end = std::string(1, bytes[j]);
      i = j + 1;
    }
    lines.push_back(std::move(l));
  }
  return lines;
}

// Text of a line as the parser sees it: a byte-order mark on the first line
// does not belong to the content.
std::string Content(const std::vector<Line>& lines, size_t i) {
  const std::string& t = lines[i].text;
  if (i == 0 && t.compare(0, 3, "\xEF\xBB\xBF") == 0) return t.substr(3);
  return t;
}

// "[name]" -> true and the trimmed name. A head without its closing bracket
// still counts (the rest of the line is the name), as the profile API reads it.
bool SectionHead(const std::string& content, std::string& name) {
  std::string t = Trim(content);
  if (t.empty() || t[0] != '[') return false;
  size_t close = t.find(']');
  name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

// "key = value" -> true, trimmed key and raw value text after the first '='.
bool KeyLine(const std::string& content, std::string& key, std::string& value) {
  size_t eq = content.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(content.substr(0, eq));
  if (!key.empty() && key[0] == ';') return false;  // comment
  value = content.substr(eq + 1);
  return true;
}

// Where a section and a key are in the file.
struct Location {
  bool sectionFound = false;
  size_t sectionLine = 0;  // the head
  size_t sectionEnd = 0;   // one past the section's last line
  bool keyFound = false;
  size_t keyLine = 0;
  std::string rawValue;
};

Location Find(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
  Location loc;
  std::string wantSection = Trim(section), wantKey = Trim(key);
  size_t i = 0;
  for (; i < lines.size(); ++i) {
    std::string name;
    if (SectionHead(Content(lines, i), name) && EqualsNoCase(name, wantSection)) break;
  }
  if (i == lines.size()) return loc;
  loc.sectionFound = true;
  loc.sectionLine = i;
  size_t j = i + 1;
  for (; j < lines.size(); ++j) {
    std::string c = Content(lines, j), name, k, v;
    if (SectionHead(c, name)) break;
    if (!loc.keyFound && KeyLine(c, k, v) && EqualsNoCase(k, wantKey)) {
      loc.keyFound = true;
      loc.keyLine = j;
      loc.rawValue = v;
    }
  }
  loc.sectionEnd = j;
  return loc;
}

// Line breaks in a name or value would split the line in two; blanks stand in.
std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

std::string LineEndOf(const std::vector<Line>& lines) {
  for (const Line& l : lines)
    if (!l.end.empty()) return l.end;
  return "\r\n";  // a new file gets the line ends the Windows profile API writes
}

}  // namespace

std::string JoinIniPath(const std::string& folder, const std::string& file) {
  std::string f = folder, n = file;
  while (!f.empty() && (f.back() == '\\' || f.back() == '/')) f.pop_back();
  while (!n.empty() && (n.front() == '\\' || n.front() == '/')) n.erase(0, 1);
  return NativePath(f + kSep + n);
}

void INIFile::CreateIni(const std::string& Drv, const std::string& Dir) { fileName_ = JoinIniPath(Drv, Dir); }

std::string INIFile::GetINIKey(const std::string& Section, const std::string& Key) const {
  if (fileName_.empty()) return "";
  std::string bytes;
  if (!ReadWholeFile(ResolvePath(fileName_), bytes)) return "";
  std::vector<Line> lines = SplitLines(bytes);
  Location loc = Find(lines, Section, Key);
  if (!loc.keyFound) return "";
  // The profile read hands back a C string: a NUL inside the line ends it.
  std::string v = Trim(StripNull(loc.rawValue));
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  // Read whole, whatever its length: a path cut short names another file.
  return Trim(v);
}

namespace {

// Rewrites the file without the key's line, or without the section (its head
// to its last non-blank line); a missing file, section or key is left as it is.
bool RemoveLines(const std::string& fileName, const std::string& section, const std::string& key, bool wholeSection) {
  if (fileName.empty() || Trim(section).empty()) return false;
  const std::string path = ResolvePathPrefix(fileName);
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return true;
  std::vector<Line> lines = SplitLines(bytes);
  const Location loc = Find(lines, section, wholeSection ? std::string("\n") : key);
  size_t from = 0, to = 0;
  if (wholeSection && loc.sectionFound) {
    from = loc.sectionLine;
    to = loc.sectionEnd;
    while (to > from + 1 && Trim(Content(lines, to - 1)).empty()) --to;
  } else if (!wholeSection && loc.keyFound) {
    from = loc.keyLine;
    to = from + 1;
  }
  if (from == to) return true;
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.begin() + static_cast<std::ptrdiff_t>(to));
  std::string out;
  for (const Line& l : lines) out += l.text + l.end;
  return WriteFileAtomic(path, out);
}

}  // namespace

bool INIFile::DeleteINIKey(const std::string& Section, const std::string& Key) const {
  return !Trim(Key).empty() && RemoveLines(fileName_, Section, Key, false);
}

bool INIFile::DeleteINISection(const std::string& Section) const { return RemoveLines(fileName_, Section, "", true); }

bool INIFile::SetINIKey(const std::string& Section, const std::string& Key, const std::string& Value) const {
  if (fileName_.empty() || Trim(Section).empty() || Trim(Key).empty()) return false;
  std::string path = ResolvePathPrefix(fileName_);
  std::string bytes;
  namespace fs = std::filesystem;
  std::error_code ec;
  if (const fs::file_status st = fs::status(path, ec); !ec) {
    if (st.type() != fs::file_type::regular) return false;
    // A read-only file stays as it is, also for a user who could replace it.
    const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((st.permissions() & write) == fs::perms::none) return false;
    if (!ReadWholeFile(path, bytes)) return false;
  }
  std::vector<Line> lines = SplitLines(bytes);
  const std::string eol = LineEndOf(lines);
  const std::string keyLine = OneLine(Key) + "=" + OneLine(Value);
  Location loc = Find(lines, Section, Key);
  if (loc.keyFound) {
    // Keep a byte-order mark that sits in front of the replaced line.
    std::string bom = (loc.keyLine == 0 && lines[0].text.compare(0, 3, "\xEF\xBB\xBF") == 0) ? "\xEF\xBB\xBF" : "";
    lines[loc.keyLine].text = bom + keyLine;
  } else if (loc.sectionFound) {
    // After the section's last non-blank line, so a blank line that separates
    // it from the next section stays where it is.
    size_t at = loc.sectionEnd;
    while (at > loc.sectionLine + 1 && Trim(Content(lines, at - 1)).empty()) --at;
    if (lines[at - 1].end.empty()) lines[at - 1].end = eol;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{keyLine, eol});
  } else {
    if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
    lines.push_back({"[" + OneLine(Trim(Section)) + "]", eol});
    lines.push_back({keyLine, eol});
  }
  std::string out;
  out.reserve(bytes.size() + keyLine.size() + Section.size() + 8);
  for (const Line& l : lines) out += l.text + l.end;
  return WriteFileAtomic(path, out);
}

}  // namespace kiv
