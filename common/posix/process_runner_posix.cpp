// Process start and supervision on POSIX: posix_spawn from an argv (no shell),
// one pipe carrying stdout and stderr, non-blocking reads driven by poll().
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/process_runner.h"
#include "common/stop_request.h"

extern char** environ;

namespace kiv {

namespace {

// Reaps a child we stop watching, so it never lingers as a zombie.
void ReapInBackground(pid_t pid) {
  if (pid <= 0) return;
  std::thread([pid] {
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

struct SpawnSpec {
  const std::vector<std::string>* argv = nullptr;
  std::string workingDir;
  int outFd = -1;  // stdout and stderr go here; -1: inherited
  bool nullStdin = false;
  bool newGroup = false;
  bool detach = false;  // new session, all standard streams on /dev/null
  // The child gets SIGTERM when this program dies, however it dies (even
  // by SIGKILL, when nothing of ours runs to end it).
  bool dieWithParent = false;
};

// The signals a child starts with at their defaults.
constexpr int kDefaultSignals[] = {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD};

// Spawn for a child that dies with us: posix_spawn cannot ask for the
// parent-death signal, so fork and exec, with only async-signal-safe calls
// between them. A failed exec reports its errno through a pipe that the
// exec closes.
int SpawnDyingWithParent(const SpawnSpec& spec, const std::vector<char*>& args, pid_t& pid) {
  const std::string& program = (*spec.argv)[0];
  // Looked up before the fork: the child only runs what it is given.
  const char* path = std::getenv("PATH");
  const std::string exe =
      program.find('/') != std::string::npos ? program : FindOnPath(program, path ? path : "/usr/bin:/bin");
  if (exe.empty()) return ENOENT;
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return errno;
  const long openMax = std::min<long>(::sysconf(_SC_OPEN_MAX), 65536);
  const pid_t parent = ::getpid();
  const char* dir = spec.workingDir.empty() ? nullptr : spec.workingDir.c_str();
  const pid_t child = ::fork();
  if (child < 0) {
    const int err = errno;
    ::close(report[0]);
    ::close(report[1]);
    return err;
  }
  if (child == 0) {
    int err = 0;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);  // we died before the signal was asked for
    if (spec.newGroup) ::setpgid(0, 0);
    if (spec.nullStdin) {
      const int in = ::open("/dev/null", O_RDONLY);
      if (in >= 0 && in != 0) {
        ::dup2(in, 0);
        ::close(in);
      }
    }
    if (spec.outFd >= 0) {
      ::dup2(spec.outFd, 1);
      ::dup2(spec.outFd, 2);
    }
    // Nothing else of ours leaks into the child; the report pipe closes on exec.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0)
      for (int fd = 3; fd < openMax; ++fd)
        if (fd != report[1]) ::close(fd);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : kDefaultSignals) ::sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dir && ::chdir(dir) != 0) err = errno;
    if (!err) {
      ::execve(exe.c_str(), args.data(), environ);
      err = errno;
    }
    if (::write(report[1], &err, sizeof err) < 0) {
    }
    ::_exit(127);
  }
  ::close(report[1]);
  int err = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &err, sizeof err);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof err)) {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return err ? err : ENOEXEC;
  }
  pid = child;
  return 0;
}

// 0 and the pid, or the errno of the failed start.
int Spawn(const SpawnSpec& spec, pid_t& pid) {
  const std::vector<std::string>& argv = *spec.argv;
  if (argv.empty() || argv[0].empty()) return ENOENT;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (spec.dieWithParent && !spec.detach) return SpawnDyingWithParent(spec, args, pid);

  posix_spawn_file_actions_t fa;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&fa);
  posix_spawnattr_init(&attr);
  if (spec.detach) {
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  } else {
    if (spec.nullStdin) posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    if (spec.outFd >= 0) {
      posix_spawn_file_actions_adddup2(&fa, spec.outFd, 1);
      posix_spawn_file_actions_adddup2(&fa, spec.outFd, 2);
    }
  }
  // Nothing else of ours leaks into the child (pipes of other runs included).
  posix_spawn_file_actions_addclosefrom_np(&fa, 3);
  if (!spec.workingDir.empty()) posix_spawn_file_actions_addchdir_np(&fa, spec.workingDir.c_str());

  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  sigset_t def, mask;
  sigemptyset(&def);
  for (int s : kDefaultSignals) sigaddset(&def, s);
  sigemptyset(&mask);
  posix_spawnattr_setsigdefault(&attr, &def);
  posix_spawnattr_setsigmask(&attr, &mask);
  if (spec.detach) {
    flags |= POSIX_SPAWN_SETSID;
  } else if (spec.newGroup) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attr, 0);
  }
  posix_spawnattr_setflags(&attr, flags);

  int rc = ::posix_spawnp(&pid, args[0], &fa, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  return rc;
}

