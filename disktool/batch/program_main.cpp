// Main: start-up order, then the wizard or the command line and RunBatch.
#include "disktool/batch/program_main.h"

#include <cstdio>
#include <optional>

#include "common/environment.h"
#include "common/failure_cause.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "common/stop_request.h"
#include "disktool/dosimport/dos_import.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/workspace/wait_window.h"

namespace kiv {

namespace {

// The progress display of a batch run, passed through; its event pump is
// where a stop request (Ctrl-C, SIGTERM) becomes the build's Cancel. The
// process runner ends the running tool before it pumps, so the work files
// are removed only once nothing writes into them any more.
class StopAsCancel : public ProgressSink {
 public:
  explicit StopAsCancel(ProgressSink& inner) : inner_(inner) {}
  void Attach(FloppyBuilder& builder) { builder_ = &builder; }
  bool Handled() const { return handled_; }
  // After a stop request, cancels the build unless it is cancelled already.
  void Check() {
    if (!builder_ || !kiv::StopRequested() || builder_->End() == FloppyEnd::Cancelled) return;
    handled_ = true;
    builder_->CancelApp();
  }

  void SetCaption(const std::string& text) override { inner_.SetCaption(text); }
  void SetMaximum(int64_t max) override { inner_.SetMaximum(max); }
  void SetValue(int64_t value) override { inner_.SetValue(value); }
  int64_t Value() const override { return inner_.Value(); }
  int64_t Maximum() const override { return inner_.Maximum(); }
  void SetBarVisible(bool visible) override { inner_.SetBarVisible(visible); }
  bool BarVisible() const override { return inner_.BarVisible(); }
  void SetCancelEnabled(bool enabled) override { inner_.SetCancelEnabled(enabled); }
  void PumpEvents() override {
    inner_.PumpEvents();
    Check();
  }
  bool StopRequested() const override { return handled_ || inner_.StopRequested(); }

 private:
  ProgressSink& inner_;
  FloppyBuilder* builder_ = nullptr;
  bool handled_ = false;
};

}  // namespace

namespace {

// `dosMissing` receives what the DOS files' check found missing when the run
// ends there.
int RunBootsmith(const std::string& programFolder, const std::vector<std::string>& args, MainViews& views,
                 const BuildContext& context, std::string& dosMissing) {
  Prompter& prompter = *views.prompter;

  // 1. One instance at a time. The lock dies with the process, so a crashed
  // run never blocks the next one.
  InstanceLock lock;
  if (!lock.Acquire(JoinPath(programFolder, kLockFileName))) {
    if (!lock.Error().empty()) {
      // Not another instance: the folder itself refuses the lock file, and
      // every work file of a build would fail the same way.
      prompter.MsgBox(Message{ProgramFolderNotWritableText(programFolder, lock.Error()), kProgramFolderNotWritableTitle,
                              Icon::Critical, Buttons::OK, 0, std::nullopt});
      return 3;
    }
    prompter.MsgBox(Message{"The Kiv Disk Builder is already running", "Already Running", Icon::Critical, Buttons::OK,
                            0, std::nullopt});
    return 3;
  }

  // The window that started this run, if it said so: the wait window (of
  // the DOS import and of the batch run) opens over it.
  std::vector<std::string> rest = args;
  if (const std::optional<ScreenRect> over = TakeOverWindow(rest)) views.wait->CentreOver(*over);

  // A batch run (a disk named on the command line) is stopped by Ctrl-C or
  // SIGTERM as Cancel stops it; the wizard window keeps the usual handling.
  const std::string raw = RawCommandLine(rest);
  if (!raw.empty()) InstallStopSignals();
  StopAsCancel progress(*views.progress);

  // 2. Windows and system folders (none on POSIX).
  const Platform& platform = context.platform;
  const BuilderStart start{.programFolder = programFolder,
                           .prompter = prompter,
                           .progress = progress,
                           .context = context,
                           .windowsDir = platform.WindowsFolder(),
                           .systemDir = platform.SystemFolder()};

  // 3. The DOS system files.
  DosImport dos(programFolder, start.windowsDir, start.systemDir, prompter, *views.wait, context.launcher);
  if (!dos.ImportDOS()) {
    dosMissing = dos.Missing();
    return 1;
  }

  // 4. No arguments: the wizard.
  if (raw.empty()) {
    if (!views.runWizard) {
      prompter.Inform(
          "The wizard needs a display. To build a disk without it, name the disk on the command "
          "line.\r\n\r\n" +
              UsageText(),
          "bootsmith");
      return 2;
    }
    return views.runWizard(start);
  }

  BatchOptions options = ParseCommandLine(raw, programFolder, prompter);
  if (options.DiskName.empty()) {
    prompter.Inform("The disk name is not specified", kCommandLineTitle);
    return 2;
  }
  FloppyBuilder builder(start);
  progress.Attach(builder);
  const int code = RunBatch(builder, options, *views.wait, views.showDrivers);
  if (!StopRequested()) return code;
  // An image finished before the stop was seen stays a success.
  if (code == 0 && !progress.Handled()) return 0;
  // Stopped: whatever the run got to, it ends as a Cancel.
  progress.Check();
  std::fprintf(stderr, "bootsmith: %s\n", builder.Status().heading.c_str());
  std::fflush(stderr);
  return 1;
}

}  // namespace

int BootsmithMain(const std::string& programFolder, const std::vector<std::string>& args, MainViews& views,
                  const BuildContext& context) {
  CauseRecordingPrompter recorder(*views.prompter);
  MainViews recorded = views;
  recorded.prompter = &recorder;
  std::string dosMissing;
  const int code = RunBootsmith(programFolder, args, recorded, context, dosMissing);
  // A batch run that failed ends with the message that said why, on one
  // line the CD builder reads (a stop has said "canceled" already). The
  // question about the DOS files names what is missing after its first
  // sentence; the line names it too.
  std::vector<std::string> rest = args;
  TakeOverWindow(rest);
  if (code != 0 && !RawCommandLine(rest).empty() && !StopRequested() && !recorder.LastMessage().empty()) {
    std::string cause = recorder.LastMessage();
    if (!dosMissing.empty() && cause.rfind("DOS Files no found:", 0) == 0 &&
        cause.find(dosMissing) == std::string::npos)
      cause += " " + dosMissing;
    std::fprintf(stderr, "%s%s\n", kNoImageMade, cause.c_str());
    std::fflush(stderr);
  }
  return code;
}

}  // namespace kiv
