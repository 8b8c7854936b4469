#include "cdtool/build/build_run.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "cdtool/bootmenu/boot_menu_edits.h"
#include "cdtool/build/add_disks.h"
#include "cdtool/build/add_rescue.h"
#include "cdtool/build/add_win10.h"
#include "cdtool/build/add_win2k.h"
#include "cdtool/build/add_win9x.h"
#include "cdtool/build/adv_tools.h"
#include "cdtool/build/boot_menu_step.h"
#include "cdtool/build/iso_step.h"
#include "cdtool/rescue/rescue_builder.h"
#include "common/failure_cause.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/product_key.h"
#include "common/progress_copy.h"
#include "common/prompter.h"
#include "common/setup_answer.h"
#include "common/source_date_epoch.h"
#include "common/stop_request.h"

namespace kiv {

BuildRun::BuildRun(std::string programFolder, Prompter& prompter, BuildEvents& events, const BuildContext& context)
    : environment(context.environment),
      MonotonicSeconds(
          [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }),
      programFolder_(std::move(programFolder)),
      platform_(context.platform),
      log_(context.platform),
      prompter_(prompter, log_),
      events_(&events),
      launcher_(context.launcher, log_) {}

BuildRun::~BuildRun() = default;

namespace {

constexpr const char* kMasteringNote = "mastering ";

// The image a build of this program folder was mastering when it ended
// without finishing (killed, or the machine stopped): named in the note it
// left in the lock, which this build now holds, so no running build owns it.
// Only a file named as PartialIsoPath names one of another process goes.
void RemoveUnfinishedImage(const std::string& lockContent, BuildLog& log) {
  const size_t at = lockContent.find(std::string("\n") + kMasteringNote);
  if (at == std::string::npos) return;
  const size_t from = at + 1 + std::string(kMasteringNote).size();
  const std::string part = lockContent.substr(from, lockContent.find('\n', from) - from);
  const std::string name = std::filesystem::path(part).filename().string();
  const std::string ours = "." + std::to_string(ProcessId()) + ".part";
  if (name.size() < 7 || name[0] != '.' || name.compare(name.size() - 5, 5, ".part") != 0 ||
      (name.size() > ours.size() && name.compare(name.size() - ours.size(), ours.size(), ours) == 0))
    return;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(part, ec))) return;
  if (std::filesystem::remove(part, ec))
    log.Line("Removed " + part + ", the unfinished image of a build that did not end");
}

}  // namespace

std::string BuildRun::InProgram(const std::string& relative) const {
  return JoinPath(programFolder_, NativePath(relative));
}

void BuildRun::NotifyChanged() { events_->Progressed(status_); }

// --- the progress sink over the sub-step and its bar ---

void BuildRun::Sink::SetCaption(const std::string& text) {
  run_.status_.subStep = text;
  run_.NotifyChanged();
}

void BuildRun::Sink::SetMaximum(int64_t max) {
  run_.status_.subBar.max = max;
  run_.NotifyChanged();
}

void BuildRun::Sink::SetValue(int64_t value) {
  Meter& bar = run_.status_.subBar;
  bar.value = value;
  if (bar.max > bar.min)
    run_.overall_.SetStepFraction(static_cast<double>(value - bar.min) / static_cast<double>(bar.max - bar.min));
  run_.UpdateOverall();
  run_.NotifyChanged();
}

void BuildRun::UpdateOverall() {
  const double fraction = overall_.Fraction();
  status_.overall.value = static_cast<int64_t>(fraction * static_cast<double>(status_.overall.max));
  status_.overallText = OverallCaption(fraction, overall_.SecondsLeft(Elapsed()));
}

void BuildRun::RescueBuildStarts(std::optional<double> lastSeconds) {
  overall_.StartTimedPart(kRescueBuildWeight, lastSeconds, Elapsed());
  UpdateOverall();
}

void BuildRun::RescueBuildEnds() {
  overall_.EndTimedPart(Elapsed());
  UpdateOverall();
}

void BuildRun::Sink::SetBarVisible(bool visible) {
  run_.status_.subBar.shown = visible;
  run_.NotifyChanged();
}

void BuildRun::Sink::PumpEvents() {
  // The time left goes on changing while a step waits on a program that
  // says nothing.
  const std::string overall = run_.status_.overallText;
  run_.UpdateOverall();
  if (run_.status_.overallText != overall) run_.NotifyChanged();
  run_.events_->PumpEvents();
  run_.CheckStopRequest();
}

// --- failures and stops ---

