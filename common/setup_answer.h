#pragma once
// Windows setup answer data shared by both builders: the two answer records,
// the product-key text, the key files (keyfile2.txt written by the CD
// builder's dialogs, keyfile.txt the build's copy that bootsmith reads), and
// the writers of the Windows answer files (MSBATCH.INF for 98/Me, WINNT.SIF /
// unattend.txt for 2000/XP). No widgets: the forms copy these records into
// their controls and back.
#include <array>
#include <initializer_list>
#include <string>
#include <utility>

namespace kiv {

class Platform;

// Five groups of (at most) five characters.
using KeyParts = std::array<std::string, 5>;

// "AAAAA-BBBBB-CCCCC-DDDDD-EEEEE": the parts joined by four dashes, also when
// parts are empty ("----").
std::string JoinProductKey(const KeyParts& parts);
// Splits a stored key. By position (characters 1-5, 7-11, 13-17, 19-23, 25-29,
// the characters between skipped whatever they are), so a ten-character key
// without dashes gives "12345", "7890" and three empty parts. A text made of
// exactly five dash-separated groups of at most five characters is split at
// its dashes instead: for full keys that is the same result, and it keeps a key
// with short or empty groups ("----") from creeping into the first box.
KeyParts SplitProductKey(const std::string& key);

// What typing or pasting `text` into key box `box` (0-4) makes of the boxes,
// as people type and paste keys: a '-' or blank between groups is skipped,
// letters are capitals, and text longer than a box runs on into the next
// ones (a pasted 25-character key, with or without dashes, fills all five).
// Returns the box the caret belongs in next (5: past the last).
int EnterProductKeyText(KeyParts& parts, int box, const std::string& text);

// Leading numeric part of a text (blanks skipped, optional sign, digits, one
// decimal point); 0 when there is none.
double LenientNumber(const std::string& text);
// "True" in any letter case, or a number other than 0.
bool IsTrueText(const std::string& text);

// "" when `value` can go into an answer file as Windows setup reads it
// (Windows-1252); otherwise the message for the dialog, naming the field
// ("Owner Name") and the character.
std::string AnswerTextProblem(const std::string& field, const std::string& value);

// Key-file section names and the default file names in the program folder.
inline constexpr const char* kWin9xSection = "Win9xInfo";
inline constexpr const char* kWin2KSection = "Win2KInfo";
inline constexpr const char* kKeyFile2 = "keyfile2.txt";
inline constexpr const char* kKeyFile = "keyfile.txt";

struct Win9xInfo {
  std::string OwnerName;
  std::string Organization;
  std::string OptimizedFor;
  std::string ComputerName;
  std::string Workgroup;
  KeyParts ProductKey;
  bool operator==(const Win9xInfo&) const = default;
};

struct Win2KInfo {
  std::string TemplateFile;
  std::string OwnerName;
  std::string Organization;
  KeyParts ProductKey;
  std::string ComputerName;
  std::string Workgroup;  // the workgroup, or the domain when JoinDomain
  bool JoinDomain = false;
  bool operator==(const Win2KInfo&) const = default;
};

// Key-file source: when `keyFile` exists, every field is set from its section
// (absent keys give empty fields) and true is returned; otherwise `info` is
// left alone and false is returned.
bool ReadWin9xKeyFile(const std::string& keyFile, Win9xInfo& info);
bool ReadWin2KKeyFile(const std::string& keyFile, Win2KInfo& info);

// Key-file sink: writes the section's keys in the documented order
// ([Win9xInfo] OwnerName, Organization, OptimizedFor, ComputerName,
// Workgroup, ProductKey; [Win2KInfo] TemplateFile, OwnerName, Organization,
// ProductKey, ComputerName, Workgroup, JoinDomain), unquoted. The joined key
// is upper-cased when `upperCaseKey` (the CD builder's dialogs do that).
// JoinDomain is written "True" or "False". Other sections and keys of the
// file stay. False when the file could not be written.
bool WriteWin9xKeyFile(const std::string& keyFile, const Win9xInfo& info, bool upperCaseKey = true);
bool WriteWin2KKeyFile(const std::string& keyFile, const Win2KInfo& info, bool upperCaseKey = true);

// Registry source of the Windows 98/Me record (HKEY_LOCAL_MACHINE values of
// the running Windows). Every missing value, and everything on POSIX, reads
// as empty.
Win9xInfo ReadWin9xRegistry(const Platform& platform);

// FillKeyFile: when <programFolder>/keyfile2.txt exists, copies the chosen
// sections' keys from it into <programFolder>/keyfile.txt, each as read (an
// absent key becomes an empty value). keyfile.txt is not emptied first.
// Returns false only when keyfile.txt could not be written; a missing
// keyfile2.txt is not an error (nothing happens).
bool FillKeyFile(const std::string& programFolder, bool win9x, bool win2k);

// Outcome of the answer-file writers, so the calling step can name what failed.
struct AnswerFileResult {
  enum Status {
    Written,          // the answer file was made
    NoKeyFile,        // the key file is missing: nothing done (not an error)
    TemplateMissing,  // `path` names the template that could not be copied
    WriteFailed,      // `path` names the file that could not be written
  };
  Status status = NoKeyFile;
  std::string path;
  std::string error;
  bool Failed() const { return status == TemplateMissing || status == WriteFailed; }
};

// Windows 98/Me: MSBATCH.INF from files/inf_files/win98_template.inf (when
// OptimizedFor contains "98", case-sensitive) or winme_template.inf, with
// [Setup] ProductKey, [NameAndOrg] Name and Org, [Network] ComputerName and
// Workgroup set from the key file's [Win9xInfo]. An existing `msbatchFile` is
// removed first.
AnswerFileResult FillSetupDataFromKeyFileToMSBatch(const std::string& programFolder, const std::string& keyFile,
                                                   const std::string& msbatchFile);

// The two variants of the 2000/XP answer file writer.
enum class UnattendStyle {
  CdBuilder,    // WINNT.SIF on the CD: writes [Data] MsDosInitiated/UnattendedInstall;
                // names quoted when they hold blanks
  DiskBuilder,  // unattend.txt for winnt.exe: no [Data] section; names trimmed and quoted
};

// Which setup reads the answer file: the key's name differs.
enum class WindowsFamily {
  Unknown,      // both names are written
  Windows2000,  // [UserData] ProductID
  XpOr2003,     // [UserData] ProductKey
};

// Windows 2000/XP: the answer file from the template named by [Win2KInfo]
// TemplateFile (when it exists) or files/inf_files/win2k_template.inf, with
// [UserData] FullName, OrgName, ProductID and/or ProductKey (quoted, as the
// family reads it; empty without a key), ComputerName and [Identification]
// JoinDomain / JoinWorkgroup set from the key file. In workgroup mode the
// JoinDomain line is removed; in domain mode JoinWorkgroup is written empty.
// An existing `answerFile` is removed first.
AnswerFileResult FillSetupDataFromKeyFileToUnattend(const std::string& programFolder, const std::string& keyFile,
                                                    const std::string& answerFile,
                                                    UnattendStyle style = UnattendStyle::CdBuilder,
                                                    WindowsFamily family = WindowsFamily::Unknown);

// Answer-file source: when `answerFile` exists, sets owner, organisation,
// computer name and key from [UserData], and the join mode and name from
// [Identification] (JoinDomain empty: workgroup mode with JoinWorkgroup; then
// JoinWorkgroup empty: domain mode with JoinDomain; both set: mode and name
// unchanged). TemplateFile is not touched. False when the file is missing.
bool FillSetupDataFromUnattend(const std::string& answerFile, Win2KInfo& info);

// The shipped template paths (resolved case-insensitively in the program folder).
std::string Win98TemplatePath(const std::string& programFolder);
std::string WinMeTemplatePath(const std::string& programFolder);
std::string Win2KTemplatePath(const std::string& programFolder);

}  // namespace kiv
