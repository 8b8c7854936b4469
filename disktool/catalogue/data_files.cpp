#include "disktool/catalogue/data_files.h"

#include <cctype>

#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

long LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value > 100000000L) break;  // far beyond any count or flag
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

bool StaysInside(const std::string& relative) {
  const std::string path = Trim(relative);
  if (path.empty()) return true;
  if (path[0] == '\\' || path[0] == '/') return false;
  if (IsAbsolutePath(path)) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    if (Trim(path.substr(start, end - start)) == "..") return false;
    start = end + 1;
  }
  return true;
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return true;
}

int CountSectionEntries(const std::string& FileName, const std::string& Section, bool UseSuffix,
                        const std::string& Suffix) {
  std::vector<std::string> lines;
  if (!ReadLines(FileName, lines)) return 0;
  const std::string header = "[" + Section + "]";
  bool inside = false;
  int count = 0;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == '[') {
      // The header starts the section; it is not an entry of it.
      inside = line == header;
      continue;
    }
    if (!inside || line.empty() || line[0] == ';') continue;
    if (UseSuffix &&
        (line.size() < Suffix.size() || line.compare(line.size() - Suffix.size(), Suffix.size(), Suffix) != 0))
      continue;
    ++count;
  }
  return count;
}

}  // namespace kiv
