#include "cdtool/usb/usb_writer.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "cdtool/usb/hybrid_iso.h"
#include "common/paths.h"
#include "common/progress_sink.h"
#include "common/prompter.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

constexpr size_t kBlock = 1 << 20;
constexpr const char* kTitle = "Write to a USB stick";

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return Trim(line);
}

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

bool FullWrite(int fd, const char* data, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

ssize_t FullRead(int fd, char* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd, data + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

std::string Fail(Prompter& prompter, const std::string& why) {
  prompter.MsgBox(Message{why, kTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
  return why;
}

// A path as a shell reads it back: single-quoted where needed.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+") ==
                           std::string::npos)
    return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

int WriteAccess(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

std::string NoAccessText(const std::string& path, const std::string& iso, int err) {
  std::string group = "disk";
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0)
    if (const struct group* g = ::getgrgid(st.st_gid)) group = g->gr_name;
  std::string user;
  if (const struct passwd* pw = ::getpwuid(::getuid())) user = pw->pw_name;
  if (user.empty()) user = "$USER";
  return "You may not write to " + path + " (" + std::strerror(err) + ").\r\n" +
         "Write it as root:\r\n  sudo discsmith --write-usb " + ShellWord(path) + " " + ShellWord(iso) +
         "\r\nor add your user to the group " + group + " (sudo adduser " + user + " " + group +
         "), log in again and try once more.";
}

std::string HumanSize(uint64_t bytes) {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(1);
  if (bytes >= 1000ull * 1000 * 1000)
    s << static_cast<double>(bytes) / 1e9 << " GB";
  else
    s << static_cast<double>(bytes) / 1e6 << " MB";
  return s.str();
}

UsbTarget InspectUsbTarget(const std::string& device, const std::string& sysRoot, const std::string& mountsFile) {
  UsbTarget t;
  t.device = device;
  std::error_code ec;
  fs::path resolved = fs::canonical(device, ec);
  if (ec) {
    t.problem = device + ": no such device";
    return t;
  }
  t.path = resolved.string();
  t.name = resolved.filename().string();
  struct stat st {};
  if (::stat(t.path.c_str(), &st) != 0) {
    t.problem = device + ": " + std::strerror(errno);
    return t;
  }
  const fs::path entry = fs::path(sysRoot) / "class/block" / t.name;
  if (!fs::exists(entry, ec)) {
    t.problem = device + " is not a disk";
    return t;
  }
  if (S_ISBLK(st.st_mode)) {
    // The sysfs entry must be this very device.
    std::string dev = ReadLine(entry / "dev");
    if (dev != std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev))) {
      t.problem = device + " is not a disk";
      return t;
    }
  } else if (!S_ISREG(st.st_mode)) {
    t.problem = device + " is not a disk";
    return t;
  }
  std::string vendor = ReadLine(entry / "device/vendor"), model = ReadLine(entry / "device/model");
  t.model = Trim(vendor + " " + model);
  t.sizeBytes = static_cast<uint64_t>(std::strtoull(ReadLine(entry / "size").c_str(), nullptr, 10)) * 512;
  if (fs::exists(entry / "partition", ec)) {
    t.problem = device + " is a partition; name the whole disk (" + t.name + " is part of it)";
    return t;
  }
  if (ReadLine(entry / "removable") != "1") {
    t.problem = device + " is not a removable disk" + (t.model.empty() ? "" : " (" + t.model + ")") +
                "; only USB sticks and other removable disks are written";
    return t;
  }
  // Mounted, itself or through one of its partitions (subfolders of its entry).
  std::ifstream mounts(mountsFile);
  std::string source, point, rest;
  while (mounts >> source >> point && std::getline(mounts, rest)) {
    if (source.rfind("/dev/", 0) != 0) continue;
    std::string sourceName = fs::path(source).filename().string();
    fs::path real = fs::canonical(source, ec);
    if (!ec) sourceName = real.filename().string();
    if (sourceName == t.name || (fs::exists(entry / sourceName, ec) && !sourceName.empty())) {
      t.problem = device + " is mounted (" + source + " on " + point + "); unmount it first";
      return t;
    }
  }
  if (t.sizeBytes == 0) t.problem = device + " has no medium (size 0)";
  return t;
}

std::string WriteIsoToUsb(const UsbWriteRequest& request, Prompter& prompter, ProgressSink& progress) {
  std::error_code ec;
  if (!fs::is_regular_file(request.iso, ec)) return Fail(prompter, request.iso + ": no such ISO file");
  if (!IsHybridIso(request.iso))
    return Fail(prompter, request.iso + " cannot start from a USB stick: it was not made by this version of the "
                                        "CD builder (build the CD again)");
  const uint64_t isoSize = fs::file_size(request.iso, ec);
  UsbTarget target = InspectUsbTarget(request.device, request.sysRoot, request.mountsFile);
  if (!target.problem.empty()) return Fail(prompter, target.problem);
  if (isoSize > target.sizeBytes)
    return Fail(prompter, request.device + " (" + HumanSize(target.sizeBytes) + ") is too small for " + request.iso +
                              " (" + HumanSize(isoSize) + ")");
  // Checked before the question: a Yes that cannot be carried out helps nobody.
  if (int err = request.writeAccess ? request.writeAccess(target.path) : 0; err == EACCES || err == EPERM)
    return Fail(prompter, NoAccessText(target.path, request.iso, err));

  Message ask{"Write " + request.iso + " (" + HumanSize(isoSize) + ") to " + target.path + ", " +
                  (target.model.empty() ? "a disk" : target.model) + " of " + HumanSize(target.sizeBytes) +
                  "?\r\nEverything on it will be lost.",
              kTitle, Icon::Exclamation, Buttons::YesNo, 0, Answer::No};
  if (prompter.MsgBox(ask) != Answer::Yes) return "not written: the question was answered No";

  Fd in(::open(request.iso.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) return Fail(prompter, "cannot read " + request.iso + ": " + std::strerror(errno));
  // O_EXCL on a block device fails while anything else holds it open.
  const bool isBlock = fs::is_block_file(target.path, ec);
  Fd out(::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | (isBlock ? O_EXCL : 0)));
  if (out.fd < 0) {
    const int err = errno;
    if (err == EACCES || err == EPERM) return Fail(prompter, NoAccessText(target.path, request.iso, err));
    return Fail(prompter, "cannot open " + target.path + " for writing: " + std::strerror(err));
  }

  std::vector<char> buffer(kBlock), back(kBlock);
  progress.SetMaximum(static_cast<int64_t>(isoSize));
  progress.SetValue(0);
  progress.SetBarVisible(true);
  progress.SetCaption("Writing " + target.path);
  for (uint64_t done = 0; done < isoSize;) {
    ssize_t n = FullRead(in.fd, buffer.data(), kBlock);
    if (n <= 0) return Fail(prompter, "cannot read " + request.iso + ": " + std::strerror(errno));
    if (!FullWrite(out.fd, buffer.data(), static_cast<size_t>(n)))
      return Fail(prompter, "writing " + target.path + " failed: " + std::strerror(errno));
    done += static_cast<uint64_t>(n);
    progress.SetValue(static_cast<int64_t>(done));
    progress.PumpEvents();
  }
  progress.SetCaption("Syncing " + target.path);
  if (::fsync(out.fd) != 0) return Fail(prompter, "syncing " + target.path + " failed: " + std::strerror(errno));
  // What is read back must come from the device, not from the page cache.
  ::posix_fadvise(out.fd, 0, 0, POSIX_FADV_DONTNEED);

  progress.SetCaption("Verifying " + target.path);
  progress.SetValue(0);
  Fd check(::open(target.path.c_str(), O_RDONLY | O_CLOEXEC));
  if (check.fd < 0 || ::lseek(in.fd, 0, SEEK_SET) != 0)
    return Fail(prompter, "cannot read back " + target.path + ": " + std::strerror(errno));
  ::posix_fadvise(check.fd, 0, 0, POSIX_FADV_DONTNEED);
  for (uint64_t done = 0; done < isoSize;) {
    ssize_t n = FullRead(in.fd, buffer.data(), kBlock);
    ssize_t m = n > 0 ? FullRead(check.fd, back.data(), static_cast<size_t>(n)) : -1;
    if (n <= 0 || m != n || std::memcmp(buffer.data(), back.data(), static_cast<size_t>(n)) != 0)
      return Fail(prompter, target.path + " does not hold what was written (differs after " +
                                std::to_string(done / kBlock) + " MiB): the stick may be faulty");
    done += static_cast<uint64_t>(n);
    progress.SetValue(static_cast<int64_t>(done));
    progress.PumpEvents();
  }
  progress.SetBarVisible(false);
  progress.SetCaption("Written and verified: " + target.path);
  return "";
}

}  // namespace kiv
