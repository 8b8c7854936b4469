#include "cdtool/build/build_log.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

namespace {

// "14:03:27": the local time of day of `t`.
std::string TimeOfDay(std::time_t t) {
  const std::tm tm = LocalTime(t);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &tm);
  return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// "in <folder>" for a program started elsewhere than the caller's folder.
std::string Where(const std::string& folder) { return folder.empty() ? "" : " (in " + folder + ")"; }

// A child whose start, output and end go to the log before they reach the
// owner's handlers.
class LoggingChild : public ChildProcess {
 public:
  LoggingChild(std::unique_ptr<ChildProcess> inner, BuildLog& log) : inner_(std::move(inner)), log_(log) {
    inner_->DataReceived = [this](const std::string& chunk) {
      log_.Output(chunk);
      if (DataReceived) DataReceived(chunk);
    };
    inner_->ProcessEnded = [this] {
      log_.FlushOutput();
      log_.Line("Program " + name_ + " ended with exit status " + std::to_string(inner_->ExitCode()));
      // May destroy this object: nothing after it.
      if (ProcessEnded) ProcessEnded();
    };
  }

  bool Start(const std::vector<std::string>& argv, const std::string& workingDir) override {
    name_ = argv.empty() ? std::string("(none)") : argv[0];
    log_.Line("Starting: " + RenderCommandLine(argv) + Where(workingDir));
    const bool started = inner_->Start(argv, workingDir);
    if (!started) log_.Line("Program " + name_ + " could not be started: " + inner_->Error());
    return started;
  }
  bool Poll(std::chrono::milliseconds wait) override { return inner_->Poll(wait); }
  bool Running() const override { return inner_->Running(); }
  int ExitCode() const override { return inner_->ExitCode(); }
  const std::string& Error() const override { return inner_->Error(); }
  int Pid() const override { return inner_->Pid(); }
  void Kill() override {
    log_.Line("Ending program " + name_);
    inner_->Kill();
  }

 private:
  std::unique_ptr<ChildProcess> inner_;
  BuildLog& log_;
  std::string name_;
};

}  // namespace

BuildLog::BuildLog(const Clock& clock) : clock_(clock) {}

BuildLog::~BuildLog() { Close(); }

bool BuildLog::Open(const std::string& path, std::string* error) {
  Close();
  path_.clear();
  // A link at the log's name is replaced: the log never writes its target.
  DropLinkAt(path);
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    if (error) *error = "the build log " + Quoted(path) + " cannot be written: " + std::strerror(errno);
    return false;
  }
  path_ = path;
  return true;
}

void BuildLog::Close() {
  if (!file_) return;
  FlushOutput();
  std::fclose(file_);
  file_ = nullptr;
}

void BuildLog::Mask(const std::string& secret, const std::string& shown) {
  if (!secret.empty()) masks_.emplace_back(ToLower(secret), shown);
}

void BuildLog::Write(const std::string& raw) {
  if (!file_) return;
  // Whole lines come here, so a secret is never split between two writes.
  std::string text = raw;
  for (const auto& [secret, shown] : masks_) {
    std::string lower = ToLower(text);
    for (size_t at = lower.find(secret); at != std::string::npos; at = lower.find(secret, at + shown.size())) {
      text.replace(at, secret.size(), shown);
      lower.replace(at, secret.size(), shown);
    }
  }
  std::fwrite(text.data(), 1, text.size(), file_);
  // Whoever reads the log while the build runs sees every line at once.
  std::fflush(file_);
}

void BuildLog::Line(const std::string& text) {
  if (!file_) return;
  FlushOutput();
  const std::string stamp = TimeOfDay(clock_.Now());
  std::string out = stamp + " ";
  const std::string indent(out.size(), ' ');
  for (char c : text) {
    if (c == '\r') continue;
    out += c;
    if (c == '\n') out += indent;
  }
  Write(out + "\n");
}

void BuildLog::Output(const std::string& chunk) {
  if (!file_) return;
  std::string out;
  for (char c : chunk) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += "  | " + pendingOutput_ + "\n";
      pendingOutput_.clear();
    } else {
      pendingOutput_ += c;
    }
  }
  Write(out);
}

void BuildLog::FlushOutput() {
  if (!file_ || pendingOutput_.empty()) return;
  const std::string line = "  | " + pendingOutput_ + "\n";
  pendingOutput_.clear();
  Write(line);
}

// --- LoggingPrompter ---

Answer LoggingPrompter::MsgBox(const Message& message) {
  log_.Line("Message " + Quoted(message.title) + ": " + message.text);
  const Answer answer = inner_->MsgBox(message);
  if (message.buttons != Buttons::OK) log_.Line("Answered: " + std::string(AnswerName(answer)));
  return answer;
}

std::optional<std::string> LoggingPrompter::InputBox(const std::string& prompt, const std::string& title,
                                                     const std::string& defaultText) {
  log_.Line("Asked " + Quoted(title) + ": " + prompt);
  std::optional<std::string> answer = inner_->InputBox(prompt, title, defaultText);
  log_.Line(answer ? "Answered: " + Quoted(*answer) : std::string("Answered: Cancel"));
  return answer;
}

std::string LoggingPrompter::OpenFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                                            const std::string& initialPath) {
  return inner_->OpenFileDialog(title, filters, initialPath);
}

std::string LoggingPrompter::SaveFileDialog(const std::string& title, const std::vector<FileFilter>& filters,
                                            const std::string& initialPath) {
  return inner_->SaveFileDialog(title, filters, initialPath);
}

std::string LoggingPrompter::BrowseForFolder(const std::string& startFolder, const std::string& title) {
  return inner_->BrowseForFolder(startFolder, title);
}

// --- LoggingLauncher ---

namespace {

void LogHowItEnded(BuildLog& log, const RunResult& result) {
  if (!result.started) log.Line("Could not be started: " + result.error);
  else if (!result.ended) log.Line("Did not end" + (result.error.empty() ? std::string() : ": " + result.error));
  else log.Line("Ended with exit status " + std::to_string(result.exitCode));
}

}  // namespace

std::unique_ptr<ChildProcess> LoggingLauncher::NewChild() {
  return std::make_unique<LoggingChild>(inner_->NewChild(), log_);
}

bool LoggingLauncher::ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options) {
  log_.Line("Running: " + RenderCommandLine(argv) + Where(options.workingDir));
  const bool ended = inner_->ShellAndWait(argv, options);
  log_.Line(ended ? "Ended" : "Did not end in time, or could not be started");
  return ended;
}

RunResult LoggingLauncher::RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options) {
  log_.Line("Running: " + RenderCommandLine(argv) + Where(options.workingDir));
  RunResult result = inner_->RunAndCapture(argv, options);
  log_.Output(result.output);
  log_.FlushOutput();
  LogHowItEnded(log_, result);
  return result;
}

// What it wrote went to the terminal, not to us: the log has its command
// line and how it ended.
RunResult LoggingLauncher::RunOnTerminal(const std::vector<std::string>& argv) {
  log_.Line("Running on the terminal: " + RenderCommandLine(argv));
  RunResult result = inner_->RunOnTerminal(argv);
  LogHowItEnded(log_, result);
  return result;
}

}  // namespace kiv
