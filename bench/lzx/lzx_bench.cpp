// Packs two corpora, each as one cabinet folder, and prints for each, side
// by side from one run, the size and CPU time of: our LZX:21 encoder at each
// level, cabarc -m LZX:21 at its default level and at --level=4, cabarc -m
// MSZIP (when our cabarc is built), gcab -z, and xz -9e of a tar of the same
// files. The first corpus is x86 code: the boot modules and text files of
// syslinux-common and the system's common licences; the second is not:
// Perl modules (text) and about 1.2 MB of gzipped changelogs (already
// compressed); the third is Windows-style programs (PE files: the EFI
// programs of shim-signed, grub-efi-amd64-signed and memtest86+). Folders given on the command line replace all three.
// --levels= picks the rows of our encoder alone (--levels= with no digits leaves them out).
//
// Usage: lzx_bench [--own-only] [--levels=1,2,3,4] [--rounds=3] [--memory] [--wine[=<folder>]]
//                  [corpus folder...]
//
// The default level's row and xz -9e's are timed --rounds times,
// alternating, and show their medians: the time goal compares those two.
// --wine adds two corpora of Windows system DLLs (wine's, stripped, for
// 64-bit and for 32-bit Windows), which wine_corpus.sh makes by downloading
// Debian's libwine packages: into <folder>/x86_64 and <folder>/i386 unless
// they exist already, or, with no folder given, into the bench's work
// folder, which goes at the end. Beside xz -9e,
// every corpus gets xz -9e held to LZX:21's 2 MiB window, and wimlib's LZX
// at its strongest level when wimlib-imagex is installed.
//
// --memory also streams 100 MB of generated data through the encoder at
// levels 2 and 3 and prints how much the peak memory grew meanwhile.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/lzx/lzx_encoder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

