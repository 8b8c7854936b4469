#include "cdtool/build/graft_plan.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <tuple>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/progress_sink.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

// "I386" + "WINNT.SIF" -> "/I386/WINNT.SIF"; "" is the root.
std::string CdJoin(const std::string& folder, const std::string& name) {
  std::string path = folder;
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
  if (path == "/") return "/" + name;
  return path + "/" + name;
}

std::string WorkPath(const std::string& workTree, const std::string& cdPath) {
  return cdPath == "/" ? workTree : workTree + cdPath;
}

// The causes in the tree copy's words.
std::string Cause(const std::error_code& ec) {
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return "Path Not found";
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) return "Permission denied";
  return ec.message();
}

struct Step {
  bool folder;
  std::string cdPath;
  std::string diskPath;
  bool inWork = false;  // the work tree holds a file of that name, which the source's replaces
};

// One Map call: the walk decides every name first, so a failure maps nothing.
struct Walk {
  const std::string& workTree;
  const std::map<std::string, Graft>& mapped;
  ProgressSink& progress;
  std::string* error;
  std::string* failedPath;
  std::vector<Step> steps;
  std::set<std::string> trail;  // the folders walked into on the way down, by their canonical paths
  int64_t bytes = 0;

  bool Fail(const std::string& cause, const std::string& path) {
    if (error) *error = cause;
    if (failedPath) *failedPath = path;
    return false;
  }

  // A link back up to a folder on the way down is not followed again (as the
  // tree copy has it); a folder reached through a link from elsewhere is
  // walked there too. `canonical` is what Leave takes.
  bool Enter(const fs::path& folder, std::string& canonical) {
    std::error_code ec;
    const fs::file_status st = fs::status(folder, ec);
    if (ec || st.type() != fs::file_type::directory) return true;
    // std::filesystem has no inode numbers: the canonical path stands for one.
    canonical = fs::canonical(folder, ec).string();
    if (ec) canonical.clear();
    return ec || trail.insert(canonical).second;
  }
  void Leave(const std::string& canonical) { trail.erase(canonical); }

  // The names in a CD folder, letter case aside: the work tree's entries,
  // the mapped files there, and what this walk has put there so far.
  std::map<std::string, std::string> NamesIn(const std::string& cdFolder) {
    std::map<std::string, std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(WorkPath(workTree, cdFolder), ec))
      names.emplace(ToLower(e.path().filename().string()), e.path().filename().string());
    const std::string prefix = ToLower(cdFolder == "/" ? "/" : cdFolder + "/");
    for (auto it = mapped.lower_bound(prefix); it != mapped.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
      const std::string rest = it->second.cdPath.substr(prefix.size());
      if (rest.find('/') == std::string::npos) names.emplace(ToLower(rest), rest);
    }
    return names;
  }

  bool Folder(const fs::path& source, const std::string& cdFolder) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) return Fail(Cause(ec), source.string());
    // The copy's order: by name, letter case aside.
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
      const std::string an = a.path().filename().string(), bn = b.path().filename().string();
      const std::string al = ToLower(an), bl = ToLower(bn);
      return al != bl ? al < bl : an < bn;
    });
    std::map<std::string, std::string> names = NamesIn(cdFolder);
    for (const fs::directory_entry& entry : entries) {
      const std::string name = entry.path().filename().string();
      // The entry knows its type from the folder listing; only a link is
      // followed with a call of its own. A source of thousands of files
      // spends its mapping time in these calls.
      std::error_code typeError;
      const bool isFolder = entry.is_directory(typeError);
      const bool isFile = !isFolder && !typeError && entry.is_regular_file(typeError);
      if (typeError) return Fail(Cause(typeError), entry.path().string());
      if (!isFolder && !isFile) continue;  // no data to put on a CD
      const std::string cdPath = CdJoin(cdFolder, names.emplace(ToLower(name), name).first->second);
      const fs::path inWork = WorkPath(workTree, cdPath);
      const fs::file_status inWorkStatus = fs::symlink_status(inWork, ec);
      const bool workFolder = fs::is_directory(inWorkStatus);
      const bool workFile = !workFolder && fs::exists(inWorkStatus);
      const bool mappedFile = mapped.count(ToLower(cdPath)) > 0;
      if (isFolder) {
        if (name[0] == '.') continue;
        if (workFile || mappedFile) return Fail("a file of that name is on the CD: " + cdPath, entry.path().string());
        std::string canonical;
        if (!Enter(entry.path(), canonical)) continue;
        steps.push_back({true, cdPath, ""});
        if (!Folder(entry.path(), cdPath)) return false;
        Leave(canonical);
        continue;
      }
      if (workFolder) return Fail("a folder of that name is on the CD: " + cdPath, entry.path().string());
      // Read now: the mastering tool would fail on it much later.
      if (!std::ifstream(entry.path(), std::ios::binary)) return Fail("Permission denied", entry.path().string());
      const auto size = fs::file_size(entry.path(), ec);
      bytes += ec ? 0 : static_cast<int64_t>(size);
      steps.push_back({false, cdPath, fs::absolute(entry.path()).lexically_normal().string(), workFile});
      if (steps.size() % 256 == 0) {
        progress.PumpEvents();
        if (progress.StopRequested()) return Fail("Operation canceled", entry.path().string());
      }
    }
    return true;
  }
};

}  // namespace

