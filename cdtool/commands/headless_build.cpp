#include "cdtool/commands/headless_build.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "cdtool/build/build_log.h"
#include "cdtool/build/build_run.h"
#include "cdtool/wizard/page_checks.h"
#include "cdtool/wizard/session_defaults.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "common/source_date_epoch.h"
#include "common/stop_request.h"

namespace kiv {

void ConsoleBuildView::SetCaption(const std::string& text) {
  if (text == lastCaption_) return;
  lastCaption_ = text;
  std::fprintf(out_, "      %s\n", text.c_str());
  std::fflush(out_);
}

void ConsoleBuildView::SetMaximum(int64_t max) {
  max_ = max;
  lastPercent_ = -1;
}

void ConsoleBuildView::SetValue(int64_t value) {
  value_ = value;
  PrintPercent();
}

void ConsoleBuildView::SetBarVisible(bool visible) {
  visible_ = visible;
  lastPercent_ = -1;
}

void ConsoleBuildView::PrintPercent() {
  if (!visible_ || max_ <= 0) return;
  int percent = static_cast<int>(value_ * 100 / max_);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  std::fprintf(out_, "      %3d%%\n", percent);
  std::fflush(out_);
}

void ConsoleBuildView::StepLinesChanged(const BuildRun& run) {
  for (int i = 0; i < 5; ++i) {
    const std::string& mark = run.page10.LblRight[i].Caption;
    const bool bold = run.page10.LblMsg[i].Bold;
    if (bold && !shownBold_[i]) std::fprintf(out_, "[%d/5] %s\n", i + 1, run.page10.LblMsg[i].Caption.c_str());
    // The page marks a skipped step with the cross; on the console, where a
    // cross reads as a failure, a skipped step gets a dash of its own.
    if (mark != shownMarks_[i] && !mark.empty())
      std::fprintf(out_, "[%d/5] %s %s%s\n", i + 1, mark == kCrossMark ? "\u2013" : mark.c_str(),
                   run.page10.LblMsg[i].Caption.c_str(), mark == kCrossMark ? " (skipped)" : "");
    shownBold_[i] = bold;
    shownMarks_[i] = mark;
  }
  // The whole build's progress, every ten seconds at most, and only once it
  // can say how long is left: a log read later shows the pace without
  // drowning the step lines.
  const std::string& overall = run.page10.LblOverall.Caption;
  const auto now = std::chrono::steady_clock::now();
  if (overall != shownOverall_ && overall.find(" left") != std::string::npos &&
      (!overallShown_ || now - lastOverall_ >= std::chrono::seconds(10))) {
    std::fprintf(out_, "      %s\n", overall.c_str());
    shownOverall_ = overall;
    lastOverall_ = now;
    overallShown_ = true;
  }
  std::fflush(out_);
}

// The frame around a build without a window: there is nothing to show, and
// the settings are never written back (the file is the user's).
class ConsoleFrame : public WizardFrame {
 public:
  void SetBackEnabled(bool) override {}
  void SetNextVisible(bool) override {}
  void SetFinishVisible(bool) override {}
  void SetFinishEnabled(bool) override {}
  void SetCancelEnabled(bool) override {}
  void ShowPage(int) override {}
  void ShowHelp(int, bool) override {}
  void WriteKivCDINI() override {}
  void EndProgram() override {}
};

int RunHeadlessBuild(int argc, char** argv, const Environment& environment, ProcessLauncher& launcher) {
  // --yes: an existing file at the ISO's place that is not an ISO image may
  // be replaced (the window asks instead).
  bool yes = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--yes") == 0) yes = true;
    else std::fprintf(stderr, "discsmith: argument \"%s\" ignored: --build takes only --yes\n", argv[i]);
  }
  // Programs started from here (bootsmith) must not open windows either.
  ::setenv("KIVCD_UI", "console", 1);
  // Ctrl-C or SIGTERM is a Cancel: the running tool is ended and its partial
  // output removed (see BuildRun::CheckStopRequest).
  InstallStopSignals();
  // A reader that stops early (`discsmith --build | head -1`) must not end
  // the build half-way with its log cut short: what can no longer be shown
  // is dropped, the build and its log go on. (The tools started get the
  // default back.)
  std::signal(SIGPIPE, SIG_IGN);

