// The CD builder's own pieces for the boot checks, which make CD trees of
// their own: the password gate writer, the makecd script and the hybrid step,
// so the checks never carry copies of any.
//   cd_test_tool gate <loader.bin> <ask 0|1> <retries> <password> <prompt> [<serial 0|1|2>]
//                                        (the password hashed with a new salt;
//                                        the serial console COM1 unless given)
//   cd_test_tool master <folder> <iso>   masters <folder>/kivcd into <iso>
//                                        with <folder>/mkisofs, as the build does
//   cd_test_tool hybrid <iso> <mbr>      makes <iso> bootable from a disk with
//                                        the MBR boot code <mbr> (isohdpfx.bin)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cdtool/bootmenu/password_gate.h"
#include "cdtool/build/makecd_script.h"
#include "cdtool/usb/hybrid_iso.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: cd_test_tool gate <loader.bin> <ask> <retries> <password> <prompt> [<serial>]\n"
               "       cd_test_tool master <folder> <iso>\n"
               "       cd_test_tool hybrid <iso> <mbr>\n");
  return 2;
}

int Gate(int argc, char** argv) {
  const std::string loaderPath = argv[2];
  std::string loader;
  if (!kiv::ReadWholeFile(loaderPath, loader)) {
    std::fprintf(stderr, "cd_test_tool: cannot read %s\n", loaderPath.c_str());
    return 1;
  }
  kiv::PasswordGate gate{std::string(argv[3]) == "1", std::atoi(argv[4]), argc > 7 ? std::atoi(argv[7]) : 1,
                         kiv::HashPassword(argv[5], kiv::NewPasswordSalt(std::nullopt, kiv::CurrentPlatform())),
                         argv[6]};
  std::string error;
  if (!kiv::WritePasswordGate(loader, gate, loaderPath, &error) || !kiv::WriteFileAtomic(loaderPath, loader)) {
    std::fprintf(stderr, "cd_test_tool: %s\n", error.empty() ? ("cannot write " + loaderPath).c_str() : error.c_str());
    return 1;
  }
  return 0;
}

int Master(char** argv) {
  const std::string folder = argv[2];
  const std::string script = kiv::JoinPath(folder, "makecd.sh");
  if (!kiv::WriteFileAtomic(script, kiv::RenderMakeCdSh(folder, argv[3], false))) {
    std::fprintf(stderr, "cd_test_tool: cannot write %s\n", script.c_str());
    return 1;
  }
  kiv::RunOptions options;
  options.workingDir = folder;
  const kiv::RunResult run = kiv::RunAndCapture({"/bin/sh", script}, options);
  if (run.exitCode != 0) {
    std::fprintf(stderr, "%s\ncd_test_tool: mastering failed (%s)\n", run.output.c_str(),
                 kiv::RunOutputForMessage(run).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 7 || argc == 8) && std::string(argv[1]) == "gate") return Gate(argc, argv);
  if (argc == 4 && std::string(argv[1]) == "master") return Master(argv);
  if (argc == 4 && std::string(argv[1]) == "hybrid") {
    const std::string why = kiv::MakeIsoHybrid(argv[2], argv[3]);
    if (why.empty()) return 0;
    std::fprintf(stderr, "cd_test_tool: %s\n", why.c_str());
    return 1;
  }
  return Usage();
}
