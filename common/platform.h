#pragma once
// Services of the operating system, behind one interface so tests can fake
// them and a Windows back end can be added beside posix/.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kiv {

class Platform {
 public:
  virtual ~Platform() = default;
  // Folder of the running program file, without trailing separator.
  virtual std::string ProgramFolder() const = 0;
  // Windows / system folder with trailing separator; "" where there is none.
  virtual std::string WindowsFolder() const = 0;
  virtual std::string SystemFolder() const = 0;
  // Registry string value under HKEY_LOCAL_MACHINE; "" when missing or not a string.
  virtual std::string RegString(const std::string& subKey, const std::string& valueName) const = 0;
  virtual bool IsWinNT() const = 0;
  virtual bool IsWin9x() const = 0;
  // First optical drive: "D:" on Windows, its mount point on POSIX; "" if none.
  virtual std::string FirstCdRomDrive() const = 0;
  // Free bytes of the file system holding `path` (its nearest existing
  // ancestor); -1 when the query fails.
  virtual int64_t FreeSpace(const std::string& path) const = 0;
  // Default action for a web address or a file (browser, viewer).
  virtual bool OpenLink(const std::string& target) const = 0;
  // Shows a folder in the desktop's file manager.
  virtual bool OpenFolder(const std::string& folder) const = 0;
};

// The platform this program runs on (POSIX back end here).
std::unique_ptr<Platform> MakeSystemPlatform();

// Pieces of the POSIX back end, usable on their own (and by tests):
// mount point of the first iso9660/udf entry of a mounts table ("" if none);
std::string FirstOpticalMount(const std::string& mountsFile = "/proc/self/mounts");
// free bytes (for an unprivileged user) of the file system holding the path's
// nearest existing ancestor, capped at INT64_MAX; -1 when the query fails;
int64_t FreeBytes(const std::string& path);
// starts `xdg-open target` detached; false when it cannot be started or
// reports within kOpenerGraceMs that it has no program for the target.
inline constexpr int kOpenerGraceMs = 1500;
bool OpenWithDesktop(const std::string& target);

// Process-wide platform used by code that has none handed in; tests may swap it.
Platform& CurrentPlatform();
void SetCurrentPlatform(std::unique_ptr<Platform> platform);

// A lock held for the life of the process (flock on POSIX): the kernel frees it
// when the process dies, so a crash never leaves it held.
class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // False when another process holds the lock on `lockFile`, or when the lock
  // file cannot be opened or created; in the second case Error() says why.
  bool Acquire(const std::string& lockFile);
  void Release();
  // Empty after success and when another process holds the lock; otherwise
  // the reason the lock file could not be opened ("Permission denied").
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

// The message shown when a program cannot write its own folder (where it keeps
// its lock, work folders and settings), with the folder and the reason.
inline constexpr const char* kProgramFolderNotWritableTitle = "Program Folder Not Writable";
std::string ProgramFolderNotWritableText(const std::string& folder, const std::string& reason);

}  // namespace kiv
