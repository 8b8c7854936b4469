// bootsmith: the Kiv Disk Builder. Without arguments it shows the wizard;
// with a disk name it builds that disk's image in batch mode. Without a
// display (or with KIVCD_UI=console) messages go to stderr; questions are put
// to a person at a terminal and otherwise take their non-interactive answers,
// so scripts and the CD builder never hang.
// `bootsmith --try [--headless] <image>` boots a floppy image in QEMU instead.
#include <cstdio>
#include <string>
#include <vector>

#include "common/environment.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "common/source_date_epoch.h"
#include "common/ui_mode.h"
#include "common/vm_trial.h"
#include "disktool/batch/command_line.h"
#include "disktool/batch/program_main.h"
#include "disktool/wizard/console_drivers.h"
#include "disktool/wizard/frm_drivers.h"
#include "disktool/workspace/wait_window.h"

#ifdef KIV_BOOTSMITH_GUI
#include "disktool/ui/bootsmith_app.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // --help and --version answer on standard output, with or without a display.
  if (auto text = kiv::InfoSwitchText(args, KIV_VERSION)) {
    std::fputs(text->c_str(), stdout);
    return 0;
  }
  const kiv::Environment environment = kiv::Environment::OfThisProcess();
  if (!args.empty() && args[0] == "--try")
    return kiv::RunTryCommand({args.begin() + 1, args.end()}, "", kiv::VmMedium::Floppy, false, environment,
                              kiv::SystemLauncher(), stderr);
  // Refused before anything is written: a disk asked to carry reproducible
  // dates that could not would otherwise fail half-way in a tool.
  if (const std::string problem = kiv::SourceDateEpochProblem(environment); !problem.empty()) {
    std::fprintf(stderr, "bootsmith: %s; nothing built\n", problem.c_str());
    return 1;
  }
  const std::string folder = kiv::CurrentPlatform().ProgramFolder();
#ifdef KIV_BOOTSMITH_GUI
  if (kiv::DetectUiMode(environment) == kiv::UiMode::Gui)
    return kiv::RunBootsmithGui(argc, argv, folder, args, environment);
#endif
  kiv::ConsolePrompter prompter;
  kiv::MemoryProgressSink progress;
  kiv::ConsoleWaitWindow wait;
  kiv::MainViews views;
  views.prompter = &prompter;
  views.progress = &progress;
  views.wait = &wait;
  views.showDrivers = [&prompter, &folder](const kiv::DriverClasses& chosen) {
    kiv::FrmDrivers drivers(folder, kiv::SystemLauncher());
    drivers.LoadDriverLists(chosen);
    kiv::ChooseDriversOnConsole(drivers, prompter);
  };
  return kiv::BootsmithMain(folder, args, views, {kiv::SystemLauncher(), kiv::CurrentPlatform(), environment});
}
