// Times the way to the boot menu: QEMU started with the demo CD (our stage-0
// loader asks the password, which is answered on COM1 the moment the prompt
// arrives, then starts isolinux) against QEMU started with a plain CD of the
// same tree whose El Torito image is Debian's isolinux.bin itself (mastered
// with -boot-info-table). The clock runs from the start of QEMU to the first
// "Automatic boot in" on COM1. Both run in the same process, rounds
// alternating, so the machine's load hits both alike. Prints every round, the
// medians and their ratio (target: at most 1.10).
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kPrompt = "Enter the password of this CD:";
const char* kMenu = "Automatic boot in";

int Run(const std::string& command) {
  int rc = std::system(command.c_str());
  if (rc != 0) std::fprintf(stderr, "failed (%d): %s\n", rc, command.c_str());
  return rc;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// One boot: seconds from QEMU's start to the menu, or a negative number when
// it did not come within the time-out.
double BootToMenu(const fs::path& iso, const char* password, const fs::path& work) {
  const fs::path sock = work / "serial.sock";
  fs::remove(sock);
  const std::string chardev = "socket,id=com1,path=" + sock.string() + ",server=on,wait=off";
  const std::string drive = "file=" + iso.string() + ",format=raw,media=cdrom,readonly=on";
  const char* argv[] = {"qemu-system-i386",
                        "-m",
                        "64",
                        "-drive",
                        drive.c_str(),
                        "-boot",
                        "d",
                        "-display",
                        "none",
                        "-chardev",
                        chardev.c_str(),
                        "-serial",
                        "chardev:com1",
                        "-monitor",
                        "none",
                        "-no-reboot",
                        nullptr};
  const auto t0 = Clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execvp(argv[0], const_cast<char**>(argv));
    std::_Exit(127);
  }
  auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - t0).count(); };
  int fd = -1;
  while (fd < 0 && seconds() < 10) {
    fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      fd = -1;
      ::usleep(1000);
    }
  }
  double result = -1;
  std::string seen;
  bool answered = password == nullptr;
  while (fd >= 0 && seconds() < 30) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buf[4096];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    seen.append(buf, static_cast<size_t>(n));
    if (!answered && seen.find(kPrompt) != std::string::npos) {
      const std::string line = std::string(password) + "\r";
      if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
      answered = true;
    }
    if (seen.find(kMenu) != std::string::npos) {
      result = seconds();
      break;
    }
  }
  if (fd >= 0) ::close(fd);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  if (result < 0) std::fprintf(stderr, "%s: no \"%s\" within 30 s\n", iso.c_str(), kMenu);
  return result;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  char tmpl[] = "/tmp/kiv-boot-bench-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  const fs::path work = tmpl;
  const fs::path pf = work / "program";

  // KIV_PROGRAM_DIR: use (a copy of) an installed program folder instead.
  const char* installed = std::getenv("KIV_PROGRAM_DIR");
  if (installed && *installed) {
    if (Run("cp -a " + Quote(installed) + " " + Quote(pf.string())) != 0) return 1;
  } else if (Run("cmake --install " + Quote(KIV_BUILD_DIR) + " --prefix " + Quote(pf.string()) + " > /dev/null") != 0) {
    return 1;
  }
  // The demo CD, as scripts/demo.sh builds it (password "rescue").
  if (Run("KIVCD_PASSWORD=rescue SOURCE_DATE_EPOCH=1700000000 bash " + Quote(KIV_SOURCE_DIR "/scripts/demo-build.sh") +
          " " + Quote(pf.string()) + " > " + Quote((work / "build.log").string()) + " 2>&1") != 0)
    return 1;
  const fs::path demo = pf / "kivcd-demo.iso";
  // The plain CD: the same tree and switches, Debian's isolinux as the boot image.
  const fs::path plainTree = work / "plain", plain = work / "plain.iso";
  if (Run("cp -a " + Quote((pf / "kivcd").string()) + " " + Quote(plainTree.string()) + " && rm " +
          Quote((plainTree / "boot/loader.bin").string()) +
          " && genisoimage -quiet -volid KIV_RESCUE -iso-level 4"
          " -omit-period -no-emul-boot -boot-load-size 4 -boot-info-table -eltorito-boot boot/isolinux/isolinux.bin"
          " -hide boot.catalog -follow-links -cache-inodes -output " +
          Quote(plain.string()) + " " + Quote(plainTree.string())) != 0)
    return 1;

  // Warm both (page cache, QEMU's own start-up), then alternate.
  if (BootToMenu(demo, "rescue", work) < 0 || BootToMenu(plain, nullptr, work) < 0) return 1;
  std::vector<double> a, b;
  for (int r = 0; r < rounds; ++r) {
    a.push_back(BootToMenu(demo, "rescue", work));
    b.push_back(BootToMenu(plain, nullptr, work));
    if (a.back() < 0 || b.back() < 0) return 1;
    std::printf("round %d: demo CD (loader, password) %.3f s, plain isolinux CD %.3f s\n", r + 1, a.back(), b.back());
    std::fflush(stdout);
  }
  std::printf("medians: demo CD %.3f s, plain CD %.3f s\n", Median(a), Median(b));
  std::printf("ratio of medians (demo / plain): %.3f  (target <= 1.10)\n", Median(a) / Median(b));
  std::printf("ratio of best rounds: %.3f\n",
              *std::min_element(a.begin(), a.end()) / *std::min_element(b.begin(), b.end()));
  fs::remove_all(work);
  return 0;
}
