#pragma once
// The Windows 2000/XP/2003 installation information dialog (model). Loaded on
// first access, then kept for the whole run: OK and Cancel only hide it.
#include <array>
#include <optional>
#include <string>

#include "cdtool/wizard/form_controls.h"
#include "common/setup_answer.h"

namespace kiv {

class Prompter;

class FrmWin2KInfo {
 public:
  FrmWin2KInfo(std::string programFolder, Prompter& prompter);

  std::string Caption = "Windows 2K/XP/2003 Installation Info";
  Label LblTemplate{"Unattended setup script file : "};
  TextBox TxtTemplate;
  Button CmdBrwUnattend{"..."};
  std::array<TextBox, 5> TxtKeyPart;
  TextBox TxtOwner{"kivUser"};
  TextBox TxtOrg{"VANTO LTD."};
  TextBox TxtPCName{"kivPC"};
  OptionButton OptJoinWorkgroup{"Join Workgroup :", true};
  OptionButton OptJoinDomain{"Join Domain :", false};
  TextBox TxtWorkgroup{"VANTO_LTD"};
  Button CmdOK{"OK"};
  Button CmdCancel{"Cancel"};
  // Shown when the dialog opens again after a Cancel that left edits in its
  // fields: those edits are what the CD and the session settings get.
  Label LblKeptEdits{
      "The edits made before Cancel are still in use: this CD gets them and they are saved with the session "
      "settings. Change them here, or press OK to store them.",
      true, false};
  static constexpr int kKeyPartLength = 5;

  bool Visible = false;
  bool Loaded() const { return loaded_; }
  void EnsureLoaded();
  std::optional<int> FocusRequest;  // 0..4 key boxes, 5 = OK

  void SetKeyPart(int i, const std::string& text);
  // A person typing or pasting into box i: dashes and blanks between groups
  // skipped, capitals, a longer text running on into the next boxes; the
  // focus moves on past a full box.
  void TypeKeyText(int i, const std::string& text);
  void TxtKeyPart_Change(int i);
  // The two options exclude each other.
  void SelectJoinDomain(bool domain);

  void Form_Load();
  void FillSetupDataFromUnattend(const std::string& answerFile);
  // Writes [Win2KInfo] of `keyFile`; false (and a message) when it fails.
  bool FillSetupDataToKeyFile(const std::string& keyFile);
  void CmdBrwUnattend_Click();

  void Show();
  void CmdOK_Click();
  void CmdCancel_Click();

  Win2KInfo Record() const;
  void SetRecord(const Win2KInfo& info);
  // The five key boxes joined with dashes (what the build injects).
  std::string ProductKey() const;

 private:
  std::string programFolder_;
  Prompter& prompter_;
  bool loaded_ = false;
  // The fields as the dialog showed them, to tell a Cancel with edits.
  Win2KInfo shownRecord_;
};

}  // namespace kiv