void BuildRun::FatalStepError(const std::string& text, const std::string& reason, int helpTopic) {
  // A tool ended by a stop fails on its way out: the stop is what happened.
  CheckStopRequest();
  if (CancelCopy) {
    if (!reason.empty()) Diagnostic(reason);
    return;
  }
  prompter_.MsgBox(Message{reason.empty() ? text : text + "\r\n\r\n" + reason, "Fatal Error", Icon::Critical,
                           Buttons::OK, helpTopic, std::nullopt});
  Fail(reason.empty() ? text : reason);
}

void BuildRun::RecordFailure(const std::string& reason) {
  if (outcome_.kind == BuildOutcome::Kind::Failed) return;
  outcome_.kind = BuildOutcome::Kind::Failed;
  outcome_.step = currentStep_;
  if (currentStep_ >= 1 && currentStep_ <= static_cast<int>(status_.steps.size()))
    outcome_.stepTitle = status_.steps[currentStep_ - 1].title;
  outcome_.windows10 = inWindows10_;
  outcome_.reason = reason;
  // The outcome goes to the log (and the console) once, when the run ends.
}

void BuildRun::Fail(const std::string& reason) {
  CheckStopRequest();
  // After a Cancel a step may still fail on its way out; the run stays cancelled.
  if (CancelCopy && outcome_.kind != BuildOutcome::Kind::Failed) return;
  RecordFailure(reason);
  if (!CancelCopy) CancelApp();
}

void BuildRun::CopyTree(const std::string& source, const std::string& destination) {
  std::string cause, at;
  if (CopyPathWithProgress(source, destination, sink_, prompter_, kProgramTitle, &cause, &at)) return;
  if (cause.empty()) return;  // nothing to copy
  throw StepFailure("Copying \"" + source + "\" to \"" + destination + "\" failed at \"" + (at.empty() ? source : at) +
                    "\": " + cause);
}

void BuildRun::MapTree(const std::string& source, const std::string& cdFolder) {
  const std::string destination = JoinPath(InProgram("kivcd"), NativePath(cdFolder));
  // A folder that cannot be read is the copy's to report, in its words.
  if (CopiesSources() || !FolderExists(ResolvePath(TrimRight(source)))) {
    CopyTree(source, destination);
    return;
  }
  sink_.SetCaption("Preparing for Copy");
  sink_.PumpEvents();
  std::string cause, at;
  if (grafts.Map(source, cdFolder, sink_, &cause, &at)) return;
  throw StepFailure("Copying \"" + source + "\" to \"" + destination + "\" failed at \"" + (at.empty() ? source : at) +
                    "\": " + cause);
}

void BuildRun::CheckStopRequest() {
  if (stopped_ || isoInPlace_ || !StopRequested()) return;
  stopped_ = true;
  Diagnostic("stop requested: cancelling the build");
  // The programs first, so nothing writes on while their output goes.
  if (ASyncApp && ASyncApp->Running()) ASyncApp->Kill();
  if (LaunchApp && LaunchApp->Running()) {
    LaunchApp->Kill();
    // Its end notification removes the partial image. The image was not
    // out of reach, the run was stopped: the finish page says only that.
    while (LaunchApp && LaunchApp->Poll(std::chrono::milliseconds(20))) {
    }
    status_.failureShown = false;
  }
  if (!CancelCopy) CancelApp();
}

// --- step lines ---

void BuildRun::SetSubStep(const std::string& caption) {
  log_.Line("  " + caption);
  sink_.SetCaption(caption);
}

void BuildRun::AnnounceStep(int n) {
  StepLine& line = status_.steps[n - 1];
  log_.Line("Step " + std::to_string(n) + ": " + line.title);
  currentStep_ = n;
  overall_.EnterStep(n);
  UpdateOverall();
  line.running = true;
  NotifyChanged();
  SetSubStep(line.title);
}

void BuildRun::CompleteStep(int n) {
  StepLine& line = status_.steps[n - 1];
  SetSubStep(line.title + " completed");
  line.running = false;
  line.mark = StepMark::Done;
  NotifyChanged();
}

void BuildRun::SkipStep(int n) {
  StepLine& line = status_.steps[n - 1];
  log_.Line("Step " + std::to_string(n) + " skipped: " + line.title);
  line.mark = StepMark::Skipped;
  NotifyChanged();
}

// --- programs started without waiting ---

