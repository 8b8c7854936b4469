// kivcd.ini: the writer lays out the file itself (padded key literals, quoted
// texts, CR LF); the reader looks keys up by name through INIFile, which
// ignores the padding and strips the quotes.
#include "cdtool/settings/session_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "cdtool/settings/win10_checks.h"
#include "common/failure_cause.h"
#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/product_key.h"

namespace kiv {

namespace {

// Stored digit -> check box state: 0, 1 and 2 as they are; anything else
// non-zero reads as checked.
int FlagValue(const std::string& text) {
  const double v = LenientNumber(text);
  if (v == 0.0) return 0;
  if (v == 2.0) return 2;
  return 1;
}

void TrimAll(std::string& s) { s = Trim(s); }

}  // namespace

bool SessionSettings::operator==(const SessionSettings& o) const { return KivCdIniText(*this) == KivCdIniText(o); }

std::string SettingsPath(const std::string& programFolder) { return JoinPath(programFolder, kSettingsFile); }

std::string HomeFolder(const Environment& environment) {
  if (std::string home = environment.Get("HOME"); !home.empty()) return home;
  if (std::optional<std::string> home = AccountHomeFolder()) return *home;
  return "/";
}

std::string QuotedText(const std::string& text) {
  std::string t = Trim(text);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') return t;
  return "\"" + t + "\"";
}

std::string AbsoluteIsoPath(const std::string& ISOLocation) {
  std::error_code ec;
  std::filesystem::path p(ISOLocation);
  if (p.is_absolute()) return ISOLocation;
  std::filesystem::path abs = std::filesystem::absolute(p, ec);
  return ec ? ISOLocation : abs.string();
}

bool HasProductKey(const KeyParts& key) {
  for (const std::string& part : key)
    if (!Trim(part).empty()) return true;
  return false;
}

namespace {

// One key of kivcd.ini: where it lives, how it is written, and the member
// that holds it. The table is the file's order.
struct Field {
  enum class Kind {
    Flag,        // the digit, bare
    QuotedFlag,  // the digit in double quotes
    BareText,    // the trimmed text, bare
    Text,        // the trimmed text in double quotes
    Key,         // the five groups joined by '-', as Text
    Boolean,     // True or False, as Text
  };
  const char* section;
  const char* key;
  Kind kind;
  std::function<int&(SessionSettings&)> flag;
  std::function<std::string&(SessionSettings&)> text;
  std::function<KeyParts&(SessionSettings&)> parts;
  std::function<bool&(SessionSettings&)> boolean;
};

using Kind = Field::Kind;
using S = SessionSettings;

Field FlagField(const char* sec, const char* key, std::function<int&(S&)> get, Kind kind = Kind::Flag) {
  return Field{sec, key, kind, std::move(get), {}, {}, {}};
}
Field TextField(const char* sec, const char* key, std::function<std::string&(S&)> get, Kind kind = Kind::Text) {
  return Field{sec, key, kind, {}, std::move(get), {}, {}};
}
Field KeyField(const char* sec, std::function<KeyParts&(S&)> get) {
  return Field{sec, "ProductKey", Kind::Key, {}, {}, std::move(get), {}};
}

const std::vector<Field>& Fields() {
  static const std::vector<Field> fields = {
      FlagField("Main", "BootDisks", [](S& s) -> int& { return s.Main.BootDisks; }),
      FlagField("Main", "Windows2K", [](S& s) -> int& { return s.Main.Windows2K; }),
      FlagField("Main", "Windows9x", [](S& s) -> int& { return s.Main.Windows9x; }),
      FlagField("Main", "AdvancedTools", [](S& s) -> int& { return s.Main.AdvancedTools; }),
      TextField(
          "Main", "ISOLocation", [](S& s) -> std::string& { return s.Main.ISOLocation; }, Kind::BareText),
      FlagField("Main", "CleanSession", [](S& s) -> int& { return s.Main.CleanSession; }),
      FlagField("Main", "OptimizeISO", [](S& s) -> int& { return s.Main.OptimizeISO; }),
      FlagField("Main", "LinuxRescue", [](S& s) -> int& { return s.Main.LinuxRescue; }),
      FlagField("Main", "Windows10", [](S& s) -> int& { return s.Main.Windows10; }),
      TextField("LinuxRescue", "Mirror", [](S& s) -> std::string& { return s.LinuxRescue.Mirror; }),

      FlagField("BootDisks", "Use_LorvaPlus", [](S& s) -> int& { return s.BootDisks.Use_LorvaPlus; }),
      FlagField("BootDisks", "AcceptDrivers", [](S& s) -> int& { return s.BootDisks.AcceptDrivers; }),

      TextField("Win2K_Info", "SourceDir", [](S& s) -> std::string& { return s.Win2K_Info.SourceDir; }),
      TextField("Win2K_Info", "SP_exe", [](S& s) -> std::string& { return s.Win2K_Info.SP_exe; }),
      FlagField("Win2K_Info", "In_SetupWin", [](S& s) -> int& { return s.Win2K_Info.In_SetupWin; }),
      FlagField("Win2K_Info", "In_Unattend", [](S& s) -> int& { return s.Win2K_Info.In_Unattend; }),
      FlagField("Win2K_Info", "DelLangFiles", [](S& s) -> int& { return s.Win2K_Info.DelLangFiles; }),
      TextField("Win2K_Info", "TemplateFile", [](S& s) -> std::string& { return s.Win2K_Info.TemplateFile; }),
      TextField("Win2K_Info", "OwnerName", [](S& s) -> std::string& { return s.Win2K_Info.OwnerName; }),
      TextField("Win2K_Info", "Organization", [](S& s) -> std::string& { return s.Win2K_Info.Organization; }),
      KeyField("Win2K_Info", [](S& s) -> KeyParts& { return s.Win2K_Info.ProductKey; }),
      TextField("Win2K_Info", "ComputerName", [](S& s) -> std::string& { return s.Win2K_Info.ComputerName; }),
      TextField("Win2K_Info", "Workgroup", [](S& s) -> std::string& { return s.Win2K_Info.Workgroup; }),
      Field{
          "Win2K_Info", "JoinDomain", Kind::Boolean, {}, {}, {}, [](S& s) -> bool& { return s.Win2K_Info.JoinDomain; }},

      TextField("Win9x_Info", "SourceDir", [](S& s) -> std::string& { return s.Win9x_Info.SourceDir; }),
      FlagField("Win9x_Info", "In_MSBATCH", [](S& s) -> int& { return s.Win9x_Info.In_MSBATCH; }),
      FlagField("Win9x_Info", "In_SetupWin", [](S& s) -> int& { return s.Win9x_Info.In_SetupWin; }),
      TextField("Win9x_Info", "OptimizedFor", [](S& s) -> std::string& { return s.Win9x_Info.OptimizedFor; }),
      TextField("Win9x_Info", "OwnerName", [](S& s) -> std::string& { return s.Win9x_Info.OwnerName; }),
      TextField("Win9x_Info", "Organization", [](S& s) -> std::string& { return s.Win9x_Info.Organization; }),
      KeyField("Win9x_Info", [](S& s) -> KeyParts& { return s.Win9x_Info.ProductKey; }),
      TextField("Win9x_Info", "ComputerName", [](S& s) -> std::string& { return s.Win9x_Info.ComputerName; }),
      TextField("Win9x_Info", "Workgroup", [](S& s) -> std::string& { return s.Win9x_Info.Workgroup; }),

      TextField("Win10_Info", "SourceDir", [](S& s) -> std::string& { return s.Win10_Info.SourceDir; }),
      TextField("Win10_Info", "Edition", [](S& s) -> std::string& { return s.Win10_Info.Edition; }),
      KeyField("Win10_Info", [](S& s) -> KeyParts& { return s.Win10_Info.ProductKey; }),
      TextField("Win10_Info", "ComputerName", [](S& s) -> std::string& { return s.Win10_Info.ComputerName; }),
      TextField("Win10_Info", "OwnerName", [](S& s) -> std::string& { return s.Win10_Info.OwnerName; }),
      TextField("Win10_Info", "Organization", [](S& s) -> std::string& { return s.Win10_Info.Organization; }),
      TextField("Win10_Info", "LocalAccount", [](S& s) -> std::string& { return s.Win10_Info.LocalAccount; }),
      FlagField("Win10_Info", "SkipHardwareChecks", [](S& s) -> int& { return s.Win10_Info.SkipHardwareChecks; }),
      FlagField("Win10_Info", "NoOnlineAccount", [](S& s) -> int& { return s.Win10_Info.NoOnlineAccount; }),
      FlagField("Win10_Info", "SkipPrivacy", [](S& s) -> int& { return s.Win10_Info.SkipPrivacy; }),
      FlagField("Win10_Info", "NoAutoEncryption", [](S& s) -> int& { return s.Win10_Info.NoAutoEncryption; }),
      TextField("Win10_Info", "TimeZone", [](S& s) -> std::string& { return s.Win10_Info.TimeZone; }),
      TextField("Win10_Info", "Locale", [](S& s) -> std::string& { return s.Win10_Info.Locale; }),

      FlagField(
          "Locations", "kivUtils", [](S& s) -> int& { return s.Locations.kivUtils; }, Kind::QuotedFlag),
      TextField("Locations", "kivUtils_Dir", [](S& s) -> std::string& { return s.Locations.kivUtils_Dir; }),
      FlagField(
          "Locations", "AddFiles", [](S& s) -> int& { return s.Locations.AddFiles; }, Kind::QuotedFlag),
      TextField("Locations", "AddFiles_Dir", [](S& s) -> std::string& { return s.Locations.AddFiles_Dir; }),

      FlagField("AdvTools", "Add_BlueCon", [](S& s) -> int& { return s.AdvTools.Add_BlueCon; }),
      FlagField("AdvTools", "Add_ERDCmdr", [](S& s) -> int& { return s.AdvTools.Add_ERDCmdr; }),
      TextField("AdvTools", "BlueCon_Dir", [](S& s) -> std::string& { return s.AdvTools.BlueCon_Dir; }),
      TextField("AdvTools", "ERDCmdr_Dir", [](S& s) -> std::string& { return s.AdvTools.ERDCmdr_Dir; }),
  };
  return fields;
}

// "BootDisks      = ": the key padded to 15 characters ([AdvTools]: 14).
std::string PaddedKey(const Field& f) {
  const size_t width = std::string(f.section) == "AdvTools" ? 14 : 15;
  std::string key = f.key;
  if (key.size() < width) key.append(width - key.size(), ' ');
  return key + "= ";
}

// Sets a field from text as the reader takes it (INIFile has stripped the
// quotes already).
void Assign(const Field& f, SessionSettings& s, const std::string& value) {
  switch (f.kind) {
    case Kind::Flag:
    case Kind::QuotedFlag:
      f.flag(s) = FlagValue(value);
      break;
    case Kind::BareText:
    case Kind::Text:
      f.text(s) = value;
      break;
    case Kind::Key:
      f.parts(s) = SplitProductKey(value);
      break;
    case Kind::Boolean:
      f.boolean(s) = IsTrueText(value);
      break;
  }
}

std::string Encoded(const Field& f, SessionSettings& s) {
  switch (f.kind) {
    case Kind::Flag:
      return std::to_string(f.flag(s));
    case Kind::QuotedFlag:
      return "\"" + std::to_string(f.flag(s)) + "\"";
    case Kind::BareText:
      return Trim(f.text(s));
    case Kind::Text:
      return QuotedText(f.text(s));
    case Kind::Key:
      return QuotedText(JoinProductKey(f.parts(s)));
    case Kind::Boolean:
      return QuotedText(f.boolean(s) ? "True" : "False");
  }
  return "";
}

}  // namespace

std::string SettingsFileProblem(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(ResolvePath(path), bytes)) return "it cannot be read";
  if (bytes.find('\0') != std::string::npos) return "it is not a text file";
  const INIFile ini(ResolvePath(path));
  for (const Field& f : Fields())
    if (!ini.GetINIKey(f.section, f.key).empty()) return "";
  // Not one value: an empty or foreign file, not one the wizard wrote.
  if (bytes.find("[Main]") != std::string::npos) return "";
  return "it holds none of the CD builder's settings";
}