std::string StartError(const std::vector<std::string>& argv, int err) {
  std::string prog = argv.empty() ? std::string() : argv[0];
  return "Cannot start \"" + prog + "\": " + std::strerror(err);
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Ends a child and everything it started: SIGTERM to its group (or to it
// alone when it shares ours), SIGKILL after a grace period; reaps it.
// `reap(block)` is true once the child is reaped.
template <typename Reap>
void EndChild(pid_t pid, bool ownGroup, Reap reap) {
  const pid_t target = ownGroup ? -pid : pid;
  ::kill(target, SIGTERM);
  // Long enough for a builder of ours to cancel and remove its work files.
  for (int i = 0; i < 300 && !reap(false); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!reap(false)) {
    ::kill(target, SIGKILL);
    reap(true);
  }
}

// Collects `pid` if it has ended (waiting for it when `block`): true once it
// is gone, or when there is nothing left to wait for.
bool Reaped(pid_t pid, bool block) {
  int status;
  pid_t w;
  do {
    w = ::waitpid(pid, &status, block ? 0 : WNOHANG);
  } while (w < 0 && errno == EINTR);
  return w == pid || w < 0;
}

}  // namespace

bool StartDetached(const std::vector<std::string>& argv) {
  SpawnSpec spec;
  spec.argv = &argv;
  spec.detach = true;
  pid_t pid = -1;
  if (Spawn(spec, pid) != 0) return false;
  ReapInBackground(pid);
  return true;
}

int StartDetachedWatched(const std::vector<std::string>& argv, int graceMs) {
  SpawnSpec spec;
  spec.argv = &argv;
  spec.detach = true;
  pid_t pid = -1;
  if (Spawn(spec, pid) != 0) return kDetachedNotStarted;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  auto nap = std::chrono::milliseconds(1);
  for (;;) {
    int status;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return ExitCodeOf(status) >= 0 ? ExitCodeOf(status) : 128;
    if (r < 0 && errno != EINTR) return kDetachedRunning;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(nap);
    if (nap < std::chrono::milliseconds(20)) nap *= 2;
  }
  ReapInBackground(pid);
  return kDetachedRunning;
}

RunResult RunOnTerminal(const std::vector<std::string>& argv) {
  RunResult result;
  SpawnSpec spec;
  spec.argv = &argv;
  // Our streams and our process group: at a terminal it is in the foreground
  // group with us, so it can read the keys typed there.
  pid_t pid = -1;
  if (const int err = Spawn(spec, pid); err != 0) {
    result.error = StartError(argv, err);
    return result;
  }
  result.started = true;
  auto nap = std::chrono::milliseconds(1);
  for (;;) {
    int status;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      result.ended = true;
      result.exitCode = ExitCodeOf(status);
      return result;
    }
    if (r < 0 && errno != EINTR) {
      result.error = std::strerror(errno);
      return result;
    }
    if (StopRequested()) {
      EndChild(pid, false, [pid](bool block) { return Reaped(pid, block); });
      result.error = "stopped";
      return result;
    }
    std::this_thread::sleep_for(nap);
    if (nap < std::chrono::milliseconds(20)) nap *= 2;
  }
}

bool ShellAndWait(const std::vector<std::string>& argv, const RunOptions& options) {
  SpawnSpec spec;
  spec.argv = &argv;
  spec.workingDir = options.workingDir;
  // Its own process group, so a stop ends whatever it started too; but a
  // program that may ask the person at our terminal must stay in the
  // terminal's foreground group, or its first read would stop it.
  spec.newGroup = !::isatty(STDIN_FILENO);
  pid_t pid = -1;
  if (Spawn(spec, pid) != 0) return false;
  const auto start = std::chrono::steady_clock::now();
  auto nap = std::chrono::milliseconds(1);
  for (;;) {
    int status;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) return false;
    if (StopRequested()) {
      EndChild(pid, spec.newGroup, [pid](bool block) { return Reaped(pid, block); });
      // The caller's pump is where its cancel is handled; it runs once more
      // so the cancel comes before the caller looks at what the program left.
      if (options.pump) options.pump();
      return false;
    }
    if (options.timeoutMs > 0 &&
        std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(options.timeoutMs)) {
      ReapInBackground(pid);  // left running; reaped when it ends
      return false;
    }
    if (options.pump) options.pump();
    std::this_thread::sleep_for(nap);
    if (nap < std::chrono::milliseconds(20)) nap *= 2;
  }
}

struct AsyncProcess::Impl {
  pid_t pid = -1;
  int fd = -1;  // read end of the output pipe; -1 once at its end
  bool reaped = false;
  bool endDelivered = false;
  bool started = false;
  int exitCode = -1;
  std::string error;
  std::chrono::steady_clock::time_point exitSeen;

