#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/file_ops.h"
#include "common/file_ops_internal.h"
#include "common/paths.h"

namespace kiv {

std::string CopyErrorText(int err) {
  switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return "Disk Full";
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return "Permission denied";
    case EIO:
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
      return "Disk Not Ready";
    case ENOENT:
    case ENOTDIR:
      return "Path Not found";
    default:
      return std::strerror(err);
  }
}

namespace {

void SetError(std::string* error, int err) {
  if (error) *error = CopyErrorText(err);
}

bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Child(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string StripTrailingSeps(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

// Every name in the folder except "." and "..", hidden ones included.
bool ListAll(const std::string& folder, std::vector<std::string>& names, int* err = nullptr) {
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) {
    if (err) *err = errno;
    return false;
  }
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string la = ToLower(a), lb = ToLower(b);
    return la != lb ? la < lb : a < b;
  });
  return true;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A temporary file beside `target`; its descriptor, or -1 (errno set).
int MakeTempBeside(const std::string& target, std::string& tempName) {
  std::string folder = FolderOf(target);
  if (target.find('/') == std::string::npos) folder = ".";
  std::string base = target.substr(target.find_last_of('/') == std::string::npos ? 0 : target.find_last_of('/') + 1);
  tempName = Child(folder, "." + base + ".tmpXXXXXX");
  std::vector<char> buf(tempName.begin(), tempName.end());
  buf.push_back('\0');
  int fd = ::mkostemp(buf.data(), O_CLOEXEC);
  if (fd >= 0) tempName = buf.data();
  return fd;
}

// Where an atomic replace must land: the file a symbolic link points at, so
// the link is kept.
std::string RealTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      std::string r = real;
      std::free(real);
      return r;
    }
  }
  return path;
}

}  // namespace

std::string CanonicalLoose(const std::string& path) {
  std::string p = path.empty() ? "." : path;
  std::string rest;
  for (;;) {
    if (char* real = ::realpath(p.c_str(), nullptr)) {
      std::string r = real;
      std::free(real);
      if (rest.empty()) return r;
      return (r == "/" ? "" : r) + "/" + rest;
    }
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.find_last_of('/');
    std::string last = slash == std::string::npos ? p : p.substr(slash + 1);
    if (!last.empty() && last != ".") rest = rest.empty() ? last : last + "/" + rest;
    if (slash == std::string::npos) {
      p = ".";
    } else if (slash == 0) {
      p = "/";
    } else {
      p = p.substr(0, slash);
    }
    if (p == "/" || p == ".") {
      char* real = ::realpath(p.c_str(), nullptr);
      std::string r = real ? real : p;
      std::free(real);
      return (r == "/" ? "" : r) + "/" + rest;
    }
  }
}

FolderNames::FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (ListAll(folder, names))
    for (const std::string& n : names) byLower_.emplace(ToLower(n), n);
}

std::string FolderNames::Target(const std::string& name) { return byLower_.emplace(ToLower(name), name).first->second; }

std::string ExistingNameIn(const std::string& folder, const std::string& name) {
  return FolderNames(folder).Target(name);
}

