#pragma once
// The CD builder's session settings (kivcd.ini) as a plain value: one member
// a key, named after the key, grouped by section. The wizard fills its
// controls from it and writes it back; the build run, `--build`, `--try`,
// `--write-usb` and the finish page take the value and never a form.
//
// Flags keep the stored digit (0 unchecked, 1 checked, 2 greyed) so a file
// reads and writes back unchanged; On() is how the build reads them.
#include <string>

#include "cdtool/win10/win10_answers.h"
#include "common/environment.h"
#include "common/setup_answer.h"

namespace kiv {

inline constexpr const char* kSettingsFile = "kivcd.ini";

// A check box flag counts as set when checked or greyed.
inline bool On(int flag) { return flag != 0; }

struct SessionSettings {
  struct MainSection {
    int BootDisks = 1;
    int Windows2K = 1;
    int Windows9x = 1;
    int AdvancedTools = 0;
    std::string ISOLocation;  // absolute once loaded (see NormaliseSettings)
    int CleanSession = 0;
    int OptimizeISO = 0;
    int LinuxRescue = 1;  // the Linux rescue system (Debian) in /live
    int Windows10 = 0;    // Windows 10/11 setup, from the user's ISO image or folder
  } Main;

  struct BootDisksSection {
    int Use_LorvaPlus = 1;
    int AcceptDrivers = 1;
  } BootDisks;

  // TemplateFile, OwnerName, Organization, ProductKey, ComputerName,
  // Workgroup and JoinDomain are the answer record's own members.
  struct Win2KSection : Win2KInfo {
    std::string SourceDir;
    std::string SP_exe;  // empty: no service pack is integrated
    int In_SetupWin = 1;
    int In_Unattend = 0;
    int DelLangFiles = 0;
  } Win2K_Info;

  // OptimizedFor, OwnerName, Organization, ProductKey, ComputerName and
  // Workgroup are the answer record's own members.
  struct Win9xSection : Win9xInfo {
    std::string SourceDir;
    int In_MSBATCH = 0;
    int In_SetupWin = 1;
  } Win9x_Info;

  // Edition, ProductKey, ComputerName, OwnerName, Organization, LocalAccount,
  // the four options, TimeZone and Locale are the answers' own members.
  struct Win10Section : Win10Info {
    std::string SourceDir;  // the medium: an ISO image file or a folder
  } Win10_Info;

  struct LocationsSection {
    int kivUtils = 1;
    std::string kivUtils_Dir;
    int AddFiles = 1;
    std::string AddFiles_Dir;
  } Locations;

  // Where the rescue system's packages come from: "" for this machine's apt
  // sources, a mirror's URL, or a local mirror's folder.
  struct LinuxRescueSection {
    std::string Mirror;
  } LinuxRescue;

  struct AdvToolsSection {
    int Add_BlueCon = 0;
    int Add_ERDCmdr = 0;
    std::string BlueCon_Dir;
    std::string ERDCmdr_Dir;
  } AdvTools;

  bool operator==(const SessionSettings&) const;
};

// The boot-menu password of one build. Never stored in kivcd.ini.
struct BootPassword {
  bool Protect = false;  // "Password Protect the created CD"
  std::string Password;
  std::string Confirmation;
};

// The user's home folder (stands in for drive C: in the design defaults):
// HOME as the program was started with it, else the account's.
std::string HomeFolder(const Environment& environment);
// Trimmed text in double quotes, unless already enclosed in them; "" stays "\"\"".
std::string QuotedText(const std::string& text);

// <programFolder>/kivcd.ini
std::string SettingsPath(const std::string& programFolder);

// Every key read from an existing file; a missing key reads as empty (a flag
// as 0). Relative paths of the program folder made absolute (see
// SettingsRelativeTo); otherwise not normalised.
SessionSettings ReadKivCdIni(const std::string& path);

// Whether the settings file at `path` holds a value of `section` (a file
// written before the section existed holds none).
bool StoresSection(const std::string& path, const std::string& section);

// Why an existing settings file cannot be taken as the CD builder's settings
// (not text, or none of its keys); "" when it can.
std::string SettingsFileProblem(const std::string& path);

// The file's exact bytes: padded key literals, quoted texts, CR LF.
std::string KivCdIniText(const SessionSettings& settings);

// One setting by name ("Main.ISOLocation", "Locations.kivUtils"; letter case
// ignored), the value as the file holds it without quotes. False, with
// `error` naming the setting or the value at fault, for a name kivcd.ini does
// not have, a check box state other than 0, 1 or 2, or a product key that
// is not one (ProductKeySettingProblem); `settings` is then unchanged. A
// product key is stored in capitals.
bool SetSetting(SessionSettings& settings, const std::string& name, const std::string& value, std::string* error);

// Why a product key as kivcd.ini holds it cannot go onto the CD, naming the
// setting ("Win2K_Info.ProductKey") and the value; "" for a whole key or none.
// `--set` refuses such a key with it.
std::string ProductKeySettingProblem(const std::string& name, const std::string& value);
// The same for every product key stored in the settings file at `path`
// (joined by ". "); "" when they pass. Read from the file's own text, as the
// value is split into boxes by position and would lose what does not fit.
std::string StoredProductKeysProblem(const std::string& path);

// Writes through a temporary file beside `path`; false when that fails. The
// paths that lie inside the folder of `path` (the program folder) are
// stored relative to it (see SettingsRelativeTo).
// A write that fails says why in `error` when given (a full disk in those words).
bool WriteKivCdIni(const std::string& path, const SessionSettings& settings, std::string* error = nullptr);

// The program folder can be copied or moved: the ISO, the answer-file
// template, the utilities and the additional files, where they lie inside
// `folder`, are stored relative to it ("kivcd-demo.iso", "demo/utils") and
// read back against the folder the settings are read from (ReadKivCdIni
// does). Paths elsewhere,
// and absolute paths a file already holds, stay as they are.
SessionSettings SettingsRelativeTo(SessionSettings settings, const std::string& folder);
void ResolveSettingsIn(SessionSettings& settings, const std::string& folder);

// Blanks around every text removed and the ISO location made absolute (a relative one is taken from the current
// folder), so everybody looks at the same file.
void NormaliseSettings(SessionSettings& settings);

// The ISO path as the makecd script names it: absolute, a relative one taken
// from the current folder.
std::string AbsoluteIsoPath(const std::string& ISOLocation);

// The product key the build stores: the five groups, or none when every
// group is empty.
bool HasProductKey(const KeyParts& key);

}  // namespace kiv
