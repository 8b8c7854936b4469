#pragma once
// The build run behind the wizard's Finish button and `--build`: re-creates
// the work folder `kivcd` from the CD template, runs the assembly steps in
// their fixed order, keeps their five step lines (running, done, skipped) in
// its status and tells its events of every change, and ends with an outcome.
// It knows no window: the wizard and the console each show it their way.
//
// Everything runs on the caller's thread. Long waits poll the started
// program and pump the events in between, so Cancel stays live; a Cancel
// only sets flags, and the run stops at its next CancelCopy check.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cdtool/bootmenu/efi_boot_image.h"
#include "cdtool/bootmenu/menu_data.h"
#include "cdtool/build/build_events.h"
#include "cdtool/build/build_log.h"
#include "cdtool/build/build_outcome.h"
#include "cdtool/build/build_status.h"
#include "cdtool/build/graft_plan.h"
#include "cdtool/build/overall_progress.h"
#include "cdtool/settings/session_settings.h"
#include "common/build_context.h"
#include "common/environment.h"
#include "common/platform.h"
#include "common/progress_sink.h"
#include "common/source_date_epoch.h"
#include "common/window_place.h"

namespace kiv {

class ChildProcess;
class ProcessLauncher;
class Prompter;
struct IsoRun;

inline constexpr const char* kProgramTitle = "The kiv CD Builder";

// The lock file of the program folder's CD build: one build at a time, in the
// window or by --build. It holds the builder's process id.
inline constexpr const char* kCdBuildLock = "discsmith.lock";

// The file in the root of every CD the builder makes: the boot floppies find
// the rescue CD among the drives by it (FINDCD.BAT).
inline constexpr const char* kCdTagFile = "KIVCD.TAG";

// The variable that makes a build copy its sources into the work tree.
inline constexpr const char* kCopySourcesVariable = "KIVCD_COPY_SOURCES";

// What ends an assembly step early; its text is the reason the step's fatal
// message shows (the file and the cause).
struct StepFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class BuildRun {
 public:
  // `events` hears of every change; it can be exchanged (SetEvents) while
  // the run is idle. The run's programs start through the context's
  // launcher; its platform is the run's clock (the log's times) and its
  // source of random bytes (the password's salts when no fixed date seeds
  // them); its environment is the run's `environment`.
  BuildRun(std::string programFolder, Prompter& prompter, BuildEvents& events, const BuildContext& context);
  ~BuildRun();
  BuildRun(const BuildRun&) = delete;
  BuildRun& operator=(const BuildRun&) = delete;

  // The session's settings at the time Finish was pressed (normalised), and
  // the boot-menu password typed for this CD.
  SessionSettings settings;
  BootPassword password;
  // The variables the program was started with (the context's; empty in
  // most tests): a SOURCE_DATE_EPOCH there makes the build reproducible.
  Environment environment;
  // That fixed date (nothing when unset or not a number; Finish refuses the
  // latter before anything is written).
  std::optional<int64_t> Epoch() const { return SourceDateEpoch(environment, nullptr); }

  // What the run shows of itself (see build_status.h).
  const BuildStatus& Status() const { return status_; }
  BuildStatus& Status() { return status_; }
  void SetEvents(BuildEvents& events) { events_ = &events; }

  // What the run came to; final once the first Finish has returned.
  const BuildOutcome& Outcome() const { return outcome_; }

  // What the boot menu of this CD shows whatever its script says: the
  // password the password step took, the key the Windows 2000/XP step stored.
  MenuData menuData;
  // The signed loaders of the CD's UEFI boot image; a run whose loaders are
  // not installed makes a CD that starts in BIOS mode only (and logs why).
  EfiLoaders efiLoaders = DebianEfiLoaders();

