#pragma once
// Where a floppy build's result goes: an image file made by the image tool
// (bfi) from the build's folder, or a physical floppy written directly; the
// checks before either (a target the image may replace, a drive that is
// there, the user's word before formatting) and the folder shown afterwards.
#include <memory>
#include <string>
#include <vector>

namespace kiv {

class FloppyDrive;
class FloppyWorkspace;

// What a build makes: a 1.44 MB or 2.88 MB floppy image file, or a floppy
// written in the floppy drive.
enum class FloppyOutput { Image144, Image288, Floppy };

inline bool IsImage(FloppyOutput output) { return output != FloppyOutput::Floppy; }

// Each step that fails has shown its message (or asked) and returns false;
// ending the build is the caller's business.
class ImageOutput {
 public:
  explicit ImageOutput(const FloppyWorkspace& workspace);
  ~ImageOutput();
  ImageOutput(const ImageOutput&) = delete;
  ImageOutput& operator=(const ImageOutput&) = delete;

  // Floppy mode writes to this drive; by default the device of
  // KIV_FLOPPY_DEVICE, else /dev/fd0.
  void SetFloppyDrive(std::unique_ptr<FloppyDrive> drive);
  FloppyDrive& Floppy();

  // The full path of the image a destination names (a relative one lies in
  // the program folder, where the image tool runs).
  std::string ImageFile(const std::string& destination) const;
  // Runs the image tool on `tree` for an image of the `size` asked for; true
  // when it made ImgFile.
  bool CreateImageFromDir(const std::string& ImgFile, const std::string& tree, FloppyOutput size);
  // True when there is a floppy drive at the drive's device; otherwise shows
  // the no-drive message and returns false.
  bool FloppyDriveThere();
  // True when the `output` may be written to `destination`: a floppy, or an
  // image where nothing is, where an earlier image of this size is, or where
  // the user agreed to replace what is; where nobody can be asked, what is
  // there is kept. False keeps the wizard on its output page and ends a
  // batch run. (A destination the build must never write is the build's
  // own refusal.)
  bool ImageTargetAgreed(const std::string& destination, FloppyOutput output);
  // Asks before erasing the floppy, then formats it with the boot sector.
  bool FormatFloppy();
  // Shows the folder of the image at `destination` (Open Folder of the
  // finish page).
  void OpenFolder(const std::string& destination);

 private:
  const FloppyWorkspace& workspace_;
  std::unique_ptr<FloppyDrive> floppy_;
};

// The image tool's call (cabarc's are in cabinet_tool.h): the argv that runs
// (paths inside the program folder relative to it, native separators), and
// the Windows command-line text of the same call. Nothing here calls the
// latter: a Windows back end starts the tool with that one line (a Windows
// process takes a single command line), so it stays, tested against its text.
std::vector<std::string> BfiArgv(const std::string& bfi, const std::string& programFolder, const std::string& image,
                                 const std::string& tree, bool image144);
std::string BfiCommandLine(const std::string& programFolder, const std::string& image, const std::string& tree,
                           bool image144);

}  // namespace kiv