bool FolderTrail::Enter(const std::string& folder) {
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return true;  // the listing will say what is wrong
  for (const auto& id : ids_)
    if (id.first == static_cast<uint64_t>(st.st_dev) && id.second == static_cast<uint64_t>(st.st_ino)) return false;
  ids_.emplace_back(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
  return true;
}

bool PathInside(const std::string& inner, const std::string& outer) {
  std::string i = CanonicalLoose(inner), o = CanonicalLoose(outer);
  if (o == "/") return i != "/";
  return i.size() > o.size() && i.compare(0, o.size(), o) == 0 && i[o.size()] == '/';
}

bool CopyFileChunked(const std::string& from, const std::string& to, std::string* error,
                     const std::function<void(int64_t)>& onChunk, bool inPlaceWhenNew) {
  // Non-blocking open: a named pipe must not stall the copy forever.
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) {
    SetError(error, errno);
    return false;
  }
  struct stat st;
  if (::fstat(in, &st) != 0) {
    SetError(error, errno);
    ::close(in);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    if (error) *error = S_ISDIR(st.st_mode) ? CopyErrorText(EISDIR) : kNotAFile;
    ::close(in);
    return false;
  }
  ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
  std::string target = RealTarget(to);
  std::string temp;
  int out = -1;
  if (inPlaceWhenNew) {
    out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out >= 0) temp = target;  // written in place: "temp" is the target itself
  }
  if (out < 0) out = MakeTempBeside(target, temp);
  if (out < 0) {
    SetError(error, errno);
    ::close(in);
    return false;
  }
  constexpr size_t kChunk = 1 << 20;
  // The kernel copies the chunks itself where it can (no trip through user
  // memory, as cp does); otherwise read/write through one buffer kept for the
  // thread, so a tree of thousands of files does not allocate and clear a
  // fresh MiB for each.
  static thread_local std::vector<char> buf;
  int64_t done = 0;
  bool ok = true;
  int err = 0;
  bool kernelCopy = true;
  for (;;) {
    ssize_t n;
    if (kernelCopy) {
      n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
      if (done == 0 && (n == 0 || (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                                             errno == EOPNOTSUPP || errno == EPERM)))) {
        kernelCopy = false;  // not supported here, or a file whose size the kernel does not know
        continue;
      }
      if (n < 0) {
        if (errno == EINTR) continue;
        err = errno;
        ok = false;
        break;
      }
      if (n == 0) break;
    } else {
      if (buf.size() != kChunk) buf.resize(kChunk);
      n = ::read(in, buf.data(), buf.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        err = errno;
        ok = false;
        break;
      }
      if (n == 0) break;
      if (!WriteAll(out, buf.data(), static_cast<size_t>(n))) {
        err = errno;
        ok = false;
        break;
      }
    }
    done += n;
    if (onChunk) onChunk(done);
  }
  ::close(in);
  if (ok) {
    ::fchmod(out, st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  if (::close(out) != 0 && ok) {
    err = errno;
    ok = false;
  }
  if (ok && temp != target && ::rename(temp.c_str(), target.c_str()) != 0) {
    err = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    SetError(error, err);
  }
  return ok;
}

bool FileExists(const std::string& path) {
  std::string p = NativePath(Unquote(path));
  if (!p.empty() && p.back() == '/') p.pop_back();
  if (p.empty()) return false;
  if (p.find_first_of("*?") != std::string::npos) {
    size_t slash = p.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
    std::string pattern = slash == std::string::npos ? p : p.substr(slash + 1);
    return !ListFolder(folder, pattern, true, true).empty();
  }
  std::string real = ResolvePath(p);
  if (IsDir(real)) return false;
  int fd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool FolderExists(const std::string& path) {
  if (Trim(path).empty()) return false;
  std::string real = ResolvePath(TrimRight(path));
  DIR* d = ::opendir(real.c_str());
  if (!d) return false;
  ::closedir(d);
  return true;
}

bool MakePath(const std::string& folder) {
  std::string p = StripTrailingSeps(ResolvePathPrefix(TrimRight(folder)));
  if (p.empty()) return false;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      std::string part = p.substr(0, i);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) break;
    }
  }
  return IsDir(p);
}

