#pragma once
// bootsmith's entry sequence: the single-instance check, the Windows and
// system folders, the DOS system-file check, then the wizard (no arguments)
// or the batch run of the named disk. The views (message boxes, the wait
// window, the driver dialog, the wizard window) are handed in, so the same
// sequence runs with Qt windows, on the console and under test.
#include <functional>
#include <string>
#include <vector>

#include "common/build_context.h"
#include "disktool/batch/batch_run.h"

namespace kiv {

class Environment;
class ProcessLauncher;
struct BuilderStart;
class Prompter;
class ProgressSink;
class WaitWindow;

inline constexpr const char* kLockFileName = "bootsmith.lock";

struct MainViews {
  Prompter* prompter = nullptr;
  ProgressSink* progress = nullptr;
  WaitWindow* wait = nullptr;
  ShowDriversModal showDrivers;
  // Makes the wizard's model from `start`, runs its InitApp, shows the
  // wizard and returns the exit code when it closes. Empty where no window
  // can be shown.
  std::function<int(const BuilderStart& start)> runWizard;
};

// Returns the process exit code: 0 when the wizard ended normally or the
// batch run made its image; non-zero otherwise. The context's environment
// is what the program was started with (the floppy device,
// SOURCE_DATE_EPOCH); the programs a disk needs are started through its
// launcher; its platform gives the Windows and system folders.
int BootsmithMain(const std::string& programFolder, const std::vector<std::string>& args, MainViews& views,
                  const BuildContext& context);

}  // namespace kiv
