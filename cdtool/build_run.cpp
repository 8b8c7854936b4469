#include "cdtool/build_run.h"

#include <chrono>
#include <cstdio>

#include "cdtool/add_disks.h"
#include "cdtool/add_win2k.h"
#include "cdtool/add_win9x.h"
#include "cdtool/adv_tools.h"
#include "cdtool/boot_menu_edits.h"
#include "cdtool/boot_menu_step.h"
#include "cdtool/iso_step.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/progress_copy.h"
#include "common/prompter.h"
#include "common/stop_request.h"

namespace kiv {

BuildRun::BuildRun(std::string programFolder, Prompter& prompter, WizardFrame& frame)
    : programFolder_(std::move(programFolder)), prompter_(prompter), frame_(frame) {}

BuildRun::~BuildRun() = default;

std::string BuildRun::InProgram(const std::string& relative) const {
  return JoinPath(programFolder_, NativePath(relative));
}

void BuildRun::NotifyChanged() {
  if (Changed) Changed();
}

// --- the progress sink over LblSub_Step and BarSub_Step ---

void BuildRun::Sink::SetCaption(const std::string& text) {
  run_.page10.LblSub_Step = text;
  if (run_.view_) run_.view_->SetCaption(text);
  run_.NotifyChanged();
}

void BuildRun::Sink::SetMaximum(int64_t max) {
  run_.page10.BarSub_StepMax = max;
  if (run_.view_) run_.view_->SetMaximum(max);
  run_.NotifyChanged();
}

void BuildRun::Sink::SetValue(int64_t value) {
  run_.page10.BarSub_StepValue = value;
  if (run_.view_) run_.view_->SetValue(value);
  run_.NotifyChanged();
}

void BuildRun::Sink::SetBarVisible(bool visible) {
  run_.page10.BarSub_StepVisible = visible;
  if (run_.view_) run_.view_->SetBarVisible(visible);
  run_.NotifyChanged();
}

void BuildRun::Sink::PumpEvents() {
  if (run_.view_) run_.view_->PumpEvents();
  run_.CheckStopRequest();
}

// --- failures and stops ---

void BuildRun::FatalStepError(const std::string& text, const std::string& reason, int helpTopic) {
  if (CancelCopy) {
    if (!reason.empty()) Diagnostic(reason);
    return;
  }
  prompter_.MsgBox(Message{reason.empty() ? text : text + "\r\n\r\n" + reason, "Fatal Error", Icon::Critical,
                           Buttons::OK, helpTopic, std::nullopt});
  CancelApp();
}

void BuildRun::CopyTree(const std::string& source, const std::string& destination) {
  std::string cause, at;
  if (CopyPathWithProgress(source, destination, sink_, prompter_, kProgramTitle, &cause, &at)) return;
  if (cause.empty()) return;  // nothing to copy
  throw StepFailure("Copying \"" + source + "\" to \"" + destination + "\" failed at \"" + (at.empty() ? source : at) +
                    "\": " + cause);
}

void BuildRun::CheckStopRequest() {
  if (stopped_ || !StopRequested()) return;
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
    page9.LblAbortVisible = false;
  }
  if (!CancelCopy) CancelApp();
}

// --- step lines ---

void BuildRun::AnnounceStep(int n) {
  page10.LblMsgBold[n - 1] = true;
  NotifyChanged();
  SetSubStep(page10.LblMsg[n - 1]);
}

void BuildRun::CompleteStep(int n) {
  SetSubStep(page10.LblMsg[n - 1] + " completed");
  page10.LblMsgBold[n - 1] = false;
  page10.LblRight[n - 1] = kCheckMark;
  NotifyChanged();
}

void BuildRun::SkipStep(int n) {
  page10.LblRight[n - 1] = kCrossMark;
  NotifyChanged();
}

// --- programs started without waiting ---

void BuildRun::ASyncShell(const std::vector<std::string>& argv) {
  ASyncApp = std::make_unique<AsyncProcess>();
  ASyncApp->DataReceived = [this](const std::string& text) {
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
    CancelApp();
    return;
  }
  ASyncAppRunning = true;
}

void BuildRun::WaitForASyncApp() {
  while (ASyncAppRunning) {
    if (ASyncApp) ASyncApp->Poll(std::chrono::milliseconds(20));
    sink_.PumpEvents();
  }
}

// --- the run ---

