#include "cdtool/wizard/frm_win2k_info.h"

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/product_key.h"
#include "common/prompter.h"

namespace kiv {

FrmWin2KInfo::FrmWin2KInfo(std::string programFolder, Prompter& prompter)
    : AnswerDialog("Windows 2K/XP/2003 Installation Info", std::move(programFolder), prompter) {}

void FrmWin2KInfo::Form_Load() { SetRecord(LoadedWin2KInfo(programFolder_, Record())); }

void FrmWin2KInfo::SelectJoinDomain(bool domain) {
  OptJoinDomain.Value = domain;
  OptJoinWorkgroup.Value = !domain;
}

void FrmWin2KInfo::FillSetupDataFromUnattend(const std::string& answerFile) {
  Win2KInfo info = Record();
  if (kiv::FillSetupDataFromUnattend(answerFile, info)) SetRecord(info);
}

bool FrmWin2KInfo::FillSetupDataToKeyFile(const std::string& keyFile) {
  return WriteWin2KKeyFile(keyFile, Record(), /*upperCaseKey=*/true) || ReportUnsaved(keyFile);
}

void FrmWin2KInfo::CmdBrwUnattend_Click() {
  const std::string chosen = prompter_.OpenFileDialog(
      "Unattended setup information file", {FileFilter{"Text file (*.txt; *.sif)", "*.txt; *.sif"}}, TxtTemplate.Text);
  if (chosen.empty()) return;
  TxtTemplate.Text = chosen;
  FillSetupDataFromUnattend(chosen);
}

std::vector<std::pair<const char*, std::string>> FrmWin2KInfo::NamedFields() const {
  return {{"Owner Name", TxtOwner.Text},
          {"Organization", TxtOrg.Text},
          {"Computer Name", TxtPCName.Text},
          {"Workgroup or domain", TxtWorkgroup.Text}};
}

void FrmWin2KInfo::StoreRecord() { FillSetupDataToKeyFile(JoinPath(programFolder_, kKeyFile2)); }

Win2KInfo FrmWin2KInfo::Record() const {
  Win2KInfo info;
  info.TemplateFile = TxtTemplate.Text;
  info.OwnerName = TxtOwner.Text;
  info.Organization = TxtOrg.Text;
  info.ProductKey = KeyBoxes();
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

std::string FrmWin2KInfo::ProductKey() const { return JoinProductKey(KeyBoxes()); }

}  // namespace kiv