namespace {

void DeleteTreeReal(const std::string& folder) {
  // Write access to the folder is what removing its entries needs.
  struct stat st;
  if (::lstat(folder.c_str(), &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU)
    ::chmod(folder.c_str(), (st.st_mode & 07777) | S_IRWXU);
  std::vector<std::string> names;
  if (ListAll(folder, names)) {
    for (const std::string& n : names) {
      std::string p = Child(folder, n);
      struct stat es;
      if (::lstat(p.c_str(), &es) != 0) continue;
      if (S_ISDIR(es.st_mode)) {
        DeleteTreeReal(p);
      } else {
        // Read-only files go too (the folder's permission is what counts here;
        // clearing the file's own keeps things even for odd file systems).
        if ((es.st_mode & S_IWUSR) == 0 && !S_ISLNK(es.st_mode)) ::chmod(p.c_str(), (es.st_mode & 07777) | S_IWUSR);
        ::unlink(p.c_str());
      }
    }
  }
  ::rmdir(folder.c_str());
}

}  // namespace

bool DeleteTree(const std::string& folder) {
  if (Trim(folder).empty()) return false;
  std::string p = StripTrailingSeps(ResolvePath(TrimRight(folder)));
  struct stat st;
  if (::lstat(p.c_str(), &st) != 0) return true;
  if (!S_ISDIR(st.st_mode)) return false;  // a file or a link is not a folder to remove
  // A work-folder path that came out empty ("" + "\") must never take the
  // whole file system with it.
  if (CanonicalLoose(p) == "/") return false;
  DeleteTreeReal(p);
  return ::lstat(p.c_str(), &st) != 0;
}

namespace {

bool CopyFolderReal(const std::string& src, const std::string& dst, std::string* error, FolderTrail& trail) {
  if (!IsDir(dst)) {
    ::mkdir(dst.c_str(), 0777);
    if (!IsDir(dst)) {
      SetError(error, errno);
      return false;
    }
  }
  std::vector<std::string> names;
  int err = 0;
  if (!ListAll(src, names, &err)) {
    SetError(error, err);
    return false;
  }
  FolderNames existing(dst);
  for (const std::string& n : names) {
    std::string s = Child(src, n), d = Child(dst, existing.Target(n));
    struct stat st;
    if (::stat(s.c_str(), &st) != 0) {
      SetError(error, errno);
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      if (!trail.Enter(s)) continue;  // a link back up the tree: copied already
      bool ok = CopyFolderReal(s, d, error, trail);
      trail.Leave();
      if (!ok) return false;
    } else if (S_ISREG(st.st_mode)) {
      if (!CopyFileChunked(s, d, error, {})) return false;
    }
    // Pipes, sockets and devices hold no file data to copy.
  }
  return true;
}

}  // namespace

bool CopyFolder(const std::string& Source, const std::string& Destination, std::string* error) {
  std::string src = StripTrailingSeps(ResolvePath(TrimRight(Source)));
  if (!IsDir(src)) {
    SetError(error, ENOENT);
    return false;
  }
  if (PathInside(ResolvePathPrefix(TrimRight(Destination)), src)) {
    if (error) *error = kCopyIntoItself;
    return false;
  }
  if (!MakePath(Destination)) {
    SetError(error, errno ? errno : ENOENT);
    return false;
  }
  std::string dst = StripTrailingSeps(ResolvePath(TrimRight(Destination)));
  FolderTrail trail;
  trail.Enter(src);
  return CopyFolderReal(src, dst, error, trail);
}

bool CopyFiles(const std::string& sourcePattern, const std::string& destination, std::string* error) {
  std::string pat = NativePath(Unquote(sourcePattern));
  size_t slash = pat.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : pat.substr(0, slash));
  std::string pattern = slash == std::string::npos ? pat : pat.substr(slash + 1);
  std::string dest = NativePath(Unquote(destination));
  size_t dslash = dest.find_last_of('/');
  std::string destFolder = dslash == std::string::npos ? "." : (dslash == 0 ? "/" : dest.substr(0, dslash));
  std::string realSrc = ResolvePath(folder), realDst = ResolvePath(destFolder);
  if (!IsDir(realSrc) || !IsDir(realDst)) {
    SetError(error, ENOENT);
    return false;
  }
  FolderNames existing(realDst);
  for (const std::string& n : ListFolder(realSrc, pattern, true, false))
    if (!CopyFileChunked(Child(realSrc, n), Child(realDst, existing.Target(n)), error, {})) return false;
  return true;
}

bool CopyOneFile(const std::string& from, const std::string& to, std::string* error) {
  return CopyFileChunked(ResolvePath(from), ResolvePathPrefix(to), error, {});
}

