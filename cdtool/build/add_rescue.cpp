#include "cdtool/build/add_rescue.h"

#include <filesystem>

#include "cdtool/build/build_run.h"
#include "cdtool/rescue/rescue_builder.h"
#include "common/file_ops.h"

namespace kiv {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFailure = "A fatal Error occured while adding the Linux rescue system, operation halted";

// `from` in place of `to`: a hard link where both lie on one file system,
// a copy otherwise. Whatever stood at `to` is unlinked first, never written
// through, so the kept system cannot be changed by what the tree held.
void LinkOrCopy(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::remove(to, ec);
  fs::create_hard_link(from, to, ec);
  if (!ec) return;
  std::string error;
  if (!CopyOneFile(from, to, &error)) throw StepFailure("copying \"" + from + "\" to \"" + to + "\" failed: " + error);
}

}  // namespace

void AddRescueSystem(BuildRun& run, const std::string& mirror) {
  try {
    run.SetSubStep("Adding the Linux rescue system (Debian)");
    std::string error;
    const RescueRecipe recipe = ProgramFolderRecipe(run.ProgramFolder(), mirror, &error);
    if (!error.empty()) throw StepFailure(error);

    RescueBuilder builder(run.ProgramFolder(), run.Launcher(), run.Progress());
    builder.Log = [&run](const std::string& line) { run.Log().Line(line); };
    builder.Seconds = run.MonotonicSeconds;
    builder.Building = [&run](std::optional<double> lastSeconds) { run.RescueBuildStarts(lastSeconds); };
    builder.BuildEnded = [&run] { run.RescueBuildEnds(); };
    builder.Cancelled = [&run] {
      run.CheckStopRequest();
      return run.CancelCopy;
    };
    const RescueBuildOutcome built = builder.Ensure(recipe);
    if (built.kind == RescueBuildOutcome::Kind::Cancelled) return;
    if (!built.Ready()) throw StepFailure(built.reason);

    const std::string live = run.InProgram(std::string("kivcd/") + kRescueCdFolder);
    if (!FolderExists(live) && !MakePath(live)) throw StepFailure("the folder " + live + " cannot be created");
    for (const char* name : {kRescueKernel, kRescueInitrd, kRescueSquashfs})
      LinkOrCopy((fs::path(built.folder) / name).string(), (fs::path(live) / name).string());
    run.Log().Line("Linux rescue system: " + std::to_string(built.bytes) + " bytes in /" + kRescueCdFolder +
                   (built.kind == RescueBuildOutcome::Kind::Reused ? " (reused)" : " (built)"));
  } catch (const std::exception& e) {
    run.FatalStepError(kFailure, e.what());
  }
}

}  // namespace kiv
