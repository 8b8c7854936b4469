#include "testsupport/win10_stand_in.h"

#include <algorithm>
#include <random>

#include "common/process_runner.h"
#include "testsupport/test_files.h"

namespace kiv::testing {

namespace {

std::string Run(const std::vector<std::string>& argv) {
  const RunResult r = RunAndCapture(argv, RunOptions{"", 120000, {}});
  if (r.started && r.exitCode == 0) return "";
  return argv[0] + " failed: " + (r.started ? r.output : r.error);
}

// A WIM of one image per name, captured from `tree`, with Windows' version
// fields set as wimlib's --image-property sets them.
std::string MakeWim(const std::string& wim, const std::string& tree, const std::vector<std::string>& names,
                    const Win10StandIn& spec) {
  for (size_t i = 0; i < names.size(); ++i) {
    std::vector<std::string> argv = {"wimlib-imagex", i == 0 ? "capture" : "append", tree, wim, names[i]};
    for (const std::string& property :
         {"WINDOWS/VERSION/MAJOR=" + std::to_string(spec.major), std::string("WINDOWS/VERSION/MINOR=0"),
          "WINDOWS/VERSION/BUILD=" + std::to_string(spec.build), "WINDOWS/ARCH=" + std::to_string(spec.arch),
          "DISPLAYNAME=" + names[i]}) {
      argv.push_back("--image-property");
      argv.push_back(property);
    }
    if (std::string error = Run(argv); !error.empty()) return error;
  }
  return "";
}

}  // namespace

std::string Win10StandInToolsMissing() {
  for (const char* tool : {"wimlib-imagex", "wiminfo", "7z", "genisoimage"})
    if (SystemLauncher().FindProgram(tool).empty()) return std::string(tool) + " is not installed";
  return "";
}

std::string MakeWin10StandIn(const std::string& folder, const Win10StandIn& spec) {
  const std::string scratch = folder + ".trees";
  // Setup's image: what runs from boot.wim; the editions: a small Windows.
  WriteText(scratch + "/pe/Windows/System32/winpeshl.ini", "[LaunchApps]\r\n");
  WriteText(scratch + "/setup/sources/setup.exe", "stand-in Setup");
  WriteText(scratch + "/setup/Windows/System32/winpeshl.ini", "[LaunchApps]\r\n%SYSTEMDRIVE%\\setup.exe\r\n");
  // Bytes that do not compress, so the image is about as large as asked,
  // in files of up to 256 KiB (a split keeps each file in one part).
  std::mt19937 random(42);
  for (size_t done = 0, n = 0; done < spec.payloadBytes; ++n) {
    std::string payload(std::min<size_t>(spec.payloadBytes - done, 256 * 1024), '\0');
    for (char& c : payload) c = static_cast<char>(random());
    WriteText(scratch + "/os/Windows/System32/payload" + std::to_string(n) + ".bin", payload);
    done += payload.size();
  }
  WriteText(scratch + "/os/Windows/System32/config/SOFTWARE", "stand-in registry");
  fs::create_directories(folder + "/sources");
  if (spec.bootWim) {
    if (std::string error =
            MakeWim(folder + "/sources/boot.wim", scratch + "/pe", {"Microsoft Windows PE (amd64)"}, spec);
        !error.empty())
      return error;
    if (std::string error = Run({"wimlib-imagex", "append", scratch + "/setup", folder + "/sources/boot.wim",
                                 "Microsoft Windows Setup (amd64)", "--boot"});
        !error.empty())
      return error;
  }
  if (spec.installWim)
    if (std::string error = MakeWim(folder + "/sources/install.wim", scratch + "/os", spec.editions, spec);
        !error.empty())
      return error;
  if (spec.bootPrograms) {
    WriteText(folder + "/bootmgr", "stand-in bootmgr");
    WriteText(folder + "/boot/etfsboot.com", spec.etfsboot);
    WriteText(folder + "/boot/bcd", "stand-in BCD");
    WriteText(folder + "/boot/boot.sdi", "stand-in boot.sdi");
    WriteText(folder + "/efi/boot/bootx64.efi", spec.bootx64);
    WriteText(folder + "/efi/microsoft/boot/bcd", "stand-in BCD");
  }
  WriteText(folder + "/setup.exe", "stand-in setup.exe");
  WriteText(folder + "/sources/lang.ini", "[Available UI Languages]\r\nen-us = 3\r\n");
  std::error_code ec;
  fs::remove_all(scratch, ec);
  return "";
}

std::string PackUdfIso(const std::string& folder, const std::string& iso) {
  return Run({"genisoimage", "-quiet", "-udf", "-V", "CCCOMA_X64FRE_EN-US_DV9", "-o", iso, folder});
}

}  // namespace kiv::testing
