#pragma once
// Every question and message the programs put to the user goes through a
// Prompter: Qt dialogs in the GUI, stderr/stdin in console mode, a script in
// tests. A message that cannot be asked (no terminal) takes its
// `nonInteractive` answer, the one that loses nothing and never hangs.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kiv {

enum class Icon { None, Critical, Question, Exclamation, Information };
// SaveDiscardStay: what becomes of unsaved edits when a window is left, as
// editors ask it (Stay leaves the window open, the edits in it).
enum class Buttons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel, SaveDiscardStay };
enum class Answer { OK, Cancel, Abort, Retry, Ignore, Yes, No, Save, Discard, Stay };

struct Message {
  std::string text;
  std::string title;
  Icon icon = Icon::None;
  Buttons buttons = Buttons::OK;
  int helpTopic = 0;  // 0: no Help button
  // Answer taken when nobody can be asked; unset: the cautious default
  // (OK, Cancel, Abort, Cancel, No, Cancel, Stay for the button sets above).
  std::optional<Answer> nonInteractive;
};

Answer CautiousAnswer(const Message& m);
const char* AnswerName(Answer a);  // "OK", "Cancel", ...
// The answers a button set offers, in button order.
std::vector<Answer> ButtonAnswers(Buttons b);
// A typed reply: an answer's name, or its initial where no other answer of
// the buttons shares it (Save and Stay do not), any case, if the buttons
// offer it; nullopt otherwise.
std::optional<Answer> ParseAnswer(const std::string& reply, Buttons buttons);

struct FileFilter {
  std::string description;  // "ISO Images"
  std::string pattern;      // "*.iso"
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Answer MsgBox(const Message& message) = 0;
  // nullopt when cancelled.
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& defaultText = "") = 0;
  // "" when cancelled.
  virtual std::string OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                                     const std::string& initialPath) = 0;
  virtual std::string SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                                     const std::string& initialPath) = 0;
  virtual std::string BrowseForFolder(const std::string& startFolder, const std::string& title) = 0;
  // Shows a help topic (no-op where there is no help window).
  virtual void ShowHelpTopic(int /*topic*/) {}
  // True when a person can answer: a window, or a terminal on the console.
  // An input box that gets no answer where nobody could be asked is not a
  // decision of the user, so callers then keep what is there.
  virtual bool CanAsk() const { return true; }

  // Convenience: MsgBox with OK only.
  void Inform(const std::string& text, const std::string& title, Icon icon = Icon::None) {
    MsgBox(Message{text, title, icon, Buttons::OK, 0, std::nullopt});
  }
};

// Console: messages to stderr as "Title: text"; questions read a line from the
// terminal when stdin is one (answer by name or initial), otherwise take the
// non-interactive answer. Input boxes read a line from stdin (also from a pipe);
// end of input counts as Cancel. File and folder dialogs ask a person at a
// terminal for a path; without one they answer "" (cancelled). Reads `in`
// and writes `out` (stdin and stderr unless told otherwise).
class ConsolePrompter : public Prompter {
 public:
  explicit ConsolePrompter(std::FILE* in = stdin, std::FILE* out = stderr) : in_(in), out_(out) {}
  Answer MsgBox(const Message& message) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::string OpenFileDialog(const std::string&, const std::vector<FileFilter>&, const std::string&) override;
  std::string SaveFileDialog(const std::string&, const std::vector<FileFilter>&, const std::string&) override;
  std::string BrowseForFolder(const std::string&, const std::string&) override;
  bool CanAsk() const override;

  // The pieces console views are made of: a line of text, and a question
  // answered by one typed line (nullopt at the end of input).
  void Say(const std::string& text);
  std::optional<std::string> AskLine(const std::string& question);

 private:
  std::string AskPath(const std::string& title, const std::string& what);
  std::FILE* in_;
  std::FILE* out_;
};

}  // namespace kiv
