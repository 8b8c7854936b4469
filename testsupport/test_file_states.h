#pragma once
// File system states the tests set up and look at (permissions, links, pipes,
// dates, redirected standard input and output), so test code stays off the system
// headers. POSIX here; each answers false / -1 when the call fails.
// Header-only; for tests.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace kiv {

// Replaces the permission bits of `path` (a link followed), as chmod does.
inline bool SetMode(const std::string& path, unsigned mode) {
  return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}
// The permission bits of `path` (a link followed); -1 when it cannot be read.
inline int ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}
inline bool MakeSymlink(const std::string& target, const std::string& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}
inline bool IsSymlink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
inline bool MakeHardLink(const std::string& existing, const std::string& alias) {
  return ::link(existing.c_str(), alias.c_str()) == 0;
}
// A named pipe: no file data, and a reader of it waits for a writer.
inline bool MakePipe(const std::string& path) { return ::mkfifo(path.c_str(), 0644) == 0; }
// Whole seconds of the modification time of `path` itself (a link not
// followed); -1 when it cannot be read.
inline int64_t ModifiedSeconds(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtim.tv_sec) : -1;
}
// Sets access and modification time of `path` itself to whole `seconds`.
inline bool SetModifiedSeconds(const std::string& path, int64_t seconds) {
  const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}
// Gives `path` (a link followed) to another user and group.
inline bool SetOwner(const std::string& path, unsigned user, unsigned group) {
  return ::chown(path.c_str(), static_cast<uid_t>(user), static_cast<gid_t>(group)) == 0;
}
// Which file `path` names (a link not followed): equal for all hard links to
// one file; 0 when it cannot be read.
inline uint64_t FileNumber(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_ino) : 0;
}
// True when the test runs as the superuser, whom permissions do not stop.
inline bool TestRunsAsRoot() { return ::geteuid() == 0; }
// The test process's id, for names no concurrent test run picks.
inline int64_t TestProcessId() { return static_cast<int64_t>(::getpid()); }
// True while a process with this id exists (a zombie too).
inline bool ProcessExists(int64_t pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0; }

// A limit on the size of the files this process writes, for the life of the
// object: a write beyond it fails with EFBIG, as on a full disk (the signal
// that would end the process is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old_;
    small.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_ {};
  void (*oldHandler_)(int) = nullptr;
};

// Standard input read from a file for the life of the object.
class StdinFrom {
 public:
  explicit StdinFrom(const std::string& path) {
    std::fflush(stdin);
    saved_ = ::dup(STDIN_FILENO);
    int fd = ::open(path.c_str(), O_RDONLY);
    ::dup2(fd, STDIN_FILENO);
    ::close(fd);
    std::clearerr(stdin);
  }
  ~StdinFrom() {
    ::dup2(saved_, STDIN_FILENO);
    ::close(saved_);
    std::clearerr(stdin);
  }
  StdinFrom(const StdinFrom&) = delete;
  StdinFrom& operator=(const StdinFrom&) = delete;

 private:
  int saved_ = -1;
};

// Standard output written to a file (created or truncated) for the life of
// the object.
class StdoutTo {
 public:
  explicit StdoutTo(const std::string& path) {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
  }
  ~StdoutTo() {
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
  }
  StdoutTo(const StdoutTo&) = delete;
  StdoutTo& operator=(const StdoutTo&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace kiv
