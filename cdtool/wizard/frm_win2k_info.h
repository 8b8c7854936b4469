#pragma once
// The Windows 2000/XP/2003 installation information dialog (model). Loaded on
// first access, then kept for the whole run: OK and Cancel only hide it.
#include <string>
#include <utility>
#include <vector>

#include "cdtool/wizard/answer_dialog.h"
#include "common/setup_answer.h"

namespace kiv {

class Prompter;

class FrmWin2KInfo : public AnswerDialog {
 public:
  FrmWin2KInfo(std::string programFolder, Prompter& prompter);

  Label LblTemplate{"Unattended setup script file : "};
  TextBox TxtTemplate;
  Button CmdBrwUnattend{"..."};
  OptionButton OptJoinWorkgroup{"Join Workgroup :", true};
  OptionButton OptJoinDomain{"Join Domain :", false};

  // The two options exclude each other.
  void SelectJoinDomain(bool domain);

  void Form_Load() override;
  void FillSetupDataFromUnattend(const std::string& answerFile);
  // Writes [Win2KInfo] of `keyFile`; false (and a message) when it fails.
  bool FillSetupDataToKeyFile(const std::string& keyFile);
  void CmdBrwUnattend_Click();

  Win2KInfo Record() const;
  void SetRecord(const Win2KInfo& info);
  // The five key boxes joined with dashes (what the build injects).
  std::string ProductKey() const;

 private:
  std::vector<std::pair<const char*, std::string>> NamedFields() const override;
  void StoreRecord() override;
  void RememberShownRecord() override { shownRecord_ = Record(); }
  bool EditedSinceShown() const override { return Record() != shownRecord_; }
  // The fields as the dialog showed them, to tell a Cancel with edits.
  Win2KInfo shownRecord_;
};

}  // namespace kiv
