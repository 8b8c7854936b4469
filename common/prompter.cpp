#include "common/prompter.h"

#include <cstdio>
#include <iostream>

#include "common/paths.h"
#include "common/platform.h"

namespace kiv {

Answer CautiousAnswer(const Message& m) {
  if (m.nonInteractive) return *m.nonInteractive;
  switch (m.buttons) {
    case Buttons::OK:
      return Answer::OK;
    case Buttons::OKCancel:
      return Answer::Cancel;
    case Buttons::AbortRetryIgnore:
      return Answer::Abort;
    case Buttons::YesNoCancel:
      return Answer::Cancel;
    case Buttons::YesNo:
      return Answer::No;
    case Buttons::RetryCancel:
      return Answer::Cancel;
    case Buttons::SaveDiscardStay:
      return Answer::Stay;
  }
  return Answer::Cancel;
}

const char* AnswerName(Answer a) {
  switch (a) {
    case Answer::OK:
      return "OK";
    case Answer::Cancel:
      return "Cancel";
    case Answer::Abort:
      return "Abort";
    case Answer::Retry:
      return "Retry";
    case Answer::Ignore:
      return "Ignore";
    case Answer::Yes:
      return "Yes";
    case Answer::No:
      return "No";
    case Answer::Save:
      return "Save";
    case Answer::Discard:
      return "Discard";
    case Answer::Stay:
      return "Stay";
  }
  return "?";
}

std::vector<Answer> ButtonAnswers(Buttons b) {
  switch (b) {
    case Buttons::OK:
      return {Answer::OK};
    case Buttons::OKCancel:
      return {Answer::OK, Answer::Cancel};
    case Buttons::AbortRetryIgnore:
      return {Answer::Abort, Answer::Retry, Answer::Ignore};
    case Buttons::YesNoCancel:
      return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::YesNo:
      return {Answer::Yes, Answer::No};
    case Buttons::RetryCancel:
      return {Answer::Retry, Answer::Cancel};
    case Buttons::SaveDiscardStay:
      return {Answer::Save, Answer::Discard, Answer::Stay};
  }
  return {Answer::OK};
}

std::optional<Answer> ParseAnswer(const std::string& reply, Buttons buttons) {
  std::string r = Trim(reply);
  if (r.empty()) return std::nullopt;
  const std::vector<Answer> answers = ButtonAnswers(buttons);
  for (Answer a : answers)
    if (EqualsNoCase(r, AnswerName(a))) return a;
  if (r.size() != 1) return std::nullopt;
  // An initial two answers share names neither.
  std::optional<Answer> byInitial;
  for (Answer a : answers) {
    if (!EqualsNoCase(r, std::string(AnswerName(a)).substr(0, 1))) continue;
    if (byInitial) return std::nullopt;
    byInitial = a;
  }
  return byInitial;
}

namespace {

bool ReadLine(std::FILE* in, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(in)) != EOF) {
    any = true;
    if (c == '\n') break;
    line += static_cast<char>(c);
  }
  if (!any) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

bool ConsolePrompter::CanAsk() const { return IsTerminal(in_); }

void ConsolePrompter::Say(const std::string& text) {
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

std::optional<std::string> ConsolePrompter::AskLine(const std::string& question) {
  std::fprintf(out_, "%s", question.c_str());
  std::fflush(out_);
  std::string line;
  if (!ReadLine(in_, line)) {
    std::fprintf(out_, "\n");
    return std::nullopt;
  }
  return line;
}

Answer ConsolePrompter::MsgBox(const Message& message) {
  std::fprintf(out_, "%s%s\n", message.title.empty() ? "" : (message.title + ": ").c_str(), message.text.c_str());
  std::vector<Answer> choices = ButtonAnswers(message.buttons);
  if (choices.size() == 1) {
    std::fflush(out_);
    return choices.front();
  }
  std::string menu;
  for (Answer a : choices) menu += (menu.empty() ? "" : "/") + std::string(AnswerName(a));
  if (!CanAsk()) {
    Answer a = CautiousAnswer(message);
    std::fprintf(out_, "  [%s] -> %s (no terminal)\n", menu.c_str(), AnswerName(a));
    std::fflush(out_);
    return a;
  }
  for (;;) {
    std::fprintf(out_, "  [%s]? ", menu.c_str());
    std::fflush(out_);
    std::string line;
    if (!ReadLine(in_, line)) {
      Answer a = CautiousAnswer(message);
      std::fprintf(out_, "-> %s\n", AnswerName(a));
      return a;
    }
    if (auto a = ParseAnswer(line, message.buttons)) return *a;
  }
}

std::optional<std::string> ConsolePrompter::InputBox(const std::string& prompt, const std::string& title,
                                                     const std::string& defaultText) {
  const std::string head = title.empty() ? "" : title + ": ";
  const std::string shown = defaultText.empty() ? head + prompt + "\n> " : head + prompt + " [" + defaultText + "]\n> ";
  std::optional<std::string> line = AskLine(shown);
  if (!line) return std::nullopt;
  if (line->empty() && !defaultText.empty()) return defaultText;
  return line;
}

// A file or folder "dialog" on the console: asked only of a person at a
// terminal, so piped input meant for something else is never taken as a path.
std::string ConsolePrompter::AskPath(const std::string& title, const std::string& what) {
  if (!CanAsk()) return "";
  std::optional<std::string> line = AskLine((title.empty() ? "" : title + ": ") + what + " (empty line cancels)\n> ");
  return line ? Trim(*line) : "";
}

std::string ConsolePrompter::OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                                            const std::string&) {
  std::string what = "Type the path of a file";
  if (!filters.empty()) what += " (" + filters.front().description + ")";
  return AskPath(title, what);
}
std::string ConsolePrompter::SaveFileDialog(const std::string& title, const std::vector<FileFilter>&,
                                            const std::string&) {
  return AskPath(title, "Type the path to save to");
}
std::string ConsolePrompter::BrowseForFolder(const std::string&, const std::string& title) {
  return AskPath(title, "Type the path of a folder");
}

}  // namespace kiv