  Platform& platform = CurrentPlatform();
  const std::string programFolder = platform.ProgramFolder();
  ConsolePrompter prompter;
  const std::string settingsFile = SettingsPath(programFolder);
  if (!FileExists(settingsFile))
    std::fprintf(stderr, "discsmith: no settings file \"%s\": building with the wizard's defaults\n",
                 settingsFile.c_str());
  // A refused run leaves a log that says so: the previous build's "ISO image
  // made" must not stand for a run that built nothing. Not while another
  // build holds the folder: its log is its own.
  auto refused = [&programFolder](const std::string& why) {
    InstanceLock lock;
    BuildLog log;
    if (lock.Acquire(JoinPath(programFolder, kCdBuildLock)) && log.Open(JoinPath(programFolder, kBuildLogName))) {
      log.Line("Building the CD in " + programFolder);
      log.Line("Nothing built: " + why);
    }
    return 1;
  };
  std::string unreadable;
  SessionSettings settings = LoadSessionSettings(programFolder, platform, &unreadable);
  if (!unreadable.empty()) {
    std::fprintf(stderr, "discsmith: the settings file \"%s\" cannot be read as settings (%s); nothing built\n",
                 settingsFile.c_str(), unreadable.c_str());
    return refused("the settings file \"" + settingsFile + "\" cannot be read as settings (" + unreadable + ")");
  }

  // A product key Windows would not take is named with its setting before
  // anything is built (the file's own text: read into boxes it may be cut).
  if (const std::string bad = FileExists(settingsFile) ? StoredProductKeysProblem(settingsFile) : ""; !bad.empty()) {
    std::fprintf(stderr, "discsmith: in the settings file \"%s\", %s; nothing built\n", settingsFile.c_str(),
                 bad.c_str());
    return refused("in the settings file \"" + settingsFile + "\", " + bad);
  }

  // The boot-menu password is never stored in the settings file; a build
  // without the wizard takes it from the environment.
  BootPassword password;
  if (const std::string typed = environment.Get("KIVCD_PASSWORD"); !typed.empty())
    password = BootPassword{true, typed, typed};

  if (const std::string problem = SourceDateEpochProblem(environment); !problem.empty()) {
    std::fprintf(stderr, "discsmith: %s; nothing built\n", problem.c_str());
    return refused(problem);
  }

  // The page checks, exactly as Next makes them page by page.
  const PageContext context{programFolder, platform.FirstCdRomDrive(), !settings.Win2K_Info.SP_exe.empty()};
  if (auto failed = CheckAllPages(settings, password, context)) {
    std::fprintf(stderr, "Error: %s\n", failed->problem.text.c_str());
    std::fprintf(stderr, "discsmith: the settings do not pass the check of wizard page %d; nothing built\n",
                 failed->page);
    return refused("the settings do not pass the check of wizard page " + std::to_string(failed->page) + ": " +
                   failed->problem.text);
  }

  if (const std::string warning = MediumWarning(EstimatedCdBytes(settings, programFolder)); !warning.empty())
    std::fprintf(stderr, "discsmith: %s\n", warning.c_str());
  const std::string& iso = settings.Main.ISOLocation;
  if (!yes && FileExists(iso) && !LooksLikeIsoImage(iso)) {
    std::fprintf(stderr,
                 "discsmith: \"%s\" exists and is not an ISO image; it is not replaced (--build --yes replaces "
                 "it); nothing built\n",
                 iso.c_str());
    return refused("\"" + iso + "\" exists and is not an ISO image; it is not replaced");
  }

  ConsoleBuildView view(stdout);
  ConsoleFrame frame;
  BuildRun run(programFolder, prompter, frame);
  run.settings = settings;
  run.password = password;
  run.environment = environment;
  run.SetLauncher(launcher);
  run.SetView(&view);
  run.Changed = [&] { view.StepLinesChanged(run); };
  run.ToolOutput = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  run.OnDiagnostic = [](const std::string& text) { std::fprintf(stderr, "discsmith: %s\n", text.c_str()); };

  std::printf("discsmith: building the CD in %s\n", programFolder.c_str());
  std::fflush(stdout);
  run.CmdFinish_Click();

  const BuildOutcome& outcome = run.Outcome();
  std::printf("%s\n", Trim(run.page9.LblFinish.Caption).c_str());
  if (run.page9.LblAbort.Visible) std::printf("%s\n", run.page9.LblAbort.Caption.c_str());
  if (!run.LogPath().empty()) std::printf("Build log: %s\n", run.LogPath().c_str());
  // The outcome is the last line, and one line, for scripts that read it
  // with tail -n 1: a reason of several lines is joined with "; ".
  std::string line;
  std::istringstream parts(outcome.Summary());
  for (std::string part; std::getline(parts, part);) {
    const std::string piece = Trim(part);
    if (!piece.empty()) line += (line.empty() ? "" : line.back() == ':' ? " " : "; ") + piece;
  }
  std::fflush(stderr);
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return outcome.Made() ? 0 : 1;
}

}  // namespace kiv
