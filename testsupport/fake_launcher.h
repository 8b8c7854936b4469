#pragma once
// An in-process stand-in for the programs a builder starts (as ninja's
// FakeCommandRunner): every command is recorded in `commands_ran`, and the
// program named by argv[0]'s file name answers through a handler that leaves
// the files the real tool would leave and says what it prints. A program
// without a handler cannot be started.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/process_runner.h"

namespace kiv::testing {

struct FakeCommand {
  std::vector<std::string> argv;
  std::string workingDir;
  bool onTerminal = false;  // started by RunOnTerminal (its output went to `terminal`)
  // argv joined by blanks, the program by its file name ("bootsmith -t 144 x").
  std::string Line() const;
};

// What a stand-in program does once started.
struct FakeRun {
  int exitCode = 0;
  std::vector<std::string> output;  // delivered one chunk a poll, in order
  int pollsRunning = 0;             // polls it keeps running before its output
  // When set, it keeps running (no output, no end) until this says true:
  // a program the test holds at work while it acts.
  std::function<bool()> runningUntil;
};

// A program that prints `output` and ends with `exitCode` at once.
inline FakeRun Exits(int exitCode, std::vector<std::string> output = {}) {
  FakeRun run;
  run.exitCode = exitCode;
  run.output = std::move(output);
  return run;
}

using FakeProgram = std::function<FakeRun(const FakeCommand&)>;

// The installed program itself behind the stand-in (for tools as quick and
// as harmless as mtools on an image file): it runs, and what it printed and
// its exit code are the stand-in's.
inline FakeRun RunsTheRealProgram(const FakeCommand& command) {
  const RunResult r = SystemLauncher().RunAndCapture(command.argv, RunOptions{command.workingDir, 60000, {}});
  return Exits(r.exitCode, {r.output});
}

class FakeLauncher : public ProcessLauncher {
 public:
  // `program` is the file name of argv[0] ("bootsmith", "sh").
  void Add(const std::string& program, FakeProgram handler) { programs_[program] = std::move(handler); }
  void Remove(const std::string& program) { programs_.erase(program); }

  std::vector<FakeCommand> commands_ran;
  // Lines of the commands of one program, in order.
  std::vector<std::string> Ran(const std::string& program) const;

  std::unique_ptr<ChildProcess> NewChild() override;
  bool ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options) override;
  RunResult RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options) override;
  // What a program run on the terminal printed is appended to `terminal`.
  RunResult RunOnTerminal(const std::vector<std::string>& argv) override;
  std::string terminal;
  // A program with a stand-in is installed, in kFakeBin; any other is not.
  std::string FindProgram(const std::string& program) override {
    return programs_.count(program) ? kFakeBin + program : std::string();
  }
  static constexpr const char* kFakeBin = "/fake-bin/";

 private:
  friend class FakeChild;
  // Records the command; null when no program of that name is known.
  const FakeProgram* Find(const FakeCommand& command);
  // Records and runs `command` at once, its output appended to `output`.
  RunResult RunToTheEnd(const FakeCommand& command, std::string& output);
  std::map<std::string, FakeProgram> programs_;
};

}  // namespace kiv::testing

#include "common/vm_trial.h"

namespace kiv::testing {

// QEMU for the windows' "Try in a virtual machine", in process: whether it
// is installed, and the argument lists it was started with.
struct FakeVm {
  bool installed = true;
  bool startWorks = true;
  std::vector<std::vector<std::string>> starts;
  VmLauncher Launcher() {
    return VmLauncher{[this] { return installed ? std::string("/usr/bin/qemu-system-i386") : std::string(); },
                      [this](const std::vector<std::string>& argv) {
                        starts.push_back(argv);
                        return startWorks;
                      }};
  }
};

}  // namespace kiv::testing
