#include "cdtool/commands/usage.h"

namespace kiv {

std::string DiscsmithUsage() {
  return "Usage: discsmith                          the wizard (needs a display)\n"
         "       discsmith --build [--yes]         build the CD of the saved settings (kivcd.ini), no window\n"
         "       discsmith --set [Section.Key=value ...]\n"
         "                                         show the saved settings, or change them\n"
         "       discsmith --rescue-system [--update] [--save-packages <folder>]\n"
         "                                         build the Linux rescue system ahead of a CD build;\n"
         "                                         --update builds it again from the mirror's newest packages\n"
         "       discsmith --try [--usb] [--headless] [iso]\n"
         "                                         start the ISO (as a CD, or as a USB stick) in QEMU's\n"
         "                                         window; with --headless, or without a display, on this\n"
         "                                         terminal (its serial console; Ctrl-A X ends it)\n"
         "       discsmith --write-usb <device> [iso] [--yes]\n"
         "                                         write the ISO to a USB stick\n"
         "       discsmith --hybrid <iso>          make an ISO start from a USB stick too\n"
         "       discsmith --screenshots <folder>  render the wizard's pages as pictures\n"
         "       discsmith --help                  this text\n"
         "\n"
         "The program folder is the folder that holds discsmith; the settings, the work\n"
         "folder and the build log are there. Without a display use --build: KIVCD_PASSWORD\n"
         "switches the boot-menu password on for that build, SOURCE_DATE_EPOCH makes it\n"
         "reproducible.\n";
}

}  // namespace kiv