void GraftPlan::Reset(std::string workTree) {
  workTree_ = std::move(workTree);
  files_.clear();
}

bool GraftPlan::Map(const std::string& source, const std::string& cdFolder, ProgressSink& progress, std::string* error,
                    std::string* failedPath) {
  std::string src = ResolvePath(TrimRight(source));
  while (src.size() > 1 && src.back() == '/') src.pop_back();
  // The folder in the letter case the work tree has (or is given).
  std::string folder = "/";
  std::string part;
  for (const char c : cdFolder + "/") {
    if (c != '/' && c != '\\') {
      part += c;
    } else if (!part.empty()) {
      folder = CdJoin(folder, ExistingNameIn(WorkPath(workTree_, folder), part));
      part.clear();
    }
  }
  // The work tree inside the source would map the CD into itself.
  std::error_code canonError;
  const std::string inner = fs::weakly_canonical(workTree_, canonError).string();
  const std::string outer = fs::weakly_canonical(src, canonError).string();
  if (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
      (inner[outer.size()] == '/' || outer == "/")) {
    if (error) *error = "Destination is inside the source folder";
    if (failedPath) *failedPath = src;
    return false;
  }
  Walk walk{workTree_, files_, progress, error, failedPath, {}, {}, 0};
  std::string root;
  walk.Enter(src, root);
  if (!walk.Folder(src, folder)) return false;
  if (walk.bytes == 0) return true;  // a tree without data, as the copy has it

  std::error_code ec;
  fs::create_directories(WorkPath(workTree_, folder), ec);
  for (const Step& step : walk.steps) {
    const std::string inWork = WorkPath(workTree_, step.cdPath);
    if (step.folder) {
      fs::create_directories(inWork, ec);
      if (ec) return walk.Fail(Cause(ec), inWork);
      continue;
    }
    // What the work tree held there goes, as a copy would overwrite it.
    if (step.inWork) fs::remove(inWork, ec);
    if (step.diskPath.find_first_of("\r\n") != std::string::npos ||
        step.cdPath.find_first_of("\r\n") != std::string::npos) {
      std::string why;
      if (!CopyOneFile(step.diskPath, inWork, &why)) return walk.Fail(why, step.diskPath);
      continue;
    }
    files_[ToLower(step.cdPath)] = Graft{step.cdPath, step.diskPath};
  }
  return true;
}

