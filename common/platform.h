#pragma once
// Services of the operating system, behind one interface so tests can fake
// them and a Windows back end can be added beside posix/.
#include <cstdint>
#include <memory>
#include <string>

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
  // False when another process holds the lock on `lockFile`.
  bool Acquire(const std::string& lockFile);
  void Release();

 private:
  int fd_ = -1;
};

}  // namespace kiv
