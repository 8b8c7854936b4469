#include "cdtool/commands/usb_commands.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cdtool/commands/headless_build.h"
#include "cdtool/settings/session_defaults.h"
#include "cdtool/usb/hybrid_iso.h"
#include "cdtool/usb/usb_disks.h"
#include "cdtool/usb/usb_writer.h"
#include "common/environment.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "common/vm_trial.h"

namespace kiv {
namespace {

// The ISO the saved settings name, as the build would write it.
std::string SavedIsoPath(const Environment& environment) {
  Platform& platform = CurrentPlatform();
  return LoadSessionSettings(platform.ProgramFolder(), platform, environment).Main.ISOLocation;
}

}  // namespace

int RunTryCommandLine(int argc, char** argv, const Environment& environment) {
  std::vector<std::string> args(argv + 2, argv + argc);
  // Only options given: the ISO of the saved settings.
  const bool named = std::any_of(args.begin(), args.end(), [](const std::string& a) { return a.rfind("--", 0) != 0; });
  return RunTryCommand(args, named ? "" : SavedIsoPath(environment), VmMedium::Cd, true, environment, SystemLauncher(),
                       stderr);
}

int RunWriteUsbCommandLine(int argc, char** argv, const Environment& environment) {
  std::vector<std::string> words;
  bool yes = false;
  for (int i = 2; i < argc; ++i) {
    if (std::string(argv[i]) == "--yes") yes = true;
    else words.push_back(argv[i]);
  }
  if (words.empty() || words.size() > 2) {
    std::fprintf(stderr, "usage: discsmith --write-usb <device> [iso] [--yes]\n");
    return 2;
  }
  UsbWriteRequest request;
  request.device = words[0];
  request.iso = words.size() > 1 ? words[1] : SavedIsoPath(environment);
  // A sysfs and mount table other than the system's, for tests.
  const UsbDeviceSetting where = UsbDeviceSettingFromEnvironment(environment);
  request.sysRoot = where.sysRoot;
  request.mountsFile = where.mountsFile;

  // --yes answers the one question; everything else is told on stderr.
  struct Answering : ConsolePrompter {
    bool yes = false;
    Answer MsgBox(const Message& m) override {
      if (yes && m.buttons == Buttons::YesNo) {
        std::fprintf(stderr, "%s: %s\n(--yes: Yes)\n", m.title.c_str(), m.text.c_str());
        return Answer::Yes;
      }
      return ConsolePrompter::MsgBox(m);
    }
  } prompter;
  prompter.yes = yes;
  ConsoleProgress progress(stdout);
  std::string why = WriteIsoToUsb(request, prompter, progress);
  if (!why.empty()) return 1;
  std::printf("%s is written and verified; it starts the Kiv Rescue CD from USB.\n", request.device.c_str());
  return 0;
}

int RunHybridCommandLine(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: discsmith --hybrid <iso>\n");
    return 2;
  }
  std::string mbr = JoinPath(CurrentPlatform().ProgramFolder(), kIsoHybridMbr);
  std::string why = MakeIsoHybrid(argv[2], mbr);
  if (!why.empty()) {
    std::fprintf(stderr, "discsmith: %s\n", why.c_str());
    return 1;
  }
  std::printf("%s now also starts from a USB stick.\n", argv[2]);
  return 0;
}

}  // namespace kiv
