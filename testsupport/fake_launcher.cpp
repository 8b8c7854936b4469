#include "testsupport/fake_launcher.h"

namespace kiv::testing {

namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string FakeCommand::Line() const {
  std::string line;
  for (size_t i = 0; i < argv.size(); ++i) line += (i ? " " : "") + (i ? argv[i] : BaseName(argv[i]));
  return line;
}

std::vector<std::string> FakeLauncher::Ran(const std::string& program) const {
  std::vector<std::string> lines;
  for (const FakeCommand& c : commands_ran)
    if (!c.argv.empty() && BaseName(c.argv[0]) == program) lines.push_back(c.Line());
  return lines;
}

const FakeProgram* FakeLauncher::Find(const FakeCommand& command) {
  commands_ran.push_back(command);
  if (command.argv.empty()) return nullptr;
  auto it = programs_.find(BaseName(command.argv[0]));
  return it == programs_.end() ? nullptr : &it->second;
}

// A started stand-in: its handler ran at Start; Poll hands out its output
// and then the one end notification.
class FakeChild : public ChildProcess {
 public:
  explicit FakeChild(FakeLauncher& launcher) : launcher_(launcher) {}
  bool Start(const std::vector<std::string>& argv, const std::string& workingDir) override {
    const FakeProgram* program = launcher_.Find(FakeCommand{argv, workingDir});
    if (!program) {
      error_ = "No such file or directory";
      return false;
    }
    run_ = (*program)(launcher_.commands_ran.back());
    running_ = true;
    return true;
  }
  bool Poll(std::chrono::milliseconds) override {
    if (!running_ && !endPending_) return false;
    if (running_ && !killed_ && run_.runningUntil && !run_.runningUntil()) return true;
    if (running_ && !killed_ && run_.pollsRunning > 0) {
      --run_.pollsRunning;
      return true;
    }
    if (running_ && !killed_ && next_ < run_.output.size()) {
      if (DataReceived) DataReceived(run_.output[next_++]);
      return true;
    }
    running_ = false;
    exitCode_ = killed_ ? -1 : run_.exitCode;
    endPending_ = false;
    if (ProcessEnded) ProcessEnded();  // may destroy this object
    return false;
  }
  bool Running() const override { return running_; }
  int ExitCode() const override { return exitCode_; }
  const std::string& Error() const override { return error_; }
  int Pid() const override { return running_ ? 4242 : -1; }
  void Kill() override { killed_ = true; }

 private:
  FakeLauncher& launcher_;
  FakeRun run_;
  size_t next_ = 0;
  bool running_ = false;
  bool endPending_ = true;
  bool killed_ = false;
  int exitCode_ = -1;
  std::string error_;
};

std::unique_ptr<ChildProcess> FakeLauncher::NewChild() { return std::make_unique<FakeChild>(*this); }

bool FakeLauncher::ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options) {
  return RunAndCapture(argv, options).ended;
}

RunResult FakeLauncher::RunToTheEnd(const FakeCommand& command, std::string& output) {
  RunResult result;
  const FakeProgram* program = Find(command);
  if (!program) {
    result.error = "No such file or directory";
    return result;
  }
  const FakeRun run = (*program)(commands_ran.back());
  result.started = result.ended = true;
  result.exitCode = run.exitCode;
  for (const std::string& chunk : run.output) output += chunk;
  return result;
}

RunResult FakeLauncher::RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options) {
  std::string output;
  RunResult result = RunToTheEnd(FakeCommand{argv, options.workingDir}, output);
  result.output = std::move(output);
  if (result.started && options.pump) options.pump();
  return result;
}

RunResult FakeLauncher::RunOnTerminal(const std::vector<std::string>& argv) {
  return RunToTheEnd(FakeCommand{argv, "", true}, terminal);
}

}  // namespace kiv::testing
