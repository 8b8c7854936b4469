#pragma once
// How the disk builder reads its data files (catalogue, disk definitions,
// Drivers.ini): leading numbers, relative paths that must stay inside their
// folder, counted sections and plain lines.
#include <string>
#include <vector>

namespace kiv {

// Leading-number conversion of the data files: "12abc" -> 12, "" -> 0.
long LeadingNumber(const std::string& text);
// True when a data-file path stays inside the folder it is joined to: not
// absolute (no leading separator, no drive letter) and no ".." component.
bool StaysInside(const std::string& relative);
// Counts the entries of one section, only those ending in Suffix when
// UseSuffix.
int CountSectionEntries(const std::string& FileName, const std::string& Section, bool UseSuffix,
                        const std::string& Suffix);
// Lines of a text file, line ends (LF or CR LF) removed; false if unreadable.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);

}  // namespace kiv
