#include "cdtool/wizard/frm_win9x_info.h"

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"

namespace kiv {

FrmWin9xInfo::FrmWin9xInfo(std::string programFolder, const Platform& platform, Prompter& prompter)
    : AnswerDialog("Windows 9x Installation Info", std::move(programFolder), prompter), platform_(platform) {}

void FrmWin9xInfo::Form_Load() { SetRecord(LoadedWin9xInfo(programFolder_, platform_, Record())); }

bool FrmWin9xInfo::FillSetupDataToKeyFile() {
  const std::string path = JoinPath(programFolder_, kKeyFile2);
  return WriteWin9xKeyFile(path, Record(), /*upperCaseKey=*/true) || ReportUnsaved(path);
}

std::vector<std::pair<const char*, std::string>> FrmWin9xInfo::NamedFields() const {
  return {{"Owner Name", TxtOwner.Text},
          {"Organization", TxtOrg.Text},
          {"Computer Name", TxtPCName.Text},
          {"Workgroup", TxtWorkgroup.Text},
          {"Optimized for", TxtOSType.Text}};
}

Win9xInfo FrmWin9xInfo::Record() const {
  Win9xInfo info;
  info.OwnerName = TxtOwner.Text;
  info.Organization = TxtOrg.Text;
  info.OptimizedFor = TxtOSType.Text;
  info.ComputerName = TxtPCName.Text;
  info.Workgroup = TxtWorkgroup.Text;
  info.ProductKey = KeyBoxes();
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
