#pragma once
// What every part of a floppy build works with: the program folder that holds
// the data files and receives the work files, and the outside world - the
// user (prompter), the progress display, the outside programs (launcher), the
// system (platform) and the variables the program was started with. The
// parts (floppy tree, driver set, setup modules, image output) share one;
// none of them reaches for anything else.
#include <functional>
#include <string>

#include "common/build_context.h"
#include "common/environment.h"

namespace kiv {

class Platform;
class Prompter;
class ProgressSink;
class ProcessLauncher;

class FloppyWorkspace {
 public:
  FloppyWorkspace(std::string programFolder, Prompter& prompter, ProgressSink& progress, const BuildContext& context);

  const std::string& ProgramFolder() const { return programFolder_; }
  // Native full path of a program-folder-relative data path ("files\x" ->
  // <program folder>/files/x), existing components found in any letter case.
  std::string Resolve(const std::string& relative) const;
  // The program folder path of an outside tool ("cabarc", "bfi").
  std::string ToolPath(const std::string& tool) const;

  Prompter& prompter() const { return prompter_; }
  ProgressSink& progress() const { return progress_; }
  ProcessLauncher& launcher() const { return launcher_; }
  // The system's services this build uses, its clock and random bytes too.
  const Platform& platform() const { return *platform_; }
  void SetPlatform(const Platform& platform) { platform_ = &platform; }
  // The variables the program was started with: the floppy device
  // (KIV_FLOPPY_DEVICE) and the fixed date of a reproducible build
  // (SOURCE_DATE_EPOCH).
  const Environment& environment() const { return environment_; }

  // A part changed what a view shows (a status text, a list, a stage mark):
  // the view repaints, then events are pumped so a click on Cancel is seen.
  void Notify() const;
  // Lets the window breathe while a tool runs or a list is read.
  void Pump() const;
  // True once the build was stopped (Cancel clicked while a step ran). A part
  // that sees its tool fail after a stop says nothing: nothing failed on its
  // own.
  bool Stopped() const { return stopped && stopped(); }

  // Set once by the builder that owns the workspace.
  std::function<void()> changed;
  std::function<bool()> stopped;

 private:
  std::string programFolder_;
  Prompter& prompter_;
  ProgressSink& progress_;
  ProcessLauncher& launcher_;
  const Platform* platform_;
  Environment environment_;
};

}  // namespace kiv
