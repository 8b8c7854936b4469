// Times bfi against the mtools way of making the same floppy image
// (mformat, then mcopy -s of the tree), alternating the two so both see the
// same machine load, and prints the median times and their ratio.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs argv; adds the child's user + system CPU time to `cpuMs`.
bool Exec(const std::vector<std::string>& argv, double& cpuMs) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    setenv("MTOOLS_SKIP_CHECK", "1", 1);
    setenv("SOURCE_DATE_EPOCH", "1000000000", 1);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  cpuMs +=
      (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void WriteFile(const fs::path& p, size_t size, std::mt19937& gen) {
  fs::create_directories(p.parent_path());
  std::string s(size, '\0');
  // Text-like content: what a boot floppy mostly holds compresses, but the
  // writers here only copy, so any bytes will do.
  for (char& c : s) c = char(gen());
  std::ofstream(p, std::ios::binary) << s;
}

// A boot floppy's worth of files: system files, drivers in subfolders, some
// long names; `budget` bytes in all.
uint64_t MakeTree(const fs::path& root, uint64_t budget, int& files) {
  std::mt19937 gen(42);
  uint64_t used = 0;
  files = 0;
  auto add = [&](const fs::path& p, size_t size) {
    WriteFile(root / p, size, gen);
    used += size;
    ++files;
  };
  add("IO.SYS", 116736);
  add("MSDOS.SYS", 1676);
  add("COMMAND.COM", 93890);
  add("AUTOEXEC.BAT", 900);
  add("CONFIG.SYS", 400);
  const char* folders[] = {"DRIVERS/NET", "DRIVERS/CDROM", "Network Client", "TOOLS"};
  for (int i = 0;; ++i) {
    if (used >= budget) break;
    size_t size = 1000 + gen() % 40000;
    if (used + size > budget) size = size_t(budget - used);
    std::string name =
        i % 5 == 0 ? "Long driver file name " + std::to_string(i) + ".dos" : "F" + std::to_string(i) + ".BIN";
    add(fs::path(folders[i % 4]) / name, size);
  }
  return used;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Row {
  const char* label;
  double bfi, mtools;        // wall time, ms
  double bfiCpu, mtoolsCpu;  // user + system CPU time, ms
};

Row Measure(const fs::path& work, const char* type, const char* mformatSize, uint64_t budget, int rounds) {
  fs::path tree = work / (std::string("tree") + type);
  int files = 0;
  uint64_t bytes = MakeTree(tree, budget, files);
  std::vector<std::string> copyArgs{"mcopy", "-s", "-i", (work / "m.img").string()};
  for (const auto& e : fs::directory_iterator(tree)) copyArgs.push_back(e.path().string());
  copyArgs.push_back("::/");

  using Clock = std::chrono::steady_clock;
  std::vector<double> tb, tm, cb, cm;
  for (int r = 0; r < rounds; ++r) {
    double cpuB = 0, cpuM = 0;
    fs::remove(work / "b.img");
    auto t0 = Clock::now();
    bool ok =
        Exec({BFI_PROGRAM, "-l=kivstart", std::string("-t=") + type, "-f=" + (work / "b.img").string(), tree.string()},
             cpuB);
    auto t1 = Clock::now();
    fs::remove(work / "m.img");
    auto t2 = Clock::now();
    ok =
        ok && Exec({"mformat", "-C", "-f", mformatSize, "-v", "KIVSTART", "-i", (work / "m.img").string(), "::"}, cpuM);
    ok = ok && Exec(copyArgs, cpuM);
    auto t3 = Clock::now();
    cb.push_back(cpuB);
    cm.push_back(cpuM);
    if (!ok) {
      std::fprintf(stderr, "bfi_bench: a run failed (%s MB tree)\n", type);
      std::exit(1);
    }
    tb.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    tm.push_back(std::chrono::duration<double, std::milli>(t3 - t2).count());
  }
  std::printf("  -t=%s  tree: %d files, %llu bytes\n", type, files, (unsigned long long)bytes);
  return {type, Median(tb), Median(tm), Median(cb), Median(cm)};
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  char tmpl[] = "/tmp/bfi_bench_XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  fs::path work = tmpl;
  std::printf("bfi vs mformat+mcopy, same tree, median of %d alternating rounds\n", rounds);
  std::vector<Row> rows;
  rows.push_back(Measure(work, "144", "1440", 1300000, rounds));
  rows.push_back(Measure(work, "288", "2880", 2700000, rounds));
  std::printf("%-6s %-9s %10s %18s %8s\n", "size", "measure", "bfi ms", "mformat+mcopy ms", "ratio");
  for (const Row& r : rows) {
    std::printf("%-6s %-9s %10.2f %18.2f %8.3f   (target <= 1.0)\n", r.label, "wall", r.bfi, r.mtools,
                r.bfi / r.mtools);
    std::printf("%-6s %-9s %10.2f %18.2f %8.3f\n", r.label, "cpu", r.bfiCpu, r.mtoolsCpu, r.bfiCpu / r.mtoolsCpu);
  }
  fs::remove_all(work);
  return 0;
}
