// The build itself: drivers, driver cache, then an image file made by bfi or a
// physical floppy written directly; the stage display; cancelling.
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/desktop_open.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/output/floppy_device_check.h"
#include "disktool/output/floppy_drive.h"
#include "disktool/output/image_made.h"
#include "disktool/output/image_target.h"

namespace kiv {

namespace {

// A path inside the program folder is handed to the tools relative to it.
std::string CutProgramFolder(const std::string& programFolder, const std::string& path) {
  const std::string prefix = AddSlash(programFolder);
  if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
  return path;
}

}  // namespace

std::vector<std::string> BfiArgv(const std::string& bfi, const std::string& programFolder, const std::string& image,
                                 const std::string& tree, bool image144) {
  // The contract quotes the image path on the command line; as an argv
  // element it arrives without the quotes, as a Windows program sees it.
  return {bfi,
          "-b=" + NativePath("files\\bootsect.bin"),
          std::string("-l=") + kDiskLabel,
          image144 ? "-t=144" : "-t=288",
          "-f=" + CutProgramFolder(programFolder, image),
          CutProgramFolder(programFolder, tree)};
}

std::string BfiCommandLine(const std::string& programFolder, const std::string& image, const std::string& tree,
                           bool image144) {
  const std::string folder = WindowsPath(programFolder);
  auto cut = [&](const std::string& path) {
    const std::string p = WindowsPath(path);
    const std::string prefix = folder + "\\";
    return p.size() > prefix.size() && p.compare(0, prefix.size(), prefix) == 0 ? p.substr(prefix.size()) : p;
  };
  return folder + "\\bfi.exe -b=files\\bootsect.bin -l=kivstart -t=" + (image144 ? "144" : "288") + " -f=\"" +
         cut(image) + "\" " + cut(tree);
}

void FloppyBuilder::FloppyImageLabels(bool EnableImageLabels) {
  LblMsg[2] = EnableImageLabels ? "Preparing new floppy image" : "Formating Floppy Disk";
  LblMsg[3] = EnableImageLabels ? "Copying files to floppy image" : "Copying files to floppy disk";
  Notify();
}

void FloppyBuilder::OptImage14_Click() {
  OptImage14 = true;
  OptImage28 = OptFloppy = false;
  FloppyImageLabels(true);
}

void FloppyBuilder::OptImage28_Click() {
  OptImage28 = true;
  OptImage14 = OptFloppy = false;
  FloppyImageLabels(true);
}

void FloppyBuilder::OptFloppy_Click() {
  OptFloppy = true;
  OptImage14 = OptImage28 = false;
  FloppyImageLabels(false);
}

bool FloppyBuilder::RunStage(int stage, const std::function<bool()>& step) {
  WaitStatus = LblMsg[stage - 1] + " ...";
  progress_.SetCaption(WaitStatus);
  RunningStage = stage;
  Notify();
  // A build cancelled meanwhile (Notify pumps events) starts no further stage.
  if (BuildCancelled) {
    RunningStage = 0;
    return false;
  }
  const bool ok = step();
  RunningStage = 0;
  if (ok) LblRight[stage - 1] = true;
  Notify();
  return ok;
}

bool FloppyBuilder::FinishApp(const std::string& Plugin) {
  BuildCancelled = false;
  OutputMade = false;
  LblImage.clear();
  if (OptImage14 || OptImage28) {
    const std::string problem = ImageTargetProblem(programFolder_, ImageFile());
    if (!problem.empty()) {
      prompter_.MsgBox(Message{problem, kInvalidTargetTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
      CancelApp();
      return false;
    }
  }
  // A step that cancels ends the build there.
  if (!RunStage(1, [this] { return PrepareDrivers(); }) || BuildCancelled) return false;
  RunStage(2, [this] {
    CreatePrebuiltFiles();
    return true;
  });
  if (BuildCancelled) return false;

  if (!OptImage14 && !OptImage28) {
    if (!RunStage(3, [this] { return FormatFloppy(); })) {
      if (!BuildCancelled) CancelApp();
      return false;
    }
    if (!RunStage(4, [this] { return InjectFilesToDir("A:"); })) {
      if (!BuildCancelled) CancelApp();
      return false;
    }
  } else {
    const bool made = RunStage(3, [&] {
      if (!CreateDiskAsDir()) return false;
      if (!Plugin.empty()) InjectPlugin(Plugin);
      return true;
    });
    if (!made) {
      if (!BuildCancelled) CancelApp();
      return false;
    }
    if (!RunStage(4, [this] { return CreateImageFromDir(ImageFile()); })) {
      if (!BuildCancelled) CancelApp();
      return false;
    }
  }
  LblFinish = "Operation completed successfully";
  OutputMade = true;
  if (OptImage14 || OptImage28) {
    const std::string image = ImageFile();
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(image, ec);
    LblImage = ImageMadeText(image, ec ? 0 : bytes);
  }
  RemoveWorkFiles();
  Notify();
  return true;
}

void FloppyBuilder::CancelApp() {
  Cancelled = true;
  BuildCancelled = true;
  OutputMade = false;
  LblImage.clear();
  LblFinish = "Operation canceled";
  RemoveWorkFiles();
  Notify();
  // Which page follows is the wizard's business; batch mode shows none.
  if (BuildStopped) BuildStopped();
}

// Every check and the tool itself take this path: a relative one must not be
// taken from the current folder, which need not be the program folder.
std::string FloppyBuilder::ImageFile() const {
  const std::string image = NativePath(TxtDest);
  return IsAbsolutePath(image) ? image : JoinPath(programFolder_, image);
}

void FloppyBuilder::CmdOpenFolder_Click() { ExploreFolderOf(*platform_, prompter_, ImageFile()); }

bool FloppyBuilder::CreateImageFromDir(const std::string& ImgFile) {
  const std::string image = NativePath(ImgFile);
  // The tool writes into an existing folder only.
  const std::string folder = FolderOf(image);
  if (!folder.empty() && !FolderExists(folder)) MakePath(folder);
  RunOptions options;
  options.workingDir = programFolder_;
  options.pump = [this] { progress_.PumpEvents(); };
  const bool cancelledBefore = BuildCancelled;
  const RunResult result =
      launcher_.RunAndCapture(BfiArgv(ToolPath("bfi"), programFolder_, image, WorkDir, OptImage14), options);
  if (result.ended && result.exitCode == 0 && FileExists(image)) return true;
  // Cancelled while the tool ran (a stop request): nothing failed on its own.
  if (BuildCancelled && !cancelledBefore) return false;

  std::string why = !result.started ? result.error : Trim(result.output);
  prompter_.MsgBox(
      Message{"The floppy image " + image + " could not be created." + (why.empty() ? std::string() : "\r\n\r\n" + why),
              "Error While Creating the Image", Icon::Critical, Buttons::OK, 0, std::nullopt});
  return false;
}

bool FloppyBuilder::FloppyDriveThere() {
  FloppyDrive& drive = Floppy();
  std::string why;
  if (FloppyDeviceFound(drive.DeviceName(), &why)) return true;
  prompter_.MsgBox(Message{NoFloppyDriveText(drive.DeviceName(), why), kNoFloppyDriveTitle, Icon::Critical, Buttons::OK,
                           0, std::nullopt});
  return false;
}

bool FloppyBuilder::ImageTargetAgreed() {
  if (!OptImage14 && !OptImage28) return true;
  // A target the build must never write is refused by the build itself.
  const std::string image = ImageFile();
  if (!ImageTargetProblem(programFolder_, image).empty()) return true;
  bool folder = false;
  const std::string there = ExistingTargetText(image, OptImage28, &folder);
  if (there.empty()) return true;
  if (folder) {
    prompter_.MsgBox(Message{there + "\r\n\r\nChoose another target for the image.", kInvalidTargetTitle,
                             Icon::Critical, Buttons::OK, 0, std::nullopt});
    return false;
  }
  return prompter_.MsgBox(Message{there + "\r\n\r\nReplace it with the floppy image?", kReplaceTargetTitle,
                                  Icon::Exclamation, Buttons::YesNo, 0, Answer::No}) == Answer::Yes;
}

bool FloppyBuilder::FormatFloppy() {
  FloppyDrive& drive = Floppy();
  // No question about formatting a drive that is not there (it can go away
  // after Finish looked for it).
  if (!FloppyDriveThere()) return false;
  const Answer a = prompter_.MsgBox(
      Message{"Formatting will erase all data on the floppy disk in " + drive.DeviceName() + ".\r\nFormat it now?",
              "Format Floppy Disk", Icon::Exclamation, Buttons::YesNoCancel, 0, Answer::Cancel});
  if (a == Answer::No) {
    prompter_.Inform("You have select not to format the floppy", "Didn't Format", Icon::Information);
    return false;
  }
  if (a != Answer::Yes) {
    prompter_.Inform("You have select to Cancel your format", "Format Cancel", Icon::Information);
    return false;
  }
  std::string error;
  if (!drive.Format(Resolve("files\\bootsect.bin"), &error)) {
    prompter_.Inform("Error while formating the floppy disk", "Format did not Complete", Icon::Information);
    return false;
  }
  return true;
}

}  // namespace kiv
