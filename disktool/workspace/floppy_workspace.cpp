#include "disktool/workspace/floppy_workspace.h"

#include <utility>

#include "common/paths.h"
#include "common/progress_sink.h"

namespace kiv {

FloppyWorkspace::FloppyWorkspace(std::string programFolder, Prompter& prompter, ProgressSink& progress,
                                 const BuildContext& context)
    : programFolder_(std::move(programFolder)),
      prompter_(prompter),
      progress_(progress),
      launcher_(context.launcher),
      platform_(&context.platform),
      environment_(context.environment) {}

std::string FloppyWorkspace::Resolve(const std::string& relative) const {
  return ResolvePathPrefix(JoinPath(programFolder_, NativePath(relative)));
}

std::string FloppyWorkspace::ToolPath(const std::string& tool) const {
#ifdef _WIN32
  return JoinPath(programFolder_, tool + ".exe");
#else
  return JoinPath(programFolder_, tool);
#endif
}

void FloppyWorkspace::Notify() const {
  if (changed) changed();
  progress_.PumpEvents();
}

void FloppyWorkspace::Pump() const { progress_.PumpEvents(); }

}  // namespace kiv
