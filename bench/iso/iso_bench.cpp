// Times `discsmith --build` on an XP-like setup tree against two plain
// equivalents: a bare `xorriso -as mkisofs` that maps the CD template, its
// UEFI boot image and the same sources into the image, and `cp -a` of them
// into a fresh folder, then genisoimage with the same switches. All run in
// the same process, rounds alternating, so the machine's load hits them
// alike. Prints the ratios of the medians (targets: at most 1.15 x bare
// xorriso, at most 0.55 x cp + genisoimage) with the inputs' sizes, and the
// build's peak memory (the largest process of the run; target under 64 MB).
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
// goes to `cpu`, the peak resident size of its largest process (KiB) to
// `peakKiB`. Before the clock starts, the command's earlier output goes (every
// command writes a fresh file, and freeing a gigabyte of page cache is not
// its work) and what the previous commands wrote goes to the disk: otherwise
// the kernel's writeback of one command's gigabytes falls on whichever runs
// next (the build ran after cp -a and paid for its copy).
double Seconds(const std::string& command, const std::vector<fs::path>& outputs = {}, double* cpu = nullptr,
               long* peakKiB = nullptr) {
  for (const fs::path& output : outputs) fs::remove_all(output);
  ::sync();
  const double c0 = ChildrenCpu();
  auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed (%d): %s\n", status, command.c_str());
    std::exit(1);
  }
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (cpu) *cpu = ChildrenCpu() - c0;
  if (peakKiB) *peakKiB = usage.ru_maxrss;
  return wall;
}

uintmax_t TreeBytes(const fs::path& root) {
  uintmax_t total = 0;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) total += e.file_size();
  return total;
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
  const size_t sizeMB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 320;
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

  const fs::path isoA = work / "a.iso", isoB = work / "b.iso", isoC = work / "c.iso", plain = work / "plain";
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
  const std::string baseline = "cp -a '" + (pf / "files/kivcd").string() + "' '" + plain.string() + "' && cp -a '" +
                               (src / "I386").string() + "' '" + (plain / "I386").string() + "' && cd '" +
                               plain.string() + "/..' && genisoimage" + switches + " -output '" + isoB.string() +
                               "' plain > /dev/null 2>&1";

  // Warm every path (page cache, program start-up), then alternate. The
  // first build leaves its work tree (CleanSession = 0), whose UEFI boot
  // image the bare run maps too.
  Seconds(discsmith, {isoA});

  // The same template and sources mapped into the image by xorriso alone,
  // bootable the same ways (BIOS, UEFI, the stick's MBR and GPT), so both
  // write the same bytes.
  const bool efi = fs::exists(pf / "kivcd/boot/efi/efiboot.img");
  const std::string bareXorriso =
      "cd '" + pf.string() + "' && xorriso -as mkisofs" + switches +
      (efi ? " -eltorito-alt-boot -e boot/efi/efiboot.img -no-emul-boot -isohybrid-mbr files/isohdpfx.bin"
             " -isohybrid-gpt-basdat"
           : "") +
      " -untranslated-filenames -output '" + isoC.string() + "' -graft-points /=files/kivcd" +
      (efi ? " /boot/efi/efiboot.img=kivcd/boot/efi/efiboot.img" : "") + " '/I386=" + (src / "I386").string() +
      "' > /dev/null 2>&1";
  Seconds(bareXorriso, {isoC});
  Seconds(baseline, {plain, isoB});
  std::vector<double> a, b, c, ca, cb, cc;
  std::vector<long> peaks;
  for (int r = 0; r < rounds; ++r) {
    double cpu = 0;
    long peak = 0;
    a.push_back(Seconds(discsmith, {isoA}, &cpu, &peak));
    ca.push_back(cpu);
    peaks.push_back(peak);
    c.push_back(Seconds(bareXorriso, {isoC}, &cpu));
    cc.push_back(cpu);
    b.push_back(Seconds(baseline, {plain, isoB}, &cpu));
    cb.push_back(cpu);
    std::printf(
        "round %d: discsmith --build %.2f s (cpu %.2f s, peak %ld KiB), xorriso %.2f s (cpu %.2f s),"
        " cp -a + genisoimage %.2f s (cpu %.2f s)\n",
        r + 1, a.back(), ca.back(), peak, c.back(), cc.back(), b.back(), cb.back());
    std::fflush(stdout);
  }
  std::printf("inputs: sources %.1f MB (I386 %.1f MB, CD template %.1f MB)\n",
              static_cast<double>(TreeBytes(src) + TreeBytes(pf / "files/kivcd")) / 1e6,
              static_cast<double>(TreeBytes(src / "I386")) / 1e6,
              static_cast<double>(TreeBytes(pf / "files/kivcd")) / 1e6);
  std::printf("ISO sizes: discsmith %jd, xorriso %jd, genisoimage %jd bytes\n",
              static_cast<intmax_t>(fs::file_size(isoA)), static_cast<intmax_t>(fs::file_size(isoC)),
              static_cast<intmax_t>(fs::file_size(isoB)));
  std::printf("median times: discsmith %.2f s, xorriso %.2f s, cp -a + genisoimage %.2f s\n", Median(a), Median(c),
              Median(b));
  std::printf("ratio of medians, discsmith / bare xorriso:       %.3f  (target <= 1.15)\n", Median(a) / Median(c));
  std::printf("ratio of medians, discsmith / cp + genisoimage:   %.3f  (target <= 0.55)\n", Median(a) / Median(b));
  std::printf("ratio of median CPU time, discsmith / xorriso:    %.3f, / cp + genisoimage: %.3f\n",
              Median(ca) / Median(cc), Median(ca) / Median(cb));
  std::printf("peak memory of the build (largest process): %.1f MB  (target < 64 MB)\n",
              static_cast<double>(*std::max_element(peaks.begin(), peaks.end())) / 1024.0);
  fs::remove_all(work);
  return 0;
}
