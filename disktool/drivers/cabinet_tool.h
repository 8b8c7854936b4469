#pragma once
// The outside archiver cabarc of the program folder: packing a staged folder
// into a cabinet and extracting members of one. It always runs in the program
// folder (paths are given relative to it) and hidden, through the launcher
// the form was given.
#include <functional>
#include <string>
#include <vector>

#include "common/process_runner.h"

namespace kiv {

// The tool's pack call: the argv that runs for a cabinet <CabFolder><Name>.cab
// made from <SourceFolder> (paths relative to the program folder, native
// separators), and the Windows command-line text of the same call. Nothing
// here calls the latter: a Windows back end starts the tool with that one line
// (a Windows process takes a single command line), so it stays, tested
// against its text.
std::vector<std::string> MakeCabArgv(const std::string& cabarc, const std::string& Name,
                                     const std::string& SourceFolder, const std::string& CabFolder);
std::string MakeCabCommandLine(const std::string& programFolder, const std::string& Name,
                               const std::string& SourceFolder, const std::string& CabFolder);

class CabinetTool {
 public:
  CabinetTool(std::string programFolder, ProcessLauncher& launcher);

  // <program folder>/cabarc (cabarc.exe on Windows).
  std::string ToolPath() const;
  // Packs <relativeSource> into <relativeCabFolder><Name>.cab (MakeCabArgv);
  // what the tool printed is kept in the result.
  RunResult Pack(const std::string& Name, const std::string& relativeSource, const std::string& relativeCabFolder,
                 const std::function<void()>& pump) const;
  // Extracts the members of `relativeCab` matching `pattern` into the program
  // folder; what the tool printed is kept in the result.
  RunResult Extract(const std::string& relativeCab, const std::string& pattern,
                    const std::function<void()>& pump) const;

 private:
  RunOptions Options(const std::function<void()>& pump) const;
  std::string programFolder_;
  ProcessLauncher& launcher_;
};

}  // namespace kiv
