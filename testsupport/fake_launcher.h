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
  // argv joined by blanks, the program by its file name ("bootsmith -t 144 x").
  std::string Line() const;
};

// What a stand-in program does once started.
struct FakeRun {
  int exitCode = 0;
  std::vector<std::string> output;  // delivered one chunk a poll, in order
  int pollsRunning = 0;             // polls it keeps running before its output
};

using FakeProgram = std::function<FakeRun(const FakeCommand&)>;

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

 private:
  friend class FakeChild;
  // Records the command; null when no program of that name is known.
  const FakeProgram* Find(const FakeCommand& command);
  std::map<std::string, FakeProgram> programs_;
};

}  // namespace kiv::testing
