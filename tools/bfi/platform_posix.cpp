// The POSIX side of bfi: reading the source tree (platform.h) and writing the
// finished image (bfi_output.h).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "tools/bfi/bfi_output.h"
#include "tools/bfi/platform.h"

namespace kiv::fat12 {

bool ReadEntryInfo(const std::string& path, EntryInfo& info, std::string& error) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    error = std::strerror(errno);
    return false;
  }
  info.isDirectory = S_ISDIR(st.st_mode);
  info.isRegularFile = S_ISREG(st.st_mode);
  info.size = uint64_t(st.st_size);
  info.mtime = int64_t(st.st_mtime);
  info.device = uint64_t(st.st_dev);
  info.fileNumber = uint64_t(st.st_ino);
  return true;
}

bool ReadWholeSource(const std::string& path, uint8_t* dest, uint64_t size, std::string& error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": cannot read (" + std::strerror(errno) + ")";
    return false;
  }
  // Read one byte past the expected end to notice a file that grew.
  size_t want = size_t(size), got = 0;
  uint8_t extra = 0;
  bool failed = false;
  while (got <= want) {
    uint8_t* into = got < want ? dest + got : &extra;
    size_t chunk = got < want ? want - got : 1;
    ssize_t r = read(fd, into, chunk);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      error = path + ": read error (" + std::strerror(errno) + ")";
      failed = true;
      break;
    }
    if (r == 0) break;
    got += size_t(r);
  }
  close(fd);
  if (failed) return false;
  if (got != want) {
    error = path + ": the file changed size while it was read";
    return false;
  }
  return true;
}

}  // namespace kiv::fat12

namespace kiv::bfi {

namespace {

char g_tempPath[4096];
volatile sig_atomic_t g_tempActive = 0;

void RemoveTempAndExit(int sig) {
  if (g_tempActive) unlink(g_tempPath);
  signal(sig, SIG_DFL);
  raise(sig);
}

class SignalGuard {
 public:
  SignalGuard() {
    for (int i = 0; i < 3; ++i) old_[i] = signal(kSignals[i], RemoveTempAndExit);
  }
  ~SignalGuard() {
    for (int i = 0; i < 3; ++i) signal(kSignals[i], old_[i]);
  }

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
  void (*old_[3])(int);
};

}  // namespace

bool WriteFileAtomic(const std::string& path, const uint8_t* data, size_t used, size_t total, std::string& error) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) {
    error = path + ": not a file name";
    return false;
  }
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    error = path + ": is a folder";
    return false;
  }
  std::string temp = (folder == "/" ? "" : folder) + "/." + name + ".bfi-XXXXXX";
  if (temp.size() >= sizeof g_tempPath) {
    error = path + ": path too long";
    return false;
  }
  SignalGuard guard;
  std::memcpy(g_tempPath, temp.c_str(), temp.size() + 1);
  int fd = mkstemp(g_tempPath);
  if (fd < 0) {
    error = path + ": cannot create a file in " + folder + " (" + std::strerror(errno) + ")";
    return false;
  }
  g_tempActive = 1;
  auto fail = [&](const char* what) {
    error = path + ": " + what + " (" + std::strerror(errno) + ")";
    close(fd);
    unlink(g_tempPath);
    g_tempActive = 0;
    return false;
  };
  for (size_t at = 0; at < used;) {
    ssize_t w = pwrite(fd, data + at, used - at, off_t(at));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return fail("write failed");
    at += size_t(w);
  }
  if (ftruncate(fd, off_t(total)) != 0) return fail("write failed");
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd, 0666 & ~mask) != 0) return fail("cannot set permissions");
  if (close(fd) != 0) {
    fd = -1;
    error = path + ": write failed (" + std::strerror(errno) + ")";
    unlink(g_tempPath);
    g_tempActive = 0;
    return false;
  }
  if (rename(g_tempPath, path.c_str()) != 0) {
    error = path + ": cannot rename the finished image into place (" + std::strerror(errno) + ")";
    unlink(g_tempPath);
    g_tempActive = 0;
    return false;
  }
  g_tempActive = 0;
  return true;
}

ImageMemory::ImageMemory(size_t size) : size_(size) {
  // Aligned to 2 MiB so the kernel can back it with huge pages.
  constexpr size_t kHuge = size_t(2) << 20;
  mapSize_ = (size + kHuge - 1) / kHuge * kHuge + kHuge;
  map_ = mmap(nullptr, mapSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map_ == MAP_FAILED) {
    map_ = nullptr;
    fallback_.assign(size, 0);
    data_ = fallback_.data();
    return;
  }
  const size_t lead = (kHuge - reinterpret_cast<uintptr_t>(map_) % kHuge) % kHuge;
  data_ = static_cast<uint8_t*>(map_) + lead;
#ifdef MADV_POPULATE_WRITE
  madvise(data_, size, MADV_POPULATE_WRITE);
#endif
}

ImageMemory::~ImageMemory() {
  if (map_ != nullptr) munmap(map_, mapSize_);
}

}  // namespace kiv::bfi
