#pragma once
// The command line a BootKernel entry of the boot menu starts its kernel
// with, on whichever boot manager the menu is written for.
#include <string>

namespace kiv {

// The script's command line; when the menu has a serial console (1 = COM1,
// 2 = COM2, 0 = none) and that command line names no console of its own,
// "console=ttyS<port - 1>,115200" is added, so a kernel such as memtest86+
// shows itself on the port the menu is on.
// A Linux system (a kernel with an initramfs) is given the screen as well,
// "console=tty0" before the serial one: its messages then show on both, and
// the serial port, named last, is the one its init and log-in speak on.
std::string KernelCommandLine(const std::string& scriptArgs, int serialConsole, bool linuxSystem = false);

}  // namespace kiv
