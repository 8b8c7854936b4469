#pragma once
// The Prompter of the Qt windows: message boxes with their icon, buttons and
// a Help button that opens the help window on the message's topic; a one-line
// input box; the platform's file and folder dialogs.
#include <QWidget>
#include <functional>
#include <string>

#include "common/links.h"
#include "common/prompter.h"

class QMessageBox;

namespace kiv {

class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(std::string programFolder, QWidget* owner = nullptr)
      : programFolder_(std::move(programFolder)), owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  // The title of the help window the Help buttons of message boxes open
  // (the program's own help; the CD builder's by default).
  void SetHelpTitle(std::string title) { helpTitle_ = std::move(title); }

  Answer MsgBox(const Message& message) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::string OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                             const std::string& initialPath) override;
  std::string SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                             const std::string& initialPath) override;
  std::string BrowseForFolder(const std::string& startFolder, const std::string& title) override;
  void ShowHelpTopic(int topic) override;

  // Called before any message box or dialog runs: the owner window brings
  // its widgets up to date, so the box appears over what the program is
  // doing now (a build that fails at once: over its progress page, not over
  // the page where Finish was pressed).
  std::function<void()> BeforeAsking;

  // Tests: called with each message box just before it runs, so a test can
  // answer it (e.g. click a button with a single-shot timer).
  std::function<void(QMessageBox&)> BeforeMessageBox;

  // "Text file (*.txt; *.sif)" + "*.txt; *.sif" -> "Text file (*.txt *.sif)".
  static QString QtFilter(const std::vector<FileFilter>& filters);

 private:
  std::string programFolder_;
  QWidget* owner_;
  std::string helpTitle_ = kHelpWindowTitle;
};

}  // namespace kiv