  void CloseFd() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  bool TryReap(bool block) {
    if (reaped || pid <= 0) return reaped;
    int status;
    pid_t r;
    do {
      r = ::waitpid(pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid) {
      reaped = true;
      exitCode = ExitCodeOf(status);
      exitSeen = std::chrono::steady_clock::now();
    } else if (r < 0) {
      reaped = true;  // not our child any more
      exitSeen = std::chrono::steady_clock::now();
    }
    return reaped;
  }
};

AsyncProcess::AsyncProcess() : impl_(std::make_unique<Impl>()) {}

AsyncProcess::~AsyncProcess() {
  impl_->CloseFd();
  if (impl_->started && !impl_->reaped) ReapInBackground(impl_->pid);
}

bool AsyncProcess::Start(const std::vector<std::string>& argv, const std::string& workingDir) {
  if (impl_->started) {
    impl_->error = "a program was already started by this runner";
    return false;
  }
  impl_->error.clear();
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    impl_->error = StartError(argv, errno);
    return false;
  }
  SpawnSpec spec;
  spec.argv = &argv;
  spec.workingDir = workingDir;
  spec.outFd = fds[1];
  spec.nullStdin = true;
  spec.newGroup = true;
  // A program run for us (a mastering tool, a boot-disk build) has no use
  // once we are gone: it ends with us, even when we are killed.
  spec.dieWithParent = true;
  pid_t pid = -1;
  int rc = Spawn(spec, pid);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    impl_->error = StartError(argv, rc);
    return false;
  }
  ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  impl_->pid = pid;
  impl_->fd = fds[0];
  impl_->started = true;
  return true;
}

bool AsyncProcess::Poll(std::chrono::milliseconds wait) {
  Impl& d = *impl_;
  if (!d.started || d.endDelivered) return false;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  constexpr size_t kMaxBytesPerPoll = 256 * 1024;
  size_t bytes = 0;
  bool delivered = false;
  for (;;) {
    if (d.fd >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      int timeout = delivered ? 0 : static_cast<int>(std::max<int64_t>(0, left.count()));
      // Once the child has gone, a grandchild may still hold the pipe open:
      // keep reading while output flows, but do not wait on it for long.
      if (d.reaped) timeout = std::min(timeout, 50);
      pollfd pfd{d.fd, POLLIN, 0};
      int n = ::poll(&pfd, 1, timeout);
      if (n < 0 && errno != EINTR) d.CloseFd();
      if (n > 0) {
        char buf[8192];
        ssize_t r = ::read(d.fd, buf, sizeof buf);
        if (r > 0) {
          std::string chunk(buf, static_cast<size_t>(r));
          if (DataReceived) DataReceived(chunk);
          delivered = true;
          bytes += static_cast<size_t>(r);
          // A program that never stops talking must not starve the caller's
          // event pump: hand back after a good helping or when time is up.
          if (bytes >= kMaxBytesPerPoll || std::chrono::steady_clock::now() >= deadline) return true;
          continue;
        }
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) d.CloseFd();
      } else if (n == 0 && d.reaped && std::chrono::steady_clock::now() - d.exitSeen > std::chrono::milliseconds(200)) {
        d.CloseFd();  // the program ended; whoever holds the pipe is not it
      }
    }
    d.TryReap(false);
    if (d.fd < 0 && !d.reaped) {
      // All output is in; the exit follows at once (or the child closed its
      // streams early and runs on: wait for it with short naps).
      auto left = deadline - std::chrono::steady_clock::now();
      if (!delivered && left > std::chrono::milliseconds(0)) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(5)));
        continue;
      }
    }
    if (d.fd < 0 && d.reaped) {
      d.endDelivered = true;
      // A handler may drop this very runner: call a copy and touch nothing after.
      if (auto ended = ProcessEnded) ended();
      return false;
    }
    if (delivered || std::chrono::steady_clock::now() >= deadline) return true;
  }
}

void ChildProcess::WaitForEnd(const std::function<void()>& pump) {
  while (Poll(std::chrono::milliseconds(20)))
    if (pump) pump();
}

bool AsyncProcess::Running() const { return impl_->started && !impl_->reaped; }

int AsyncProcess::ExitCode() const { return impl_->exitCode; }

const std::string& AsyncProcess::Error() const { return impl_->error; }

int AsyncProcess::Pid() const { return impl_->started ? static_cast<int>(impl_->pid) : -1; }

void AsyncProcess::Kill() {
  Impl& d = *impl_;
  if (!d.started || d.reaped) return;
  EndChild(d.pid, true, [&d](bool block) { return d.TryReap(block); });
  d.exitCode = -1;
}

}  // namespace kiv
