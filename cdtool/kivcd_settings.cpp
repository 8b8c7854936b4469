// kivcd.ini: the CD builder's session settings. The writer lays out the file
// itself (padded key literals, quoted texts, CR LF); the reader looks keys up
// by name through INIFile, which ignores the padding and strips the quotes.
#include <string>

#include "cdtool/frm_cd_build.h"
#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "common/setup_answer.h"

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

std::string JoinKey(const std::array<TextBox, 5>& boxes) {
  KeyParts parts;
  for (int i = 0; i < 5; ++i) parts[i] = boxes[i].Text;
  return JoinProductKey(parts);
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
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

std::string Flag(const CheckBox& box) { return std::to_string(box.Value); }
std::string QuotedFlag(const CheckBox& box) { return "\"" + std::to_string(box.Value) + "\""; }

}  // namespace

std::string FrmCDBuild::SettingsPath() const { return JoinPath(programFolder_, "kivcd.ini"); }

void FrmCDBuild::ReadKivCDINI() {
  const INIFile ini(ResolvePath(SettingsPath()));
  auto get = [&](const char* section, const char* key) { return Trim(ini.GetINIKey(section, key)); };
  auto flag = [&](CheckBox& box, const char* section, const char* key) {
    SetCheck(box, FlagValue(get(section, key)));
  };
  auto keyParts = [](auto& dialog, const std::string& stored) {
    const KeyParts parts = SplitProductKey(stored);
    for (int i = 0; i < 5; ++i) dialog.SetKeyPart(i, parts[i]);
  };

  flag(ChkGet_kivdisks, "Main", "BootDisks");
  flag(ChkGet_Win2k, "Main", "Windows2K");
  flag(ChkGet_Win9x, "Main", "Windows9x");
  flag(ChkGet_Advtools, "Main", "AdvancedTools");
  TxtISOLoc.Text = get("Main", "ISOLocation");
  flag(ChkCleanSession, "Main", "CleanSession");
  flag(ChkOptimizeISO, "Main", "OptimizeISO");

  flag(ChkGet_kivnetplus, "BootDisks", "Use_LorvaPlus");
  flag(ChkSelectDrivers, "BootDisks", "AcceptDrivers");

  Txt_i386_Loc.Text = get("Win2K_Info", "SourceDir");
  TxtSP_exe.Text = get("Win2K_Info", "SP_exe");
  // No key of its own: an empty service-pack path means integration was off.
  if (TxtSP_exe.Text.empty()) SetCheck(ChkSlipstream, 0);
  flag(ChkWin2KInfo_Assis, "Win2K_Info", "In_SetupWin");
  flag(ChkWin2KInfo_Unattend, "Win2K_Info", "In_Unattend");
  flag(ChkDelTree_Lang, "Win2K_Info", "DelLangFiles");
  {
    FrmWin2KInfo& d = Win2KInfo();  // loads the dialog (its Form_Load runs first)
    d.TxtTemplate.Text = get("Win2K_Info", "TemplateFile");
    d.TxtOwner.Text = get("Win2K_Info", "OwnerName");
    d.TxtOrg.Text = get("Win2K_Info", "Organization");
    keyParts(d, get("Win2K_Info", "ProductKey"));
    d.TxtPCName.Text = get("Win2K_Info", "ComputerName");
    d.TxtWorkgroup.Text = get("Win2K_Info", "Workgroup");
    d.SelectJoinDomain(IsTrueText(get("Win2K_Info", "JoinDomain")));
  }

  TxtWin9x_Loc.Text = get("Win9x_Info", "SourceDir");
  flag(ChkWin9xInfo_MSBatch, "Win9x_Info", "In_MSBATCH");
  flag(ChkWin9xInfo_Assis, "Win9x_Info", "In_SetupWin");
  {
    FrmWin9xInfo& d = Win9xInfo();
    d.TxtOSType.Text = get("Win9x_Info", "OptimizedFor");
    d.TxtOwner.Text = get("Win9x_Info", "OwnerName");
    d.TxtOrg.Text = get("Win9x_Info", "Organization");
    keyParts(d, get("Win9x_Info", "ProductKey"));
    d.TxtPCName.Text = get("Win9x_Info", "ComputerName");
    d.TxtWorkgroup.Text = get("Win9x_Info", "Workgroup");
    d.FillSetupDataToKeyFile();
  }

  flag(ChkKivUtils, "Locations", "kivUtils");
  TxtUtils_Loc.Text = get("Locations", "kivUtils_Dir");
  flag(ChkAddFiles, "Locations", "AddFiles");
  TxtAddFiles_Loc.Text = get("Locations", "AddFiles_Dir");

  flag(ChkBCon, "AdvTools", "Add_BlueCon");
  flag(ChkERDC, "AdvTools", "Add_ERDCmdr");
  TxtBCon.Text = get("AdvTools", "BlueCon_Dir");
  TxtERDC.Text = get("AdvTools", "ERDCmdr_Dir");
}

