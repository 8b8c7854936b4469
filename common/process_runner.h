#pragma once
// Starting other programs. Programs are started from an argv, never through a
// shell, so nothing in a path is ever interpreted. Everything runs on the
// caller's thread: waits poll the child, call the pump between polls and sleep
// briefly (no busy spin).
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kiv {

// Windows command-line rendering of an argv (quotes where needed), for logs and
// for the texts that name a command; never used to start anything.
std::string RenderCommandLine(const std::vector<std::string>& argv);

struct RunOptions {
  std::string workingDir;      // "" = the caller's current folder
  int timeoutMs = 0;           // <= 0: no limit
  std::function<void()> pump;  // called between polls (may be empty)
};

// Starts argv and waits for it to end. True when it ended within the time-out;
// false when it could not be started or the time-out passed (the child is left
// running, as the original did). The exit code is not examined.
// A stop request (stop_request.h) ends the child and what it started, runs
// the pump once more (the caller's cancel) and gives false.
bool ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options = {});

// Like ShellAndWait, but also reports the exit status (-1 when it could not be
// started or did not end in time) and the merged output. For our own callers
// that need more than "it ended". Unlike ShellAndWait, a program that outlives
// the time-out is ended (SIGTERM, then SIGKILL) rather than left running, and
// so is one running when a stop is requested (error "stopped"; the pump runs
// once more after it ended).
struct RunResult {
  bool started = false;
  bool ended = false;
  int exitCode = -1;
  std::string output;
  std::string error;  // why it could not start
};
RunResult RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options = {});

// Starts argv on this program's own standard streams (for an interactive
// program: it reads the keys typed at our terminal and writes there) and
// waits for it to end; nothing is captured, so `output` stays empty. It stays
// in our process group, so the terminal's keys and a signal to the group
// reach it as they reach us. A stop request ends it (error "stopped").
RunResult RunOnTerminal(const std::vector<std::string>& argv);

// What a message shows of a finished run: the reason it could not start, or
// its output without leading and trailing blanks and line ends.
std::string RunOutputForMessage(const RunResult& result);

// A program started without waiting: stdout and stderr merged, delivered as
// chunks in arrival order by Poll(), then exactly one end notification after
// the process has ended and all its output was delivered.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;

  // Called from Poll(). ProcessEnded may destroy this object; DataReceived
  // must not.
  std::function<void(const std::string& TextPipe)> DataReceived;
  std::function<void()> ProcessEnded;

  // False (with Error()) when the program cannot be started; no events then.
  virtual bool Start(const std::vector<std::string>& argv, const std::string& workingDir = "") = 0;
  // Delivers what has arrived; waits up to `wait` for something to arrive.
  // Returns true while the end notification is still to come.
  virtual bool Poll(std::chrono::milliseconds wait = std::chrono::milliseconds(20)) = 0;
  // Polls, pumping between polls, until the end notification was delivered.
  void WaitForEnd(const std::function<void()>& pump = {});
  virtual bool Running() const = 0;
  virtual int ExitCode() const = 0;  // valid after the end notification; -1 if killed
  virtual const std::string& Error() const = 0;
  // The child's process id (for logs); -1 before a successful Start().
  virtual int Pid() const = 0;
  // Ends the child and its process group (SIGTERM, then SIGKILL after a few
  // seconds) - for stop requests, tests and shutdowns.
  virtual void Kill() = 0;
};

// The asynchronous runner of the operating system.
class AsyncProcess : public ChildProcess {
 public:
  AsyncProcess();
  ~AsyncProcess() override;  // a still-running child is left alone; its pipe is closed
  AsyncProcess(const AsyncProcess&) = delete;
  AsyncProcess& operator=(const AsyncProcess&) = delete;

  bool Start(const std::vector<std::string>& argv, const std::string& workingDir = "") override;
  bool Poll(std::chrono::milliseconds wait = std::chrono::milliseconds(20)) override;
  bool Running() const override;
  int ExitCode() const override;
  const std::string& Error() const override;
  int Pid() const override;
  void Kill() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The seam through which the programs start other programs: the system's
// processes in the programs, an in-process stand-in in the tests (which
// records each argv and leaves the files the tool would leave).
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // A child to Start(); nothing runs until then.
  virtual std::unique_ptr<ChildProcess> NewChild() = 0;
  virtual bool ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options) = 0;
  virtual RunResult RunAndCapture(const std::vector<std::string>& argv, const RunOptions& options) = 0;
  // RunOnTerminal: a program that talks to the person at our terminal.
  virtual RunResult RunOnTerminal(const std::vector<std::string>& argv) = 0;
  // The path of an installed program as argv[0] should name it, "" when it
  // is not installed: the system's search path in the programs, the
  // stand-ins a test gave in the tests.
  virtual std::string FindProgram(const std::string& program) = 0;
};

// The operating system's processes (the free functions above).
ProcessLauncher& SystemLauncher();

// A program's executable path in `searchPath` (folders separated by ':', as
// PATH holds them; "" when none holds it). A name with a '/' is taken as a
// path and returned when it is an executable file.
std::string FindOnPath(const std::string& program, const std::string& searchPath);

// Starts argv in a new session with its standard streams on /dev/null and
// does not wait (viewers, browsers); false when it cannot be started. The
// child is reaped when it ends.
bool StartDetached(const std::vector<std::string>& argv);

// Starts argv as StartDetached does and watches it for up to `graceMs`, for
// launchers that either hand over to another program and end at once, or fail
// at once. The result is the exit status when it ended by then,
// kDetachedRunning when it still runs (reaped when it ends), kDetachedNotStarted
// when it could not be started.
inline constexpr int kDetachedRunning = -1;
inline constexpr int kDetachedNotStarted = -2;
int StartDetachedWatched(const std::vector<std::string>& argv, int graceMs);

}  // namespace kiv
