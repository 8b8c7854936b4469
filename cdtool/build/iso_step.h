#pragma once
// Step 5 of the build run: the ISO image. Writes the makecd script into the
// program folder, runs it through the asynchronous runner (the optional
// duplicate linker, then the mastering tool), logs every output chunk to
// mkisofs.log and turns the output's key phrases into the sub-step caption and
// the bar. The end notification decides success: the ISO must be there, and
// must have been written by this run.
#include <fstream>
#include <string>

#include "cdtool/build/mkisofs_output.h"
#include "cdtool/settings/session_settings.h"

namespace kiv {

class BuildRun;

inline constexpr const char* kMakeCdScript =
#ifdef _WIN32
    "makecd.bat";
#else
    "makecd.sh";
#endif
inline constexpr const char* kMkisofsLog = "mkisofs.log";
// Beside the script: the path list that maps the sources' files and the work
// tree into the image, and the commands that date mapped files back to
// SOURCE_DATE_EPOCH (see graft_plan.h).
inline constexpr const char* kGraftPathList = "mkisofs.graft";
inline constexpr const char* kGraftDateCommands = "mkisofs.dates";
inline constexpr const char* kMkisofsLogHeader = "MkISOFS.EXE Log File";
// What the finish page says when the ISO's disk filled up.
inline constexpr const char* kOutOfSpaceNotice = "Not enough free space to complete the ISO file !!!";

// State of one ISO run, held by the build run while step 5 lasts. The image
// is mastered (and made hybrid) under a hidden temporary name beside the
// destination and renamed over it only when it is whole: a failed, cancelled
// or killed run never touches the ISO that is there, and nothing half-made
// ever carries the final name.
struct IsoRun {
  std::string isoPath;   // absolute
  std::string partPath;  // <folder>/.<name>.<pid>.part, what the tool writes
  std::string logPath;   // <program folder>/mkisofs.log, written as the output arrives
  std::ofstream log;
  std::string lastLines;       // the tail of the tool's output, for a failure's reason
  MasteringProblems problems;  // the problems the tool named, for a failure's reason
  // Why the run cannot give an image, found before the tool ended (the MBR
  // missing, the disk full); "" while nothing is wrong.
  std::string failure;
};

// The temporary name an ISO is mastered under: hidden, in the same folder (so
// the rename is atomic), unique to this process.
std::string PartialIsoPath(const std::string& isoPath);

// `isoPath` is absolute (BuildRun::IsoPath).
void StartMKISOFS(BuildRun& run, const std::string& isoPath, bool OptimizeISO);
void LaunchApp_DataReceived(BuildRun& run, const std::string& TextPipe);
void LaunchApp_ProcessEnded(BuildRun& run, int exitCode);

}  // namespace kiv
