// The POSIX back end of the platform services.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"

namespace kiv {

namespace {

// Mount points in /proc/self/mounts escape blanks and the like as \ooo.
std::string UnescapeMountField(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() + 0 && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
        s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

class PosixPlatform : public Platform {
 public:
  explicit PosixPlatform(ProcessLauncher& tools) : tools_(tools) {}
  std::string ProgramFolder() const override {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
      char cwd[PATH_MAX];
      return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string(".");
    }
    std::string exe(buf, static_cast<size_t>(n));
    size_t slash = exe.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : exe.substr(0, slash);
  }
  std::string WindowsFolder() const override { return ""; }
  std::string SystemFolder() const override { return ""; }
  std::string RegString(const std::string&, const std::string&) const override { return ""; }
  bool IsWinNT() const override { return false; }
  bool IsWin9x() const override { return false; }
  std::string FirstCdRomDrive() const override { return FirstOpticalMount("/proc/self/mounts"); }
  int64_t FreeSpace(const std::string& path) const override { return FreeBytes(path); }
  std::time_t Now() const override { return std::time(nullptr); }
  void FillRandom(uint8_t* bytes, size_t size) const override {
    // The kernel's source, at most 256 bytes a call; a kernel too old for
    // getentropy leaves std::random_device, which reads the same source.
    for (size_t done = 0; done < size;) {
      const size_t chunk = std::min<size_t>(size - done, 256);
      if (getentropy(bytes + done, chunk) != 0) {
        std::random_device device;
        for (; done < size; ++done) bytes[done] = static_cast<uint8_t>(device());
        return;
      }
      done += chunk;
    }
  }
  bool OpenLink(const std::string& target) const override {
    return OpenWithDesktop(tools_.FindProgram("xdg-open"), target);
  }
  bool OpenFolder(const std::string& folder) const override {
    return OpenWithDesktop(tools_.FindProgram("xdg-open"), ResolvePath(folder));
  }

 private:
  ProcessLauncher& tools_;
};

}  // namespace

std::string FirstOpticalMount(const std::string& mountsFile) {
  std::ifstream in(mountsFile);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, type;
    if (!(fields >> device >> mountPoint >> type)) continue;
    if (type == "iso9660" || type == "udf") return UnescapeMountField(mountPoint);
  }
  return "";
}

int64_t FreeBytes(const std::string& path) {
  std::string p = ResolvePath(path.empty() ? "." : path);
  if (p.empty()) p = ".";
  // The nearest existing ancestor holds the file system the path would be on.
  for (;;) {
    struct stat st;
    if (::stat(p.c_str(), &st) == 0) break;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) {
      p = ".";
      break;
    }
    p = slash == 0 ? "/" : p.substr(0, slash);
  }
  struct statvfs vfs;
  if (::statvfs(p.c_str(), &vfs) != 0) return -1;
  unsigned long long unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  unsigned long long blocks = vfs.f_bavail;
  if (unit != 0 && blocks > static_cast<unsigned long long>(INT64_MAX) / unit) return INT64_MAX;
  return static_cast<int64_t>(blocks * unit);
}

bool OpenWithDesktop(const std::string& opener, const std::string& target) {
  if (target.empty() || opener.empty()) return false;
  // xdg-open hands the target to the desktop's program and ends, or ends at
  // once with a non-zero status when it finds none ("no method available").
  // One still running after the grace time runs the program itself.
  const int status = StartDetachedWatched({opener, target}, kOpenerGraceMs);
  return status == 0 || status == kDetachedRunning;
}

std::unique_ptr<Platform> MakeSystemPlatform(ProcessLauncher& tools) { return std::make_unique<PosixPlatform>(tools); }
std::unique_ptr<Platform> MakeSystemPlatform() { return MakeSystemPlatform(SystemLauncher()); }

InstanceLock::~InstanceLock() { Release(); }

bool InstanceLock::Acquire(const std::string& lockFile, std::string* previous) {
  Release();
  error_.clear();
  // A link planted at the lock's name is replaced, never written through.
  DropLinkAt(lockFile);
  int fd = ::open(ResolvePathPrefix(lockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) error_ = std::strerror(errno);
    ::close(fd);
    return false;
  }
  if (previous) {
    previous->clear();
    char buf[4096];
    ssize_t n;
    while ((n = ::pread(fd, buf, sizeof buf, static_cast<off_t>(previous->size()))) > 0 && previous->size() < 65536)
      previous->append(buf, static_cast<size_t>(n));
  }
  fd_ = fd;
  // The holder's pid, for a person looking at the file; the lock is what counts.
  Note("");
  return true;
}

bool InstanceLock::Note(const std::string& text) {
  if (fd_ < 0) return false;
  const std::string content = std::to_string(::getpid()) + "\n" + text + (text.empty() ? "" : "\n");
  return ::ftruncate(fd_, 0) == 0 &&
         ::pwrite(fd_, content.data(), content.size(), 0) == static_cast<ssize_t>(content.size());
}

void InstanceLock::Release() {
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  fd_ = -1;
}

}  // namespace kiv
