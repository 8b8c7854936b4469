#pragma once
// What a build takes from outside the program, as one value the entry point
// (main, the batch mode, a test) makes and hands down: how the build's
// programs start and are found on the search path, the platform (its
// folders, free space, clock and random bytes), and the variables the
// program was started with (SOURCE_DATE_EPOCH, HOME, the floppy device).
// Nothing below an entry point reaches for the process's own.
#include <utility>

#include "common/environment.h"

namespace kiv {

class Platform;
class ProcessLauncher;

struct BuildContext {
  BuildContext(ProcessLauncher& launcher, const Platform& platform, Environment environment = Environment())
      : launcher(launcher), platform(platform), environment(std::move(environment)) {}

  ProcessLauncher& launcher;
  const Platform& platform;
  Environment environment;
};

}  // namespace kiv