void BuildRun::ASyncShell(const std::vector<std::string>& argv) {
  ASyncApp = launcher_.NewChild();
  asyncOutput_.clear();
  ASyncApp->DataReceived = [this](const std::string& text) {
    asyncOutput_ += text;
    if (asyncOutput_.size() > 8192) asyncOutput_.erase(0, asyncOutput_.size() - 8192);
    if (ToolOutput) ToolOutput(text);
  };
  ASyncApp->ProcessEnded = [this] { ASyncApp_ProcessEnded(); };
  if (argv.empty() || !ASyncApp->Start(argv, programFolder_)) {
    std::string program = argv.empty() ? std::string() : argv[0];
    std::string why = ASyncApp->Error();
    prompter_.MsgBox(Message{"There appears to be a problem in your installation, try to manually reinstall " +
                                 program + (why.empty() ? "" : " (" + why + ")"),
                             "Critical Error", Icon::Critical, Buttons::OK, 1410, std::nullopt});
    ASyncAppRunning = false;
    Fail(program + " cannot be started" + (why.empty() ? "" : ": " + why));
    return;
  }
  ASyncAppRunning = true;
}

void BuildRun::WaitForASyncApp() {
  bool ended = false;
  while (ASyncAppRunning) {
    if (ASyncApp) ASyncApp->Poll(std::chrono::milliseconds(20));
    sink_.PumpEvents();
    CheckStopRequest();
    // Cancel (the window's button, or a stop) ends the tool at once, with
    // what it started (its driver window too): the step starts nothing more.
    if (CancelCopy && !ended && ASyncApp && ASyncApp->Running()) {
      ended = true;
      Diagnostic("cancelled: ending the running tool");
      ASyncApp->Kill();
    }
  }
}

// --- the run ---

