#pragma once
// A prompter for tests: records every message, dialog and help request and
// answers from queues the test fills.
#include <optional>
#include <string>
#include <vector>

#include "common/prompter.h"

namespace kiv {

// Records every message; answers from a queue (then the non-interactive
// answer when the queue is empty).
class ScriptedPrompter : public Prompter {
 public:
  Answer MsgBox(const Message& message) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::string OpenFileDialog(const std::string& title, const std::vector<FileFilter>&, const std::string&) override;
  std::string SaveFileDialog(const std::string& title, const std::vector<FileFilter>&, const std::string&) override;
  std::string BrowseForFolder(const std::string&, const std::string& title) override;
  void ShowHelpTopic(int topic) override { helpTopics.push_back(topic); }
  bool CanAsk() const override { return canAsk; }

  struct InputPrompt {
    std::string prompt, title, defaultText;
  };

  std::vector<Message> messages;
  std::vector<Answer> answers;                     // consumed front first
  std::vector<std::optional<std::string>> inputs;  // for InputBox (empty: cancelled)
  std::vector<std::string> paths;                  // for the file/folder dialogs (empty: "")
  std::vector<int> helpTopics;
  std::vector<InputPrompt> inputPrompts;  // every InputBox call
  std::vector<std::string> dialogTitles;  // every file/folder dialog's title
  bool canAsk = true;                     // false: as a console without a terminal

 private:
  std::string NextPath(const std::string& title);
};

}  // namespace kiv
