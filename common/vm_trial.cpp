#include "common/vm_trial.h"

#include <filesystem>

#include "common/environment.h"
#include "common/process_runner.h"
#include "common/ui_mode.h"

namespace kiv {
namespace {

std::string DriveFile(const std::string& image) {
  std::string escaped;
  for (char c : image) {
    escaped += c;
    if (c == ',') escaped += ',';
  }
  return "file=" + escaped;
}

}  // namespace

std::vector<std::string> QemuArguments(const std::string& qemu, VmMedium medium, const std::string& image,
                                       VmView view) {
  std::vector<std::string> argv = {qemu, "-name", "Kiv Rescue CD trial", "-m", "256"};
  const std::string file = DriveFile(image);
  switch (medium) {
    case VmMedium::Cd:
      argv.insert(argv.end(), {"-drive", file + ",format=raw,media=cdrom,if=ide,index=2,readonly=on", "-boot", "d"});
      break;
    case VmMedium::UsbDisk:
      argv.insert(argv.end(), {"-usb", "-drive", file + ",format=raw,if=none,id=stick,snapshot=on", "-device",
                               "usb-storage,drive=stick,bootindex=0"});
      break;
    case VmMedium::Floppy:
      argv.insert(argv.end(), {"-drive", file + ",format=raw,if=floppy,index=0,snapshot=on", "-boot", "a"});
      break;
  }
  if (view == VmView::Terminal) {
    // No window; COM1 is the terminal, with QEMU's Ctrl-A keys (Ctrl-A X
    // ends it). The CD's loader, its menu and what they start talk on COM1
    // themselves. DOS writes to the screen only, so for a floppy the BIOS
    // copies the screen to COM1 (graphics=off turns on SeaBIOS's serial
    // console).
    argv.insert(argv.end(), {"-display", "none", "-serial", "mon:stdio"});
    if (medium == VmMedium::Floppy) argv.insert(argv.end(), {"-machine", "graphics=off"});
  }
  return argv;
}

std::string FindQemu() { return SystemLauncher().FindProgram(kQemuProgram); }

std::string QemuMissingText() {
  return std::string(kQemuProgram) + " is not installed; install the package " + kQemuPackage +
         " (sudo apt-get install " + kQemuPackage + ") to try images in a virtual machine";
}

namespace {

// What the person at the terminal needs to know before the machine starts.
std::string TerminalNote(VmMedium medium, bool asked) {
  std::string note = asked ? "QEMU runs on this terminal, without a window: "
                           : "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so QEMU runs on this "
                             "terminal, without a window: ";
  note += medium == VmMedium::Floppy ? "the machine's screen is copied here"
                                     : "the machine's first serial port (COM1) is here";
  return note + ". Ctrl-A X ends it, Ctrl-A H lists QEMU's other keys.";
}

}  // namespace

int RunTryCommand(const std::vector<std::string>& args, const std::string& defaultImage, VmMedium medium, bool allowUsb,
                  const Environment& environment, ProcessLauncher& launcher, std::FILE* err) {
  bool headless = false;
  std::vector<std::string> images;
  for (const std::string& word : args) {
    if (word == "--headless") {
      headless = true;
    } else if (word == "--usb" && allowUsb) {
      medium = VmMedium::UsbDisk;
    } else if (word.rfind("--", 0) == 0) {
      std::fprintf(err, "--try knows no option \"%s\" (%s)\n", word.c_str(),
                   allowUsb ? "--usb and --headless are its options" : "--headless is its option");
      return 2;
    } else {
      images.push_back(word);
    }
  }
  if (images.size() > 1) {
    std::fprintf(err, "--try takes one image, not \"%s\"\n", images[1].c_str());
    return 2;
  }
  const std::string image = images.empty() ? defaultImage : images.front();
  if (image.empty()) {
    std::fprintf(err, "--try needs the image to start\n");
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(image, ec)) {
    std::fprintf(err, "%s: no such image file\n", image.c_str());
    return 1;
  }
  const std::string qemu = launcher.FindProgram(kQemuProgram);
  if (qemu.empty()) {
    std::fprintf(err, "%s\n", QemuMissingText().c_str());
    return 1;
  }
  const bool onTerminal = headless || !HasDisplay(environment);
  const std::vector<std::string> argv =
      QemuArguments(qemu, medium, image, onTerminal ? VmView::Terminal : VmView::Window);
  if (onTerminal) {
    std::fprintf(err, "%s\n", TerminalNote(medium, headless).c_str());
    std::fflush(err);
  }
  // The window's QEMU is waited for with its output kept, and what it said
  // is shown once it has ended; the terminal's writes straight there.
  const RunResult r = onTerminal ? launcher.RunOnTerminal(argv) : launcher.RunAndCapture(argv, RunOptions{});
  if (!r.output.empty()) std::fputs(r.output.c_str(), err);
  if (!r.started) {
    std::fprintf(err, "%s could not be started: %s\n", qemu.c_str(), r.error.c_str());
    return 1;
  }
  if (!r.ended || r.exitCode != 0) {
    std::string text = qemu + " ended with an error";
    if (!r.ended) text += ": " + r.error;
    else if (onTerminal || !r.output.empty()) text += " (what it said is above)";
    if (!onTerminal) text += "; where it cannot open its window, --try --headless runs it on this terminal";
    std::fprintf(err, "%s\n", text.c_str());
    return 1;
  }
  return 0;
}

bool CanTryInVm(const std::string& image, const VmLauncher& vm) {
  std::error_code ec;
  return !image.empty() && std::filesystem::is_regular_file(image, ec) && !vm.find().empty();
}

bool TryInVm(const std::string& image, VmMedium medium, const VmLauncher& vm) {
  const std::string qemu = vm.find();
  return !qemu.empty() && vm.start(QemuArguments(qemu, medium, image));
}

VmTrialOffer TryInVmOffer(const std::string& image, const VmLauncher& vm) {
  VmTrialOffer offer;
  std::error_code ec;
  offer.shown = !image.empty() && std::filesystem::is_regular_file(image, ec);
  if (!offer.shown) return offer;
  offer.enabled = !vm.find().empty();
  if (!offer.enabled) offer.note = QemuMissingText() + ".";
  return offer;
}

bool StartQemuDetached(const std::vector<std::string>& argv) { return StartDetached(argv); }

}  // namespace kiv
