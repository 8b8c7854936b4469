// kivcd.ini: the writer lays out the file itself (padded key literals, quoted
// texts, CR LF); the reader looks keys up by name through INIFile, which
// ignores the padding and strips the quotes.
#include "cdtool/settings/session_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include <filesystem>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"

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

// Writes the file's lines; every line ends in CR LF, sections are separated
// by one blank line.
class IniText {
 public:
  void Section(const char* name) {
    if (!text_.empty()) text_ += "\r\n";
    text_ += "[";
    text_ += name;
    text_ += "]\r\n";
  }
  void Line(const char* literal, const std::string& value) {
    text_ += literal;
    text_ += value;
    text_ += "\r\n";
  }
  void Flag(const char* literal, int flag) { Line(literal, std::to_string(flag)); }
  void QuotedFlag(const char* literal, int flag) { Line(literal, "\"" + std::to_string(flag) + "\""); }
  void Text(const char* literal, const std::string& text) { Line(literal, QuotedText(text)); }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

void TrimAll(std::string& s) { s = Trim(s); }

}  // namespace

bool SessionSettings::operator==(const SessionSettings& o) const {
  return KivCdIniText(*this) == KivCdIniText(o);
}

std::string SettingsPath(const std::string& programFolder) { return JoinPath(programFolder, kSettingsFile); }

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

