#pragma once
// The build's own account, kivcd-build.log in the program folder: one line
// per step and sub-step with the time, every message box the run showed
// (title, text, answer), every program it started (command line, folder,
// exit status) with that program's output, and what the run came to. A user
// who was not watching, or who reports a failure, reads it afterwards; it is
// written as the run goes, so a run that dies still leaves what it did.
//
// The run reaches the user and the programs through the two decorators below,
// so nothing a step shows or starts can miss the log.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/clock.h"
#include "common/process_runner.h"
#include "common/prompter.h"

namespace kiv {

inline constexpr const char* kBuildLogName = "kivcd-build.log";

class BuildLog {
 public:
  // Each line is stamped with the local time of `clock`.
  explicit BuildLog(const Clock& clock);
  ~BuildLog();
  BuildLog(const BuildLog&) = delete;
  BuildLog& operator=(const BuildLog&) = delete;

  // Starts a new log at `path` (a previous one is replaced). False, with
  // `error` set, when it cannot be written; the build goes on without it.
  bool Open(const std::string& path, std::string* error = nullptr);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  // The log last opened ("" when none could be), also after Close.
  const std::string& Path() const { return path_; }

  // One line, behind the local time ("14:03:27 "); a text of several lines
  // gets the time once and its further lines indented.
  void Line(const std::string& text);
  // A program's output as it arrives: whole lines, each behind "| ".
  void Output(const std::string& chunk);
  // Ends a pending partial output line.
  void FlushOutput();
  // From now on every occurrence of `secret` (letter case aside) in what the
  // log writes reads `shown`: people share the log when they ask for help.
  void Mask(const std::string& secret, const std::string& shown);

 private:
  const Clock& clock_;
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string pendingOutput_;
  std::vector<std::pair<std::string, std::string>> masks_;  // lower-case secret, what stands for it
  void Write(const std::string& text);
};

// Shows everything through `inner` and writes each message box and input
// box to the log with the answer it got.
class LoggingPrompter : public Prompter {
 public:
  LoggingPrompter(Prompter& inner, BuildLog& log) : inner_(&inner), log_(log) {}
  void SetInner(Prompter& inner) { inner_ = &inner; }
  Answer MsgBox(const Message& message) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::string OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                             const std::string& initialPath) override;
  std::string SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                             const std::string& initialPath) override;
  std::string BrowseForFolder(const std::string& startFolder, const std::string& title) override;
  void ShowHelpTopic(int topic) override { inner_->ShowHelpTopic(topic); }
  bool CanAsk() const override { return inner_->CanAsk(); }

 private:
  Prompter* inner_;
  BuildLog& log_;
};

// Starts everything through `inner` and writes each command line, its
// output and its exit status to the log.
class LoggingLauncher : public ProcessLauncher {
 public:
  LoggingLauncher(ProcessLauncher& inner, BuildLog& log) : inner_(&inner), log_(log) {}
  void SetInner(ProcessLauncher& inner) { inner_ = &inner; }
  std::unique_ptr<ChildProcess> NewChild() override;
  bool ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options) override;
  RunResult RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options) override;
  RunResult RunOnTerminal(const std::vector<std::string>& argv) override;
  std::string FindProgram(const std::string& program) override { return inner_->FindProgram(program); }

 private:
  ProcessLauncher* inner_;
  BuildLog& log_;
};

}  // namespace kiv