bool StoresSection(const std::string& path, const std::string& section) {
  const INIFile ini(ResolvePath(path));
  for (const Field& f : Fields())
    if (EqualsNoCase(f.section, section) && !Trim(ini.GetINIKey(f.section, f.key)).empty()) return true;
  return false;
}

SessionSettings ReadKivCdIni(const std::string& path) {
  const INIFile ini(ResolvePath(path));
  SessionSettings s;
  for (const Field& f : Fields()) Assign(f, s, Trim(ini.GetINIKey(f.section, f.key)));
  ResolveSettingsIn(s, FolderOf(ResolvePath(path)));
  return s;
}

std::string KivCdIniText(const SessionSettings& settings) {
  SessionSettings s = settings;  // the accessors hand out references
  std::string text;
  std::string section;
  for (const Field& f : Fields()) {
    if (section != f.section) {
      if (!text.empty()) text += "\r\n";
      section = f.section;
      text += "[" + section + "]\r\n";
    }
    text += PaddedKey(f) + Encoded(f, s) + "\r\n";
  }
  return text;
}

bool SetSetting(SessionSettings& settings, const std::string& name, const std::string& value, std::string* error) {
  const size_t dot = name.find('.');
  const std::string section = dot == std::string::npos ? "" : name.substr(0, dot);
  const std::string key = dot == std::string::npos ? name : name.substr(dot + 1);
  for (const Field& f : Fields()) {
    if (!EqualsNoCase(section, f.section) || !EqualsNoCase(key, f.key)) continue;
    // A line break would end the value and start a line of its own (another
    // key, another section) in the file; the other control characters do
    // not read back as they were written.
    if (const auto bad = std::find_if(value.begin(), value.end(),
                                      [](char ch) { return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F; });
        bad != value.end()) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(*bad)));
      if (error)
        *error = name + ": the value holds the control character " + code +
                 " (a line break, tab or the like), which kivcd.ini cannot keep";
      return false;
    }
    if ((f.kind == Kind::Flag || f.kind == Kind::QuotedFlag) && value != "0" && value != "1" && value != "2") {
      if (error) *error = name + ": \"" + value + "\" is not a check box state (0, 1 or 2)";
      return false;
    }
    // What Windows 10/11 Setup would refuse whatever the medium.
    if (std::string why = EqualsNoCase(section, "Win10_Info") ? Win10SettingProblem(f.key, value) : std::string();
        !why.empty()) {
      if (error) *error = std::move(why);
      return false;
    }
    if (f.kind == Kind::Key) {
      if (std::string why = ProductKeySettingProblem(std::string(f.section) + "." + f.key, Trim(value)); !why.empty()) {
        if (error) *error = std::move(why);
        return false;
      }
      Assign(f, settings, ToUpper(Trim(value)));
      return true;
    }
    Assign(f, settings, Trim(value));
    return true;
  }
  if (error) {
    std::string known;
    for (const Field& f : Fields()) known += std::string(known.empty() ? "" : ", ") + f.section + "." + f.key;
    *error = "\"" + name + "\" is not a setting of kivcd.ini (Section.Key, one of: " + known + ")";
  }
  return false;
}

