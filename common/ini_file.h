#pragma once
// Windows-style profile files ("[Section]" heads, "key=value" lines), read and
// written one key at a time. No cache: every call goes to the file, so several
// instances (and several programs) can share one file.
//
// Reading: section and key names match without regard to case; the value is the
// text after the first '=', blanks trimmed, one pair of enclosing double quotes
// removed, then trimmed again; a value of any length is read whole (paths
// easily pass the 99 characters the Windows profile read would keep).
// Missing file, section or key and an empty value all read as "".
//
// Writing: a key is replaced in place or appended at the end of its section; a
// missing section is appended at the end of the file. Other lines are kept byte
// for byte (CR LF or LF line ends, a UTF-8 BOM, binary garbage). The new file is
// written under a temporary name in the same folder and renamed over the old
// one, so a crash never leaves a half-written file. Failures are silent, as
// callers expect; SetINIKey's result tells tests and careful callers.
#include <string>

namespace kiv {

class INIFile {
 public:
  INIFile() = default;
  explicit INIFile(std::string fileName) : fileName_(std::move(fileName)) {}

  // Joins folder and file: trailing separators dropped from the folder, leading
  // ones from the file, one separator between ("C:\" + "a.ini" -> "C:\a.ini",
  // "" + "a.ini" -> "\a.ini"). Both '\' and '/' count as separators; the joint
  // is the native one. Does not touch the disk.
  void CreateIni(const std::string& Drv, const std::string& Dir);

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& New_IniPath) { fileName_ = New_IniPath; }

  std::string GetINIKey(const std::string& Section, const std::string& Key) const;
  // Returns false when the file could not be written (nothing changed then).
  bool SetINIKey(const std::string& Section, const std::string& Key, const std::string& Value) const;
  // Removes the key's line, or the section's head and every line up to the
  // next head (blank lines before that head stay). True when the file reads
  // without it afterwards (also when it was not there).
  bool DeleteINIKey(const std::string& Section, const std::string& Key) const;
  bool DeleteINISection(const std::string& Section) const;

 private:
  std::string fileName_;
};

// Joining rule of CreateIni, usable on its own.
std::string JoinIniPath(const std::string& folder, const std::string& file);

}  // namespace kiv
