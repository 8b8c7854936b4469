#include "common/ui/qt_prompter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>

#include "common/ui/help_window.h"
#include "common/ui/wizard_keys.h"

namespace kiv {

namespace {

QMessageBox::Icon QtIcon(Icon icon) {
  switch (icon) {
    case Icon::Critical:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonAnswer {
  QMessageBox::StandardButton button;
  Answer answer;
  const char* caption = nullptr;  // the caption, where the standard one is not the answer's name
};

std::vector<ButtonAnswer> ButtonsOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::OK:
      return {{QMessageBox::Ok, Answer::OK}};
    case Buttons::OKCancel:
      return {{QMessageBox::Ok, Answer::OK}, {QMessageBox::Cancel, Answer::Cancel}};
    case Buttons::AbortRetryIgnore:
      return {{QMessageBox::Abort, Answer::Abort},
              {QMessageBox::Retry, Answer::Retry},
              {QMessageBox::Ignore, Answer::Ignore}};
    case Buttons::YesNoCancel:
      return {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}, {QMessageBox::Cancel, Answer::Cancel}};
    case Buttons::YesNo:
      return {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}};
    case Buttons::RetryCancel:
      return {{QMessageBox::Retry, Answer::Retry}, {QMessageBox::Cancel, Answer::Cancel}};
    case Buttons::SaveDiscardStay:
      // Stay takes Cancel's role, so Esc and the close box stay too; some
      // platforms call Discard "Close without Saving": the answers' names
      // are set.
      return {{QMessageBox::Save, Answer::Save, "&Save"},
              {QMessageBox::Discard, Answer::Discard, "&Discard"},
              {QMessageBox::Cancel, Answer::Stay, "S&tay"}};
  }
  return {{QMessageBox::Ok, Answer::OK}};
}

}  // namespace

QString QtPrompter::QtFilter(const std::vector<FileFilter>& filters) {
  QStringList parts;
  for (const FileFilter& f : filters) {
    QString description = QString::fromStdString(f.description);
    description.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)\\s*$")));
    QStringList patterns =
        QString::fromStdString(f.pattern).split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);
    parts << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
  }
  return parts.join(QStringLiteral(";;"));
}

Answer QtPrompter::MsgBox(const Message& message) {
  if (BeforeAsking) BeforeAsking();
  QMessageBox box(QtIcon(message.icon), QString::fromStdString(message.title), QString::fromStdString(message.text),
                  QMessageBox::NoButton, owner_);
  const auto buttons = ButtonsOf(message.buttons);
  for (const ButtonAnswer& b : buttons) {
    QPushButton* button = box.addButton(b.button);
    if (b.caption) button->setText(QString::fromUtf8(b.caption));
  }
  QPushButton* help = message.helpTopic ? box.addButton(QMessageBox::Help) : nullptr;
  if (help) {
    // The Help button (or F1) opens the topic over the box and leaves the
    // question open: the help can be read, scrolled and followed while the
    // box waits for its answer, and stays on that topic after it.
    help->disconnect();
    const int topic = message.helpTopic;
    QObject::connect(help, &QPushButton::clicked, &box,
                     [this, &box, topic] { HelpWindow::ShowTopicOver(&box, programFolder_, topic, helpTitle_); });
    PressOnHelpKey(help);
  }
  box.setDefaultButton(buttons.front().button);
  if (BeforeMessageBox) BeforeMessageBox(box);
  box.exec();
  const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
  for (const ButtonAnswer& b : buttons)
    if (b.button == clicked) return b.answer;
  // Closed by Escape or the close box: the cautious answer.
  return CautiousAnswer(message);
}

std::optional<std::string> QtPrompter::InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) {
  bool ok = false;
  const QString text = QInputDialog::getText(owner_, QString::fromStdString(title), QString::fromStdString(prompt),
                                             QLineEdit::Normal, QString::fromStdString(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

std::string QtPrompter::OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                                       const std::string& initialPath) {
  return QFileDialog::getOpenFileName(owner_, QString::fromStdString(title), QString::fromStdString(initialPath),
                                      QtFilter(filters))
      .toStdString();
}

std::string QtPrompter::SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                                       const std::string& initialPath) {
  // The destination is asked for, not written yet: no overwrite question here.
  return QFileDialog::getSaveFileName(owner_, QString::fromStdString(title), QString::fromStdString(initialPath),
                                      QtFilter(filters), nullptr, QFileDialog::DontConfirmOverwrite)
      .toStdString();
}

std::string QtPrompter::BrowseForFolder(const std::string& startFolder, const std::string& title) {
  QString start = QString::fromStdString(startFolder);
  if (start.isEmpty() || !QFileInfo(start).isDir()) start = QDir::homePath();
  return QFileDialog::getExistingDirectory(owner_, QString::fromStdString(title), start).toStdString();
}

void QtPrompter::ShowHelpTopic(int topic) { HelpWindow::ShowTopic(programFolder_, topic, helpTitle_); }

}  // namespace kiv
