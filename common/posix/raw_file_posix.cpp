// The POSIX side of RawFile and of the device questions in platform.h.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/platform.h"

namespace kiv {

std::string OwningGroupName(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "";
  const struct group* g = ::getgrgid(st.st_gid);
  return g && g->gr_name ? g->gr_name : "";
}

std::string DeviceNumbers(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return "";
  return std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
}

namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

RawFile::~RawFile() { Close(); }

bool RawFile::Failed() {
  error_ = errno;
  return false;
}

bool RawFile::Open(const std::string& path, Access access) {
  Close();
  error_ = 0;
  int flags = O_CLOEXEC;
  switch (access) {
    case Access::Read:
      flags |= O_RDONLY;
      break;
    case Access::ReadProbe:
      flags |= O_RDONLY | O_NONBLOCK;
      break;
    case Access::Write:
      flags |= O_WRONLY | O_NOCTTY;
      break;
    case Access::WriteExclusive:
      // O_EXCL on a block device fails while anything else holds it open.
      flags |= O_WRONLY | O_NOCTTY | O_EXCL;
      break;
  }
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) return Failed();
  handle_ = fd;
  return true;
}

int64_t RawFile::ReadFull(char* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(Fd(handle_), data + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Failed();
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool RawFile::WriteFull(const char* data, size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(Fd(handle_), data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Failed();
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool RawFile::WriteAt(const char* data, size_t count, int64_t offset) {
  while (count > 0) {
    const ssize_t n = ::pwrite(Fd(handle_), data, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Failed();
    data += n;
    count -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

bool RawFile::Rewind() { return ::lseek(Fd(handle_), 0, SEEK_SET) == 0 || Failed(); }

bool RawFile::Sync() { return ::fsync(Fd(handle_)) == 0 || Failed(); }

void RawFile::DropCache() {
  if (IsOpen()) ::posix_fadvise(Fd(handle_), 0, 0, POSIX_FADV_DONTNEED);
}

bool RawFile::Close() {
  if (!IsOpen()) return true;
  const int fd = Fd(handle_);
  handle_ = -1;
  return ::close(fd) == 0 || Failed();
}

std::string RawFile::ErrorText() const { return std::strerror(error_); }

}  // namespace kiv