  bool Finished = false;         // the run has returned, or was cancelled
  bool CancelCopy = false;       // set by CancelApp; the run stops at its next check
  bool MKISOFSRunning = false;   // the mastering tool is running
  bool ASyncAppRunning = false;  // a program started by ASyncShell is running
  // The frame of the window the run is shown in, read as each boot disk
  // starts (the user may have moved it); unset or none without a window.
  std::function<std::optional<ScreenRect>()> WindowFrame;
  // Console output of the programs started through ASyncShell (bootsmith, the
  // service-pack installer); dropped when unset.
  std::function<void(const std::string&)> ToolOutput;
  // What the last program started without waiting wrote (its last 8 KB):
  // where a failed boot disk's cause is read from.
  const std::string& ASyncOutput() const { return asyncOutput_; }
  // Its exit status once it has ended (-1 when killed or never started).
  int ASyncExitCode() const { return ASyncApp ? ASyncApp->ExitCode() : -1; }

  // The clock the build's pace is measured by, in seconds (the steady clock;
  // a test moves its own).
  std::function<double()> MonotonicSeconds;
  // The rescue system's build, which takes its own time (see
  // OverallProgress::StartTimedPart): `lastSeconds` is what its last build took.
  void RescueBuildStarts(std::optional<double> lastSeconds);
  void RescueBuildEnds();

  // The cause behind a step's fixed failure message (which names none), for
  // the console and the log; dropped when unset.
  std::function<void(const std::string&)> OnDiagnostic;
  void Diagnostic(const std::string& text) {
    log_.Line(text);
    if (OnDiagnostic) OnDiagnostic(text);
  }

  // The run's log (kivcd-build.log in the program folder), started when the
  // run takes the program folder; "" before.
  const std::string& LogPath() const { return log_.Path(); }
  BuildLog& Log() { return log_; }

  // Runs the build to its end, once; returns at once when it has run or is
  // running. The outcome says what came of it.
  void Run();
  void FinishApp();
  void Prepare_CDDir();
  void CancelApp();

  // --- for the assembly steps ---
  const std::string& ProgramFolder() const { return programFolder_; }
  // Program folder + relative path ('\' or '/' separators).
  std::string InProgram(const std::string& relative) const;
  // Messages go to the user and to the log.
  Prompter& prompter() { return prompter_; }
  // The sub-step caption and its bar as a progress sink; Cancel and event
  // pumping go to the events.
  ProgressSink& Progress() { return sink_; }
  // A sub-step: its caption on the progress page and a line in the log.
  // (Progress().SetCaption changes the caption only: per-file captions.)
  void SetSubStep(const std::string& caption);
  void NotifyChanged();
  // Starts a program without waiting (ASyncAppRunning set). When it cannot be
  // started: "Critical Error" naming the program, then CancelApp.
  void ASyncShell(const std::vector<std::string>& argv);
  // Pumps events until the program started by ASyncShell has ended.
  void WaitForASyncApp();
  void ASyncApp_ProcessEnded() { ASyncAppRunning = false; }

  // A failed step: its fixed text under the title "Fatal Error" (critical
  // icon), the reason below it, then Fail. A step that ended because the
  // run was already cancelled (a stop request) says nothing more.
  void FatalStepError(const std::string& text, const std::string& reason, int helpTopic = 0);
  // Records the failure of the step being worked on (the first failure
  // counts) and cancels the run as CancelApp does.
  void Fail(const std::string& reason);
  // Records a failure without cancelling: the ISO step, whose finish page
  // says "Operation Aborted" itself.
  void RecordFailure(const std::string& reason);
  // The step line being worked on: 0 before step 1, then 1-5.
  int CurrentStep() const { return currentStep_; }
  // A step's tree copy with progress on LblSub_Step and BarSub_Step. A copy
  // that fails or stops short throws StepFailure naming the file and the
  // cause; a source tree that holds no data copies nothing and passes.
  void CopyTree(const std::string& source, const std::string& destination);
  // A step's source that goes onto the CD as it is: mapped into the CD
  // folder `cdFolder` ("I386", "" for the root) by `grafts`, its files read
  // by the mastering tool from where they lie; copied into the work tree
  // (CopyTree) when the run copies its sources. Failures as CopyTree's.
  void MapTree(const std::string& source, const std::string& cdFolder);
  // The files of the CD that stay in the sources (see graft_plan.h).
  GraftPlan grafts;
  // KIVCD_COPY_SOURCES=1: every source is copied into the work tree, which
  // then holds the whole CD (as builds did before sources were mapped).
  bool CopiesSources() const { return environment.Get(kCopySourcesVariable) == "1"; }

