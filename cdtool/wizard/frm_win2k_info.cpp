#include "cdtool/wizard/frm_win2k_info.h"

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/product_key.h"
#include "common/prompter.h"

namespace kiv {

FrmWin2KInfo::FrmWin2KInfo(std::string programFolder, Prompter& prompter)
    : programFolder_(std::move(programFolder)), prompter_(prompter) {}

void FrmWin2KInfo::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void FrmWin2KInfo::Form_Load() {
  if (!TxtTemplate.Text.empty() && FileExists(TxtTemplate.Text)) {
    FillSetupDataFromUnattend(TxtTemplate.Text);
  } else {
    TxtTemplate.Text = Win2KTemplatePath(programFolder_);
    FillSetupDataFromUnattend(TxtTemplate.Text);
  }
}

void FrmWin2KInfo::SetKeyPart(int i, const std::string& text) {
  if (i < 0 || i >= 5) return;
  TxtKeyPart[i].Text = text.substr(0, kKeyPartLength);
  TxtKeyPart_Change(i);
}

void FrmWin2KInfo::TypeKeyText(int i, const std::string& text) {
  KeyParts parts;
  for (int k = 0; k < 5; ++k) parts[k] = TxtKeyPart[k].Text;
  const int next = EnterProductKeyText(parts, i, text);
  for (int k = 0; k < 5; ++k) TxtKeyPart[k].Text = parts[k];
  if (Visible && next > i) FocusRequest = next;
}

void FrmWin2KInfo::TxtKeyPart_Change(int i) {
  if (!Visible) return;
  if (static_cast<int>(TxtKeyPart[i].Text.size()) >= kKeyPartLength) FocusRequest = i + 1;
}

void FrmWin2KInfo::SelectJoinDomain(bool domain) {
  OptJoinDomain.Value = domain;
  OptJoinWorkgroup.Value = !domain;
}

void FrmWin2KInfo::FillSetupDataFromUnattend(const std::string& answerFile) {
  Win2KInfo info = Record();
  if (kiv::FillSetupDataFromUnattend(answerFile, info)) SetRecord(info);
}

bool FrmWin2KInfo::FillSetupDataToKeyFile(const std::string& keyFile) {
  if (WriteWin2KKeyFile(keyFile, Record(), /*upperCaseKey=*/true)) return true;
  prompter_.Inform("The Windows installation info could not be saved to \"" + keyFile + "\".", "Error",
                   Icon::Exclamation);
  return false;
}

void FrmWin2KInfo::CmdBrwUnattend_Click() {
  const std::string chosen = prompter_.OpenFileDialog(
      "Unattended setup information file", {FileFilter{"Text file (*.txt; *.sif)", "*.txt; *.sif"}}, TxtTemplate.Text);
  if (chosen.empty()) return;
  TxtTemplate.Text = chosen;
  FillSetupDataFromUnattend(chosen);
}

void FrmWin2KInfo::Show() {
  EnsureLoaded();
  shownRecord_ = Record();
  Visible = true;
}

void FrmWin2KInfo::CmdOK_Click() {
  // What setup cannot read is refused here, while the user can still mend it.
  std::string why = ProductKeyMessage(Record().ProductKey, "The Product Key");
  if (why.empty())
    why = AnswerTextProblem({{"Owner Name", TxtOwner.Text},
                             {"Organization", TxtOrg.Text},
                             {"Computer Name", TxtPCName.Text},
                             {"Workgroup or domain", TxtWorkgroup.Text}});
  if (!why.empty()) {
    prompter_.Inform(why, "Error", Icon::Exclamation);
    return;
  }
  FillSetupDataToKeyFile(JoinPath(programFolder_, kKeyFile2));
  LblKeptEdits.Visible = false;
  Visible = false;
}

void FrmWin2KInfo::CmdCancel_Click() {
  // The edits stay in the fields, and so in use: the next opening says so.
  if (Visible && Record() != shownRecord_) LblKeptEdits.Visible = true;
  Visible = false;
}

Win2KInfo FrmWin2KInfo::Record() const {
  Win2KInfo info;
  info.TemplateFile = TxtTemplate.Text;
  info.OwnerName = TxtOwner.Text;
  info.Organization = TxtOrg.Text;
  for (int i = 0; i < 5; ++i) info.ProductKey[i] = TxtKeyPart[i].Text;
  info.ComputerName = TxtPCName.Text;
  info.Workgroup = TxtWorkgroup.Text;
  info.JoinDomain = OptJoinDomain.Value;
  return info;
}

void FrmWin2KInfo::SetRecord(const Win2KInfo& info) {
  TxtTemplate.Text = info.TemplateFile;
  TxtOwner.Text = info.OwnerName;
  TxtOrg.Text = info.Organization;
  for (int i = 0; i < 5; ++i) SetKeyPart(i, info.ProductKey[i]);
  TxtPCName.Text = info.ComputerName;
  TxtWorkgroup.Text = info.Workgroup;
  SelectJoinDomain(info.JoinDomain);
}

std::string FrmWin2KInfo::ProductKey() const {
  KeyParts parts;
  for (int i = 0; i < 5; ++i) parts[i] = TxtKeyPart[i].Text;
  return JoinProductKey(parts);
}

}  // namespace kiv