std::string QuotedText(const std::string& text) {
  const std::string t = Trim(text);
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

SessionSettings ReadKivCdIni(const std::string& path) {
  const INIFile ini(ResolvePath(path));
  auto get = [&](const char* section, const char* key) { return Trim(ini.GetINIKey(section, key)); };
  auto flag = [&](const char* section, const char* key) { return FlagValue(get(section, key)); };
  SessionSettings s;

  s.Main.BootDisks = flag("Main", "BootDisks");
  s.Main.Windows2K = flag("Main", "Windows2K");
  s.Main.Windows9x = flag("Main", "Windows9x");
  s.Main.AdvancedTools = flag("Main", "AdvancedTools");
  s.Main.ISOLocation = get("Main", "ISOLocation");
  s.Main.CleanSession = flag("Main", "CleanSession");
  s.Main.OptimizeISO = flag("Main", "OptimizeISO");

  s.BootDisks.Use_LorvaPlus = flag("BootDisks", "Use_LorvaPlus");
  s.BootDisks.AcceptDrivers = flag("BootDisks", "AcceptDrivers");

  SessionSettings::Win2KSection& w2 = s.Win2K_Info;
  w2.SourceDir = get("Win2K_Info", "SourceDir");
  w2.SP_exe = get("Win2K_Info", "SP_exe");
  w2.In_SetupWin = flag("Win2K_Info", "In_SetupWin");
  w2.In_Unattend = flag("Win2K_Info", "In_Unattend");
  w2.DelLangFiles = flag("Win2K_Info", "DelLangFiles");
  w2.TemplateFile = get("Win2K_Info", "TemplateFile");
  w2.OwnerName = get("Win2K_Info", "OwnerName");
  w2.Organization = get("Win2K_Info", "Organization");
  w2.ProductKey = SplitProductKey(get("Win2K_Info", "ProductKey"));
  w2.ComputerName = get("Win2K_Info", "ComputerName");
  w2.Workgroup = get("Win2K_Info", "Workgroup");
  w2.JoinDomain = IsTrueText(get("Win2K_Info", "JoinDomain"));

  SessionSettings::Win9xSection& w9 = s.Win9x_Info;
  w9.SourceDir = get("Win9x_Info", "SourceDir");
  w9.In_MSBATCH = flag("Win9x_Info", "In_MSBATCH");
  w9.In_SetupWin = flag("Win9x_Info", "In_SetupWin");
  w9.OptimizedFor = get("Win9x_Info", "OptimizedFor");
  w9.OwnerName = get("Win9x_Info", "OwnerName");
  w9.Organization = get("Win9x_Info", "Organization");
  w9.ProductKey = SplitProductKey(get("Win9x_Info", "ProductKey"));
  w9.ComputerName = get("Win9x_Info", "ComputerName");
  w9.Workgroup = get("Win9x_Info", "Workgroup");

  s.Locations.kivUtils = flag("Locations", "kivUtils");
  s.Locations.kivUtils_Dir = get("Locations", "kivUtils_Dir");
  s.Locations.AddFiles = flag("Locations", "AddFiles");
  s.Locations.AddFiles_Dir = get("Locations", "AddFiles_Dir");

  s.AdvTools.Add_BlueCon = flag("AdvTools", "Add_BlueCon");
  s.AdvTools.Add_ERDCmdr = flag("AdvTools", "Add_ERDCmdr");
  s.AdvTools.BlueCon_Dir = get("AdvTools", "BlueCon_Dir");
  s.AdvTools.ERDCmdr_Dir = get("AdvTools", "ERDCmdr_Dir");
  return s;
}

std::string KivCdIniText(const SessionSettings& s) {
  IniText f;
  f.Section("Main");
  f.Flag("BootDisks      = ", s.Main.BootDisks);
  f.Flag("Windows2K      = ", s.Main.Windows2K);
  f.Flag("Windows9x      = ", s.Main.Windows9x);
  f.Flag("AdvancedTools  = ", s.Main.AdvancedTools);
  f.Line("ISOLocation    = ", Trim(s.Main.ISOLocation));
  f.Flag("CleanSession   = ", s.Main.CleanSession);
  f.Flag("OptimizeISO    = ", s.Main.OptimizeISO);

  f.Section("BootDisks");
  f.Flag("Use_LorvaPlus  = ", s.BootDisks.Use_LorvaPlus);
  f.Flag("AcceptDrivers  = ", s.BootDisks.AcceptDrivers);

  const SessionSettings::Win2KSection& w2 = s.Win2K_Info;
  f.Section("Win2K_Info");
  f.Text("SourceDir      = ", w2.SourceDir);
  f.Text("SP_exe         = ", w2.SP_exe);
  f.Flag("In_SetupWin    = ", w2.In_SetupWin);
  f.Flag("In_Unattend    = ", w2.In_Unattend);
  f.Flag("DelLangFiles   = ", w2.DelLangFiles);
  f.Text("TemplateFile   = ", w2.TemplateFile);
  f.Text("OwnerName      = ", w2.OwnerName);
  f.Text("Organization   = ", w2.Organization);
  f.Text("ProductKey     = ", JoinProductKey(w2.ProductKey));
  f.Text("ComputerName   = ", w2.ComputerName);
  f.Text("Workgroup      = ", w2.Workgroup);
  f.Text("JoinDomain     = ", w2.JoinDomain ? "True" : "False");

  const SessionSettings::Win9xSection& w9 = s.Win9x_Info;
  f.Section("Win9x_Info");
  f.Text("SourceDir      = ", w9.SourceDir);
  f.Flag("In_MSBATCH     = ", w9.In_MSBATCH);
  f.Flag("In_SetupWin    = ", w9.In_SetupWin);
  f.Text("OptimizedFor   = ", w9.OptimizedFor);
  f.Text("OwnerName      = ", w9.OwnerName);
  f.Text("Organization   = ", w9.Organization);
  f.Text("ProductKey     = ", JoinProductKey(w9.ProductKey));
  f.Text("ComputerName   = ", w9.ComputerName);
  f.Text("Workgroup      = ", w9.Workgroup);

  f.Section("Locations");
  f.QuotedFlag("kivUtils       = ", s.Locations.kivUtils);
  f.Text("kivUtils_Dir   = ", s.Locations.kivUtils_Dir);
  f.QuotedFlag("AddFiles       = ", s.Locations.AddFiles);
  f.Text("AddFiles_Dir   = ", s.Locations.AddFiles_Dir);

  f.Section("AdvTools");
  f.Flag("Add_BlueCon   = ", s.AdvTools.Add_BlueCon);
  f.Flag("Add_ERDCmdr   = ", s.AdvTools.Add_ERDCmdr);
  f.Text("BlueCon_Dir   = ", s.AdvTools.BlueCon_Dir);
  f.Text("ERDCmdr_Dir   = ", s.AdvTools.ERDCmdr_Dir);
  return f.str();
}

bool WriteKivCdIni(const std::string& path, const SessionSettings& settings) {
  return WriteFileAtomic(ResolvePath(path), KivCdIniText(settings));
}

void NormaliseSettings(SessionSettings& s) {
  TrimAll(s.Main.ISOLocation);
  if (!s.Main.ISOLocation.empty()) s.Main.ISOLocation = AbsoluteIsoPath(s.Main.ISOLocation);
  for (std::string* text : {&s.Win2K_Info.SourceDir, &s.Win2K_Info.SP_exe, &s.Win2K_Info.TemplateFile,
                            &s.Win9x_Info.SourceDir, &s.Locations.kivUtils_Dir, &s.Locations.AddFiles_Dir,
                            &s.AdvTools.BlueCon_Dir, &s.AdvTools.ERDCmdr_Dir})
    TrimAll(*text);
}

}  // namespace kiv
