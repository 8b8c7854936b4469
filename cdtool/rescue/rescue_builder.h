#pragma once
// Builds the CD's Linux rescue system, or reuses the one built before from
// the same recipe. The build is a transaction: mmdebstrap and the hook write
// into "rescue.new" beside the kept "rescue" folder; only a build that ended
// well and left every file takes its place. A failed or cancelled build is
// removed and the previous system stays as it was; a "rescue.new" left by a
// killed run is never reused.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cdtool/rescue/rescue_recipe.h"

namespace kiv {

class ProcessLauncher;
class ProgressSink;
class RescueProgress;

struct RescueBuildOutcome {
  enum class Kind { Reused, Built, Failed, Cancelled };
  Kind kind = Kind::Failed;
  std::string reason;  // Failed: the cause, with the tool's last lines
  std::string folder;  // the kept system (Reused, Built)
  int64_t bytes = 0;   // its kernel, initramfs and squashfs together
  // Built: how its packages differ from the system it replaced (see
  // PackageVersionChanges); empty when nothing changed or none was kept.
  std::vector<std::string> changes;
  bool Ready() const { return kind == Kind::Reused || kind == Kind::Built; }
};

// The recipe of the program folder: its package list, and `mirror` ("" for
// the machine's apt sources). `error` names the list and the line at fault.
RescueRecipe ProgramFolderRecipe(const std::string& programFolder, const std::string& mirror, std::string* error);

// The size of a kept rescue system built from `recipe`, or -1 when there is
// none or it was built from another recipe (so the next CD build builds it).
int64_t KeptRescueSystemSize(const std::string& programFolder, const RescueRecipe& recipe);

// Beside the kept system: how many seconds its build took, which is about
// what the next build of it takes (the same machine, about the same packages).
inline constexpr const char* kRescueBuildTime = "build-seconds.txt";
// That time, from whatever recipe the kept system was built; nothing when
// there is none (the first build: its time is not known).
std::optional<double> LastRescueBuildSeconds(const std::string& programFolder);

class RescueBuilder {
 public:
  RescueBuilder(std::string programFolder, ProcessLauncher& launcher, ProgressSink& progress);

  // Every line of the tools' output, and what the builder decided.
  std::function<void(const std::string&)> Log;
  // Asked between polls; true ends the running build (Cancelled).
  std::function<bool()> Cancelled;
  // The caption shown before each phase's name.
  std::string captionPrefix = "Building the Linux rescue system: ";
  // When set, the system is built even if a kept one would do, and the
  // packages it fetched are kept in this folder, which may then be named as
  // the package source of an offline build.
  std::string savePackagesTo;
  // When set, the system is built even if a kept one would do, so the
  // packages the mirror holds now (security fixes, point releases) replace
  // the ones it was built from; the outcome says which changed.
  bool update = false;
  // The clock a build is timed by, in seconds (the steady clock unless set).
  std::function<double()> Seconds;
  // Told when mmdebstrap starts, with what the last build took (see
  // LastRescueBuildSeconds), and when it has ended, however it ended.
  std::function<void(std::optional<double> lastSeconds)> Building;
  std::function<void()> BuildEnded;

  RescueBuildOutcome Ensure(const RescueRecipe& recipe);

 private:
  void Say(const std::string& line) const {
    if (Log) Log(line);
  }
  void Output(const std::string& chunk);
  RescueBuildOutcome Fail(const std::string& reason, const std::string& work);
  // Makes the index apt needs to take packages from a plain folder of .deb
  // files; the reason it could not, or "".
  std::string IndexPackageFolder(const RescueRecipe& recipe, const std::string& index);

  std::string programFolder_;
  ProcessLauncher& launcher_;
  ProgressSink& progress_;
  std::string pending_;           // output after its last line end
  std::deque<std::string> tail_;  // the last lines, for a failure's reason
  RescueProgress* parser_ = nullptr;
};

}  // namespace kiv