void BuildRun::Run() {
  if (Finished || running_) return;
  // Refused like a page check: a build that was asked for reproducible dates
  // and cannot give them does not start.
  if (const std::string problem = SourceDateEpochProblem(environment); !problem.empty()) {
    prompter_.MsgBox(
        Message{"The CD cannot be built: " + problem + ".", "Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    return;
  }
  // The ISO's path, made absolute once: the run, its outcome and the
  // mastering step all name the same file.
  isoPath_ = AbsoluteIsoPath(settings.Main.ISOLocation);
  if (!LockProgramFolder()) return;
  events_->RunStarted();

  running_ = true;
  isoInPlace_ = false;
  outcome_ = BuildOutcome{};
  outcome_.isoPath = isoPath_;
  StartOverall();
  StartLog();
  RemoveUnfinishedImage(previousLock_, log_);
  StoreAnswerRecords();
  currentStep_ = 0;
  FinishApp();
  running_ = false;
  // The end has nothing to cancel.
  events_->CancelAllowed(false);
  SettleOutcome();
  if (outcome_.Made()) {
    overall_.EnterStep(5);
    overall_.SetStepFraction(1.0);
    UpdateOverall();
  }
  log_.Line(outcome_.Summary());
  log_.Close();
  buildLock_.Note("");
  buildLock_.Release();

  Finished = true;
  events_->RunEnded();
  NotifyChanged();
}

void BuildRun::StartOverall() {
  // What the rescue step weighs depends on whether a kept system is reused.
  int64_t rescueBytes = 0;
  if (On(settings.Main.LinuxRescue)) {
    std::string error;
    const RescueRecipe recipe = ProgramFolderRecipe(programFolder_, settings.LinuxRescue.Mirror, &error);
    rescueBytes = error.empty() ? KeptRescueSystemSize(programFolder_, recipe) : 0;
  }
  overall_ = OverallProgress(PlanBuildWork(settings, programFolder_, rescueBytes,
                                           CopiesSources() ? SourceFolders::Copied : SourceFolders::Mapped));
  started_ = MonotonicSeconds();
  overall_.EnterStep(0);
  status_.overall.shown = true;
  UpdateOverall();
}

void BuildRun::StartLog() {
  std::string error;
  if (!log_.Open(InProgram(kBuildLogName), &error)) {
    // The build does not depend on its log; the console and the finish page
    // say where it would have been.
    Diagnostic(error);
    return;
  }
  // The product keys are the user's: the log shows them masked. (The CD's
  // own menu entry still shows the key it stored.)
  for (const KeyParts* key :
       {&settings.Win2K_Info.ProductKey, &settings.Win9x_Info.ProductKey, &settings.Win10_Info.ProductKey})
    if (HasProductKey(*key)) log_.Mask(JoinProductKey(*key), MaskedProductKey(*key));
  log_.Line("Building the CD in " + programFolder_);
  log_.Line("ISO image: " + outcome_.isoPath);
  log_.Line("Boot-menu password: " + std::string(password.Protect ? "asked" : "none"));
  log_.Line("Settings:\n" + KivCdIniText(settings));
}

void BuildRun::Prepare_CDDir() {
  const std::string work = InProgram("kivcd");
  const std::string tmpl = ResolvePath(InProgram("files\\kivcd"));
  grafts.Reset(work);
  std::string error;
  if (!DeleteTree(work)) {
    const std::string text = "The work folder \"" + work + "\" could not be removed, operation halted";
    prompter_.MsgBox(Message{text, "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    Fail(text);
    return;
  }
  if (!FolderExists(tmpl) || !CopyFolder(tmpl, work, &error)) {
    const std::string text = "The CD template \"" + tmpl + "\" could not be copied to \"" + work + "\"" +
                             (error.empty() ? "" : " (" + error + ")") + ", operation halted";
    prompter_.MsgBox(Message{text, "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    Fail(text);
    return;
  }
  const std::string tag = JoinPath(work, kCdTagFile);
  std::error_code writeError;
  if (!WriteFileAtomic(tag, "Kiv Rescue CD\r\n", &writeError)) {
    const std::string text = "The CD's tag file \"" + tag + "\" could not be written (" +
                             WriteFailureCause(writeError) + "), operation halted";
    prompter_.MsgBox(Message{text, "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    Fail(text);
  }
}

void BuildRun::CancelApp() {
  Finished = true;
  CancelCopy = true;
  // A step that failed ends the run here too; its heading says so, and the
  // page's reason names the cause. Only Cancel (or a stop) is a cancel.
  status_.heading = outcome_.kind == BuildOutcome::Kind::Failed ? "   Operation failed" : "   Operation canceled";
  // Nothing is left to cancel; Finish ends the session.
  events_->CancelAllowed(false);
  events_->FinishAllowed(true);
  events_->RunCancelled();
  NotifyChanged();
  // The image is mastered under a temporary name, so ending the mastering
  // tool loses nothing: its end notification removes the piece it wrote.
  if (MKISOFSRunning && LaunchApp && LaunchApp->Running()) LaunchApp->Kill();
}

void BuildRun::StoreAnswerRecords() {
  // keyfile.txt, which bootsmith and WINNT.SIF read, is made from keyfile2.txt:
  // it gets the answers of these settings, also when no dialog was shown in
  // this session (keyfile2.txt is gone after a cleaned session, and --build
  // shows none).
  const std::string keyFile2 = InProgram(kKeyFile2);
  if (WriteWin2KKeyFile(keyFile2, settings.Win2K_Info, /*upperCaseKey=*/true) &&
      WriteWin9xKeyFile(keyFile2, settings.Win9x_Info, /*upperCaseKey=*/true))
    return;
  prompter_.Inform("The Windows installation info could not be saved to \"" + keyFile2 + "\".", "Error",
                   Icon::Exclamation);
}

void BuildRun::NoteMastering(const std::string& partPath) { buildLock_.Note(kMasteringNote + partPath); }

bool BuildRun::LockProgramFolder() {
  const std::string lockFile = InProgram(kCdBuildLock);
  if (buildLock_.Acquire(lockFile, &previousLock_)) return true;
  std::string holder;
  ReadWholeFile(lockFile, holder);
  holder = Trim(holder.substr(0, holder.find_first_of("\r\n")));
  std::string text = "Another CD build is running in this program folder";
  if (!holder.empty()) text += " (process " + holder + ")";
  if (!buildLock_.Error().empty()) text = "The lock file " + lockFile + " cannot be used (" + buildLock_.Error() + ")";
  text += "; this build does not start.";
  prompter_.MsgBox(Message{text, "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
  outcome_ = BuildOutcome{};
  outcome_.isoPath = isoPath_;
  outcome_.kind = BuildOutcome::Kind::Failed;
  outcome_.reason = text;
  CancelApp();
  return false;
}

void BuildRun::SettleOutcome() {
  if (outcome_.kind == BuildOutcome::Kind::Failed) return;
  if (CancelCopy) {
    outcome_.kind = BuildOutcome::Kind::Cancelled;
    return;
  }
  // Every step passed: the ISO step has checked that this run wrote the file.
  std::error_code ec;
  const auto size = std::filesystem::file_size(outcome_.isoPath, ec);
  if (ec) {
    outcome_.kind = BuildOutcome::Kind::Failed;
    outcome_.step = 5;
    outcome_.reason = "the ISO image " + outcome_.isoPath + " is not there after the run";
    return;
  }
  outcome_.kind = BuildOutcome::Kind::Made;
  outcome_.isoSize = static_cast<int64_t>(size);
  outcome_.note = MediumWarning(outcome_.isoSize);
}

void BuildRun::FinishApp() {
  const SessionSettings& s = settings;

  SetSubStep("Cleaning previous sessions workspace");
  Prepare_CDDir();
  CheckStopRequest();
  if (CancelCopy) return;
  events_->FinishAllowed(false);

  AnnounceStep(1);
  AddDisks(*this, AddDisksOptions{On(s.BootDisks.Use_LorvaPlus), On(s.BootDisks.AcceptDrivers), On(s.Main.Windows9x),
                                  On(s.Win9x_Info.In_SetupWin)});
  if (CancelCopy) return;
  CompleteStep(1);

  // Step line 2 holds the Windows setups the CD gets.
  status_.steps[1].title = WindowsStepTitle(On(s.Main.Windows2K), On(s.Main.Windows10));
  if (On(s.Main.Windows2K) || On(s.Main.Windows10)) AnnounceStep(2);
  if (On(s.Main.Windows2K)) {
    Win2KOptions w;
    w.Source = s.Win2K_Info.SourceDir;
    w.DelTreeLang = On(s.Win2K_Info.DelLangFiles);
    w.SP_exe = s.Win2K_Info.SP_exe;
    // Only a key that was typed is stored: an empty one leaves the menu alone.
    if (On(s.Win2K_Info.In_SetupWin) && HasProductKey(s.Win2K_Info.ProductKey)) w.ProductKey = s.Win2K_Info.ProductKey;
    w.AddInfo_toUnattend = On(s.Win2K_Info.In_Unattend);
    AddWin2K(*this, w);
    if (CancelCopy) return;
  }
  if (On(s.Main.Windows10)) {
    inWindows10_ = true;
    AddWin10(*this, Win10Options{s.Win10_Info.SourceDir, s.Win10_Info});
    inWindows10_ = false;
    if (CancelCopy) return;
  }
  if (On(s.Main.Windows2K) || On(s.Main.Windows10)) CompleteStep(2);
  else SkipStep(2);

  if (On(s.Main.Windows9x)) {
    AnnounceStep(3);
    AddWin9x(*this, s.Win9x_Info.SourceDir, On(s.Win9x_Info.In_MSBATCH));
    if (CancelCopy) return;
    CompleteStep(3);
  } else {
    SkipStep(3);
  }

  AnnounceStep(4);
  if (On(s.Main.AdvancedTools))
    AddAdvTools(*this, On(s.AdvTools.Add_ERDCmdr), On(s.AdvTools.Add_BlueCon), s.AdvTools.ERDCmdr_Dir,
                s.AdvTools.BlueCon_Dir);
  if (CancelCopy) return;
  AddKiv_Files(*this, On(s.Locations.kivUtils), On(s.Locations.AddFiles), s.Locations.kivUtils_Dir,
               s.Locations.AddFiles_Dir);
  if (CancelCopy) return;
  // After the user's files: what stands in /live is the build's own.
  if (On(s.Main.LinuxRescue)) AddRescueSystem(*this, s.LinuxRescue.Mirror);
  if (CancelCopy) return;
  if (password.Protect) AddBootPassword(*this, password.Password, password.Confirmation);
  if (CancelCopy) return;
  WriteBootMenu(*this);
  if (CancelCopy) return;
  CompleteStep(4);

  AnnounceStep(5);
  StartMKISOFS(*this, isoPath_, On(s.Main.OptimizeISO));
  while (MKISOFSRunning) {
    if (LaunchApp) LaunchApp->Poll(std::chrono::milliseconds(20));
    sink_.PumpEvents();
  }
  LaunchApp.reset();
  if (CancelCopy) return;
  // A failed mastering keeps its step line bold and unmarked; the finish
  // page and the outcome say why.
  if (outcome_.kind != BuildOutcome::Kind::Failed) CompleteStep(5);

  if (On(s.Main.CleanSession)) {
    status_.subStepStressed = true;
    SetSubStep("Cleaning session temperary data");
    DeleteTree(InProgram("kivcd"));
    std::string keyFile2 = InProgram("keyfile2.txt");
    if (FileExists(keyFile2)) std::remove(keyFile2.c_str());
  }
  events_->FinishAllowed(true);
}

}  // namespace kiv
