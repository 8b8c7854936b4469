// discsmith: the kiv Rescue CD builder. Without arguments it shows the wizard;
// `--build` runs the build of the saved settings without a window; `--set`
// changes saved settings; `--rescue-system` builds the Linux rescue system
// ahead of a CD build;
// `--screenshots <dir>` renders the wizard's pages for the documentation;
// `--try`, `--write-usb` and `--hybrid` act on the finished ISO
// (cdtool/commands/usb_commands.h).
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cdtool/commands/headless_build.h"
#include "cdtool/commands/rescue_command.h"
#include "cdtool/commands/settings_command.h"
#include "cdtool/commands/usage.h"
#include "cdtool/commands/usb_commands.h"
#include "cdtool/ui/cd_build_window.h"
#include "cdtool/ui/screenshots.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "common/environment.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/ui/qt_prompter.h"
#include "common/ui_mode.h"

int main(int argc, char** argv) {
  // An empty SOURCE_DATE_EPOCH counts as unset here, and must for the tools a
  // build starts: xorriso stops on an empty one as malformed.
  kiv::Environment::DropIfEmptyInThisProcess("SOURCE_DATE_EPOCH");
  const kiv::Environment environment = kiv::Environment::OfThisProcess();
  if (argc > 1 && std::strcmp(argv[1], "--build") == 0) {
    return kiv::RunHeadlessBuild(argc, argv, {kiv::SystemLauncher(), kiv::CurrentPlatform(), environment});
  }
  if (argc > 1 && std::strcmp(argv[1], "--set") == 0) return kiv::RunSetCommandLine(argc, argv, environment);
  if (argc > 1 && std::strcmp(argv[1], "--rescue-system") == 0)
    return kiv::RunRescueSystemCommandLine(argc, argv, environment);
  if (argc > 1 && std::strcmp(argv[1], "--try") == 0) return kiv::RunTryCommandLine(argc, argv, environment);
  if (argc > 1 && std::strcmp(argv[1], "--write-usb") == 0) return kiv::RunWriteUsbCommandLine(argc, argv, environment);
  if (argc > 1 && std::strcmp(argv[1], "--hybrid") == 0) return kiv::RunHybridCommandLine(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--screenshots") == 0) {
    if (argc < 3) {
      std::fprintf(stderr, "usage: discsmith --screenshots <folder>\n");
      return 2;
    }
    // Rendered off screen: no display needed.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return kiv::RenderScreenshots(argv[2]);
  }
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kiv::DiscsmithUsage().c_str(), stdout);
    return 0;
  }
  if (argc > 1) {
    std::fprintf(stderr, "discsmith: unknown argument \"%s\"\n%s", argv[1], kiv::DiscsmithUsage().c_str());
    return 2;
  }
  if (kiv::DetectUiMode(environment) == kiv::UiMode::Console) {
    std::fprintf(stderr,
                 "discsmith: the wizard needs a display. Run \"discsmith --build\" to build the CD from the saved "
                 "settings (kivcd.ini) without one.\n");
    return 2;
  }

  QApplication app(argc, argv);
  kiv::Platform& platform = kiv::CurrentPlatform();
  const std::string programFolder = platform.ProgramFolder();
  kiv::QtPrompter prompter(programFolder);
  kiv::FrmCDBuild form(programFolder, prompter, {kiv::SystemLauncher(), platform, environment});
  form.Form_Load();
  kiv::CdBuildWindow window(form, prompter);
  window.show();
  return app.exec();
}
