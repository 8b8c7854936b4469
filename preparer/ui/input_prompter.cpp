#include "preparer/ui/input_prompter.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QString>

namespace kiv {
namespace {

// The texts keep their CR LF line breaks; a Qt label breaks on LF alone.
QString Shown(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

Answer QtInputPrompter::MsgBox(const Message& message) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (message.icon) {
    case Icon::Critical:
      icon = QMessageBox::Critical;
      break;
    case Icon::Exclamation:
      icon = QMessageBox::Warning;
      break;
    case Icon::Information:
      icon = QMessageBox::Information;
      break;
    case Icon::Question:
      icon = QMessageBox::Question;
      break;
    case Icon::None:
      break;
  }
  QMessageBox box(icon, Shown(message.title), Shown(message.text), QMessageBox::Ok);
  box.exec();
  return Answer::OK;
}

std::optional<std::string> QtInputPrompter::InputBox(const std::string& prompt, const std::string& title,
                                                     const std::string& defaultText) {
  bool ok = false;
  const QString text = QInputDialog::getText(nullptr, Shown(title), Shown(prompt), QLineEdit::Normal,
                                             QString::fromStdString(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

}  // namespace kiv
