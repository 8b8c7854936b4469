// Main: start-up order, then the wizard or the command line and RunBatch.
#include "disktool/program_main.h"

#include "common/paths.h"
#include "common/platform.h"
#include "common/prompter.h"
#include "disktool/builder_session.h"
#include "disktool/dos_import.h"

namespace kiv {

int BootsmithMain(const std::string& programFolder, const std::vector<std::string>& args, MainViews& views) {
  Prompter& prompter = *views.prompter;

  // 1. One instance at a time. The lock dies with the process, so a crashed
  // run never blocks the next one.
  InstanceLock lock;
  if (!lock.Acquire(JoinPath(programFolder, kLockFileName))) {
    if (!lock.Error().empty()) {
      // Not another instance: the folder itself refuses the lock file, and
      // every work file of a build would fail the same way.
      prompter.MsgBox(Message{ProgramFolderNotWritableText(programFolder, lock.Error()),
                              kProgramFolderNotWritableTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
      return 3;
    }
    prompter.MsgBox(Message{"The Kiv Disk Builder is already running", "Already Running", Icon::Critical,
                            Buttons::OK, 0, std::nullopt});
    return 3;
  }

  // 2. Windows and system folders (none on POSIX).
  FrmWizard wizard(programFolder, prompter, *views.progress);
  wizard.WindowsDir = CurrentPlatform().WindowsFolder();
  wizard.SystemDir = CurrentPlatform().SystemFolder();
  if (views.prepareWizard) views.prepareWizard(wizard);

  // 3. The DOS system files.
  DosImport dos(programFolder, wizard.WindowsDir, wizard.SystemDir, prompter, *views.wait);
  if (!dos.ImportDOS()) return 1;

  // 4. No arguments: the wizard.
  const std::string raw = RawCommandLine(args);
  if (raw.empty()) {
    if (!views.runWizard) {
      prompter.Inform("The wizard needs a display. To build a disk without it, name the disk on the command "
                      "line.\r\n\r\n" + UsageText(),
                      "bootsmith");
      return 2;
    }
    wizard.InitApp();
    return views.runWizard(wizard);
  }

  BatchOptions options = ParseCommandLine(raw, programFolder, prompter);
  if (options.DiskName.empty()) {
    prompter.Inform("The disk name is not specified", kCommandLineTitle);
    return 2;
  }
  return RunBatch(wizard, options, *views.wait, views.showDrivers);
}

}  // namespace kiv
