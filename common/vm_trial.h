#pragma once
// Trying a CD or a floppy in a virtual machine before writing it: QEMU
// (qemu-system-i386) started with the image as the machine's boot medium, in
// a window of its own or, without a display, on the terminal. Nothing needs
// root; the image is never written to (the USB disk and the floppy run on a
// QEMU snapshot, the CD is read-only).
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kiv {

class Environment;
class ProcessLauncher;

inline constexpr const char* kQemuProgram = "qemu-system-i386";
inline constexpr const char* kQemuPackage = "qemu-system-x86";

enum class VmMedium { Cd, UsbDisk, Floppy };

// Where the machine shows itself: a window of its own, or this terminal (no
// window; for a computer without a display, or a session over ssh).
enum class VmView { Window, Terminal };

// The argument list (argv[0] = `qemu`) that boots `image` from `medium`.
// The path goes inside -drive options, where QEMU reads a comma as the end of
// the value; a comma in the path is written twice, as QEMU wants it.
std::vector<std::string> QemuArguments(const std::string& qemu, VmMedium medium, const std::string& image,
                                       VmView view = VmView::Window);

// QEMU as the system's launcher finds it, "" when it is not installed.
std::string FindQemu();
// What to say when it is missing.
std::string QemuMissingText();

// Starts an argv without waiting for it (the wizard stays usable); false
// when it could not be started.
using VmStarter = std::function<bool(const std::vector<std::string>& argv)>;
bool StartQemuDetached(const std::vector<std::string>& argv);

// How the windows find and start QEMU: the system's, started detached,
// unless a test gives its stand-in.
struct VmLauncher {
  std::function<std::string()> find = FindQemu;  // "" when QEMU is not installed
  VmStarter start = StartQemuDetached;
};

// `--try` of both programs. `args` are the words after --try: the options
// "--usb" (only when `allowUsb`) and "--headless", and at most one image;
// `defaultImage` is used when none is given ("" = an image is required).
// QEMU opens its window and --try waits until it is closed; with --headless,
// or when `environment` has no display, it runs on this terminal instead.
// Only a run that ends well counts: QEMU that cannot start, or ends with an
// error (an image it cannot read, a window it cannot open), gives 1.
// Messages go to `err`; returns the exit code.
int RunTryCommand(const std::vector<std::string>& args, const std::string& defaultImage, VmMedium medium, bool allowUsb,
                  const Environment& environment, ProcessLauncher& launcher, std::FILE* err);

// The finish pages' button: its caption, whether it is shown (QEMU is
// installed and the image is there), and its click (QEMU started detached,
// so the wizard stays usable). False when QEMU could not be started.
inline constexpr const char* kTryInVmCaption = "Try in a virtual machine";
bool CanTryInVm(const std::string& image, const VmLauncher& vm);
bool TryInVm(const std::string& image, VmMedium medium, const VmLauncher& vm);

// How a finish page offers the button: shown once the image is there, enabled
// only when QEMU is installed; `note` says what to install while it is not,
// so the button is never simply missing.
struct VmTrialOffer {
  bool shown = false;
  bool enabled = false;
  std::string note;
};
VmTrialOffer TryInVmOffer(const std::string& image, const VmLauncher& vm);

}  // namespace kiv