struct Row {
  std::string name;
  uint64_t size = 0;
  double seconds = 0;
  std::string note;
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

Bytes ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs a shell command; `seconds` gets the CPU time it used (all its
// processes), which on a busy machine says more than the wall clock.
int Run(const std::string& cmd, double* seconds) {
  // What the command prints must come after the table rows printed so far.
  std::fflush(stdout);
  double t = ChildCpuSeconds();
  int rc = std::system(cmd.c_str());
  *seconds = ChildCpuSeconds() - t;
  return rc;
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

struct Entry {
  std::string name;  // stored path, '\' separated
  fs::path source;
};

// Encodes the folder with our encoder and wraps it into a one-folder
// cabinet; returns the cabinet and the CPU time of the encoding alone.
Bytes PackOwn(const std::vector<Entry>& entries, const Bytes& folder, int level, bool lookahead, double* seconds) {
  kiv::lzx::Encoder encoder(kiv::lzx::Options{21, level});
  std::vector<Bytes> frames;
  double t = CpuSeconds();
  for (size_t pos = 0; pos < folder.size(); pos += 32768) {
    size_t n = std::min<size_t>(32768, folder.size() - pos);
    std::span<const uint8_t> frame(folder.data() + pos, n);
    bool last = pos + n == folder.size();
    if (lookahead) {
      for (auto& f : encoder.Feed(frame, last)) frames.push_back(std::move(f.data));
    } else {
      frames.push_back(encoder.EncodeFrame(frame, last));
    }
  }
  *seconds = CpuSeconds() - t;

  size_t filesSize = 0;
  for (const auto& e : entries) filesSize += 16 + e.name.size() + 1;
  uint32_t coffFiles = 36 + 8;
  uint32_t coffData = coffFiles + static_cast<uint32_t>(filesSize);
  size_t total = coffData;
  for (const auto& f : frames) total += 8 + f.size();
  Bytes cab;
  cab.reserve(total);
  Put32(cab, 0x4643534Du);
  Put32(cab, 0);
  Put32(cab, static_cast<uint32_t>(total));
  Put32(cab, 0);
  Put32(cab, coffFiles);
  Put32(cab, 0);
  Put16(cab, 0x0103);
  Put16(cab, 1);
  Put16(cab, static_cast<uint32_t>(entries.size()));
  Put16(cab, 0);
  Put16(cab, 0);
  Put16(cab, 0);
  Put32(cab, coffData);
  Put16(cab, static_cast<uint32_t>(frames.size()));
  Put16(cab, 3u | 21u << 8);
  uint32_t offset = 0;
  for (const auto& e : entries) {
    uint32_t size = static_cast<uint32_t>(fs::file_size(e.source));
    Put32(cab, size);
    Put32(cab, offset);
    Put16(cab, 0);
    Put16(cab, 0x5A21);
    Put16(cab, 0);
    Put16(cab, 0x20);
    cab.insert(cab.end(), e.name.begin(), e.name.end());
    cab.push_back(0);
    offset += size;
  }
  size_t pos = 0;
  for (const auto& f : frames) {
    size_t n = std::min<size_t>(32768, folder.size() - pos);
    Put32(cab, 0);
    Put16(cab, static_cast<uint32_t>(f.size()));
    Put16(cab, static_cast<uint32_t>(n));
    cab.insert(cab.end(), f.begin(), f.end());
    pos += n;
  }
  return cab;
}

}  // namespace

// Already-compressed files are taken from these folders only, and only so
// many bytes of them.
std::set<fs::path> gzipped;
constexpr uintmax_t kGzippedBytes = 1200000;
int corpusNumber = 0;
int rounds = 3;

// Packs the files under `roots` every way and prints the table; returns the
// corpus as one folder.
Bytes RunCorpus(const std::vector<fs::path>& roots, const std::vector<int>& levels, bool ownOnly,
                const fs::path& work) {
  std::vector<Entry> entries;
  for (const auto& root : roots) {
    // A single file is taken as it is (the Windows-style programs).
    if (fs::is_regular_file(root)) {
      entries.push_back({root.filename().string(), root});
      continue;
    }
    if (!fs::is_directory(root)) {
      std::cerr << "lzx_bench: corpus folder " << root
                << " is missing (install syslinux-common, shim-signed, grub-efi-amd64-signed, memtest86+)\n";
      return {};
    }
    std::vector<fs::path> found;
    for (const auto& de : fs::recursive_directory_iterator(root)) {
      // Compressed documentation is no text any more; links would repeat files.
      if (de.is_symlink() || !de.is_regular_file()) continue;
      if ((de.path().extension() == ".gz") != (gzipped.count(root) > 0)) continue;
      found.push_back(de.path());
    }
    std::sort(found.begin(), found.end());
    uintmax_t taken = 0;
    for (const auto& p : found) {
      if (gzipped.count(root)) {
        taken += fs::file_size(p);
        if (taken > kGzippedBytes) break;
      }
      std::string rel = (root.filename() / fs::relative(p, root)).string();
      std::replace(rel.begin(), rel.end(), '/', '\\');
      entries.push_back({rel, p});
    }
  }

  const fs::path stage = work / ("corpus" + std::to_string(++corpusNumber));
  Bytes folder;
  for (const auto& e : entries) {
    Bytes data = ReadFile(e.source);
    folder.insert(folder.end(), data.begin(), data.end());
    std::string rel = e.name;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    fs::create_directories((stage / rel).parent_path());
    fs::copy_file(e.source, stage / rel);
  }
  std::printf("corpus: %zu files, %zu bytes, from", entries.size(), folder.size());
  for (const auto& r : roots) std::printf(" %s", r.c_str());
  std::printf("\n\n");

  std::vector<Row> rows;
  for (int level : levels) {
    for (bool lookahead : {false, true}) {
      if (level != kiv::lzx::Options{}.level && !lookahead) continue;
      Row row;
      row.name = "own LZX:21 level " + std::to_string(level) + (level == kiv::lzx::Options{}.level ? "*" : "") +
                 (lookahead ? " Feed" : " EncodeFrame");
      Bytes cab = PackOwn(entries, folder, level, lookahead, &row.seconds);
      fs::path cabPath = work / ("own" + std::to_string(level) + (lookahead ? "f" : "") + ".cab");
      std::ofstream(cabPath, std::ios::binary)
          .write(reinterpret_cast<const char*>(cab.data()), static_cast<std::streamsize>(cab.size()));
      row.size = cab.size();
      // cabextract -t checks only the data blocks' checksums, which an
      // encoder that copies the wrong bytes still gets right: compare what
      // comes out with the corpus.
      double t;
      const fs::path out = work / "unpacked";
      fs::remove_all(out);
      bool ok =
          Run("cabextract -q -d " + Quote(out.string()) + " " + Quote(cabPath.string()) +
                  " >/dev/null 2>&1 && diff -r -q " + Quote(stage.string()) + " " + Quote(out.string()) + " >/dev/null",
              &t) == 0;
      fs::remove_all(out);
      row.note = std::string("encoder CPU time; cabextract ") + (ok ? "byte-equal" : "FAILED");
      rows.push_back(row);
    }
  }

  const std::string cd = "cd " + Quote(stage.string()) + " && ";
  if (!ownOnly) {
#ifdef LZX_BENCH_CABARC
    // As the disk builder runs it (default level), with the strongest level
    // chosen by our own option, and MSZIP.
    struct CabarcRun {
      const char* name;
      const char* args;
      const char* file;
    };
    for (const CabarcRun& c : {CabarcRun{"cabarc -m LZX:21", "-m LZX:21", "lzx"},
                               CabarcRun{"cabarc --level=4 -m LZX:21", "--level=4 -m LZX:21", "lzx4"},
                               CabarcRun{"cabarc -m MSZIP", "-m MSZIP", "mszip"}}) {
      Row row;
      row.name = c.name;
      fs::path cabPath = work / (std::string(c.file) + ".cab");
      // KIV_LZX_LEVEL is cleared so that the rows mean what they say.
      int rc = Run(cd + "env -u KIV_LZX_LEVEL " + Quote(LZX_BENCH_CABARC) + " " + c.args + " -p -r n " +
                       Quote(cabPath.string()) + " '*.*' >/dev/null",
                   &row.seconds);
      row.size = rc == 0 && fs::exists(cabPath) ? fs::file_size(cabPath) : 0;
      double t;
      bool ok = rc == 0 && Run("cabextract -q -t " + Quote(cabPath.string()) + " >/dev/null 2>&1", &t) == 0;
      row.note = std::string("CPU time of the run; cabextract -t ") + (ok ? "ok" : "FAILED");
      rows.push_back(row);
    }
#else
    rows.push_back({"cabarc", 0, 0, "not built in this tree"});
#endif

    {
      std::string list;
      for (const auto& e : entries) {
        std::string rel = e.name;
        std::replace(rel.begin(), rel.end(), '\\', '/');
        list += " " + Quote(rel);
      }
      Row row;
      row.name = "gcab -z";
      fs::path cabPath = work / "gcab.cab";
      int rc = Run(cd + "gcab -c -z " + Quote(cabPath.string()) + list + " >/dev/null", &row.seconds);
      row.size = rc == 0 ? fs::file_size(cabPath) : 0;
      row.note = "CPU time (MSZIP)";
      rows.push_back(row);
    }
    {
      Row row;
      row.name = "xz -9e (tar)";
      fs::path tarPath = work / "corpus.tar";
      double t;
      int rc = Run("tar --sort=name --mtime=@0 --owner=0 --group=0 --numeric-owner -cf " + Quote(tarPath.string()) +
                       " -C " + Quote(stage.string()) + " .",
                   &t);
      rc |= Run("xz -9e -T1 -k -f " + Quote(tarPath.string()), &row.seconds);
      row.size = rc == 0 ? fs::file_size(tarPath.string() + ".xz") : 0;
      row.note = "CPU time, one thread";
      rows.push_back(row);

      // LZX:21 sees at most 2 MiB back; xz -9e sees 64 MiB. This row is
      // what LZMA itself makes of the window LZX is held to.
      Row window;
      window.name = "xz -9e, 2 MiB dictionary (tar)";
      rc = Run("xz --lzma2=preset=9e,dict=2MiB -T1 -c " + Quote(tarPath.string()) + " > " +
                   Quote(tarPath.string() + ".2m.xz"),
               &window.seconds);
      window.size = rc == 0 ? fs::file_size(tarPath.string() + ".2m.xz") : 0;
      window.note = "LZX:21's window; CPU time, one thread";
      rows.push_back(window);

      // Another LZX encoder at its strongest, for scale: wimlib's, over the
      // same tar in 2 MiB chunks (its largest, each coded on its own).
      Row wim;
      wim.name = "wimlib LZX:100, 2 MiB chunks";
      const fs::path wimSource = work / "wimsource";
      fs::remove_all(wimSource);
      fs::create_directories(wimSource);
      fs::copy_file(tarPath, wimSource / "corpus.tar");
      const fs::path wimPath = work / "corpus.wim";
      fs::remove(wimPath);
      rc = Run("command -v wimlib-imagex >/dev/null && wimlib-imagex capture " + Quote(wimSource.string()) + " " +
                   Quote(wimPath.string()) + " --compress=LZX:100 --chunk-size=2097152 >/dev/null 2>&1",
               &wim.seconds);
      wim.size = rc == 0 && fs::exists(wimPath) ? fs::file_size(wimPath) : 0;
      wim.note =
          wim.size ? "CPU time; about 1 KiB of it is the WIM container" : "wimlib-imagex not installed (wimtools)";
      rows.push_back(wim);
      fs::remove_all(wimSource);
    }
  }

  // The time goal compares our default level with xz -9e, and this
  // machine's speed drifts from second to second: those two rows run
  // `rounds` times, alternating, and show each one's median.
  Row* ownDefault = nullptr;
  Row* xzRow = nullptr;
  for (auto& r : rows) {
    if (r.name.find('*') != std::string::npos && r.name.find("Feed") != std::string::npos) ownDefault = &r;
    if (r.name == "xz -9e (tar)" && r.size) xzRow = &r;
  }
  if (ownDefault && xzRow && rounds > 1) {
    std::vector<double> ownTimes{ownDefault->seconds}, xzTimes{xzRow->seconds};
    for (int round = 1; round < rounds; ++round) {
      double t;
      PackOwn(entries, folder, kiv::lzx::Options{}.level, true, &t);
      ownTimes.push_back(t);
      Run("xz -9e -T1 -c " + Quote((work / "corpus.tar").string()) + " >/dev/null", &t);
      xzTimes.push_back(t);
    }
    auto median = [](std::vector<double> v) {
      std::sort(v.begin(), v.end());
      return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    ownDefault->seconds = median(ownTimes);
    xzRow->seconds = median(xzTimes);
    const std::string roundsNote = ", median of " + std::to_string(rounds) + " rounds";
    ownDefault->note += roundsNote;
    xzRow->note += roundsNote;
  }

  uint64_t xzSize = 0, xzWindowSize = 0, gcabSize = 0;
  double xzSeconds = 0;
  for (const auto& r : rows) {
    if (r.name == "xz -9e (tar)") {
      xzSize = r.size;
      xzSeconds = r.seconds;
    }
    if (r.name.rfind("xz -9e, 2 MiB", 0) == 0) xzWindowSize = r.size;
    if (r.name.rfind("gcab", 0) == 0) gcabSize = r.size;
  }
  // Size and time side by side with xz -9e's from the same run: the goal is
  // at most 1.02 x its size in at most half its time. "/xz 2M" sets the size
  // beside xz's within LZX:21's window, which no LZX encoder can look past.
  std::printf("%-32s %10s %8s %9s %8s %9s %8s %9s  %s\n", "method", "bytes", "ratio", "/xz size", "/xz 2M", "/xz time",
              "/gcab", "MB/s", "note");
  auto share = [](uint64_t part, uint64_t whole) { return whole ? static_cast<double>(part) / whole : 0.0; };
  for (const auto& r : rows) {
    if (r.size == 0) {
      std::printf("%-32s %10s %8s %9s %8s %9s %8s %9s  %s\n", r.name.c_str(), "-", "-", "-", "-", "-", "-", "-",
                  r.note.c_str());
      continue;
    }
    std::printf("%-32s %10llu %8.4f %9.4f %8.4f %9.2f %8.4f %9.2f  %s\n", r.name.c_str(),
                static_cast<unsigned long long>(r.size), share(r.size, folder.size()), share(r.size, xzSize),
                share(r.size, xzWindowSize), xzSeconds > 0 ? r.seconds / xzSeconds : 0.0, share(r.size, gcabSize),
                r.seconds > 0 ? folder.size() / 1e6 / r.seconds : 0.0, r.note.c_str());
  }
  std::printf("\n");
  return folder;
}

int main(int argc, char** argv) {
  std::vector<fs::path> roots;
  bool ownOnly = false;
  bool memory = false;
  bool wine = false;
  fs::path wineFolder;
  std::vector<int> levels = {1, 2, 3, 4};
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--own-only") {
      ownOnly = true;
    } else if (a == "--memory") {
      memory = true;
    } else if (a == "--wine" || a.rfind("--wine=", 0) == 0) {
      wine = true;
      if (a.size() > 7) wineFolder = a.substr(7);
    } else if (a.rfind("--rounds=", 0) == 0) {
      rounds = std::max(1, std::atoi(a.c_str() + 9));
    } else if (a.rfind("--levels=", 0) == 0) {
      levels.clear();
      for (char c : a.substr(9)) {
        if (c >= '0' && c <= '9') levels.push_back(c - '0');
      }
    } else {
      roots.emplace_back(a);
    }
  }
  const fs::path work = fs::temp_directory_path() / ("lzx_bench_" + std::to_string(::getpid()));
  Bytes folder;
  if (roots.empty()) {
    // x86 boot code with its documentation, then text (Perl modules) with
    // already-compressed files (gzipped changelogs), which must not grow.
    folder = RunCorpus({"/usr/lib/syslinux", "/usr/share/doc/syslinux-common", "/usr/share/common-licenses"}, levels,
                       ownOnly, work);
    gzipped.insert("/usr/share/doc");
    RunCorpus({"/usr/share/perl5", "/usr/share/doc"}, levels, ownOnly, work);
    // Windows-style programs the encoder was not tuned on: PE32+ and PE32
    // executables from Debian's packages (EFI programs are PE/COFF files,
    // like the DLLs and EXEs of a Windows setup CD).
    RunCorpus(
        {"/usr/lib/shim/shimx64.efi", "/usr/lib/shim/mmx64.efi", "/usr/lib/shim/fbx64.efi",
         "/usr/lib/grub/x86_64-efi-signed/grubx64.efi.signed", "/boot/memtest86+x64.efi", "/boot/memtest86+ia32.efi"},
        levels, ownOnly, work);
  } else {
    folder = RunCorpus(roots, levels, ownOnly, work);
  }
  if (folder.empty()) return 1;
  if (wine) {
    // Windows system DLLs as wine builds them, for 64-bit and for 32-bit
    // Windows: larger than the window, so the window's cost shows beside
    // the encoder's.
    if (wineFolder.empty()) wineFolder = work / "wine";
    for (const char* arch : {"x86_64", "i386"}) {
      const fs::path corpus = wineFolder / arch;
      const std::string option = std::string(arch) == "i386" ? "--i386 " : "";
      std::fflush(stdout);
      if (!fs::is_directory(corpus) &&
          std::system(("bash " + Quote(LZX_BENCH_WINE_CORPUS) + " " + option + Quote(corpus.string())).c_str()) != 0) {
        std::cerr << "lzx_bench: could not make the wine corpus in " << corpus << "\n";
        fs::remove_all(work);
        return 1;
      }
      RunCorpus({corpus}, levels, ownOnly, work);
    }
  }
  std::printf("* the default level, which cabarc uses\n");
  std::printf("targets: cabarc -m LZX:21 (the default level) <= 1.02 x xz -9e's size in <= 0.5 x its time\n");
  std::printf("/xz 2M: the size beside xz -9e's held to LZX:21's 2 MiB window\n");
  if (memory) {
    // Text-like and code-like material with long-range repeats, 100 MB.
    const size_t total = 100u << 20;
    for (int level : {2, 3}) {
      long before = PeakKiB();
      kiv::lzx::Encoder encoder(kiv::lzx::Options{21, level});
      Bytes frame(32768);
      uint64_t packed = 0;
      uint32_t seed = 1;
      double t = CpuSeconds();
      for (size_t pos = 0; pos < total; pos += frame.size()) {
        for (size_t i = 0; i < frame.size(); ++i) {
          seed = seed * 1103515245u + 12345u;
          frame[i] = static_cast<uint8_t>(folder[(pos + i) % folder.size()] ^ ((seed >> 28) == 0 ? seed >> 20 : 0));
        }
        for (auto& f : encoder.Feed(frame, pos + frame.size() >= total)) packed += f.data.size();
      }
      t = CpuSeconds() - t;
      std::printf("memory: level %d, 100 MiB in %llu bytes out, %.1f s, peak memory grew by %.1f MiB\n", level,
                  static_cast<unsigned long long>(packed), t, (PeakKiB() - before) / 1024.0);
    }
  }
  fs::remove_all(work);
  return 0;
}
