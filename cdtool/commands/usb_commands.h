#pragma once
// The command-line actions of discsmith around a finished ISO:
//   --try [--usb] [--headless] [iso]
//                              boot it in QEMU, as a CD or as a USB disk, in
//                              a window or on the terminal
//   --write-usb <device> [iso] [--yes]  write it to a USB stick
//   --hybrid <iso>             make an ISO from this CD builder bootable from
//                              a USB stick (the build does it by itself)
// The ISO defaults to the one the saved settings (kivcd.ini) name.
namespace kiv {

class Environment;

// `environment` says whether there is a display for QEMU's window.
int RunTryCommandLine(int argc, char** argv, const Environment& environment);
int RunWriteUsbCommandLine(int argc, char** argv, const Environment& environment);
int RunHybridCommandLine(int argc, char** argv);

}  // namespace kiv
