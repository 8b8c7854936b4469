// Packing one staged folder below files\ into one cabinet below cabs\ with the
// outside archiver (cabinet_tool.h), and checking that the cabinet appeared.
#include <cstdio>
#include <string>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

bool FloppyBuilder::MakeCab(std::string& Name, std::string& SourceFolder, std::string& CabFolder) {
  if (CabFolder.empty() || (CabFolder.back() != '\\' && CabFolder.back() != '/')) CabFolder += "\\";
  MakePath(Resolve(CabFolder));
  // A cabinet left from an earlier run must not pass for the new one.
  const std::string cab = Resolve(CabFolder + Name + ".cab");
  if (FileExists(cab)) std::remove(cab.c_str());

  // The staged folder may exist in another letter case than the data names it.
  const std::string source = Resolve(SourceFolder);
  const std::string prefix = AddSlash(programFolder_);
  const std::string relativeSource =
      source.compare(0, prefix.size(), prefix) == 0 ? source.substr(prefix.size()) : SourceFolder;
  const std::string cabFolderRelative = [&] {
    const std::string full = AddSlash(Resolve(CabFolder));
    return full.compare(0, prefix.size(), prefix) == 0 ? full.substr(prefix.size()) : CabFolder;
  }();
  // The tool runs hidden: what it prints is kept, and shown only in the
  // message when the cabinet is missing.
  const bool cancelledBefore = BuildCancelled;
  const RunResult run = cabarc_.Pack(Name, relativeSource, cabFolderRelative, [this] { progress_.PumpEvents(); });

  if (FileExists(ResolvePath(cab))) return true;
  // Cancelled while the tool ran (a stop request): nothing failed on its own.
  if (BuildCancelled && !cancelledBefore) return false;
  const std::string said = RunOutputForMessage(run);
  prompter_.MsgBox(Message{"The Cabinet " + Name +
                               ".cab could not be created \r\n\r\nThe Kiv Disk Builder Can't Continue !" +
                               (said.empty() ? std::string() : "\r\n\r\n" + said),
                           "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
  return false;
}

}  // namespace kiv
