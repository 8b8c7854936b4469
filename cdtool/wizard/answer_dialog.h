#pragma once
// What the two Windows installation information dialogs (models) share: the
// five product-key boxes, owner, organisation, computer name and workgroup,
// OK and Cancel, loading on first access and the note on edits a Cancel
// kept. Each dialog adds its own fields and says where its record comes
// from and goes to; everything else is this one model.
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cdtool/wizard/form_controls.h"
#include "common/setup_answer.h"
#include "common/setup_answer_defaults.h"

namespace kiv {

class Prompter;

class AnswerDialog {
 public:
  virtual ~AnswerDialog() = default;
  AnswerDialog(const AnswerDialog&) = delete;
  AnswerDialog& operator=(const AnswerDialog&) = delete;

  std::string Caption;
  std::array<TextBox, 5> TxtKeyPart;
  TextBox TxtOwner{kDefaultOwner};
  TextBox TxtOrg{kDefaultOrg};
  TextBox TxtPCName{kDefaultPCName};
  TextBox TxtWorkgroup{kDefaultWorkgroup};
  Button CmdOK{"OK"};
  Button CmdCancel{"Cancel"};
  // Shown when the dialog opens again after a Cancel that left edits in its
  // fields: those edits are what the CD and the session settings get.
  Label LblKeptEdits{
      "The edits made before Cancel are still in use: this CD gets them and they are saved with the session "
      "settings. Change them here, or press OK to store them.",
      true, false};

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
  KeyParts KeyBoxes() const;

  virtual void Form_Load() = 0;
  void Show();
  // Refuses what setup cannot read (naming the field), else stores the
  // record in keyfile2.txt and hides the dialog.
  void CmdOK_Click();
  void CmdCancel_Click();

 protected:
  AnswerDialog(std::string caption, std::string programFolder, Prompter& prompter);
  // The text fields OK checks, each with the name the dialog gives it.
  virtual std::vector<std::pair<const char*, std::string>> NamedFields() const = 0;
  // What OK refuses in the fields besides the key ("" for nothing): by
  // default what Windows 2000/XP and 98/Me setup cannot read
  // (AnswerTextProblem on NamedFields).
  virtual std::string FieldsProblem() const;
  // Stores the record in keyfile2.txt (the message is the dialog's).
  virtual void StoreRecord() = 0;
  // The record as shown now, and whether it differs from then.
  virtual void RememberShownRecord() = 0;
  virtual bool EditedSinceShown() const = 0;
  // "Could not be saved" for `keyFile`, in both dialogs' words.
  bool ReportUnsaved(const std::string& keyFile);

  std::string programFolder_;
  Prompter& prompter_;

 private:
  bool loaded_ = false;
};

}  // namespace kiv
