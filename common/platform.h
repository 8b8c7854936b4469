#pragma once
// Services of the operating system, behind one interface so tests can fake
// them and a Windows back end can be added beside posix/. The clock and the
// random bytes are the system's too: a Platform is both (clock.h,
// random_source.h), so whatever holds one hands them on.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/random_source.h"

namespace kiv {

class Platform : public Clock, public RandomSource {
 public:
  ~Platform() override = default;
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

class ProcessLauncher;
// The platform this program runs on (POSIX back end here); `tools` finds the
// desktop's opener (the system's launcher, or a test's).
std::unique_ptr<Platform> MakeSystemPlatform(ProcessLauncher& tools);
std::unique_ptr<Platform> MakeSystemPlatform();  // with the system's launcher

// Pieces of the POSIX back end, usable on their own (and by tests):
// mount point of the first iso9660/udf entry of a mounts table ("" if none);
std::string FirstOpticalMount(const std::string& mountsFile = "/proc/self/mounts");
// free bytes (for an unprivileged user) of the file system holding the path's
// nearest existing ancestor, capped at INT64_MAX; -1 when the query fails;
int64_t FreeBytes(const std::string& path);
// starts `opener target` (xdg-open's path) detached; false when there is no
// opener or target, it cannot be started, or it reports within
// kOpenerGraceMs that it has no program for the target.
inline constexpr int kOpenerGraceMs = 1500;
bool OpenWithDesktop(const std::string& opener, const std::string& target);

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
  // The file then holds this process's id on its first line. `previous`, when
  // given, gets what the file held before: what the last holder noted.
  bool Acquire(const std::string& lockFile, std::string* previous = nullptr);
  // Notes `text` in the lock file below the id, for the next holder to read
  // (what this one leaves behind should it die); "" clears it.
  bool Note(const std::string& text);
  void Release();
  // Empty after success and when another process holds the lock; otherwise
  // the reason the lock file could not be opened ("Permission denied").
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

// Small services of the operating system for code that needs nothing more.
// Each one below is implemented per platform (posix/system_calls_posix.cpp).

// True when `stream` is an interactive terminal a person types on; false for
// nullptr, files and pipes.
bool IsTerminal(std::FILE* stream);
// True when the process has the superuser's rights, which open and write every
// file whatever its permissions (tests that rely on a refusal skip then).
bool IsRunningAsRoot();
// The id of this process, for temporary names no other running copy picks.
int64_t ProcessId();
// The home folder the user database holds for the user running the program
// (possibly ""); nothing when the user has no entry there.
std::optional<std::string> AccountHomeFolder();
// The login name of the user running the program; "" when unknown.
std::string UserName();
// True when `path` (a link followed) is a regular file this user may run.
bool IsExecutableFile(const std::string& path);

// A point in time as the file system keeps it: seconds since 1970 (UTC) and
// the nanoseconds within that second.
struct FileTime {
  int64_t seconds = 0;
  int32_t nanoseconds = 0;
};
// The access and modification times of `path`; `followLink` false reads a link
// itself. False with `error` set to the system's text when it cannot be read.
bool GetFileTimes(const std::string& path, bool followLink, FileTime& accessed, FileTime& modified,
                  std::string* error = nullptr);
// Sets both times of `path`; `followLink` false sets a link's own dates.
// "" on success, otherwise the system's text.
std::string SetFileTimes(const std::string& path, bool followLink, FileTime accessed, FileTime modified);

// Creates `path` as a new empty file (never opens an existing one) and closes
// it again; "" on success, otherwise the system's text ("File exists").
std::string CreateNewFile(const std::string& path);

// The name of the group that owns `path` (a link followed); "" when unknown.
std::string OwningGroupName(const std::string& path);
// "major:minor" of the disk device `path` names (as the kernel lists it);
// "" for anything else or when it cannot be read.
std::string DeviceNumbers(const std::string& path);

// A file or disk device read and written directly, without the buffering of
// the C++ streams: for disks, where what reaches the device counts. Closed
// with the object. A call that fails answers false (or -1) and keeps the
// system's error number in Error() (EACCES or EPERM: no permission).
class RawFile {
 public:
  enum class Access {
    Read,
    ReadProbe,       // Read, without waiting for a medium: an empty drive opens too
    Write,           // an existing file or device, written in place (not emptied)
    WriteExclusive,  // Write, refused while anything else holds a disk device open
  };
  RawFile() = default;
  ~RawFile();
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  bool Open(const std::string& path, Access access);
  bool IsOpen() const { return handle_ != -1; }
  // Reads until `count` bytes are in or the file ends: the bytes read, or -1.
  int64_t ReadFull(char* data, size_t count);
  bool WriteFull(const char* data, size_t count);
  bool WriteAt(const char* data, size_t count, int64_t offset);
  // Back to the first byte.
  bool Rewind();
  // Waits until what was written is on the device (EINVAL: a kind of file
  // the system cannot flush).
  bool Sync();
  // Lets the system forget the cached pages, so what is read next comes
  // from the device. Nothing to report: a hint only.
  void DropCache();
  bool Close();
  int Error() const { return error_; }
  // The system's text for Error().
  std::string ErrorText() const;

 private:
  bool Failed();
  intptr_t handle_ = -1;  // the platform's handle of the open file
  int error_ = 0;
};

// The message shown when a program cannot write its own folder (where it keeps
// its lock, work folders and settings), with the folder and the reason.
inline constexpr const char* kProgramFolderNotWritableTitle = "Program Folder Not Writable";
std::string ProgramFolderNotWritableText(const std::string& folder, const std::string& reason);

}  // namespace kiv