bool GraftPlan::MapFile(const std::string& diskPath, const std::string& cdPath, std::string* error) {
  std::string path = "/";
  std::string part;
  std::error_code ec;
  for (const char c : cdPath) {
    if (c != '/' && c != '\\') {
      part += c;
      continue;
    }
    if (part.empty()) continue;
    path = CdJoin(path, ExistingNameIn(WorkPath(workTree_, path), part));
    fs::create_directories(WorkPath(workTree_, path), ec);
    part.clear();
  }
  if (part.empty()) {
    if (error) *error = "no file name in " + cdPath;
    return false;
  }
  path = CdJoin(path, ExistingNameIn(WorkPath(workTree_, path), part));
  const std::string inWork = WorkPath(workTree_, path);
  if (fs::is_directory(inWork, ec)) {
    if (error) *error = "a folder of that name is on the CD: " + path;
    return false;
  }
  fs::remove(inWork, ec);
  files_[ToLower(path)] = Graft{path, fs::absolute(diskPath).lexically_normal().string()};
  return true;
}

void GraftPlan::Drop(const std::string& cdPath) {
  const std::string key = ToLower(CdJoin("/", cdPath.empty() || cdPath.front() != '/' ? cdPath : cdPath.substr(1)));
  files_.erase(key);
  const std::string prefix = key + "/";
  for (auto it = files_.lower_bound(prefix); it != files_.end() && it->first.compare(0, prefix.size(), prefix) == 0;)
    it = files_.erase(it);
}

std::optional<std::string> GraftPlan::DiskFile(const std::string& cdPath) const {
  const std::string path = cdPath.empty() || cdPath.front() != '/' ? "/" + cdPath : cdPath;
  std::string inWork = ResolvePath(WorkPath(workTree_, path));
  std::error_code ec;
  if (fs::is_regular_file(inWork, ec)) return inWork;
  const auto it = files_.find(ToLower(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.diskPath;
}

std::vector<Graft> GraftPlan::Effective() {
  std::vector<Graft> out;
  // CD folder -> the work tree's file names there, by their lower-case forms.
  std::map<std::string, std::map<std::string, std::string>> workNames;
  for (const auto& [key, graft] : files_) {
    const size_t slash = graft.cdPath.rfind('/');
    const std::string folder = graft.cdPath.substr(0, slash), leaf = graft.cdPath.substr(slash + 1);
    auto names = workNames.find(folder);
    if (names == workNames.end()) {
      std::map<std::string, std::string> lower;
      std::error_code ec;
      for (const fs::directory_entry& e :
           fs::directory_iterator(WorkPath(workTree_, folder.empty() ? "/" : folder), ec))
        if (!e.is_directory(ec)) lower.emplace(ToLower(e.path().filename().string()), e.path().filename().string());
      names = workNames.emplace(folder, std::move(lower)).first;
    }
    const auto written = names->second.find(ToLower(leaf));
    if (written == names->second.end()) {
      out.push_back(graft);
    } else if (written->second != leaf) {
      std::error_code ec;
      fs::rename(WorkPath(workTree_, folder + "/" + written->second), WorkPath(workTree_, graft.cdPath), ec);
      written->second = leaf;
    }
  }
  std::sort(out.begin(), out.end(), [](const Graft& a, const Graft& b) { return a.cdPath < b.cdPath; });
  return out;
}

namespace {

struct Facts {
  uintmax_t size = 0;
  unsigned mode = 0;
  int64_t modified = 0;  // whole seconds, as the CD shows them
  bool operator<(const Facts& o) const { return std::tie(size, mode, modified) < std::tie(o.size, o.mode, o.modified); }
};

std::optional<Facts> FactsOf(const std::string& path, std::optional<int64_t> epoch) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec || st.type() != fs::file_type::regular) return std::nullopt;
  Facts f;
  f.size = fs::file_size(path, ec);
  if (ec) return std::nullopt;
  f.mode = static_cast<unsigned>(st.permissions()) & 07777;
  FileTime accessed, modified;
  if (!GetFileTimes(path, true, accessed, modified)) return std::nullopt;
  f.modified = epoch && modified.seconds > *epoch ? *epoch : modified.seconds;
  return f;
}

std::string Digest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return "";
  std::vector<char> buffer(1 << 16);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
    EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<size_t>(in.gcount()));
  std::array<unsigned char, EVP_MAX_MD_SIZE> md{};
  unsigned length = 0;
  EVP_DigestFinal_ex(ctx.get(), md.data(), &length);
  return std::string(reinterpret_cast<const char*>(md.data()), length);
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::vector<char> ba(1 << 16), bb(1 << 16);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    if (fa.gcount() != fb.gcount()) return false;
    if (fa.gcount() == 0) return true;
    if (!std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) return false;
  }
}

}  // namespace

