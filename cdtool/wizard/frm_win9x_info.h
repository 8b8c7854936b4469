#pragma once
// The Windows 98/Me installation information dialog (model). Loaded on first
// access, then kept for the whole run: OK and Cancel only hide it.
#include <string>
#include <utility>
#include <vector>

#include "cdtool/wizard/answer_dialog.h"
#include "common/setup_answer.h"
#include "common/setup_answer_defaults.h"

namespace kiv {

class Platform;
class Prompter;

class FrmWin9xInfo : public AnswerDialog {
 public:
  FrmWin9xInfo(std::string programFolder, const Platform& platform, Prompter& prompter);

  TextBox TxtOSType{kDefaultOSType};

  void Form_Load() override;
  // Writes [Win9xInfo] of keyfile2.txt; false (and a message) when it fails.
  bool FillSetupDataToKeyFile();

  Win9xInfo Record() const;
  void SetRecord(const Win9xInfo& info);

 private:
  std::vector<std::pair<const char*, std::string>> NamedFields() const override;
  void StoreRecord() override { FillSetupDataToKeyFile(); }
  void RememberShownRecord() override { shownRecord_ = Record(); }
  bool EditedSinceShown() const override { return Record() != shownRecord_; }
  const Platform& platform_;
  // The fields as the dialog showed them, to tell a Cancel with edits.
  Win9xInfo shownRecord_;
};

}  // namespace kiv