std::string ProductKeySettingProblem(const std::string& name, const std::string& value) {
  const std::string problem = StoredProductKeyProblem(value);
  if (problem.empty()) return "";
  return name + " \"" + value + "\" is not a product key: " + problem + " (" + kProductKeyRule + ")";
}

std::string StoredProductKeysProblem(const std::string& path) {
  const INIFile ini(ResolvePath(path));
  std::string problems;
  for (const Field& f : Fields()) {
    if (f.kind != Kind::Key) continue;
    const std::string name = std::string(f.section) + "." + f.key;
    if (std::string why = ProductKeySettingProblem(name, Trim(ini.GetINIKey(f.section, f.key))); !why.empty())
      problems += (problems.empty() ? "" : ". ") + why;
  }
  return problems;
}

bool WriteKivCdIni(const std::string& path, const SessionSettings& settings, std::string* error) {
  std::error_code writeError;
  if (WriteFileAtomic(ResolvePath(path), KivCdIniText(SettingsRelativeTo(settings, FolderOf(ResolvePath(path)))),
                      &writeError))
    return true;
  if (error) *error = WriteFailureCause(writeError);
  return false;
}

namespace {

std::vector<std::string*> FolderPaths(SessionSettings& s) {
  return {&s.Main.ISOLocation, &s.Win2K_Info.TemplateFile, &s.Locations.kivUtils_Dir, &s.Locations.AddFiles_Dir};
}

}  // namespace

