#include "cdtool/wizard/frm_win9x_info.h"

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/product_key.h"
#include "common/prompter.h"

namespace kiv {

FrmWin9xInfo::FrmWin9xInfo(std::string programFolder, const Platform& platform, Prompter& prompter)
    : programFolder_(std::move(programFolder)), platform_(platform), prompter_(prompter) {}

void FrmWin9xInfo::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void FrmWin9xInfo::Form_Load() {
  const std::string keyFile2 = JoinPath(programFolder_, kKeyFile2);
  const std::string keyFile = JoinPath(programFolder_, kKeyFile);
  if (FileExists(keyFile2)) {
    FillSetupDataFromKeyFile(keyFile2);
  } else if (FileExists(keyFile)) {
    FillSetupDataFromKeyFile(keyFile);
  } else if (platform_.IsWin9x()) {
    FillSetupDataFromReg();
  }
}

void FrmWin9xInfo::SetKeyPart(int i, const std::string& text) {
  if (i < 0 || i >= 5) return;
  TxtKeyPart[i].Text = text.substr(0, kKeyPartLength);
  TxtKeyPart_Change(i);
}

void FrmWin9xInfo::TypeKeyText(int i, const std::string& text) {
  KeyParts parts;
  for (int k = 0; k < 5; ++k) parts[k] = TxtKeyPart[k].Text;
  const int next = EnterProductKeyText(parts, i, text);
  for (int k = 0; k < 5; ++k) TxtKeyPart[k].Text = parts[k];
  if (Visible && next > i) FocusRequest = next;
}

void FrmWin9xInfo::TxtKeyPart_Change(int i) {
  if (!Visible) return;
  if (static_cast<int>(TxtKeyPart[i].Text.size()) >= kKeyPartLength) FocusRequest = i + 1;
}

void FrmWin9xInfo::FillSetupDataFromKeyFile(const std::string& keyFile) {
  Win9xInfo info = Record();
  if (ReadWin9xKeyFile(keyFile, info)) SetRecord(info);
}

void FrmWin9xInfo::FillSetupDataFromReg() { SetRecord(ReadWin9xRegistry(platform_)); }

bool FrmWin9xInfo::FillSetupDataToKeyFile() {
  const std::string path = JoinPath(programFolder_, kKeyFile2);
  if (WriteWin9xKeyFile(path, Record(), /*upperCaseKey=*/true)) return true;
  prompter_.Inform("The Windows installation info could not be saved to \"" + path + "\".", "Error", Icon::Exclamation);
  return false;
}

void FrmWin9xInfo::Show() {
  EnsureLoaded();
  shownRecord_ = Record();
  Visible = true;
}

void FrmWin9xInfo::CmdOK_Click() {
  // What setup cannot read is refused here, while the user can still mend it.
  std::string why = ProductKeyMessage(Record().ProductKey, "The Product Key");
  if (why.empty())
    why = AnswerTextProblem({{"Owner Name", TxtOwner.Text},
                             {"Organization", TxtOrg.Text},
                             {"Computer Name", TxtPCName.Text},
                             {"Workgroup", TxtWorkgroup.Text},
                             {"Optimized for", TxtOSType.Text}});
  if (!why.empty()) {
    prompter_.Inform(why, "Error", Icon::Exclamation);
    return;
  }
  FillSetupDataToKeyFile();
  LblKeptEdits.Visible = false;
  Visible = false;
}

void FrmWin9xInfo::CmdCancel_Click() {
  // The edits stay in the fields, and so in use: the next opening says so.
  if (Visible && Record() != shownRecord_) LblKeptEdits.Visible = true;
  Visible = false;
}

Win9xInfo FrmWin9xInfo::Record() const {
  Win9xInfo info;
  info.OwnerName = TxtOwner.Text;
  info.Organization = TxtOrg.Text;
  info.OptimizedFor = TxtOSType.Text;
  info.ComputerName = TxtPCName.Text;
  info.Workgroup = TxtWorkgroup.Text;
  for (int i = 0; i < 5; ++i) info.ProductKey[i] = TxtKeyPart[i].Text;
  return info;
}

void FrmWin9xInfo::SetRecord(const Win9xInfo& info) {
  TxtOwner.Text = info.OwnerName;
  TxtOrg.Text = info.Organization;
  TxtOSType.Text = info.OptimizedFor;
  TxtPCName.Text = info.ComputerName;
  TxtWorkgroup.Text = info.Workgroup;
  for (int i = 0; i < 5; ++i) SetKeyPart(i, info.ProductKey[i]);
}

}  // namespace kiv
