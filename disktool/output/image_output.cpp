#include "disktool/output/image_output.h"

#include <string>
#include <utility>
#include <vector>

#include "common/desktop_open.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "common/source_date_epoch.h"
#include "disktool/output/floppy_device_check.h"
#include "disktool/output/floppy_drive.h"
#include "disktool/output/image_target.h"
#include "disktool/workspace/floppy_workspace.h"

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

ImageOutput::ImageOutput(const FloppyWorkspace& workspace) : workspace_(workspace) {}

ImageOutput::~ImageOutput() = default;

void ImageOutput::SetFloppyDrive(std::unique_ptr<FloppyDrive> drive) { floppy_ = std::move(drive); }

FloppyDrive& ImageOutput::Floppy() {
  if (!floppy_)
    floppy_ = MakeFat12FloppyDrive(DefaultFloppyDevice(workspace_.environment()),
                                   SourceDateEpoch(workspace_.environment(), nullptr), workspace_.platform());
  return *floppy_;
}

// Every check and the tool itself take this path: a relative one must not be
// taken from the current folder, which need not be the program folder.
std::string ImageOutput::ImageFile(const std::string& destination) const {
  const std::string image = NativePath(destination);
  return IsAbsolutePath(image) ? image : JoinPath(workspace_.ProgramFolder(), image);
}

void ImageOutput::OpenFolder(const std::string& destination) {
  ExploreFolderOf(workspace_.platform(), workspace_.prompter(), ImageFile(destination));
}

bool ImageOutput::CreateImageFromDir(const std::string& ImgFile, const std::string& tree, FloppyOutput size) {
  const std::string image = NativePath(ImgFile);
  // The tool writes into an existing folder only.
  const std::string folder = FolderOf(image);
  if (!folder.empty() && !FolderExists(folder)) MakePath(folder);
  RunOptions options;
  options.workingDir = workspace_.ProgramFolder();
  options.pump = [this] { workspace_.Pump(); };
  const bool stoppedBefore = workspace_.Stopped();
  const RunResult result = workspace_.launcher().RunAndCapture(
      BfiArgv(workspace_.ToolPath("bfi"), workspace_.ProgramFolder(), image, tree, size != FloppyOutput::Image288),
      options);
  if (result.ended && result.exitCode == 0 && FileExists(image)) return true;
  // Cancelled while the tool ran (a stop request): nothing failed on its own.
  if (workspace_.Stopped() && !stoppedBefore) return false;

  std::string why = !result.started ? result.error : Trim(result.output);
  workspace_.prompter().MsgBox(
      Message{"The floppy image " + image + " could not be created." + (why.empty() ? std::string() : "\r\n\r\n" + why),
              "Error While Creating the Image", Icon::Critical, Buttons::OK, 0, std::nullopt});
  return false;
}

bool ImageOutput::FloppyDriveThere() {
  FloppyDrive& drive = Floppy();
  std::string why;
  if (FloppyDeviceFound(drive.DeviceName(), &why)) return true;
  workspace_.prompter().MsgBox(Message{NoFloppyDriveText(drive.DeviceName(), why), kNoFloppyDriveTitle, Icon::Critical,
                                       Buttons::OK, 0, std::nullopt});
  return false;
}

bool ImageOutput::ImageTargetAgreed(const std::string& destination, FloppyOutput output) {
  if (!IsImage(output)) return true;
  // A target the build must never write is refused by the build itself.
  const std::string image = ImageFile(destination);
  if (!ImageTargetProblem(workspace_.ProgramFolder(), image).empty()) return true;
  bool folder = false;
  const std::string there = ExistingTargetText(image, output == FloppyOutput::Image288, &folder);
  if (there.empty()) return true;
  // Where nobody can be asked, what stands there is kept and the build refused.
  Prompter& prompter = workspace_.prompter();
  if (folder || !prompter.CanAsk()) {
    prompter.MsgBox(Message{
        there + (folder ? "" : " It is not replaced without asking.") + "\r\n\r\nChoose another target for the image.",
        kInvalidTargetTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
    return false;
  }
  return prompter.MsgBox(Message{there + "\r\n\r\nReplace it with the floppy image?", kReplaceTargetTitle,
                                 Icon::Exclamation, Buttons::YesNo, 0, Answer::No}) == Answer::Yes;
}

bool ImageOutput::FormatFloppy() {
  FloppyDrive& drive = Floppy();
  // No question about formatting a drive that is not there (it can go away
  // after Finish looked for it).
  if (!FloppyDriveThere()) return false;
  const Answer a = workspace_.prompter().MsgBox(
      Message{"Formatting will erase all data on the floppy disk in " + drive.DeviceName() + ".\r\nFormat it now?",
              "Format Floppy Disk", Icon::Exclamation, Buttons::YesNoCancel, 0, Answer::Cancel});
  if (a == Answer::No) {
    workspace_.prompter().Inform("You have select not to format the floppy", "Didn't Format", Icon::Information);
    return false;
  }
  if (a != Answer::Yes) {
    workspace_.prompter().Inform("You have select to Cancel your format", "Format Cancel", Icon::Information);
    return false;
  }
  std::string error;
  if (!drive.Format(workspace_.Resolve("files\\bootsect.bin"), &error)) {
    workspace_.prompter().Inform("Error while formating the floppy disk", "Format did not Complete", Icon::Information);
    return false;
  }
  return true;
}

}  // namespace kiv
