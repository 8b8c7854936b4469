// Times `discsmith --build` on an XP-like setup tree against the plain
// equivalent: `cp -a` of the same sources into a fresh folder, then
// genisoimage with the same switches. Both run in the same process, rounds
// alternating, so the machine's load hits both alike. Prints the ratio of
// the best rounds, and of the medians (target: at most 1.10).
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

int Run(const std::string& command) {
  int rc = std::system(command.c_str());
  if (rc != 0) std::fprintf(stderr, "failed (%d): %s\n", rc, command.c_str());
  return rc;
}

double ChildrenCpu() {
  rusage u{};
  ::getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall time of the command; its CPU time (user + system, children included)
// goes to `cpu`.
double Seconds(const std::string& command, double* cpu = nullptr) {
  const double c0 = ChildrenCpu();
  auto t0 = std::chrono::steady_clock::now();
  if (Run(command) != 0) std::exit(1);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (cpu) *cpu = ChildrenCpu() - c0;
  return wall;
}

void WriteFile(const fs::path& p, size_t size, std::mt19937_64& rng) {
  fs::create_directories(p.parent_path());
  std::string data(size, '\0');
  for (size_t i = 0; i + 8 <= size; i += 8) {
    uint64_t v = rng();
    std::memcpy(&data[i], &v, 8);
  }
  std::ofstream(p, std::ios::binary) << data;
}

// An XP-like medium: I386 with thousands of files, mostly small, a few large,
// some sub-folders, and the root tag files.
void MakeTree(const fs::path& root, size_t totalMB) {
  std::mt19937_64 rng(42);
  const size_t total = totalMB << 20;
  size_t written = 0;
  int n = 0;
  const char* folders[] = {"", "SYSTEM32/", "LANG/", "ASMS/6000/MSFT/", "COMPDATA/", "WINNTUPG/"};
  while (written < total) {
    size_t size;
    int pick = static_cast<int>(rng() % 100);
    if (pick < 93) size = 1024 + rng() % (16 << 10);              // small drivers and inf files
    else if (pick < 99) size = (64 << 10) + rng() % (512 << 10);  // cabinets
    else size = (2 << 20) + rng() % (6 << 20);                    // DRIVER.CAB-sized
    size = std::min(size, total - written);
    char name[32];
    std::snprintf(name, sizeof name, "F%05d.DL_", n);
    WriteFile(root / "I386" / (std::string(folders[n % 6]) + name), size, rng);
    written += size;
    ++n;
  }
  WriteFile(root / "I386/SETUPLDR.BIN", 250000, rng);
  WriteFile(root / "I386/TXTSETUP.SIF", 500000, rng);
  for (const char* tag : {"WIN51", "WIN51IP", "WIN51IP.SP2", "CDROM_IP.5"}) std::ofstream(root / tag) << "\r\n";
  std::printf("tree: %d files, %zu MB\n", n + 2, totalMB);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const size_t sizeMB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  char tmpl[] = "/tmp/kiv-iso-bench-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  const fs::path work = tmpl;
  const fs::path pf = work / "program";
  const fs::path src = work / "xpcd";

  // KIV_PROGRAM_DIR: use (a copy of) an installed program folder instead.
  const char* installed = std::getenv("KIV_PROGRAM_DIR");
  if (installed && *installed) {
    if (Run("cp -a '" + std::string(installed) + "' '" + pf.string() + "'") != 0) return 1;
  } else if (Run("cmake --install '" KIV_BUILD_DIR "' --prefix '" + pf.string() + "' > /dev/null") != 0) {
    return 1;
  }
  {
    std::ofstream stub(pf / "bootsmith");
    // Shell built-ins only: the stub stands for bootsmith's result, not its work.
    stub << "#!/bin/sh\ncd \"${0%/*}\"\nfor a in \"$@\"; do d=$a; done\n"
            "case $d in kivsoftware) i=kivstart.img;; kivsoftware_emm) i=kivemm.img;; winsetup) i=kivwin.img;;"
            " lorvaplus288) i=kivlorva.img;; netaccess) i=kivnet.img;; esac\n"
            "echo \"$d\" > \"$i\"\n";
  }
  ::chmod((pf / "bootsmith").c_str(), 0755);
  MakeTree(src, sizeMB);

  const fs::path isoA = work / "a.iso", isoB = work / "b.iso", plain = work / "plain";
  {
    std::ofstream ini(pf / "kivcd.ini", std::ios::binary);
    ini << "[Main]\r\nBootDisks      = 1\r\nWindows2K      = 1\r\nWindows9x      = 0\r\nAdvancedTools  = 0\r\n"
        << "ISOLocation    = " << isoA.string() << "\r\nCleanSession   = 0\r\nOptimizeISO    = 0\r\n\r\n"
        << "[BootDisks]\r\nUse_LorvaPlus  = 1\r\nAcceptDrivers  = 1\r\n\r\n"
        << "[Win2K_Info]\r\nSourceDir      = \"" << (src / "I386").string() << "\"\r\nSP_exe         = \"\"\r\n"
        << "In_SetupWin    = 0\r\nIn_Unattend    = 0\r\nDelLangFiles   = 0\r\n\r\n"
        << "[Locations]\r\nkivUtils       = \"0\"\r\nAddFiles       = \"0\"\r\n";
  }
  const std::string discsmith = "cd '" + pf.string() + "' && ./discsmith --build > /dev/null 2>&1";
  const std::string switches =
      " -volid \"KIV_RESCUE\" -preparer \"Verlanth\" -publisher \"VANTO LTD\" -appid \"Kiv CD Creator\""
      " -iso-level 4 -omit-period -no-emul-boot -boot-load-size 4 -eltorito-boot boot/loader.bin"
      " -hide loader.bin -hide boot.catalog -follow-links -cache-inodes";
  const std::string baseline = "rm -rf '" + plain.string() + "' && cp -a '" + (pf / "files/kivcd").string() + "' '" +
                               plain.string() + "' && cp -a '" + (src / "I386").string() + "' '" +
                               (plain / "I386").string() + "' && cd '" + plain.string() + "/..' && genisoimage" +
                               switches + " -output '" + isoB.string() + "' plain > /dev/null 2>&1";

  // Warm both paths (page cache, program start-up), then alternate.
  Seconds(discsmith);
  Seconds(baseline);
  std::vector<double> a, b, ca, cb;
  for (int r = 0; r < rounds; ++r) {
    double cpu = 0;
    a.push_back(Seconds(discsmith, &cpu));
    ca.push_back(cpu);
    b.push_back(Seconds(baseline, &cpu));
    cb.push_back(cpu);
    std::printf("round %d: discsmith --build %.2f s (cpu %.2f s), cp -a + genisoimage %.2f s (cpu %.2f s)\n", r + 1,
                a.back(), ca.back(), b.back(), cb.back());
    std::fflush(stdout);
  }
  std::printf("ISO sizes: %jd / %jd bytes\n", static_cast<intmax_t>(fs::file_size(isoA)),
              static_cast<intmax_t>(fs::file_size(isoB)));
  // On a shared machine the fastest round of each is the least disturbed one.
  std::printf("ratio of best rounds (discsmith / baseline): %.3f  (target <= 1.10)\n",
              *std::min_element(a.begin(), a.end()) / *std::min_element(b.begin(), b.end()));
  std::printf("ratio of medians: %.3f\n", Median(a) / Median(b));
  std::printf("ratio of median CPU time (user + system): %.3f\n", Median(ca) / Median(cb));
  fs::remove_all(work);
  return 0;
}
