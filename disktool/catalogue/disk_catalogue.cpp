// The disk catalogue files\disklist.ini: the disk list, and what an entry
// sets up (default image file, driver classes).
#include "disktool/catalogue/disk_catalogue.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "disktool/catalogue/data_files.h"

namespace kiv {

namespace {
constexpr const char* kCustomText = "Custom, load default configuration";
// The highest n of the "[n]" sections the catalogue holds, 0 when none. The
// disk list ends there whatever Count says: rows past the last entry would be
// empty, and a Count of billions would read the file billions of times.
long LastEntrySection(const std::string& path) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return 0;
  long last = 0;
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    if (line.empty() || line[0] != '[') continue;
    const size_t close = line.find(']');  // the profile reader reads "[3" as [3] too
    const std::string inner = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    if (inner.empty() || inner.size() > 9 || inner.find_first_not_of("0123456789") != std::string::npos) continue;
    last = std::max(last, std::stol(inner));
  }
  return last;
}

}  // namespace

DiskCatalogue::DiskCatalogue(std::string programFolder) : programFolder_(std::move(programFolder)) {}

std::string DiskCatalogue::Path() const {
  return ResolvePathPrefix(JoinPath(programFolder_, NativePath("files\\disklist.ini")));
}

std::vector<DiskRow> DiskCatalogue::Rows() const {
  std::vector<DiskRow> rows;
  rows.push_back(DiskRow{kCustomText, "custom", 1, false});
  const INIFile catalogue(Path());
  const long count = std::min(LeadingNumber(catalogue.GetINIKey("Disks_List", "Count")),
                              LastEntrySection(ResolvePath(catalogue.FileName())));
  for (long i = 1; i <= count; ++i) {
    const std::string section = std::to_string(i);
    DiskRow row;
    row.Name = catalogue.GetINIKey(section, "Name");
    row.Text = catalogue.GetINIKey(section, "Desc");
    const int icon = static_cast<int>(LeadingNumber(catalogue.GetINIKey(section, "Icon")));
    row.SmallIcon = icon > 8 ? 1 : icon;
    rows.push_back(row);
  }
  return rows;
}

DiskEntry DiskCatalogue::Entry(int section) const {
  const INIFile catalogue(Path());
  const std::string name = std::to_string(section);
  DiskEntry entry;
  entry.File = catalogue.GetINIKey(name, "file");
  entry.Aspi = LeadingNumber(catalogue.GetINIKey(name, "aspi"));
  entry.Ndis = LeadingNumber(catalogue.GetINIKey(name, "ndis"));
  entry.Netw = LeadingNumber(catalogue.GetINIKey(name, "netw"));
  return entry;
}

}  // namespace kiv