void BuildRun::CmdFinish_Click() {
  if (Finished) {
    if (running_) {
      // Pressed after a Cancel while a step is still finishing its work: the
      // settings are saved and the program ends once the run has unwound.
      endRequested_ = true;
      return;
    }
    frame_.WriteKivCDINI();
    frame_.EndProgram();
    return;
  }
  if (running_) return;
  frame_.SetBackEnabled(false);
  frame_.SetFinishEnabled(true);
  frame_.ShowPage(10);
  frame_.ShowHelp(10, false);

  running_ = true;
  FinishApp();
  running_ = false;

  Finished = true;
  frame_.ShowPage(9);
  frame_.ShowHelp(9, false);
  NotifyChanged();
  if (endRequested_) {
    frame_.WriteKivCDINI();
    frame_.EndProgram();
  }
}

void BuildRun::Prepare_CDDir() {
  const std::string work = InProgram("kivcd");
  const std::string tmpl = ResolvePath(InProgram("files\\kivcd"));
  std::string error;
  if (!DeleteTree(work)) {
    prompter_.MsgBox(Message{"The work folder \"" + work + "\" could not be removed, operation halted",
                             "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    CancelApp();
    return;
  }
  if (!FolderExists(tmpl) || !CopyFolder(tmpl, work, &error)) {
    prompter_.MsgBox(Message{"The CD template \"" + tmpl + "\" could not be copied to \"" + work + "\"" +
                                 (error.empty() ? "" : " (" + error + ")") + ", operation halted",
                             "Critical Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
    CancelApp();
  }
}

void BuildRun::CancelApp() {
  Finished = true;
  CancelCopy = true;
  page9.LblFinish = "   Operation canceled";
  frame_.SetNextVisible(false);
  frame_.SetFinishVisible(true);
  frame_.SetBackEnabled(false);
  frame_.SetCancelEnabled(false);
  frame_.SetFinishEnabled(true);
  frame_.ShowPage(9);
  frame_.ShowHelp(10, false);
  NotifyChanged();
}

void BuildRun::FinishApp() {
  const BuildSettings& s = settings;

  SetSubStep("Cleaning previous sessions workspace");
  Prepare_CDDir();
  CheckStopRequest();
  if (CancelCopy) return;
  frame_.SetFinishEnabled(false);

  AnnounceStep(1);
  AddDisks(*this, s.ChkGet_kivnetplus, s.ChkSelectDrivers, s.ChkGet_Win9x, s.ChkWin9xInfo_Assis, true);
  if (CancelCopy) return;
  CompleteStep(1);

  if (s.ChkGet_Win2k) {
    AnnounceStep(2);
    AddWin2K(*this, s.Txt_i386_Loc, "I386", s.ChkDelTree_Lang, s.ChkSlipstream ? s.TxtSP_exe : std::string(),
             std::string(), s.ChkWin2KInfo_Assis, s.Win2KProductKey, s.ChkWin2KInfo_Unattend);
    if (CancelCopy) return;
    CompleteStep(2);
  } else {
    SkipStep(2);
  }

  if (s.ChkGet_Win9x) {
    AnnounceStep(3);
    AddWin9x(*this, s.TxtWin9x_Loc, s.ChkWin9xInfo_MSBatch);
    if (CancelCopy) return;
    CompleteStep(3);
  } else {
    SkipStep(3);
  }

  AnnounceStep(4);
  if (s.ChkGet_Advtools) AddAdvTools(*this, s.ChkERDC, s.ChkBCon, s.TxtERDC, s.TxtBCon);
  if (CancelCopy) return;
  AddKiv_Files(*this, s.ChkKivUtils, s.ChkAddFiles, s.TxtUtils_Loc, s.TxtAddFiles_Loc);
  if (CancelCopy) return;
  if (s.ChkPassProtect) AddBootPassword(*this, s.TxtPass1, s.TxtPass2);
  if (CancelCopy) return;
  WriteBootMenu(*this);
  if (CancelCopy) return;
  CompleteStep(4);

  AnnounceStep(5);
  StartMKISOFS(*this, s.TxtISOLoc, s.ChkOptimizeISO);
  while (MKISOFSRunning) {
    if (LaunchApp) LaunchApp->Poll(std::chrono::milliseconds(20));
    sink_.PumpEvents();
  }
  LaunchApp.reset();
  if (CancelCopy) return;
  CompleteStep(5);

  if (s.ChkCleanSession) {
    page10.LblSub_StepBold = true;
    SetSubStep("Cleaning session temperary data");
    DeleteTree(InProgram("kivcd"));
    std::string keyFile2 = InProgram("keyfile2.txt");
    if (FileExists(keyFile2)) std::remove(keyFile2.c_str());
  }
  frame_.SetFinishEnabled(true);
}

}  // namespace kiv
