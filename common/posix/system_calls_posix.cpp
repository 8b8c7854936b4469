// The POSIX side of the small operating system services in platform.h.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/platform.h"

namespace kiv {

bool IsTerminal(std::FILE* stream) { return stream && ::isatty(::fileno(stream)); }

bool IsRunningAsRoot() { return ::geteuid() == 0; }

int64_t ProcessId() { return static_cast<int64_t>(::getpid()); }

std::optional<std::string> AccountHomeFolder() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return std::string(pw->pw_dir);
  return std::nullopt;
}

std::string UserName() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  return "";
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

namespace {

FileTime FromTimespec(const timespec& t) { return {static_cast<int64_t>(t.tv_sec), static_cast<int32_t>(t.tv_nsec)}; }

timespec ToTimespec(FileTime t) {
  timespec out{};
  out.tv_sec = static_cast<time_t>(t.seconds);
  out.tv_nsec = t.nanoseconds;
  return out;
}

}  // namespace

bool GetFileTimes(const std::string& path, bool followLink, FileTime& accessed, FileTime& modified,
                  std::string* error) {
  struct stat st {};
  if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  accessed = FromTimespec(st.st_atim);
  modified = FromTimespec(st.st_mtim);
  return true;
}

std::string SetFileTimes(const std::string& path, bool followLink, FileTime accessed, FileTime modified) {
  const timespec times[2] = {ToTimespec(accessed), ToTimespec(modified)};
  if (::utimensat(AT_FDCWD, path.c_str(), times, followLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
    return std::strerror(errno);
  return "";
}

std::string CreateNewFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return "";
}

}  // namespace kiv
