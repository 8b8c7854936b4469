#pragma once
// The CD's boot menu: main.cds translated into the configuration of the
// isolinux boot manager on the CD (boot/isolinux/isolinux.cfg) and the
// settings of the password gate.
//
// What the script asks for and what isolinux does:
//   entries (ActionN_Text with ActionN_Macro), in N order   LABEL actionN
//   RequireFile / RequireFolder not on the CD               MENU DISABLE, the
//                                                            missing path in the label
//   BootFloppyImage(2880) "p"          KERNEL memdisk, INITRD p, APPEND floppy
//   BootSector "p.bin"                 BOOT p (a CD boot sector at 0:7C00, DL = CD)
//   BootDrive 0x80                     BOOT harddisk.bin (our boot sector: starts
//                                      the first hard disk, or says there is
//                                      none and waits for a key)
//   BootDrive 0x8n, n > 0              COM32 chain.c32, APPEND hdn
//   BootKernel "p" "cmdline"           LINUX p, APPEND cmdline (with the serial
//                                      console's console= when it names none)
//   Initrd "i" before it               INITRD i as well
//   RunModule "p" "args"               COM32 p, APPEND args
//   Print ... WaitKey Menu             a submenu: the text, and one entry that
//                                      goes back to the menu (Enter or Esc)
// Everything also goes to the serial console the script chooses
// (SerialConsole: COM1 as SERIAL 0 115200, COM2 as SERIAL 1, 0 for none).
//
// A USB stick written with the hybrid ISO gets a menu of its own
// (usbstick.cfg, which the stick's view of the tree shows isolinux under the
// name isolinux.cfg): CD boot sectors read the CD in 2048-byte sectors and
// cannot start from a disk, so their entries are greyed there with
// "(needs the CD)"; and a stick the BIOS starts from is its first hard disk,
// so the hard disks the script names move up by one (hd0 -> hd1; harddisk.bin
// finds out for itself).
#include <functional>
#include <string>
#include <vector>

#include "cdtool/bootmenu/menu_data.h"
#include "cdtool/bootmenu/password_gate.h"
#include "common/random_source.h"

namespace kiv {

struct BootMenuScript;

// What a greyed entry of the stick's menu says after its name.
inline constexpr const char* kNeedsCdNote = " (needs the CD)";

// The stick's menu, next to isolinux.cfg in boot/isolinux.
inline constexpr const char* kStickConfigName = "usbstick.cfg";

// Folder on the CD that holds isolinux, its modules and its configuration.
inline constexpr const char* kIsolinuxFolder = "/boot/isolinux";

// Beside isolinux: the boot sector that starts the first hard disk (BIOS
// drive 80h as the script names it).
inline constexpr const char* kHardDiskSector = "harddisk.bin";
inline constexpr int kFirstHardDisk = 0x80;

struct IsolinuxFile {
  std::string name;  // inside boot/isolinux/
  std::string text;
};

struct BootMenu {
  std::vector<IsolinuxFile> files;  // isolinux.cfg, usbstick.cfg
  std::string grubConfig;           // the UEFI menu (grub_config.h); TranslateBootMenu only
  PasswordGate gate;
  std::vector<std::string> errors;  // "<script>, line N: ..."; nothing else is valid then
  // What the menu does otherwise than the script says, for the build's log
  // and console (a default entry that cannot start from this CD).
  std::vector<std::string> notes;
};

// "\boot\images\x.img" -> "/boot/images/x.img".
std::string CdPath(const std::string& scriptPath);

// Renders a parsed script that has no errors; a clear password in it gets a
// salt seeded by `epoch`, made of bytes of `random` when that is unset.
BootMenu RenderBootMenu(const BootMenuScript& script, const CdPathExists& exists, std::optional<int64_t> epoch,
                        const RandomSource& random);

// The whole translation: script text -> files + gate + the UEFI menu, or
// errors. With `data` the gate, the UEFI menu's password and the product key
// are the data's (see ParseBootMenuScript, GrubInputFromScript). `random`
// salts a clear password in the script when no fixed date seeds it.
BootMenu TranslateBootMenu(const std::string& text, const std::string& scriptPath, const CdPathExists& exists,
                           const RandomSource& random, const MenuData* data = nullptr);

}  // namespace kiv