  // A stop request (Ctrl-C, SIGTERM; see stop_request.h) is a Cancel that
  // also ends the running program: checked wherever the run pumps events.
  // The ISO run is ended too and its partial image removed.
  void CheckStopRequest();
  bool Stopped() const { return stopped_; }
  // The new image has replaced the previous one: a stop that comes later
  // cannot undo that, so it no longer cancels the run, whose outcome says
  // what the file is.
  void IsoTookItsName() { isoInPlace_ = true; }
  // The ISO this run makes, as an absolute path.
  const std::string& IsoPath() const { return isoPath_; }
  // The temporary image the mastering tool writes, noted in the build lock:
  // should this run die before it is renamed or removed, the next build in
  // the program folder removes it.
  void NoteMastering(const std::string& partPath);

  // Step lines.
  void AnnounceStep(int n);
  void CompleteStep(int n);
  void SkipStep(int n);

  // Where the run's programs (bootsmith, the service-pack installer, the
  // makecd script) are started: the launcher the run was made with, or
  // another one set here. Whatever starts them, each one is logged.
  void SetLauncher(ProcessLauncher& launcher) { launcher_.SetInner(launcher); }
  ProcessLauncher& Launcher() { return launcher_; }
  // The clock and the random bytes of this run.
  const Platform& platform() const { return platform_; }

  // The ISO run's state (see iso_step.h); null outside step 5.
  std::unique_ptr<IsoRun> isoRun;
  std::unique_ptr<ChildProcess> LaunchApp;

 private:
  class Sink : public ProgressSink {
   public:
    explicit Sink(BuildRun& run) : run_(run) {}
    void SetCaption(const std::string& text) override;
    void SetMaximum(int64_t max) override;
    void SetValue(int64_t value) override;
    int64_t Value() const override { return run_.status_.subBar.value; }
    int64_t Maximum() const override { return run_.status_.subBar.max; }
    void SetBarVisible(bool visible) override;
    bool BarVisible() const override { return run_.status_.subBar.shown; }
    void SetCancelEnabled(bool enabled) override { run_.events_->CancelAllowed(enabled); }
    void PumpEvents() override;
    // A Cancel, like a stop request, ends a tree copy before its next file.
    bool StopRequested() const override { return run_.stopped_ || run_.CancelCopy; }

   private:
    BuildRun& run_;
  };

  std::string programFolder_;
  const Platform& platform_;
  BuildLog log_;
  LoggingPrompter prompter_;
  BuildEvents* events_;
  BuildStatus status_;
  Sink sink_{*this};
  LoggingLauncher launcher_;
  std::unique_ptr<ChildProcess> ASyncApp;
  bool running_ = false;     // inside Run
  bool stopped_ = false;     // a stop request was handled
  bool isoInPlace_ = false;  // the image has its final name
  std::string isoPath_;      // the ISO, absolute, for this run
  OverallProgress overall_;  // the whole build, shown in status_.overall
  double started_ = 0;       // MonotonicSeconds() when the run began
  double Elapsed() const { return MonotonicSeconds() - started_; }
  void UpdateOverall();
  void StartOverall();
  std::string asyncOutput_;  // see ASyncOutput()
  int currentStep_ = 0;
  bool inWindows10_ = false;  // step 2 is at its Windows 10/11 part
  BuildOutcome outcome_;
  InstanceLock buildLock_;
  std::string previousLock_;  // what the lock file held before this run took it
  // Takes the program folder's build lock; false (the user told, the run
  // failed before anything was touched) when another build holds it.
  bool LockProgramFolder();
  void SettleOutcome();
  void StartLog();
  void StoreAnswerRecords();
};

}  // namespace kiv
