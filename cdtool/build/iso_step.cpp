#include "cdtool/build/iso_step.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cdtool/build/build_run.h"
#include "cdtool/build/content_order.h"
#include "cdtool/build/graft_plan.h"
#include "cdtool/build/makecd_script.h"
#include "cdtool/build/mkisofs_output.h"
#include "cdtool/build/tree_dates.h"
#include "cdtool/usb/hybrid_iso.h"
#include "common/failure_cause.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"

namespace kiv {
namespace fs = std::filesystem;

std::string PartialIsoPath(const std::string& isoPath) {
  const fs::path iso(isoPath);
  return (iso.parent_path() / ("." + iso.filename().string() + "." + std::to_string(ProcessId()) + ".part")).string();
}

namespace {

// The last `count` non-empty lines of `text`, joined by " / ".
std::string LastLines(const std::string& text, int count) {
  std::vector<std::string> lines;
  size_t end = text.size();
  while (end > 0 && static_cast<int>(lines.size()) < count) {
    size_t start = text.find_last_of("\r\n", end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    const std::string line = Trim(text.substr(start, end - start));
    if (!line.empty()) lines.insert(lines.begin(), line);
    end = start == 0 ? 0 : start - 1;
  }
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : " / ") + line;
  return joined;
}

// The step after mastering, on the image at `partPath` that is to become
// `isoPath`, for a CD tree that carries the boot manager (without
// isolinux.bin there is nothing a stick could start, and the ISO stays as
// mastered). On failure it tells the user and gives the reason the ISO could
// not be made; "" when it was made.
std::string MakeHybridAfterMastering(BuildRun& run, const std::string& partPath, const std::string& isoPath) {
  std::error_code ec;
  if (!fs::exists(fs::path(run.InProgram("kivcd")) / kIsolinuxInTree, ec)) return "";
  run.SetSubStep("Making the ISO file bootable from a USB stick");
  std::string why = MakeIsoHybrid(partPath, run.InProgram(kIsoHybridMbr));
  if (why.empty()) return "";
  if (why.find(WriteFailureCause(std::make_error_code(std::errc::no_space_on_device))) != std::string::npos) {
    // The image was whole; what it lacked for a stick did not fit.
    run.Status().failure = kOutOfSpaceNotice;
    run.Status().outOfSpace = true;
  } else {
    run.Status().failure = "Couldn't make the ISO file bootable from a USB stick";
  }
  run.prompter().MsgBox(Message{"The ISO file cannot be made bootable from a USB stick: " + why, "Fatal Error",
                                Icon::Critical, Buttons::OK, 0, std::nullopt});
  return "the image " + isoPath + " could not be made bootable from a USB stick: " + why;
}

// The mastering tool at `tool` could not be started: why, by name.
std::string NotStartedCause(const std::string& tool, const std::string& error) {
  std::error_code ec;
  if (!fs::exists(tool, ec))
    return "the mastering tool " + tool +
           " is missing; it is a link to Debian's xorriso: install the xorriso package, then the program folder "
           "again";
  return "the mastering tool " + tool + " cannot be started (" + error + ")";
}

}  // namespace

void StartMKISOFS(BuildRun& run, const std::string& isoPath, bool OptimizeISO) {
  auto iso = std::make_unique<IsoRun>();
  iso->isoPath = isoPath;
  iso->partPath = PartialIsoPath(iso->isoPath);
  // Whatever lies there is not this run's: only what the tool writes now counts.
  std::remove(iso->partPath.c_str());
  run.NoteMastering(iso->partPath);

  // Built with SOURCE_DATE_EPOCH: no date in the tree later than it, so the
  // ISO's directory records are the same from one build to the next.
  // The files' data in path order too, wherever the tree lies on the disk.
  std::string epochError, sortList, pathList, dateCommands, listError;
  const std::optional<int64_t> epoch = SourceDateEpoch(run.environment, &epochError);
  if (epoch) {
    if (std::string why = ClampTreeDates(run.InProgram("kivcd"), *epoch); !why.empty()) run.Diagnostic(why);
  }
  // The sources' files the image maps from where they lie; duplicates led
  // to one file on the disk, which the image stores once.
  std::vector<Graft> mapped = run.grafts.Effective();
  if (OptimizeISO && !mapped.empty()) {
    run.SetSubStep("Finding duplicate files");
    mapped = ShareDuplicates(mapped, run.InProgram("kivcd"), epoch);
  }
  for (const char* name : {kGraftPathList, kGraftDateCommands}) {
    DropLinkAt(run.InProgram(name));
    std::remove(run.InProgram(name).c_str());
  }
  std::error_code writeError;
  if (!mapped.empty()) {
    if (WriteFileAtomic(run.InProgram(kGraftPathList), RenderPathList("kivcd", mapped), &writeError))
      pathList = kGraftPathList;
    else listError = CannotWriteText(run.InProgram(kGraftPathList), writeError);
    const std::string dates = epoch ? RenderDateCommands(mapped, *epoch) : std::string();
    if (!dates.empty() && WriteFileAtomic(run.InProgram(kGraftDateCommands), dates, &writeError))
      dateCommands = kGraftDateCommands;
    else if (!dates.empty()) listError = CannotWriteText(run.InProgram(kGraftDateCommands), writeError);
  }
  if (epoch) {
    std::vector<std::string> mappedPaths;
    mappedPaths.reserve(mapped.size());
    for (const Graft& g : mapped) mappedPaths.push_back(g.cdPath);
    std::string why;
    std::optional<std::string> list = SortWeightList(run.InProgram("kivcd"), &why, mappedPaths);
    if (list && DropLinkAt(run.InProgram(kSortWeightList)) && WriteFileAtomic(run.InProgram(kSortWeightList), *list))
      sortList = kSortWeightList;
    else run.Diagnostic(why.empty() ? "cannot write " + run.InProgram(kSortWeightList) : why);
  } else if (!epochError.empty()) {
    run.Diagnostic(epochError + "; the CD's dates are the build's");
  }

  const std::string script = run.InProgram(kMakeCdScript);
  std::error_code ec;
  const bool efiImage = fs::is_regular_file(fs::path(run.InProgram("kivcd")) / kEfiBootImage, ec);
  // The script is what the user reads and runs again by hand; the build
  // runs the same commands from their argument vectors, no shell between.
  // Run by hand it masters straight to the ISO location the user chose: the
  // temporary name beside it is this run's alone, and a file named after a
  // process that has ended would be found by nobody.
#ifdef _WIN32
  const std::string text = RenderMakeCdBat(ShortPath(run.ProgramFolder()), ShortPath(iso->isoPath), OptimizeISO,
                                           efiImage, sortList, pathList, dateCommands);
  const std::string exe = ".exe";
#else
  const std::string text =
      RenderMakeCdSh(run.ProgramFolder(), iso->isoPath, OptimizeISO, efiImage, sortList, pathList, dateCommands);
  const std::string exe;
#endif
  const std::vector<std::string> argv =
      MasteringArgv(run.InProgram("mkisofs" + exe), iso->partPath, efiImage, sortList, pathList, dateCommands);
  // With a UEFI image the mastering tool itself writes the stick's MBR from
  // the program folder's copy of isolinux's; said here, by name, rather than
  // as the tool's own failure to open it.
  std::string missing;
  if (efiImage && !FileExists(run.InProgram(kIsoHybridMbr)))
    missing = "the MBR boot code " + run.InProgram(kIsoHybridMbr) + " is missing (Debian package isolinux)";
  bool written =
      missing.empty() && listError.empty() && DropLinkAt(script) && WriteFileAtomic(script, text, &writeError);

  // Duplicates in the work tree become links first, as the script does; a
  // linker that fails costs only the saving, so the mastering goes on.
  std::string linkOutput;
  if (written && OptimizeISO) {
    RunOptions options;
    options.workingDir = run.ProgramFolder();
    options.pump = [&run] { run.Progress().PumpEvents(); };
    const RunResult linked = run.Launcher().RunAndCapture(LinkDuplicatesArgv(run.InProgram("dfl" + exe)), options);
    linkOutput = linked.output;
    if (!linked.started || !linked.ended || linked.exitCode != 0)
      run.Diagnostic("duplicate files were not linked: " + RunOutputForMessage(linked));
  }

  run.LaunchApp = run.Launcher().NewChild();
  run.LaunchApp->DataReceived = [&run](const std::string& chunk) { LaunchApp_DataReceived(run, chunk); };
  run.LaunchApp->ProcessEnded = [&run] { LaunchApp_ProcessEnded(run, run.LaunchApp ? run.LaunchApp->ExitCode() : -1); };
  bool started = written && run.LaunchApp->Start(argv, run.ProgramFolder());

  run.MKISOFSRunning = true;
  ProgressSink& bar = run.Progress();
  bar.SetMaximum(100);
  bar.SetValue(0);
  bar.SetBarVisible(true);

  // The log is there under its own name from the start, so whoever watches
  // it follows this run, not the previous one.
  iso->logPath = run.InProgram(kMkisofsLog);
  DropLinkAt(iso->logPath);
  iso->log.open(iso->logPath, std::ios::binary | std::ios::trunc);
  iso->log << kMkisofsLogHeader << "\r\n" << linkOutput;
  iso->log.flush();
  iso->failure = missing;
  run.isoRun = std::move(iso);

  if (!missing.empty()) {
    run.RecordFailure(missing);
    run.Status().failure = "Couldn't make the ISO file bootable from a USB stick";
    run.prompter().MsgBox(Message{"The ISO file cannot be made bootable from a USB stick: " + missing, "Fatal Error",
                                  Icon::Critical, Buttons::OK, 0, std::nullopt});
    LaunchApp_ProcessEnded(run, -1);
  } else if (!started) {
    // Said once: in the message and as the run's reason (the log has both).
    const std::string why = written              ? NotStartedCause(argv.front(), run.LaunchApp->Error())
                            : !listError.empty() ? listError
                                                 : CannotWriteText(script, writeError);
    run.isoRun->failure = why;
    run.Status().failure = written ? "Couldn't start the mastering tool" : "Couldn't write the mastering tool's files";
    run.prompter().MsgBox(Message{"There appears to be a problem in your installation, try to manually reinstall " +
                                      (written ? argv.front() : script) + " (" + why + ")",
                                  "Critical Error", Icon::Critical, Buttons::OK, 1410, std::nullopt});
    LaunchApp_ProcessEnded(run, -1);
  }
}

void LaunchApp_DataReceived(BuildRun& run, const std::string& TextPipe) {
  IsoRun* iso = run.isoRun.get();
  if (!iso || !run.MKISOFSRunning) return;  // output after the end is dropped
  if (iso->log.is_open()) {
    iso->log << TextPipe << "\r\n";
    iso->log.flush();
  }
  // The last few lines the tool wrote, and the problems it named: what it
  // says when it fails.
  iso->lastLines += TextPipe;
  if (iso->lastLines.size() > 4096) iso->lastLines.erase(0, iso->lastLines.size() - 4096);
  iso->problems.Add(TextPipe);
  ChunkEffect fx = ParseMkisofsChunk(TextPipe);
  // The tool's progress is in the log as its output already.
  if (fx.caption) run.Progress().SetCaption(*fx.caption);
  if (fx.barValue) run.Progress().SetValue(*fx.barValue);
  if (fx.noSpace) {
    iso->failure = kOutOfSpaceNotice;
    run.Status().outOfSpace = true;
    run.Status().failure = iso->failure;
    run.Status().failureShown = true;
    run.NotifyChanged();
  }
}

void LaunchApp_ProcessEnded(BuildRun& run, int exitCode) {
  run.MKISOFSRunning = false;
  IsoRun* iso = run.isoRun.get();
  const std::string isoPath = iso ? iso->isoPath : run.IsoPath();
  const std::string partPath = iso ? iso->partPath : PartialIsoPath(isoPath);
  if (iso && iso->log.is_open()) iso->log.close();

  // A mastering tool that failed, or wrote nothing, did not make this CD;
  // neither is reported as a success.
  std::error_code ec;
  std::string why;
  bool toolsWords = false;  // the tool's own lines say more
  if (iso && !iso->failure.empty()) {
    why = iso->failure;
    toolsWords = exitCode != -1 || iso->failure == kOutOfSpaceNotice;
  } else if (exitCode != 0) {
    why = "the mastering tool ended with exit status " + std::to_string(exitCode);
    toolsWords = true;
  } else if (!fs::is_regular_file(partPath, ec)) {
    why = "the mastering tool left no image at " + partPath;
    toolsWords = true;
  }
  // The same file made bootable from a USB stick; a failure spoils the ISO.
  if (why.empty()) why = MakeHybridAfterMastering(run, partPath, isoPath);
  // A stop that came while the image was finished is a cancel like any
  // other: the piece goes and the previous ISO stays.
  if (why.empty()) {
    run.CheckStopRequest();
    if (run.CancelCopy) why = "cancelled before the image took its name";
  }
  // Whole: it takes the final name, replacing the previous ISO in one step.
  // From here on the build has made it, whatever comes after.
  if (why.empty()) {
    fs::rename(partPath, isoPath, ec);
    if (ec) why = "the finished image could not be renamed to " + isoPath + ": " + ec.message();
    else run.IsoTookItsName();
  }
  if (!why.empty() && (run.CancelCopy || run.Stopped())) {
    // Cancelled or stopped on purpose: not a failure; the piece goes.
    std::remove(partPath.c_str());
  } else if (!why.empty()) {
    // The problems the tool named (else what it said last), and where all
    // of it is.
    if (iso && toolsWords) {
      const std::string problems = iso->problems.Text();
      const std::string said = problems.empty() ? LastLines(iso->lastLines, 3) : problems;
      if (!said.empty()) why += problems.empty() ? "; the mastering tool said: " + said : ": " + said;
      why += " (all its output: " + iso->logPath + ")";
    }
    // A stop request ends the tool on purpose: that run is cancelled, not failed.
    if (!run.Stopped()) run.RecordFailure(why);
    run.Status().heading = run.Stopped() ? "   Operation canceled" : "   Operation failed";
    run.Status().failureShown = true;
    // Only this run's piece goes; the previous ISO stays as it was.
    std::remove(partPath.c_str());
  }
  if (On(run.settings.Main.CleanSession)) {
    std::remove(run.InProgram(kMakeCdScript).c_str());
    std::remove(run.InProgram(kSortWeightList).c_str());
    std::remove(run.InProgram(kGraftPathList).c_str());
    std::remove(run.InProgram(kGraftDateCommands).c_str());
  }
  ProgressSink& bar = run.Progress();
  bar.SetBarVisible(false);
  bar.SetValue(bar.Maximum());
  run.NotifyChanged();
}

}  // namespace kiv
