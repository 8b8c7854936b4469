// The Linux rescue system against its limits, measured in one run on this
// machine: the first build (under 6 minutes on 2 cores, the package download
// aside), the squashfs (under 250 MB), and what a CD build that reuses it
// adds to one without it (under 10 s; medians of alternating rounds).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

bool Run(const std::string& command) {
  if (std::system(command.c_str()) == 0) return true;
  std::fprintf(stderr, "rescue_bench: failed: %s\n", command.c_str());
  return false;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const fs::path work = fs::temp_directory_path() / ("kiv_rescue_bench." + std::to_string(::getpid()));
  const std::string pf = (work / "program").string();
  fs::create_directories(work);
  if (!Run("cmake --install '" KIV_BUILD_DIR "' --prefix '" + pf + "' > /dev/null")) return 1;

  // The first build, its output read line by line for the download phase.
  // mmdebstrap fetches the essential packages in a phase of its own; the
  // others come in its install phase, so that share stays in the total
  // (the limit is met with all of it counted).
  std::printf("First build of the rescue system (default package list) ...\n");
  std::fflush(stdout);
  const auto start = Clock::now();
  Clock::time_point fetchFrom{}, fetchTo{};
  FILE* out = popen(("cd '" + pf + "' && ./discsmith --rescue-system 2>&1").c_str(), "r");
  if (!out) return 1;
  char line[4096];
  while (std::fgets(line, sizeof line, out)) {
    const std::string text = line;
    if (text.find("downloading the packages") != std::string::npos) fetchFrom = Clock::now();
    if (text.find("unpacking the packages") != std::string::npos) fetchTo = Clock::now();
  }
  const int status = pclose(out);
  const auto end = Clock::now();
  if (status != 0) {
    std::fprintf(stderr, "rescue_bench: discsmith --rescue-system failed\n");
    return 1;
  }
  const double total = Seconds(start, end);
  const double fetch = fetchTo > fetchFrom ? Seconds(fetchFrom, fetchTo) : 0;
  const double squashMb = fs::file_size(fs::path(pf) / "rescue" / "filesystem.squashfs") / 1e6;
  const double keptMb =
      (fs::file_size(fs::path(pf) / "rescue" / "vmlinuz") + fs::file_size(fs::path(pf) / "rescue" / "initrd.img")) /
          1e6 +
      squashMb;

  // CD builds with the kept system against builds without it, alternating.
  std::vector<double> with, without;
  for (int r = 0; r < rounds; ++r) {
    for (int on : {1, 0}) {
      // The demo's settings, then the switch.
      const std::string set = "cd '" + pf +
                              "' && bash '" KIV_SOURCE_DIR
                              "/scripts/demo-settings.sh' . > /dev/null && ./discsmith --set Main.LinuxRescue=" +
                              std::to_string(on) + " > /dev/null";
      const std::string built = "cd '" + pf +
                                "' && SOURCE_DATE_EPOCH=1700000000 KIVCD_PASSWORD=rescue KIVCD_UI=console ./discsmith "
                                "--build > /dev/null 2>&1";
      if (!Run(set)) return 1;
      const auto t0 = Clock::now();
      if (!Run(built)) return 1;
      (on ? with : without).push_back(Seconds(t0, Clock::now()));
    }
  }
  const double added = Median(with) - Median(without);

  std::printf("\n%-48s %10s %10s\n", "measure", "value", "limit");
  std::printf("%-48s %9.0fs %10s\n", "first build, all", total, "");
  std::printf("%-48s %9.0fs %10s\n", "  of it the essential packages' download", fetch, "");
  std::printf("%-48s %9.0fs %9s%s\n", "first build without that download", total - fetch, "360s",
              total - fetch < 360 ? "" : "  OVER");
  std::printf("%-48s %8.0fMB %9s%s\n", "squashfs", squashMb, "250MB", squashMb < 250 ? "" : "  OVER");
  std::printf("%-48s %8.0fMB %10s\n", "kept in the program folder", keptMb, "");
  std::printf("%-48s %9.1fs %10s\n", "CD build without it (median)", Median(without), "");
  std::printf("%-48s %9.1fs %10s\n", "CD build reusing it (median)", Median(with), "");
  std::printf("%-48s %9.1fs %9s%s\n", "added by the rescue system", added, "10s", added < 10 ? "" : "  OVER");
  fs::remove_all(work);
  return 0;
}