std::vector<Graft> ShareDuplicates(const std::vector<Graft>& grafts, const std::string& workTree,
                                   std::optional<int64_t> epoch) {
  // Candidates by size, mode and date: the mapped files first, then the work
  // tree's files of a size some mapped file has.
  struct Member {
    std::string diskPath;
    bool work;
    size_t graft;  // index into `grafts` for a mapped file
  };
  std::map<Facts, std::vector<Member>> groups;
  std::set<uintmax_t> sizes;
  for (size_t i = 0; i < grafts.size(); ++i) {
    const std::optional<Facts> f = FactsOf(grafts[i].diskPath, epoch);
    if (!f || f->size == 0) continue;
    groups[*f].push_back({grafts[i].diskPath, false, i});
    sizes.insert(f->size);
  }
  std::vector<std::string> workFiles;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(workTree, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_symlink(typeError) || !it->is_regular_file(typeError)) continue;
    if (sizes.count(it->file_size(typeError)) && !typeError) workFiles.push_back(it->path().string());
  }
  std::sort(workFiles.begin(), workFiles.end());
  for (const std::string& path : workFiles)
    if (const std::optional<Facts> f = FactsOf(path, epoch); f && groups.count(*f))
      groups[*f].push_back({path, true, 0});

  std::vector<Graft> out = grafts;
  for (auto& [facts, members] : groups) {
    if (members.size() < 2) continue;
    // A work tree file keeps its place; among mapped files the first in CD
    // path order.
    std::stable_partition(members.begin(), members.end(), [](const Member& m) { return m.work; });
    std::map<std::string, std::vector<std::string>> byDigest;  // digest -> the distinct files kept
    for (const Member& m : members) {
      const std::string digest = Digest(m.diskPath);
      if (digest.empty()) continue;
      std::vector<std::string>& kept = byDigest[digest];
      const auto same = std::find_if(kept.begin(), kept.end(),
                                     [&](const std::string& k) { return k == m.diskPath || SameBytes(k, m.diskPath); });
      if (same == kept.end()) {
        kept.push_back(m.diskPath);
        continue;
      }
      if (!m.work) out[m.graft].diskPath = *same;
    }
  }
  return out;
}

namespace {

// One side of a pathspec as the mastering tool reads it: it splits the line
// at the first '=' that no '\\' escapes and then takes "\\=" as '=' and "\\\\"
// as '\\', on the CD side and the disk side alike.
std::string PathspecSide(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '=' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

std::string RenderPathList(const std::string& workTreeArg, const std::vector<Graft>& grafts) {
  std::string list = "/=" + PathspecSide(workTreeArg) + "\n";
  for (const Graft& g : grafts) list += PathspecSide(g.cdPath) + "=" + PathspecSide(g.diskPath) + "\n";
  return list;
}

std::string RenderDateCommands(const std::vector<Graft>& grafts, int64_t epoch) {
  std::string commands;
  for (const Graft& g : grafts) {
    FileTime accessed, modified;
    if (!GetFileTimes(g.diskPath, true, accessed, modified) || modified.seconds <= epoch) continue;
    // Quoted input: ' is closed, given inside "...", and opened again.
    std::string quoted = "'";
    for (char c : g.cdPath) quoted += c == '\'' ? std::string("'\"'\"'") : std::string(1, c);
    commands += "-alter_date m =" + std::to_string(epoch) + " " + quoted + "' --\n";
  }
  return commands;
}

}  // namespace kiv