std::string FrmCDBuild::KivCDINIText() {
  if (!ChkSlipstream.Checked()) TxtSP_exe.Text.clear();
  IniText f;
  f.Section("Main");
  f.Line("BootDisks      = ", Flag(ChkGet_kivdisks));
  f.Line("Windows2K      = ", Flag(ChkGet_Win2k));
  f.Line("Windows9x      = ", Flag(ChkGet_Win9x));
  f.Line("AdvancedTools  = ", Flag(ChkGet_Advtools));
  f.Line("ISOLocation    = ", Trim(TxtISOLoc.Text));
  f.Line("CleanSession   = ", Flag(ChkCleanSession));
  f.Line("OptimizeISO    = ", Flag(ChkOptimizeISO));

  f.Section("BootDisks");
  f.Line("Use_LorvaPlus  = ", Flag(ChkGet_kivnetplus));
  f.Line("AcceptDrivers  = ", Flag(ChkSelectDrivers));

  f.Section("Win2K_Info");
  f.Line("SourceDir      = ", QuotedText(Txt_i386_Loc.Text));
  f.Line("SP_exe         = ", QuotedText(TxtSP_exe.Text));
  f.Line("In_SetupWin    = ", Flag(ChkWin2KInfo_Assis));
  f.Line("In_Unattend    = ", Flag(ChkWin2KInfo_Unattend));
  f.Line("DelLangFiles   = ", Flag(ChkDelTree_Lang));
  {
    FrmWin2KInfo& d = Win2KInfo();
    f.Line("TemplateFile   = ", QuotedText(d.TxtTemplate.Text));
    f.Line("OwnerName      = ", QuotedText(d.TxtOwner.Text));
    f.Line("Organization   = ", QuotedText(d.TxtOrg.Text));
    f.Line("ProductKey     = ", QuotedText(JoinKey(d.TxtKeyPart)));
    f.Line("ComputerName   = ", QuotedText(d.TxtPCName.Text));
    f.Line("Workgroup      = ", QuotedText(d.TxtWorkgroup.Text));
    f.Line("JoinDomain     = ", QuotedText(d.OptJoinDomain.Value ? "True" : "False"));
  }

  f.Section("Win9x_Info");
  f.Line("SourceDir      = ", QuotedText(TxtWin9x_Loc.Text));
  f.Line("In_MSBATCH     = ", Flag(ChkWin9xInfo_MSBatch));
  f.Line("In_SetupWin    = ", Flag(ChkWin9xInfo_Assis));
  {
    FrmWin9xInfo& d = Win9xInfo();
    f.Line("OptimizedFor   = ", QuotedText(d.TxtOSType.Text));
    f.Line("OwnerName      = ", QuotedText(d.TxtOwner.Text));
    f.Line("Organization   = ", QuotedText(d.TxtOrg.Text));
    f.Line("ProductKey     = ", QuotedText(JoinKey(d.TxtKeyPart)));
    f.Line("ComputerName   = ", QuotedText(d.TxtPCName.Text));
    f.Line("Workgroup      = ", QuotedText(d.TxtWorkgroup.Text));
  }

  f.Section("Locations");
  f.Line("kivUtils       = ", QuotedFlag(ChkKivUtils));
  f.Line("kivUtils_Dir   = ", QuotedText(TxtUtils_Loc.Text));
  f.Line("AddFiles       = ", QuotedFlag(ChkAddFiles));
  f.Line("AddFiles_Dir   = ", QuotedText(TxtAddFiles_Loc.Text));

  f.Section("AdvTools");
  f.Line("Add_BlueCon   = ", Flag(ChkBCon));
  f.Line("Add_ERDCmdr   = ", Flag(ChkERDC));
  f.Line("BlueCon_Dir   = ", QuotedText(TxtBCon.Text));
  f.Line("ERDCmdr_Dir   = ", QuotedText(TxtERDC.Text));
  return f.str();
}

bool FrmCDBuild::WriteKivCDINI() {
  const std::string path = SettingsPath();
  if (WriteFileAtomic(ResolvePath(path), KivCDINIText())) return true;
  if (!writeFailureReported_) {
    writeFailureReported_ = true;
    prompter_.Inform("The settings could not be saved to \"" + path + "\".", "Error", Icon::Exclamation);
  }
  return false;
}

}  // namespace kiv
