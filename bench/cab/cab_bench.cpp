// Packs one tree with our cabarc -m MSZIP and with gcab -z, in the same run,
// alternately (3 rounds, median wall time), and prints sizes, times and the
// ratios cabarc/gcab (target: size ratio <= 1.0). Both cabinets are then
// checked with cabextract -t, so a broken cabinet cannot win.
//
// Usage: cab_bench [folder...]   (default: syslinux modules, licences, Qt
// headers and plugins: text and x86 code, about 8 MiB)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

double RunArgv(const std::vector<std::string>& argv, const fs::path& cwd, int* status) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    FILE* devnull = std::fopen("/dev/null", "w");
    if (devnull) ::dup2(fileno(devnull), 1);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::waitpid(pid, status, 0);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> sources;
  for (int i = 1; i < argc; ++i) sources.emplace_back(argv[i]);
  if (sources.empty())
    sources = {"/usr/lib/syslinux/modules/bios", "/usr/share/common-licenses",
               "/usr/include/x86_64-linux-gnu/qt6/QtCore", "/usr/lib/x86_64-linux-gnu/qt6/plugins"};

  // One private copy of the tree (regular files only), so both tools see
  // exactly the same files.
  fs::path work = fs::temp_directory_path() / ("cab_bench." + std::to_string(::getpid()));
  fs::path tree = work / "tree";
  std::vector<std::string> rel;
  uint64_t bytes = 0;
  for (const fs::path& src : sources) {
    if (!fs::is_directory(src)) continue;
    fs::path dest = tree / src.filename();
    for (auto it = fs::recursive_directory_iterator(src, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
      if (it->is_symlink() || !it->is_regular_file()) continue;
      fs::path to = dest / fs::relative(it->path(), src);
      fs::create_directories(to.parent_path());
      std::error_code ec;
      fs::copy_file(it->path(), to, ec);
      if (ec) continue;
      rel.push_back(fs::relative(to, tree).string());
      bytes += fs::file_size(to);
    }
  }
  if (rel.empty()) {
    std::cerr << "cab_bench: no files in the given folders\n";
    return 1;
  }
  std::sort(rel.begin(), rel.end());

  fs::path ours = work / "cabarc.cab", theirs = work / "gcab.cab";
  std::vector<std::string> cabarc = {CAB_BENCH_CABARC, "-m", "MSZIP",       "-p",       "-r", "-P",
                                     "tree\\",         "n",  ours.string(), "tree\\*.*"};
  std::vector<std::string> gcab = {"gcab", "-c", "-z", theirs.string()};
  gcab.insert(gcab.end(), rel.begin(), rel.end());

  std::vector<double> tOurs, tTheirs;
  int status = 0;
  for (int round = 0; round < 3; ++round) {
    fs::remove(ours);
    fs::remove(theirs);
    tOurs.push_back(RunArgv(cabarc, work, &status));
    if (status != 0) {
      std::cerr << "cab_bench: cabarc failed\n";
      return 1;
    }
    tTheirs.push_back(RunArgv(gcab, tree, &status));
    if (status != 0) {
      std::cerr << "cab_bench: gcab failed\n";
      return 1;
    }
  }
  for (const fs::path& cab : {ours, theirs}) {
    RunArgv({"cabextract", "-q", "-t", cab.string()}, work, &status);
    if (status != 0) {
      std::cerr << "cab_bench: cabextract -t rejects " << cab << "\n";
      return 1;
    }
  }
  std::sort(tOurs.begin(), tOurs.end());
  std::sort(tTheirs.begin(), tTheirs.end());
  double so = double(fs::file_size(ours)), st = double(fs::file_size(theirs));
  std::printf("tree: %zu files, %.1f MiB\n", rel.size(), double(bytes) / 1048576.0);
  std::printf("%-18s %14s %10s\n", "", "size (bytes)", "time (s)");
  std::printf("%-18s %14.0f %10.3f\n", "cabarc -m MSZIP", so, tOurs[1]);
  std::printf("%-18s %14.0f %10.3f\n", "gcab -z", st, tTheirs[1]);
  std::printf("ratio cabarc/gcab: size %.4f (target <= 1.0) %s, time %.2f\n", so / st, so <= st ? "MET" : "MISSED",
              tOurs[1] / tTheirs[1]);
  fs::remove_all(work);
  return 0;
}
