#include "tools/dfl/duplicate_linker.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <tuple>

#include "tools/dfl/dfl_platform.h"

namespace fs = std::filesystem;

namespace kiv::dfl {
namespace {

constexpr size_t kChunk = 1 << 20;

struct Candidate {
  std::string path;
  uint64_t dev;
  uint64_t ino;
  uint32_t mode;  // permission bits: a link shares them, so only equal ones are linked
  uint64_t size;
  int64_t modified;  // seconds: a link has one date too, so only equal ones are linked
  std::string md5;
};

// Regular, non-empty files below root, each inode once, sorted by path so the
// copy that is kept (the first in path order) does not depend on the order the
// file system lists its folders in.
std::vector<Candidate> Collect(const std::string& root, LinkReport& report) {
  std::vector<Candidate> files;
  // Folder by folder, so a folder that cannot be read is named with the
  // reason and the walk goes on with the others (it is not skipped silently).
  std::vector<fs::path> pending{fs::path(root)};
  while (!pending.empty()) {
    const fs::path folder = pending.back();
    pending.pop_back();
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
      report.errors.push_back("cannot read folder " + folder.string() + ": " + ec.message());
      continue;
    }
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const std::string path = it->path().string();
      EntryFacts st;
      std::string why;
      if (!Examine(path, st, why)) {
        report.errors.push_back("cannot examine " + path + ": " + why);
        continue;
      }
      if (st.isFolder) {
        pending.push_back(it->path());
      } else if (st.isFile) {
        files.push_back({path, st.device, st.fileNumber, st.mode, st.size, st.modified, {}});
      }
    }
    if (ec) report.errors.push_back("cannot read folder " + folder.string() + ": " + ec.message());
  }
  std::sort(files.begin(), files.end(), [](const Candidate& a, const Candidate& b) { return a.path < b.path; });
  // Paths that already share an inode are one file.
  std::vector<Candidate> unique;
  std::map<std::pair<uint64_t, uint64_t>, bool> seen;
  for (auto& f : files) {
    if (!seen.emplace(std::make_pair(f.dev, f.ino), true).second) continue;
    unique.push_back(std::move(f));
  }
  report.filesScanned = unique.size();
  return unique;
}

}  // namespace

std::string FileMd5(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return {};
  std::vector<char> buf(kChunk);
  while (in) {
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    const std::streamsize got = in.gcount();
    if (got > 0 && EVP_DigestUpdate(ctx.get(), buf.data(), static_cast<size_t>(got)) != 1) return {};
  }
  if (in.bad()) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_DigestFinal_ex(ctx.get(), digest, &len) != 1) return {};
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < len; ++i) {
    out += hex[digest[i] >> 4];
    out += hex[digest[i] & 15];
  }
  return out;
}

bool SameContent(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::vector<char> ba(kChunk), bb(kChunk);
  for (;;) {
    fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
    fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
    const std::streamsize na = fa.gcount(), nb = fb.gcount();
    if (na != nb || fa.bad() || fb.bad()) return false;
    if (na == 0) return true;
    if (std::memcmp(ba.data(), bb.data(), static_cast<size_t>(na)) != 0) return false;
  }
}

LinkReport LinkDuplicates(const std::string& root, const PhaseSink& phase) {
  LinkReport report;
  std::vector<Candidate> files = Collect(root, report);

  // Only files that share their size (and file system) with another can be
  // duplicates; empty files gain nothing from a link. A hard link has one
  // permission mode, so files whose modes differ are never linked: a read-only
  // file linked with a writable one would become writable through the link.
  // Likewise its date: the CD shows each file's date (to the second), and a
  // link would give every name the date of the copy kept.
  using SizeKey = std::tuple<uint64_t, uint32_t, int64_t, uint64_t>;
  std::map<SizeKey, std::vector<size_t>> bySize;
  for (size_t i = 0; i < files.size(); ++i)
    if (files[i].size > 0) bySize[{files[i].dev, files[i].mode, files[i].modified, files[i].size}].push_back(i);

  if (phase) phase("Calculating MD5 digests");
  std::map<std::pair<SizeKey, std::string>, std::vector<size_t>> byDigest;
  for (const auto& [key, group] : bySize) {
    if (group.size() < 2) continue;
    for (size_t i : group) {
      files[i].md5 = FileMd5(files[i].path);
      if (files[i].md5.empty()) {
        report.errors.push_back("cannot read " + files[i].path);
        continue;
      }
      byDigest[{key, files[i].md5}].push_back(i);
    }
  }

  if (phase) phase("Finding duplicate files");
  for (const auto& [key, group] : byDigest) {
    if (group.size() < 2) continue;
    // Equal digests are confirmed byte by byte against each kept copy; a
    // file equal to none of them starts a new kept copy.
    std::vector<size_t> kept;
    for (size_t i : group) {
      bool linked = false;
      for (size_t k : kept) {
        if (!SameContent(files[k].path, files[i].path)) continue;
        std::string error;
        if (LinkOver(files[k].path, files[i].path, error)) {
          ++report.filesLinked;
          report.bytesSaved += files[i].size;
        } else {
          report.errors.push_back(error);
        }
        linked = true;
        break;
      }
      if (!linked) kept.push_back(i);
    }
  }
  return report;
}

}  // namespace kiv::dfl
