#pragma once
// The Windows 10/11 installation information dialog (model): the answers
// of the medium's autounattend.xml. It reuses the Windows 2000/XP dialog's
// rows (product key, owner, organisation, computer name, OK, Cancel) and
// adds its own; its record is part of the session settings ([Win10_Info])
// and no key file.
#include <string>
#include <utility>
#include <vector>

#include "cdtool/win10/win10_answers.h"
#include "cdtool/wizard/answer_dialog.h"

namespace kiv {

class Prompter;

class FrmWin10Info : public AnswerDialog {
 public:
  FrmWin10Info(std::string programFolder, Prompter& prompter);

  // The editions of the chosen medium; "" (the first item) lets Setup ask.
  ComboBox CboEdition;
  TextBox TxtAccount;
  CheckBox ChkSkipHardwareChecks{"Skip the TPM 2.0, Secure Boot and RAM checks", 1};
  CheckBox ChkNoOnlineAccount{"No Microsoft account needed (set up Windows offline)", 1};
  CheckBox ChkSkipPrivacy{"Skip the licence and privacy questions", 1};
  CheckBox ChkNoAutoEncryption{"Do not let BitLocker encrypt the disk by itself", 1};
  // Windows' names of the time zones, to choose from or type.
  ComboBox CboTimeZone;
  TextBox TxtLocale;

  // The record has no file of its own: the settings load it (SetRecord).
  void Form_Load() override {}

  Win10Info Record() const;
  void SetRecord(const Win10Info& info);
  // The editions the edition box offers (a chosen one the medium lacks stays
  // in the box, for the page's check to name).
  void SetEditions(const std::vector<std::string>& names);

 private:
  std::vector<std::pair<const char*, std::string>> NamedFields() const override { return {}; }
  // The names as Windows itself would refuse them, and what no answer file
  // can hold.
  std::string FieldsProblem() const override;
  void StoreRecord() override {}
  void RememberShownRecord() override { shownRecord_ = Record(); }
  bool EditedSinceShown() const override { return Record() != shownRecord_; }
  Win10Info shownRecord_;
};

}  // namespace kiv
