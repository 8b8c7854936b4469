#include "disktool/drivers/cabinet_tool.h"

#include "common/paths.h"

namespace kiv {

// argv of the cabarc call for a cabinet <CabFolder><Name>.cab made from
// <SourceFolder>, paths relative to the program folder (the working folder).
std::vector<std::string> MakeCabArgv(const std::string& cabarc, const std::string& Name,
                                     const std::string& SourceFolder, const std::string& CabFolder) {
  const std::string source = NativePath(SourceFolder);
  return {cabarc,
          "-m",
          "LZX:21",
          "-p",
          "-r",
          "-P",
          AddSlash(source),
          "n",
          NativePath(CabFolder + Name + ".cab"),
          JoinPath(source, "*.*")};
}

std::string MakeCabCommandLine(const std::string& programFolder, const std::string& Name,
                               const std::string& SourceFolder, const std::string& CabFolder) {
  const std::string source = WindowsPath(SourceFolder);
  return WindowsPath(programFolder) + "\\cabarc.exe -m LZX:21 -p -r -P " + source + "\\ n " + WindowsPath(CabFolder) +
         Name + ".cab " + source + "\\*.*";
}

CabinetTool::CabinetTool(std::string programFolder, ProcessLauncher& launcher)
    : programFolder_(std::move(programFolder)), launcher_(launcher) {}

std::string CabinetTool::ToolPath() const {
#ifdef _WIN32
  return JoinPath(programFolder_, "cabarc.exe");
#else
  return JoinPath(programFolder_, "cabarc");
#endif
}

RunOptions CabinetTool::Options(const std::function<void()>& pump) const {
  RunOptions options;
  options.workingDir = programFolder_;
  options.pump = pump;
  return options;
}

RunResult CabinetTool::Pack(const std::string& Name, const std::string& relativeSource,
                            const std::string& relativeCabFolder, const std::function<void()>& pump) const {
  return launcher_.RunAndCapture(MakeCabArgv(ToolPath(), Name, relativeSource, relativeCabFolder), Options(pump));
}

RunResult CabinetTool::Extract(const std::string& relativeCab, const std::string& pattern,
                               const std::function<void()>& pump) const {
  return launcher_.RunAndCapture({ToolPath(), "-o", "x", relativeCab, pattern}, Options(pump));
}

}  // namespace kiv
