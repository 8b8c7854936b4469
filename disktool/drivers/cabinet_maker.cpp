#include "disktool/drivers/cabinet_maker.h"

#include <cstdio>
#include <string>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/workspace/floppy_workspace.h"

namespace kiv {

CabinetMaker::CabinetMaker(const FloppyWorkspace& workspace)
    : workspace_(workspace), cabarc_(workspace.ProgramFolder(), workspace.launcher()) {}

bool CabinetMaker::MakeCab(std::string& Name, std::string& SourceFolder, std::string& CabFolder) {
  if (CabFolder.empty() || (CabFolder.back() != '\\' && CabFolder.back() != '/')) CabFolder += "\\";
  MakePath(workspace_.Resolve(CabFolder));
  // A cabinet left from an earlier run must not pass for the new one.
  const std::string cab = workspace_.Resolve(CabFolder + Name + ".cab");
  if (FileExists(cab)) std::remove(cab.c_str());

  // The staged folder may exist in another letter case than the data names it.
  const std::string source = workspace_.Resolve(SourceFolder);
  const std::string prefix = AddSlash(workspace_.ProgramFolder());
  const std::string relativeSource =
      source.compare(0, prefix.size(), prefix) == 0 ? source.substr(prefix.size()) : SourceFolder;
  const std::string cabFolderRelative = [&] {
    const std::string full = AddSlash(workspace_.Resolve(CabFolder));
    return full.compare(0, prefix.size(), prefix) == 0 ? full.substr(prefix.size()) : CabFolder;
  }();
  // The tool runs hidden: what it prints is kept, and shown only in the
  // message when the cabinet is missing.
  const bool stoppedBefore = workspace_.Stopped();
  const RunResult run = cabarc_.Pack(Name, relativeSource, cabFolderRelative, [this] { workspace_.Pump(); });

  if (FileExists(ResolvePath(cab))) return true;
  // Cancelled while the tool ran (a stop request): nothing failed on its own.
  if (workspace_.Stopped() && !stoppedBefore) return false;
  const std::string said = RunOutputForMessage(run);
  workspace_.prompter().MsgBox(Message{"The Cabinet " + Name +
                                           ".cab could not be created \r\n\r\nThe Kiv Disk Builder Can't Continue !" +
                                           (said.empty() ? std::string() : "\r\n\r\n" + said),
                                       "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
  return false;
}

}  // namespace kiv
