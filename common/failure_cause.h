#pragma once
// A batch run that made no image ends with one line naming why, so whoever
// started it (the CD builder) can say the cause instead of only "no image".
// The cause is the last message the run put to the user: the error box that
// ended it.
#include <string>
#include <system_error>

#include "common/prompter.h"

namespace kiv {

// The last line of a batch run that made no image, before its cause.
inline constexpr const char* kNoImageMade = "bootsmith: no image made: ";

// Forwards everything to `inner` and remembers the last message box.
class CauseRecordingPrompter : public Prompter {
 public:
  explicit CauseRecordingPrompter(Prompter& inner) : inner_(inner) {}
  Answer MsgBox(const Message& message) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override {
    return inner_.InputBox(prompt, title, defaultText);
  }
  std::string OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                             const std::string& initialPath) override {
    return inner_.OpenFileDialog(title, filters, initialPath);
  }
  std::string SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                             const std::string& initialPath) override {
    return inner_.SaveFileDialog(title, filters, initialPath);
  }
  std::string BrowseForFolder(const std::string& startFolder, const std::string& title) override {
    return inner_.BrowseForFolder(startFolder, title);
  }
  void ShowHelpTopic(int topic) override { inner_.ShowHelpTopic(topic); }
  bool CanAsk() const override { return inner_.CanAsk(); }

  // "Title: first sentence of the text" of the last message, on one line;
  // "" when there was none.
  const std::string& LastMessage() const { return last_; }

 private:
  Prompter& inner_;
  std::string last_;
};

// The first sentence of a message (up to its first ". ", "!" or "?" or the
// end), its line breaks turned into spaces.
std::string FirstSentence(const std::string& text);

// The cause a batch run's output names on its "no image made" line, or "".
std::string NoImageCause(const std::string& output);

// Why a file could not be written, as a message says it: a full disk (or a
// full quota) in those words, the system's text after them ("the disk is
// full (No space left on device)"); any other cause as the system says it.
std::string WriteFailureCause(const std::error_code& error);
// "cannot write <path>: <cause>"; without a cause, "cannot write <path>".
std::string CannotWriteText(const std::string& path, const std::error_code& error);

}  // namespace kiv
