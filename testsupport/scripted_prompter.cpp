#include "testsupport/scripted_prompter.h"

namespace kiv {

Answer ScriptedPrompter::MsgBox(const Message& message) {
  messages.push_back(message);
  if (answers.empty()) return CautiousAnswer(message);
  Answer a = answers.front();
  answers.erase(answers.begin());
  return a;
}

std::optional<std::string> ScriptedPrompter::InputBox(const std::string& prompt, const std::string& title,
                                                      const std::string& defaultText) {
  inputPrompts.push_back({prompt, title, defaultText});
  if (inputs.empty()) return std::nullopt;
  std::optional<std::string> v = inputs.front();
  inputs.erase(inputs.begin());
  return v;
}

std::string ScriptedPrompter::NextPath(const std::string& title) {
  dialogTitles.push_back(title);
  if (paths.empty()) return "";
  std::string p = paths.front();
  paths.erase(paths.begin());
  return p;
}

std::string ScriptedPrompter::OpenFileDialog(const std::string& title, const std::vector<FileFilter>&,
                                             const std::string&) {
  return NextPath(title);
}
std::string ScriptedPrompter::SaveFileDialog(const std::string& title, const std::vector<FileFilter>&,
                                             const std::string&) {
  return NextPath(title);
}
std::string ScriptedPrompter::BrowseForFolder(const std::string&, const std::string& title) { return NextPath(title); }

}  // namespace kiv
