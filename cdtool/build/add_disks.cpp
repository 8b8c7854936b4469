#include "cdtool/build/add_disks.h"

#include <filesystem>
#include <stdexcept>

#include "cdtool/build/build_run.h"
#include "common/failure_cause.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "common/setup_answer.h"

namespace kiv {
namespace fs = std::filesystem;

const std::vector<BootImageRow>& BootImageTable() {
  static const std::vector<BootImageRow> rows = {
      {"Kiv Rescue Software", "Creating Kiv Rescue Software Disk", "144", "kivsoftware", "kivstart.img",
       "kivcd\\boot\\images\\kivstart.img", false, 20},
      {"Kiv Rescue Software (EMM386 Support)", "Creating Kiv Rescue Software Disk (EMM386 Support)", "144",
       "kivsoftware_emm", "kivemm.img", "kivcd\\boot\\images\\kivemm.img", false, 40},
      {"Kiv Windows Setup Launcher", "Creating the Kiv Windows Setup Launcher Disk", "144", "winsetup", "kivwin.img",
       "kivcd\\boot\\images\\kivwin.img", false, 60},
      {"Kiv Rescue Software Plus (Lorva)", "Creating the Kiv Rescue Software Plus (Lorva) Disk", "288", "lorvaplus288",
       "kivlorva.img", "kivcd\\boot\\images\\kivnet.img", true, -1},
      {"Kiv Network Access", "Creating the Kiv Network Access Software Disk", "288", "netaccess", "kivnet.img",
       "kivcd\\boot\\images\\kivnet.img", true, -1},
  };
  return rows;
}

std::vector<std::string> BootsmithArgv(const std::string& programFolder, const BootImageRow& row, bool AcceptDrivers,
                                       const std::optional<ScreenRect>& window) {
  std::vector<std::string> argv = {JoinPath(programFolder, "bootsmith")};
  if (window) argv.push_back(kOverWindowSwitch + ScreenRectText(*window));
  if (row.network && !AcceptDrivers) argv.push_back("-sel");
  argv.insert(argv.end(), {"-t", row.size, row.disk});
  return argv;
}

namespace {

struct DiskFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The disk name as the failure message shows it: trimmed, in double quotes.
std::string QuotedDiskName(const std::string& name) { return Quote(name, true, true); }

void RemoveFile(const std::string& path) {
  std::error_code ec;
  if (fs::is_regular_file(path, ec) && !fs::remove(path, ec))
    throw DiskFailure("cannot delete " + path + ": " + ec.message());
}

// What lies at the name bootsmith writes its image to goes before it runs: an
// image left by an earlier build (or put there) is never taken for this
// one's. A link goes as a link; its target is not touched.
void RemoveOldImage(const std::string& path) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(path, ec);
  if (ec || !fs::exists(st)) return;
  if (fs::is_directory(st)) throw DiskFailure(path + " is a folder; bootsmith cannot write its image there");
  if (!fs::remove(path, ec)) throw DiskFailure("cannot delete " + path + ": " + ec.message());
}

}  // namespace

void AddDisks(BuildRun& run, const AddDisksOptions& options) {
  const bool NetPlus = options.NetPlus;
  const bool AcceptDrivers = options.AcceptDrivers;
  const bool MakeWin9xDisk = options.MakeWin9xDisk;
  const bool AddInfo_toWin9xSetup = options.AddInfo_toWin9xSetup;
  const bool AddInfo_toWin2KSetup = true;
  ProgressSink& bar = run.Progress();
  std::string currentDisk;  // empty until the first row starts
  try {
    MakePath(run.InProgram("kivcd\\boot\\images"));
    bar.SetMaximum(100);
    bar.SetValue(0);
    bar.SetBarVisible(true);

    if (AddInfo_toWin2KSetup || AddInfo_toWin9xSetup) {
      if (!FillKeyFile(run.ProgramFolder(), AddInfo_toWin9xSetup, AddInfo_toWin2KSetup))
        throw DiskFailure("cannot write " + run.InProgram(kKeyFile));
    }

    const auto& rows = BootImageTable();
    for (size_t i = 0; i < rows.size(); ++i) {
      const BootImageRow& row = rows[i];
      const bool lorva = (i == 3), netaccess = (i == 4), win9xRow = (i == 2);
      if ((lorva && !NetPlus) || (netaccess && NetPlus)) continue;

      currentDisk = QuotedDiskName(row.diskName);
      // A row that is not made takes its place on the bar but shows no
      // caption: "Creating ..." would stand in the build's output and its
      // log for a disk that is never built. (In the window the caption
      // would be replaced by the next row's at once.)
      if (win9xRow && !MakeWin9xDisk) {
        bar.SetValue(60);
        continue;
      }
      run.SetSubStep(row.caption);

      const std::string left = run.InProgram(row.leftImage);
      RemoveOldImage(left);
      run.ASyncShell(
          BootsmithArgv(run.ProgramFolder(), row, AcceptDrivers, run.WindowFrame ? run.WindowFrame() : std::nullopt));
      run.WaitForASyncApp();
      // Cancelled while the disk was made: no further disk is started, and
      // what this one left is not taken for an image.
      if (run.CancelCopy) return;

      const std::string cdImage = run.InProgram(row.cdImage);
      RemoveFile(cdImage);
      if (lorva) RemoveFile(run.InProgram("kivnet.img"));
      // Only a file bootsmith wrote in this run, and said it made, is taken:
      // an image from a run that failed is not this CD's, and a link at the
      // name is never followed onto the CD.
      std::error_code ec;
      const fs::file_status leftStatus = fs::symlink_status(left, ec);
      const int exitCode = run.ASyncExitCode();
      if (!fs::is_regular_file(leftStatus) || exitCode != 0) {
        // bootsmith names why on its last line; without it, at least how it ended.
        std::string cause = NoImageCause(run.ASyncOutput());
        if (cause.empty() && exitCode != 0) cause = "bootsmith ended with exit status " + std::to_string(exitCode);
        if (fs::is_symlink(leftStatus)) {
          fs::remove(left, ec);
          throw DiskFailure("bootsmith left a link at " + left + ", which is not taken for an image" +
                            (cause.empty() ? "" : ": " + cause));
        }
        if (fs::exists(leftStatus)) {
          fs::remove(left, ec);
          throw DiskFailure("bootsmith failed on " + left + ": " + cause);
        }
        throw DiskFailure("bootsmith made no image " + left + (cause.empty() ? "" : ": " + cause));
      }
      fs::rename(left, cdImage, ec);
      if (ec) throw DiskFailure("cannot move " + left + ": " + ec.message());
      bar.SetValue(row.barAfter < 0 ? bar.Maximum() : row.barAfter);
    }

    bar.SetValue(bar.Maximum());
    bar.SetBarVisible(false);
    bar.SetValue(0);
  } catch (const std::exception& e) {
    run.Diagnostic(e.what());
    // A stopped run has been cancelled already; the killed builder's missing
    // image is no failure of its own.
    if (run.CancelCopy) return;
    run.prompter().MsgBox(Message{"The creation the Boot image " + currentDisk + " failed, operation halted",
                                  "Fatal Error", Icon::Critical, Buttons::OK, 1410, std::nullopt});
    run.Fail(e.what());
  }
}

}  // namespace kiv
