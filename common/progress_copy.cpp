#include "common/progress_copy.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/file_ops.h"
#include "common/file_ops_internal.h"
#include "common/paths.h"
#include "common/progress_sink.h"
#include "common/prompter.h"

namespace kiv {

namespace {

struct Entry {
  std::string name;
  bool dir;
  bool special;  // pipe, socket, device: no data to copy
  int64_t size;
};

bool ListEntries(const std::string& folder, std::vector<Entry>& out) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    std::string p = folder + "/" + n;
    std::error_code ec;
    const std::filesystem::file_type type = std::filesystem::status(p, ec).type();
    if (ec) {
      out.push_back({n, false, false, 0});  // the copy reports it
      continue;
    }
    const bool dir = type == std::filesystem::file_type::directory, file = type == std::filesystem::file_type::regular;
    const uintmax_t size = file ? std::filesystem::file_size(p, ec) : 0;
    out.push_back({n, dir, !dir && !file, file && !ec ? static_cast<int64_t>(size) : 0});
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
    std::string la = ToLower(a.name), lb = ToLower(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
  return true;
}

// Folders whose names begin with '.' are neither counted nor copied.
int64_t TreeSize(const std::string& folder, FolderTrail& trail) {
  std::vector<Entry> entries;
  if (!ListEntries(folder, entries)) return 0;
  int64_t total = 0;
  for (const Entry& e : entries) {
    if (e.dir) {
      std::string sub = folder + "/" + e.name;
      if (e.name[0] != '.' && trail.Enter(sub)) {
        total += TreeSize(sub, trail);
        trail.Leave();
      }
    } else {
      total += e.size;
    }
  }
  return total;
}

struct TreeCopy {
  ProgressSink& progress;
  Prompter& prompter;
  const std::string& title;
  std::string* error;
  std::string* failedPath;

  FolderTrail trail;

  bool Fail(const std::string& cause, const std::string& path) {
    if (error) *error = cause;
    if (failedPath) *failedPath = path;
    return false;
  }

  bool Copy(const std::string& shownSource, const std::string& src, const std::string& dst) {
    std::vector<Entry> entries;
    if (!ListEntries(src, entries)) {
      const int err = errno;
      prompter.MsgBox(Message{"Source folder \"" + AddSlash(shownSource) + "\" not found.", title, Icon::None,
                              Buttons::OK, 0, std::nullopt});
      return Fail(CopyErrorText(err ? err : ENOENT), src);
    }
    // `dst` is a real path (the listed names below it are taken as they
    // are: a '\\' in a name is no separator here).
    std::error_code ec;
    if (!std::filesystem::is_directory(dst, ec)) {
      std::filesystem::create_directories(dst, ec);
      if (!std::filesystem::is_directory(dst))
        return Fail(CopyErrorText(ec && ec.category() == std::generic_category() ? ec.value() : ENOENT), dst);
    }
    FolderNames existing(dst);
    for (const Entry& e : entries) {
      std::string s = src + "/" + e.name, d = dst + "/" + existing.Target(e.name);
      if (e.special) continue;
      if (progress.StopRequested()) return Fail(kCopyStopped, s);
      if (!e.dir) {
        progress.SetCaption("Copying : " + e.name);
        progress.PumpEvents();
        const int64_t base = progress.Value();
        const int64_t max = progress.Maximum();
        bool ok = CopyFileChunked(
            s, d, error,
            [&](int64_t done) {
              progress.SetValue(base + done >= max ? max : base + done);
              progress.PumpEvents();
            },
            /*inPlaceWhenNew=*/true);
        if (!ok) {
          if (failedPath) *failedPath = s;
          return false;
        }
      } else if (e.name[0] != '.' && trail.Enter(s)) {
        bool ok = Copy(JoinPath(shownSource, e.name), s, d);
        trail.Leave();
        if (!ok) return false;
      }
      progress.PumpEvents();
    }
    return true;
  }
};

}  // namespace

bool CopyPathWithProgress(const std::string& Source, const std::string& Destination, ProgressSink& progress,
                          Prompter& prompter, const std::string& programTitle, std::string* error,
                          std::string* failedPath) {
  progress.SetCaption("Preparing for Copy");
  progress.PumpEvents();
  const bool wasVisible = progress.BarVisible();
  progress.SetBarVisible(true);
  progress.SetCancelEnabled(true);

  std::string src = ResolvePath(TrimRight(Source));
  while (src.size() > 1 && src.back() == '/') src.pop_back();
  std::string dst = ResolvePathPrefix(TrimRight(Destination));
  while (dst.size() > 1 && dst.back() == '/') dst.pop_back();

  bool result = false;
  TreeCopy copy{progress, prompter, programTitle, error, failedPath, {}};
  copy.trail.Enter(src);
  std::error_code ec;
  if (!std::filesystem::is_directory(src, ec)) {
    // Nothing to count: the listing below fails and says so.
    result = copy.Copy(Source, src, dst);
  } else {
    FolderTrail sizeTrail;
    sizeTrail.Enter(src);
    const int64_t total = TreeSize(src, sizeTrail);
    if (total > 0 && PathInside(dst, src)) {
      // It would copy its own output again and again.
      if (error) *error = kCopyIntoItself;
      if (failedPath) *failedPath = src;
    } else if (total > 0) {
      progress.SetMaximum(total);
      progress.SetValue(0);
      result = copy.Copy(Source, src, dst);
    }
  }
  progress.SetBarVisible(wasVisible);
  return result;
}

}  // namespace kiv
