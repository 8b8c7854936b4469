#include "cdtool/headless_build.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "cdtool/build_run.h"
#include "cdtool/form_build.h"
#include "cdtool/frm_cd_build.h"
#include "cdtool/iso_step.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/prompter.h"
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
    const std::string& mark = run.page10.LblRight[i];
    const bool bold = run.page10.LblMsgBold[i];
    if (bold && !shownBold_[i])
      std::fprintf(out_, "[%d/5] %s\n", i + 1, run.page10.LblMsg[i].c_str());
    if (mark != shownMarks_[i] && !mark.empty())
      std::fprintf(out_, "[%d/5] %s %s%s\n", i + 1, mark.c_str(), run.page10.LblMsg[i].c_str(),
                   mark == kCrossMark ? " (skipped)" : "");
    shownBold_[i] = bold;
    shownMarks_[i] = mark;
  }
  std::fflush(out_);
}

int RunHeadlessBuild(int argc, char** argv) {
  for (int i = 2; i < argc; ++i)
    std::fprintf(stderr, "discsmith: argument \"%s\" ignored: --build takes none\n", argv[i]);
  // Programs started from here (bootsmith) must not open windows either.
  ::setenv("KIVCD_UI", "console", 1);
  // Ctrl-C or SIGTERM is a Cancel: the running tool is ended and its partial
  // output removed (see BuildRun::CheckStopRequest).
  InstallStopSignals();

  Platform& platform = CurrentPlatform();
  const std::string programFolder = platform.ProgramFolder();
  ConsolePrompter prompter;
  FrmCDBuild form(programFolder, prompter, platform);
  const std::string settings = form.SettingsPath();
  if (!FileExists(settings))
    std::fprintf(stderr, "discsmith: no settings file \"%s\": building with the wizard's defaults\n",
                 settings.c_str());
  form.Form_Load();

  // The boot-menu password is never stored in the settings file; a build
  // without the wizard takes it from the environment.
  if (const char* password = std::getenv("KIVCD_PASSWORD"); password && *password) {
    form.SetCheck(form.ChkPassProtect, 1);
    form.TxtPass1.Text = password;
    form.TxtPass2.Text = password;
  }

  // The page checks, exactly as Next makes them page by page.
  for (int guard = 0; form.Step < FrmCDBuild::kLastWizardPage && guard < 32; ++guard) {
    const int before = form.Step;
    form.CmdNext_Click();
    if (form.Step <= before) {
      std::fprintf(stderr, "discsmith: the settings do not pass the check of wizard page %d; nothing built\n",
                   before);
      return 1;
    }
  }

  ConsoleBuildView view(stdout);
  auto build = std::make_shared<FormBuild>(form);
  form.ActiveBuild = build;
  BuildRun& run = build->run;
  run.SetView(&view);
  run.Changed = [&] {
    MirrorBuildToForm(run, form);
    view.StepLinesChanged(run);
  };
  run.ToolOutput = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  run.OnDiagnostic = [](const std::string& text) { std::fprintf(stderr, "discsmith: %s\n", text.c_str()); };

  std::printf("discsmith: building the CD in %s\n", programFolder.c_str());
  std::fflush(stdout);
  RunFormBuild(form);

  const std::string iso = AbsoluteIsoPath(run.settings.TxtISOLoc);
  std::printf("%s\n", Trim(run.page9.LblFinish).c_str());
  if (run.page9.LblAbortVisible) std::printf("%s\n", run.page9.LblAbort.c_str());
  const bool made = !run.CancelCopy && !run.page9.LblAbortVisible && FileExists(iso);
  if (made) std::printf("ISO image: %s\n", iso.c_str());
  std::fflush(stdout);
  return made ? 0 : 1;
}

}  // namespace kiv
