#pragma once
// A fake qemu-system-i386 for the tests of the "Try in a virtual machine"
// buttons: a script, first on PATH, that writes the arguments it was started
// with (argv[0] first, one a line) to a record file. PATH is restored when
// the fake goes out of scope. Header-only; for tests.
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/test_temp_dir.h"
#include "common/vm_trial.h"

namespace kiv::testing {

class FakeQemu {
 public:
  FakeQemu() {
    const char* path = getenv("PATH");
    oldPath_ = path ? path : "";
    std::filesystem::create_directories(dir_ / "bin");
    std::filesystem::create_directories(dir_ / "empty");
    program_ = dir_ / (std::string("bin/") + kQemuProgram);
    const std::string record = dir_ / "args";
    std::ofstream(program_) << "#!/bin/sh\n{ printf '%s\\n' \"$0\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '"
                            << record << ".tmp' && /bin/mv '" << record << ".tmp' '" << record << "'\n";
    ::chmod(program_.c_str(), 0755);
    setenv("PATH", ((dir_ / "bin") + ":" + oldPath_).c_str(), 1);
  }
  ~FakeQemu() { setenv("PATH", oldPath_.c_str(), 1); }
  FakeQemu(const FakeQemu&) = delete;
  FakeQemu& operator=(const FakeQemu&) = delete;

  const std::string& Program() const { return program_; }
  // PATH without any QEMU (the fake's nor the system's), as on a machine without it.
  void Uninstall() { setenv("PATH", (dir_ / "empty").c_str(), 1); }
  // The arguments of the start, once the script has written them (it runs
  // detached); nothing when it was not started within a few seconds.
  std::optional<std::vector<std::string>> Arguments(int waitMs = 10000) const {
    const std::string record = dir_ / "args";
    for (int waited = 0; !std::filesystem::exists(record); waited += 20) {
      if (waited >= waitMs) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream in(record);
    std::vector<std::string> args;
    for (std::string line; std::getline(in, line);) args.push_back(line);
    return args;
  }

 private:
  TestTempDir dir_;
  std::string oldPath_, program_;
};

}  // namespace kiv::testing
