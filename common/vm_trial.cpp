#include "common/vm_trial.h"

#include <filesystem>

#include "common/process_runner.h"

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

std::vector<std::string> QemuArguments(const std::string& qemu, VmMedium medium, const std::string& image) {
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
  return argv;
}

std::string FindQemu() { return SystemLauncher().FindProgram(kQemuProgram); }

std::string QemuMissingText() {
  return std::string(kQemuProgram) + " is not installed; install the package " + kQemuPackage +
         " (sudo apt-get install " + kQemuPackage + ") to try images in a virtual machine";
}

int RunTryCommand(const std::vector<std::string>& args, const std::string& defaultImage, VmMedium medium, bool allowUsb,
                  const VmLauncher& vm, std::FILE* err) {
  std::vector<std::string> words = args;
  if (allowUsb && !words.empty() && words.front() == "--usb") {
    medium = VmMedium::UsbDisk;
    words.erase(words.begin());
  }
  if (words.size() > 1) {
    std::fprintf(err, "--try takes one image, not \"%s\"\n", words[1].c_str());
    return 2;
  }
  const std::string image = words.empty() ? defaultImage : words.front();
  if (image.empty()) {
    std::fprintf(err, "--try needs the image to start\n");
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(image, ec)) {
    std::fprintf(err, "%s: no such image file\n", image.c_str());
    return 1;
  }
  const std::string qemu = vm.find();
  if (qemu.empty()) {
    std::fprintf(err, "%s\n", QemuMissingText().c_str());
    return 1;
  }
  if (!vm.start(QemuArguments(qemu, medium, image))) {
    std::fprintf(err,
                 "%s could not be started, or ended with an error at once (what it said is above; without a "
                 "display it cannot open its window)\n",
                 qemu.c_str());
    return 1;
  }
  return 0;
}

bool RunQemuAndWait(const std::vector<std::string>& argv) {
  RunResult r = RunAndCapture(argv);
  if (!r.output.empty()) std::fputs(r.output.c_str(), stderr);
  // QEMU that cannot open its window ("gtk initialization failed") or read
  // the image ends at once with an error: that is no trial, and says so.
  return r.started && r.ended && r.exitCode == 0;
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
