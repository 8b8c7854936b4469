// The POSIX side of the cabinet code (cab_platform.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/cabinet/cab_paths.h"
#include "tools/cabinet/cab_platform.h"

namespace kiv::cab {

namespace {

mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

int Fd(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

TempOutput::~TempOutput() {
  if (handle_ != -1) ::close(Fd(handle_));
  if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
}

bool TempOutput::Open(std::string& error) {
  std::string tmpl = TempTemplateBeside(target_);
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  const int fd = ::mkstemp(buf.data());
  if (fd < 0) {
    error = "cannot create a file in the folder of " + target_ + ": " + std::strerror(errno);
    return false;
  }
  handle_ = fd;
  tempPath_ = buf.data();
  ::fchmod(fd, NewFileMode());
  return true;
}

bool TempOutput::Write(const uint8_t* data, size_t size, std::string& error) {
  while (size > 0) {
    ssize_t n = ::write(Fd(handle_), data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write " + target_ + ": " + std::strerror(errno);
      return false;
    }
    data += n;
    size -= size_t(n);
  }
  return true;
}

bool TempOutput::WriteAt(const std::vector<uint8_t>& data, int64_t offset, std::string& error) {
  if (::lseek(Fd(handle_), off_t(offset), SEEK_SET) != off_t(offset)) {
    error = "cannot seek in " + target_ + ": " + std::strerror(errno);
    return false;
  }
  return Write(data.data(), data.size(), error);
}

bool TempOutput::Commit(std::string& error) {
  const int fd = Fd(handle_);
  handle_ = -1;
  if (::close(fd) != 0) {
    error = "cannot write " + target_ + ": " + std::strerror(errno);
    return false;
  }
  if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
    error = "cannot rename the finished cabinet to " + target_ + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

bool ReadInPieces(const std::string& path, const std::function<bool(const uint8_t*, size_t)>& onPiece,
                  std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> buf(1 << 16);
  for (;;) {
    ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    if (!onPiece(buf.data(), size_t(n))) {
      ::close(fd);
      return false;
    }
  }
  ::close(fd);
  return true;
}

std::string MakeTempFileBeside(const std::string& dest, std::string& error) {
  std::string tmpl = TempTemplateBeside(dest);
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  int fd = ::mkstemp(buf.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return "";
  }
  ::close(fd);
  return buf.data();
}

void SetNewFileMode(const std::string& path) { ::chmod(path.c_str(), NewFileMode()); }

void SetFileDate(const std::string& path, int64_t seconds) {
  struct timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace kiv::cab