SessionSettings SettingsRelativeTo(SessionSettings settings, const std::string& folder) {
  std::string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  if (trimmed.empty()) return settings;
  const std::filesystem::path base = std::filesystem::path(trimmed).lexically_normal();
  for (std::string* text : FolderPaths(settings)) {
    const std::filesystem::path p(Trim(*text));
    if (!p.is_absolute()) continue;
    const std::filesystem::path relative = p.lexically_normal().lexically_relative(base);
    // Inside: no ".." first, and not the folder itself.
    if (relative.empty() || *relative.begin() == ".." || relative == ".") continue;
    *text = relative.generic_string();
  }
  return settings;
}

void ResolveSettingsIn(SessionSettings& settings, const std::string& folder) {
  for (std::string* text : FolderPaths(settings)) {
    const std::string t = Trim(*text);
    if (t.empty() || std::filesystem::path(t).is_absolute()) continue;
    *text = (std::filesystem::path(folder) / t).lexically_normal().string();
  }
}

void NormaliseSettings(SessionSettings& s) {
  TrimAll(s.Main.ISOLocation);
  if (!s.Main.ISOLocation.empty()) s.Main.ISOLocation = AbsoluteIsoPath(s.Main.ISOLocation);
  for (std::string* text :
       {&s.Win2K_Info.SourceDir, &s.Win2K_Info.SP_exe, &s.Win2K_Info.TemplateFile, &s.Win9x_Info.SourceDir,
        &s.Locations.kivUtils_Dir, &s.Locations.AddFiles_Dir, &s.AdvTools.BlueCon_Dir, &s.AdvTools.ERDCmdr_Dir})
    TrimAll(*text);
}

}  // namespace kiv
