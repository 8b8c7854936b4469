#pragma once
// The Windows 98/Me installation information dialog (model). Loaded on first
// access, then kept for the whole run: OK and Cancel only hide it.
#include <array>
#include <optional>
#include <string>

#include "cdtool/wizard/form_controls.h"
#include "common/setup_answer.h"

namespace kiv {

class Platform;
class Prompter;

class FrmWin9xInfo {
 public:
  FrmWin9xInfo(std::string programFolder, const Platform& platform, Prompter& prompter);

  std::string Caption = "Windows 9x Installation Info";
  std::array<TextBox, 5> TxtKeyPart;
  TextBox TxtOwner{"kivUser"};
  TextBox TxtOrg{"VANTO LTD."};
  TextBox TxtPCName{"kivPC"};
  TextBox TxtWorkgroup{"VANTO_LTD"};
  TextBox TxtOSType{"Microsoft Windows 98"};
  Button CmdOK{"OK"};
  Button CmdCancel{"Cancel"};
  // Shown when the dialog opens again after a Cancel that left edits in its
  // fields: those edits are what the CD and the session settings get.
  Label LblKeptEdits{
      "The edits made before Cancel are still in use: this CD gets them and they are saved with the session "
      "settings. Change them here, or press OK to store them.",
      true, false};
  static constexpr int kKeyPartLength = 5;

  // True while shown; the key boxes move the focus only then.
  bool Visible = false;
  bool Loaded() const { return loaded_; }
  // Runs Form_Load once (first access).
  void EnsureLoaded();
  // Key box to focus next (0..4), or 5 for OK; the view takes and clears it.
  std::optional<int> FocusRequest;

  // Keys the text into box i, cut to the box length, and runs the change handler.
  void SetKeyPart(int i, const std::string& text);
  // A person typing or pasting into box i: dashes and blanks between groups
  // skipped, capitals, a longer text running on into the next boxes; the
  // focus moves on past a full box.
  void TypeKeyText(int i, const std::string& text);
  void TxtKeyPart_Change(int i);

  void Form_Load();
  void FillSetupDataFromKeyFile(const std::string& keyFile);
  void FillSetupDataFromReg();
  // Writes [Win9xInfo] of keyfile2.txt; false (and a message) when it fails.
  bool FillSetupDataToKeyFile();

  void Show();
  void CmdOK_Click();
  void CmdCancel_Click();

  Win9xInfo Record() const;
  void SetRecord(const Win9xInfo& info);

 private:
  std::string programFolder_;
  const Platform& platform_;
  Prompter& prompter_;
  bool loaded_ = false;
  // The fields as the dialog showed them, to tell a Cancel with edits.
  Win9xInfo shownRecord_;
};

}  // namespace kiv
