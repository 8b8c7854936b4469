#include "tools/cabinet/cab_reader.h"

#include <mspack.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <system_error>

#include "tools/cabinet/cab_paths.h"
#include "tools/cabinet/cab_platform.h"

namespace kiv::cab {
namespace {

// Names libmspack is given for things that are not files on disk.
constexpr const char* kMemoryName = "\x01memory-cabinet";
constexpr const char* kSinkName = "\x01discard";

struct SysFile {
  FILE* fp = nullptr;
  const uint8_t* mem = nullptr;
  size_t size = 0, pos = 0;
  bool sink = false;
};

struct Sys {
  mspack_system base;
  const uint8_t* mem = nullptr;
  size_t memSize = 0;
};

thread_local std::string g_lastMessage;

mspack_file* SysOpen(mspack_system* self, const char* name, int mode) {
  Sys* sys = reinterpret_cast<Sys*>(self);
  auto* f = new SysFile;
  if (std::strcmp(name, kMemoryName) == 0 && sys->mem) {
    if (mode != MSPACK_SYS_OPEN_READ) {
      delete f;
      return nullptr;
    }
    f->mem = sys->mem;
    f->size = sys->memSize;
  } else if (std::strcmp(name, kSinkName) == 0) {
    f->sink = true;
  } else {
    const char* fm = mode == MSPACK_SYS_OPEN_READ     ? "rb"
                     : mode == MSPACK_SYS_OPEN_WRITE  ? "wb"
                     : mode == MSPACK_SYS_OPEN_UPDATE ? "r+b"
                                                      : "ab";
    f->fp = std::fopen(name, fm);
    if (!f->fp) {
      delete f;
      return nullptr;
    }
  }
  return reinterpret_cast<mspack_file*>(f);
}

// libmspack can hand back a null handle after an earlier failed extraction
// (seen under fuzzing); every file operation answers that with an error.
void SysClose(mspack_file* file) {
  auto* f = reinterpret_cast<SysFile*>(file);
  if (!f) return;
  if (f->fp) std::fclose(f->fp);
  delete f;
}

int SysRead(mspack_file* file, void* buffer, int bytes) {
  auto* f = reinterpret_cast<SysFile*>(file);
  if (!f || bytes < 0) return -1;
  if (f->fp) {
    size_t n = std::fread(buffer, 1, size_t(bytes), f->fp);
    if (n == 0 && std::ferror(f->fp)) return -1;
    return int(n);
  }
  if (f->sink) return 0;
  size_t avail = f->pos < f->size ? f->size - f->pos : 0;
  size_t n = std::min(avail, size_t(bytes));
  if (n) std::memcpy(buffer, f->mem + f->pos, n);
  f->pos += n;
  return int(n);
}

int SysWrite(mspack_file* file, void* buffer, int bytes) {
  auto* f = reinterpret_cast<SysFile*>(file);
  if (!f || bytes < 0) return -1;
  if (f->sink) return bytes;
  if (!f->fp) return -1;
  return int(std::fwrite(buffer, 1, size_t(bytes), f->fp));
}

int SysSeek(mspack_file* file, off_t offset, int mode) {
  auto* f = reinterpret_cast<SysFile*>(file);
  if (!f) return -1;
  if (f->fp) {
    int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR : SEEK_END;
    return ::fseeko(f->fp, offset, whence);
  }
  if (f->sink) return 0;
  off_t base = mode == MSPACK_SYS_SEEK_START ? 0 : mode == MSPACK_SYS_SEEK_CUR ? off_t(f->pos) : off_t(f->size);
  off_t target = base + offset;
  if (target < 0 || target > off_t(f->size)) return -1;
  f->pos = size_t(target);
  return 0;
}

off_t SysTell(mspack_file* file) {
  auto* f = reinterpret_cast<SysFile*>(file);
  if (!f) return -1;
  if (f->fp) return ::ftello(f->fp);
  return off_t(f->pos);
}

void SysMessage(mspack_file*, const char* format, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  g_lastMessage = buf;
}

void* SysAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void SysFree(void* p) { std::free(p); }
void SysCopy(void* src, void* dest, size_t bytes) { std::memmove(dest, src, bytes); }

std::string ErrorText(int code) {
  switch (code) {
    case MSPACK_ERR_OK:
      return "no error";
    case MSPACK_ERR_ARGS:
      return "bad arguments";
    case MSPACK_ERR_OPEN:
      return "cannot open the file";
    case MSPACK_ERR_READ:
      return "read error or truncated cabinet";
    case MSPACK_ERR_WRITE:
      return "cannot write the output file";
    case MSPACK_ERR_SEEK:
      return "seek error or truncated cabinet";
    case MSPACK_ERR_NOMEMORY:
      return "out of memory";
    case MSPACK_ERR_SIGNATURE:
      return "not a cabinet file";
    case MSPACK_ERR_DATAFORMAT:
      return "corrupted cabinet";
    case MSPACK_ERR_CHECKSUM:
      return "data block checksum error";
    case MSPACK_ERR_CRUNCH:
      return "compression error";
    case MSPACK_ERR_DECRUNCH:
      return "corrupted compressed data";
    default:
      return "error " + std::to_string(code);
  }
}

// ISO-8859-1 -> UTF-8 for names stored without the UTF-8 flag.
std::string Latin1ToUtf8(const char* s) {
  std::string out;
  for (; *s; ++s) {
    unsigned char c = static_cast<unsigned char>(*s);
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

struct CabReader::Impl {
  Sys sys{};
  mscab_decompressor* decomp = nullptr;
  mscabd_cabinet* first = nullptr;
  std::vector<mscabd_file*> handles;
  // The cabinets of the set so far, to notice a set that loops back.
  std::vector<std::string> seen;
  bool Seen(const std::string& path) const {
    std::error_code ec;
    for (const std::string& s : seen)
      if (std::filesystem::equivalent(path, s, ec)) return true;
    return false;
  }
  // libmspack keeps the name pointers it was opened with; they live here.
  std::deque<std::string> names;
  const char* Keep(const std::string& name) { return names.emplace_back(name).c_str(); }

  Impl() {
    sys.base.open = SysOpen;
    sys.base.close = SysClose;
    sys.base.read = SysRead;
    sys.base.write = SysWrite;
    sys.base.seek = SysSeek;
    sys.base.tell = SysTell;
    sys.base.message = SysMessage;
    sys.base.alloc = SysAlloc;
    sys.base.free = SysFree;
    sys.base.copy = SysCopy;
    sys.base.null_ptr = nullptr;
    decomp = mspack_create_cab_decompressor(&sys.base);
  }
  ~Impl() {
    if (decomp) {
      // Closing the first cabinet also closes every member appended to it.
      if (first) decomp->close(decomp, first);
      mspack_destroy_cab_decompressor(decomp);
    }
  }
  std::string LastError() {
    std::string text = ErrorText(decomp->last_error(decomp));
    if (!g_lastMessage.empty()) text += " (" + g_lastMessage + ")";
    return text;
  }
};

CabReader::CabReader() : impl_(std::make_unique<Impl>()) {}
CabReader::~CabReader() = default;

namespace {
void FillFiles(mscabd_cabinet* cab, std::vector<CabFileInfo>& files, std::vector<mscabd_file*>& handles) {
  files.clear();
  handles.clear();
  for (mscabd_file* f = cab->files; f; f = f->next) {
    CabFileInfo info;
    info.name = (f->attribs & MSCAB_ATTRIB_UTF_NAME) ? std::string(f->filename) : Latin1ToUtf8(f->filename);
    info.size = f->length;
    info.attribs = uint16_t(f->attribs);
    info.year = f->date_y;
    // libmspack keeps these in plain char; they come from 4-, 5- and 6-bit
    // fields, so read them as the small unsigned numbers they are.
    info.month = static_cast<unsigned char>(f->date_m);
    info.day = static_cast<unsigned char>(f->date_d);
    info.hour = static_cast<unsigned char>(f->time_h);
    info.minute = static_cast<unsigned char>(f->time_m);
    info.second = static_cast<unsigned char>(f->time_s);
    files.push_back(std::move(info));
    handles.push_back(f);
  }
}
}  // namespace

bool CabReader::Open(const std::string& path, bool followSet, std::string& error) {
  if (!impl_->decomp) {
    error = "libmspack could not be initialised";
    return false;
  }
  int selftest = MSPACK_ERR_OK;
  MSPACK_SYS_SELFTEST(selftest);
  if (selftest != MSPACK_ERR_OK) {
    error = "libmspack was built for another file offset size";
    return false;
  }
  path_ = path;
  std::error_code ec;
  const std::filesystem::file_type type = std::filesystem::status(path, ec).type();
  if (ec) {
    error = path + ": " + ec.message();
    return false;
  }
  if (type == std::filesystem::file_type::directory) {
    error = path + " is a folder, not a cabinet";
    return false;
  }
  if (type != std::filesystem::file_type::regular) {
    error = path + " is not a regular file";  // a pipe or device could block forever
    return false;
  }
  g_lastMessage.clear();
  impl_->first = impl_->decomp->open(impl_->decomp, impl_->Keep(path));
  if (!impl_->first) {
    error = path + ": " + impl_->LastError();
    return false;
  }
  impl_->seen.push_back(path);
  if (followSet) {
    mscabd_cabinet* last = impl_->first;
    std::string folder = path.find('/') == std::string::npos ? "" : path.substr(0, path.rfind('/') + 1);
    while (last->nextname && *last->nextname) {
      std::string next = ResolvePath(folder + ForwardSlashes(BaseName(last->nextname)));
      if (!std::filesystem::is_regular_file(next, ec)) {
        warnings_.push_back("the next cabinet of the set, " + std::string(last->nextname) + ", was not found beside " +
                            path);
        break;
      }
      if (impl_->Seen(next)) {
        warnings_.push_back("the cabinet set loops back to " + next);
        break;
      }
      impl_->seen.push_back(next);
      g_lastMessage.clear();
      mscabd_cabinet* cab = impl_->decomp->open(impl_->decomp, impl_->Keep(next));
      if (!cab) {
        warnings_.push_back(next + ": " + impl_->LastError());
        break;
      }
      if (impl_->decomp->append(impl_->decomp, last, cab) != MSPACK_ERR_OK) {
        warnings_.push_back("cannot join " + next + " to its set: " + impl_->LastError());
        impl_->decomp->close(impl_->decomp, cab);
        break;
      }
      last = cab;
    }
  }
  FillFiles(impl_->first, files_, impl_->handles);
  return true;
}

bool CabReader::OpenMemory(const uint8_t* data, size_t size, std::string& error) {
  impl_->sys.mem = data;
  impl_->sys.memSize = size;
  path_ = "(memory)";
  g_lastMessage.clear();
  impl_->first = impl_->decomp ? impl_->decomp->open(impl_->decomp, kMemoryName) : nullptr;
  if (!impl_->first) {
    error = impl_->decomp ? impl_->LastError() : "libmspack could not be initialised";
    return false;
  }
  FillFiles(impl_->first, files_, impl_->handles);
  return true;
}

bool CabReader::FindUnsafeName(std::string& message) const {
  for (const CabFileInfo& f : files_) {
    std::string why;
    if (IsUnsafeStoredName(f.name, &why)) {
      message = "the cabinet " + path_ + " holds the unsafe path '" + f.name + "' (" + why + "); nothing was extracted";
      return true;
    }
  }
  return false;
}

bool CabReader::Test(size_t index, std::string& error) {
  if (index >= impl_->handles.size()) {
    error = "no such file";
    return false;
  }
  g_lastMessage.clear();
  int rc = impl_->decomp->extract(impl_->decomp, impl_->handles[index], kSinkName);
  if (rc != MSPACK_ERR_OK) {
    error = files_[index].name + ": " + impl_->LastError();
    return false;
  }
  return true;
}

bool CabReader::Extract(size_t index, const std::string& destPath, std::string& error) {
  if (index >= impl_->handles.size()) {
    error = "no such file";
    return false;
  }
  std::string why;
  const std::string temp = MakeTempFileBeside(destPath, why);
  if (temp.empty()) {
    error = "cannot create a file beside " + destPath + ": " + why;
    return false;
  }
  g_lastMessage.clear();
  int rc = impl_->decomp->extract(impl_->decomp, impl_->handles[index], temp.c_str());
  if (rc != MSPACK_ERR_OK) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    error = files_[index].name + " in " + path_ + ": " + impl_->LastError();
    return false;
  }
  SetNewFileMode(temp);
  const CabFileInfo& f = files_[index];
  std::tm tm{};
  tm.tm_year = f.year - 1900;
  tm.tm_mon = f.month - 1;
  tm.tm_mday = f.day;
  tm.tm_hour = f.hour;
  tm.tm_min = f.minute;
  tm.tm_sec = f.second;
  tm.tm_isdst = -1;
  time_t t = std::mktime(&tm);
  if (t != time_t(-1)) SetFileDate(temp, t);
  std::error_code ec;
  std::filesystem::rename(temp, destPath, ec);
  if (ec) {
    error = "cannot rename the extracted file to " + destPath + ": " + ec.message();
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace kiv::cab
