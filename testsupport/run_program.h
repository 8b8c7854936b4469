#pragma once
// Runs a program for a test and collects what it writes, so tests of the
// command-line tools stay off the process calls. Header-only; for tests.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kiv {

struct ProgramRun {
  int code = -1;    // exit status, or 128 + the signal that ended it
  std::string out;  // standard output (and standard error when merged)
  std::string err;  // standard error when kept apart
};

namespace program_run_detail {
inline std::string ReadBack(std::FILE* f) {
  std::string s;
  if (std::fseek(f, 0, SEEK_SET) != 0) return s;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}
}  // namespace program_run_detail

// Runs argv[0] (looked up in PATH) in `cwd` when given, with the extra
// environment entries ("NAME=value", later ones win), and waits for it.
// Standard error goes into `out` too when `mergeOutput` is set.
inline ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& cwd = {},
                             const std::vector<std::string>& env = {}, bool mergeOutput = false) {
  ProgramRun r;
  std::FILE* out = std::tmpfile();
  std::FILE* err = mergeOutput ? out : std::tmpfile();
  if (!out || !err) return r;
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::dup2(::fileno(out), 1);
    ::dup2(::fileno(err), 2);
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid > 0) {
    ::waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  r.out = program_run_detail::ReadBack(out);
  if (!mergeOutput) r.err = program_run_detail::ReadBack(err);
  std::fclose(out);
  if (!mergeOutput) std::fclose(err);
  return r;
}

// Runs `body` in a forked copy of the test process until Kill() or the end of
// the object, which ends it hard (SIGKILL) at whatever point it has reached.
class ForkedChild {
 public:
  explicit ForkedChild(const std::function<void()>& body) {
    pid_ = ::fork();
    if (pid_ == 0) {
      body();
      ::_exit(0);
    }
  }
  ~ForkedChild() { Kill(); }
  ForkedChild(const ForkedChild&) = delete;
  ForkedChild& operator=(const ForkedChild&) = delete;
  bool Started() const { return pid_ > 0; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace kiv
