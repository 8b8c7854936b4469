#include "cdtool/commands/headless_build.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "cdtool/build/build_log.h"
#include "cdtool/build/build_run.h"
#include "cdtool/settings/page_checks.h"
#include "cdtool/settings/session_defaults.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "common/source_date_epoch.h"
#include "common/stop_request.h"

namespace kiv {

void ConsoleProgress::SetCaption(const std::string& text) {
  if (text == lastCaption_) return;
  lastCaption_ = text;
  std::fprintf(out_, "      %s\n", text.c_str());
  std::fflush(out_);
}

void ConsoleProgress::SetMaximum(int64_t max) {
  max_ = max;
  lastPercent_ = -1;
}

void ConsoleProgress::SetValue(int64_t value) {
  value_ = value;
  PrintPercent();
}

void ConsoleProgress::SetBarVisible(bool visible) {
  visible_ = visible;
  lastPercent_ = -1;
}

void ConsoleProgress::PrintPercent() {
  if (!visible_ || max_ <= 0) return;
  int percent = static_cast<int>(value_ * 100 / max_);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  std::fprintf(out_, "      %3d%%\n", percent);
  std::fflush(out_);
}

void ConsoleBuildView::Progressed(const BuildStatus& status) {
  // The run changes one thing at a time: the sub-step and its bar go to the
  // line display as they change, then the step lines.
  if (status.subStep != shown_.subStep) lines_.SetCaption(status.subStep);
  if (status.subBar.max != shown_.subBar.max) lines_.SetMaximum(status.subBar.max);
  if (status.subBar.shown != shown_.subBar.shown) lines_.SetBarVisible(status.subBar.shown);
  if (status.subBar.value != shown_.subBar.value) lines_.SetValue(status.subBar.value);
  StepLinesChanged(status);
  shown_ = status;
  std::fflush(out_);
}

void ConsoleBuildView::StepLinesChanged(const BuildStatus& status) {
  for (size_t i = 0; i < status.steps.size(); ++i) {
    const StepLine& step = status.steps[i];
    const int n = static_cast<int>(i) + 1;
    if (step.running && !shown_.steps[i].running) std::fprintf(out_, "[%d/5] %s\n", n, step.title.c_str());
    // The page marks a skipped step with the cross; on the console, where a
    // cross reads as a failure, a skipped step gets a dash of its own.
    if (step.mark != shown_.steps[i].mark && step.mark != StepMark::None)
      std::fprintf(out_, "[%d/5] %s %s%s\n", n, step.mark == StepMark::Skipped ? "\u2013" : kCheckMark,
                   step.title.c_str(), step.mark == StepMark::Skipped ? " (skipped)" : "");
  }
  // The whole build's progress, every ten seconds at most, and only once it
  // can say how long is left: a log read later shows the pace without
  // drowning the step lines.
  const std::string& overall = status.overallText;
  const auto now = std::chrono::steady_clock::now();
  if (overall != shownOverall_ && overall.find(" left") != std::string::npos &&
      (!overallShown_ || now - lastOverall_ >= std::chrono::seconds(10))) {
    std::fprintf(out_, "      %s\n", overall.c_str());
    shownOverall_ = overall;
    lastOverall_ = now;
    overallShown_ = true;
  }
}

int RunHeadlessBuild(int argc, char** argv, const BuildContext& buildContext) {
  const Environment& environment = buildContext.environment;
  const Platform& platform = buildContext.platform;
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

  const std::string programFolder = platform.ProgramFolder();
  ConsolePrompter prompter;
  const std::string settingsFile = SettingsPath(programFolder);
  if (!FileExists(settingsFile))
    std::fprintf(stderr, "discsmith: no settings file \"%s\": building with the wizard's defaults\n",
                 settingsFile.c_str());
  // A refused run leaves a log that says so: the previous build's "ISO image
  // made" must not stand for a run that built nothing. Not while another
  // build holds the folder: its log is its own.
  auto refused = [&programFolder, &platform](const std::string& why) {
    InstanceLock lock;
    BuildLog log(platform);
    if (lock.Acquire(JoinPath(programFolder, kCdBuildLock)) && log.Open(JoinPath(programFolder, kBuildLogName))) {
      log.Line("Building the CD in " + programFolder);
      log.Line("Nothing built: " + why);
    }
    return 1;
  };
  std::string unreadable;
  SessionSettings settings = LoadSessionSettings(programFolder, platform, environment, &unreadable);
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

  // Without a window there is nothing to show but lines, and the settings
  // are never written back (the file is the user's).
  ConsoleBuildView view(stdout);
  BuildRun run(programFolder, prompter, view, buildContext);
  run.settings = settings;
  run.password = password;
  run.ToolOutput = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  run.OnDiagnostic = [](const std::string& text) { std::fprintf(stderr, "discsmith: %s\n", text.c_str()); };

  std::printf("discsmith: building the CD in %s\n", programFolder.c_str());
  std::fflush(stdout);
  run.Run();

  const BuildOutcome& outcome = run.Outcome();
  std::printf("%s\n", Trim(run.Status().heading).c_str());
  if (run.Status().failureShown) std::printf("%s\n", run.Status().failure.c_str());
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
