#include "cdtool/wizard/answer_dialog.h"

#include "common/product_key.h"
#include "common/prompter.h"

namespace kiv {

AnswerDialog::AnswerDialog(std::string caption, std::string programFolder, Prompter& prompter)
    : Caption(std::move(caption)), programFolder_(std::move(programFolder)), prompter_(prompter) {}

void AnswerDialog::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void AnswerDialog::SetKeyPart(int i, const std::string& text) {
  if (i < 0 || i >= 5) return;
  TxtKeyPart[i].Text = text.substr(0, kKeyPartLength);
  TxtKeyPart_Change(i);
}

void AnswerDialog::TypeKeyText(int i, const std::string& text) {
  KeyParts parts = KeyBoxes();
  const int next = EnterProductKeyText(parts, i, text);
  for (int k = 0; k < 5; ++k) TxtKeyPart[k].Text = parts[k];
  if (Visible && next > i) FocusRequest = next;
}

void AnswerDialog::TxtKeyPart_Change(int i) {
  if (!Visible) return;
  if (static_cast<int>(TxtKeyPart[i].Text.size()) >= kKeyPartLength) FocusRequest = i + 1;
}

KeyParts AnswerDialog::KeyBoxes() const {
  KeyParts parts;
  for (int i = 0; i < 5; ++i) parts[i] = TxtKeyPart[i].Text;
  return parts;
}

void AnswerDialog::Show() {
  EnsureLoaded();
  RememberShownRecord();
  Visible = true;
}

void AnswerDialog::CmdOK_Click() {
  // What setup cannot read is refused here, while the user can still mend it.
  std::string why = ProductKeyMessage(KeyBoxes(), "The Product Key");
  if (why.empty()) why = FieldsProblem();
  if (!why.empty()) {
    prompter_.Inform(why, "Error", Icon::Exclamation);
    return;
  }
  StoreRecord();
  LblKeptEdits.Visible = false;
  Visible = false;
}

std::string AnswerDialog::FieldsProblem() const {
  for (const auto& [name, value] : NamedFields())
    if (std::string why = AnswerTextProblem(name, value); !why.empty()) return why;
  return "";
}

void AnswerDialog::CmdCancel_Click() {
  // The edits stay in the fields, and so in use: the next opening says so.
  if (Visible && EditedSinceShown()) LblKeptEdits.Visible = true;
  Visible = false;
}

bool AnswerDialog::ReportUnsaved(const std::string& keyFile) {
  prompter_.Inform("The Windows installation info could not be saved to \"" + keyFile + "\".", "Error",
                   Icon::Exclamation);
  return false;
}

}  // namespace kiv
