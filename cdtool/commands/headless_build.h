#pragma once
// `discsmith --build`: the build run of the saved settings without the
// wizard window. Loads kivcd.ini from the program folder into the wizard
// model, makes the same page checks Next makes (a failing check prints its
// message and ends the run), then runs the build with a console progress
// display: one line per step and sub-step, percentages as they arrive.
// Messages go to stderr; nothing is asked that cannot be answered.
// Exit status 0 only when the ISO was made and the run was not aborted.
// Ctrl-C or SIGTERM cancels the run as Cancel does and also ends the
// running tool; the partial ISO goes, the exit status is 1.
#include <chrono>
#include <cstdio>
#include <string>

#include "cdtool/build/build_events.h"
#include "common/progress_sink.h"

namespace kiv {

struct BuildContext;

// Prints a progress display as lines: each new caption, and the bar as whole
// percentages (each once).
class ConsoleProgress : public ProgressSink {
 public:
  explicit ConsoleProgress(std::FILE* out) : out_(out) {}
  void SetCaption(const std::string& text) override;
  void SetMaximum(int64_t max) override;
  void SetValue(int64_t value) override;
  int64_t Value() const override { return value_; }
  int64_t Maximum() const override { return max_; }
  void SetBarVisible(bool visible) override;
  bool BarVisible() const override { return visible_; }
  void SetCancelEnabled(bool) override {}
  void PumpEvents() override {}

 private:
  void PrintPercent();
  std::FILE* out_;
  int64_t max_ = 100, value_ = 0;
  bool visible_ = false;
  int lastPercent_ = -1;
  std::string lastCaption_;
};

// Prints what the build run shows: step lines as they start, end or are
// skipped, sub-step captions and their bar (as ConsoleProgress does), and
// the whole build's progress now and then.
class ConsoleBuildView : public BuildEvents {
 public:
  explicit ConsoleBuildView(std::FILE* out) : out_(out), lines_(out) {}
  void Progressed(const BuildStatus& status) override;

 private:
  void StepLinesChanged(const BuildStatus& status);
  std::FILE* out_;
  ConsoleProgress lines_;
  BuildStatus shown_;
  std::string shownOverall_;
  std::chrono::steady_clock::time_point lastOverall_;
  bool overallShown_ = false;
};

// The context's environment is what the program was started with:
// KIVCD_PASSWORD (the boot-menu password, which the settings file never
// holds), SOURCE_DATE_EPOCH and HOME are read from it. The programs of the
// build (bootsmith, the mastering tool) are started through its launcher;
// its platform gives the program folder, the clock and the random bytes.
int RunHeadlessBuild(int argc, char** argv, const BuildContext& buildContext);

}  // namespace kiv
