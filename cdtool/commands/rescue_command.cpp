#include "cdtool/commands/rescue_command.h"

#include <cstdio>
#include <filesystem>

#include "cdtool/build/build_run.h"
#include "cdtool/commands/headless_build.h"
#include "cdtool/rescue/rescue_builder.h"
#include "cdtool/settings/session_defaults.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/stop_request.h"

namespace kiv {

int RunRescueSystemCommandLine(int argc, char** argv, const Environment& environment) {
  // argv[1] is --rescue-system; --update builds again to take the packages
  // the mirror holds now; --save-packages keeps what was fetched, for a later
  // build on a machine without a network.
  std::string savePackagesTo;
  bool update = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--update" && !update) {
      update = true;
    } else if (arg == "--save-packages" && i + 1 < argc && argv[i + 1][0] != '\0' && savePackagesTo.empty()) {
      savePackagesTo = std::filesystem::absolute(argv[++i]).lexically_normal().string();
    } else {
      std::fprintf(stderr, "usage: discsmith --rescue-system [--update] [--save-packages FOLDER]\n");
      return 2;
    }
  }
  InstallStopSignals();
  Platform& platform = CurrentPlatform();
  const std::string programFolder = platform.ProgramFolder();
  std::string unreadable;
  const SessionSettings settings = LoadSessionSettings(programFolder, platform, environment, &unreadable);
  if (!unreadable.empty()) {
    std::fprintf(stderr, "discsmith: the settings file \"%s\" cannot be read as settings (%s)\n",
                 SettingsPath(programFolder).c_str(), unreadable.c_str());
    return 1;
  }
  std::string error;
  const RescueRecipe recipe = ProgramFolderRecipe(programFolder, settings.LinuxRescue.Mirror, &error);
  if (!error.empty()) {
    std::fprintf(stderr, "discsmith: %s\n", error.c_str());
    return 1;
  }
  // The CD build uses the same folder: never both at once.
  InstanceLock lock;
  if (!lock.Acquire(JoinPath(programFolder, kCdBuildLock))) {
    std::fprintf(stderr, "discsmith: a CD build is running in %s%s; try again when it has ended\n",
                 programFolder.c_str(), lock.Error().empty() ? "" : (" (" + lock.Error() + ")").c_str());
    return 1;
  }

  ConsoleProgress view(stdout);
  RescueBuilder builder(programFolder, SystemLauncher(), view);
  builder.Cancelled = [] { return StopRequested(); };
  builder.savePackagesTo = savePackagesTo;
  builder.update = update;
  const RescueBuildOutcome outcome = builder.Ensure(recipe);
  switch (outcome.kind) {
    case RescueBuildOutcome::Kind::Reused:
    case RescueBuildOutcome::Kind::Built:
      std::printf("Linux rescue system: %s (%lld MB, %s)\n", outcome.folder.c_str(),
                  static_cast<long long>((outcome.bytes + 999999) / 1000000),
                  outcome.kind == RescueBuildOutcome::Kind::Built ? "built" : "already built from this package list");
      if (outcome.kind == RescueBuildOutcome::Kind::Built && update) {
        if (outcome.changes.empty()) std::printf("No package changed since the previous build\n");
        else std::printf("%zu packages changed since the previous build:\n", outcome.changes.size());
        for (const std::string& change : outcome.changes) std::printf("  %s\n", change.c_str());
      }
      if (!savePackagesTo.empty())
        std::printf("Its packages are kept in %s: name that folder as LinuxRescue.Mirror to build without a network\n",
                    savePackagesTo.c_str());
      return 0;
    case RescueBuildOutcome::Kind::Cancelled:
      std::fprintf(stderr, "discsmith: cancelled; the rescue system kept before (if any) is unchanged\n");
      return 1;
    case RescueBuildOutcome::Kind::Failed:
      break;
  }
  std::fprintf(stderr, "discsmith: the Linux rescue system was not built: %s\n", outcome.reason.c_str());
  return 1;
}

}  // namespace kiv