bool CanCreateFile(const std::string& path) {
  std::string p = ResolvePathPrefix(Unquote(path));
  if (p.empty() || p.back() == '/') return false;
  struct stat st;
  if (::stat(p.c_str(), &st) == 0) return S_ISREG(st.st_mode);
  size_t slash = p.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakePath(p.substr(0, slash))) return false;
  int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, "Test\r\n", 6);
  ok = (::close(fd) == 0) && ok;
  ok = (::unlink(p.c_str()) == 0) && ok;
  return ok;
}

std::string RenameWithShell(const std::string& from, const std::string& to) {
  std::string src = ResolvePath(from), dst = ResolvePathPrefix(to);
  if (::rename(src.c_str(), dst.c_str()) == 0) return "";
  return std::strerror(errno);
}

std::string MoveWithShell(const std::string& from, const std::string& to) {
  std::string src = StripTrailingSeps(ResolvePath(from));
  std::string dst = StripTrailingSeps(ResolvePathPrefix(to));
  struct stat st;
  if (::lstat(src.c_str(), &st) != 0) return std::strerror(errno);
  // Into an existing folder, as the shell does.
  if (IsDir(dst) && !(S_ISDIR(st.st_mode) && dst == src)) {
    size_t slash = src.find_last_of('/');
    dst = Child(dst, slash == std::string::npos ? src : src.substr(slash + 1));
  }
  if (::rename(src.c_str(), dst.c_str()) == 0) return "";
  if (errno != EXDEV) return std::strerror(errno);
  // Another file system: copy, then remove the original.
  std::string err;
  bool ok = S_ISDIR(st.st_mode) ? CopyFolder(src, dst, &err) : CopyFileChunked(src, dst, &err, {});
  if (!ok) return err;
  if (S_ISDIR(st.st_mode) ? !DeleteTree(src) : ::unlink(src.c_str()) != 0) return "Permission denied";
  return "";
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern, bool files, bool folders) {
  std::vector<std::string> all, out;
  std::string real = ResolvePath(folder.empty() ? "." : folder);
  if (!ListAll(real, all)) return out;
  for (const std::string& n : all) {
    if (!WildcardMatch(pattern, n)) continue;
    bool dir = IsDir(Child(real, n));
    if ((dir && folders) || (!dir && files)) out.push_back(n);
  }
  return out;
}

bool IsSameOrInside(const std::string& path, const std::string& folder) {
  if (Trim(path).empty() || Trim(folder).empty()) return false;
  const std::string p = StripTrailingSeps(ResolvePathPrefix(TrimRight(Unquote(path))));
  const std::string f = StripTrailingSeps(ResolvePathPrefix(TrimRight(Unquote(folder))));
  return CanonicalLoose(p) == CanonicalLoose(f) || PathInside(p, f);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (::stat(ResolvePath(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  int fd = ::open(ResolvePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool DropLinkAt(const std::string& path) {
  const std::string real = ResolvePathPrefix(path);
  struct stat st;
  if (::lstat(real.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  return ::unlink(real.c_str()) == 0;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::error_code* error) {
  auto failed = [error](int err) {
    if (error) *error = std::error_code(err, std::generic_category());
    return false;
  };
  std::string target = RealTarget(ResolvePathPrefix(path));
  if (target.empty() || target.back() == '/') return failed(EISDIR);
  struct stat old;
  bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return failed(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
  std::string temp;
  int fd = MakeTempBeside(target, temp);
  if (fd < 0) return failed(errno);
  int err = 0;
  if (!WriteAll(fd, bytes.data(), bytes.size())) err = errno;
  // mkstemp makes 0600; keep the old file's mode, or the usual one for a new file.
  mode_t mode = existed ? (old.st_mode & 07777) : [] {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  ::fchmod(fd, mode);
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (!err && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (!err) return true;
  ::unlink(temp.c_str());
  return failed(err);
}

}  // namespace kiv
