#pragma once
// The CD's UEFI boot menu: the GRUB configuration written from main.cds.
//
// A UEFI machine starts shim (EFI/BOOT/BOOTX64.EFI in boot/efi/efiboot.img),
// shim starts Debian's signed GRUB beside it, and GRUB reads the image's
// /boot/grub/grub.cfg: the starter below, which finds the CD (or the USB
// stick written from it) by a marker file and reads the menu from the CD's
// /boot/grub/grub.cfg.
//
// From the script the menu takes its title, time-out, serial console and
// password; its entries are what a UEFI machine can start:
//   a first line naming the title and saying that the DOS floppies and
//   Windows setup start only in BIOS mode (Enter shows how to switch it on);
//   the script's Linux systems (a BootKernel with an Initrd) whose files are
//   on the CD, in the script's order, started by GRUB's linux and initrd
//   (under Secure Boot shim checks the kernel's signature);
//   the script's EFI programs (BootEfi: Windows 10/11 Setup's bootx64.efi),
//   started by GRUB's chainloader (under Secure Boot the firmware's keys
//   decide: Windows' own program carries Microsoft's signature); one whose
//   files are not on the CD is shown with what is missing and starts nothing;
//   the memory test (/boot/tools/memtest86+x64.efi; left out when the CD
//   lacks it, and under Secure Boot, which would refuse it); "Boot from the first hard disk" (the first disk other than
//   the CD or stick with Windows' or the default UEFI boot loader); "Firmware setup"; "Reboot"; "Power off". The
//   time-out starts the script's DefaultAction when that is one of the Linux
//   systems, the hard disk otherwise.
// A password (GRUB's password_pbkdf2, user kGrubUser) is asked before
// anything starts, as the BIOS menu asks before its menu; the note, Reboot
// and Power off start nothing and stay open. GRUB's command line and editor
// are never open without the password (the BIOS menu has neither).
#include <optional>
#include <string>
#include <vector>

#include "cdtool/bootmenu/menu_data.h"
#include "common/random_source.h"

namespace kiv {

struct BootMenuScript;

inline constexpr const char* kGrubFolder = "/boot/grub";
inline constexpr const char* kGrubConfigName = "grub.cfg";
inline constexpr const char* kMemtestEfi = "/boot/tools/memtest86+x64.efi";
// The user name GRUB asks for before the password.
inline constexpr const char* kGrubUser = "rescue";

struct GrubMenuInput {
  std::string title;
  int timeoutSeconds = 0;  // 0: wait
  int serialConsole = 1;   // COM1, COM2, or 0 for none
  // Set: GRUB asks for this password (grub.pbkdf2.sha512...). With `locked`
  // and no hash, what the password guards cannot be started at all.
  std::optional<std::string> passwordHash;
  bool locked = false;
  bool memtest = false;  // kMemtestEfi is on the CD
  struct LinuxEntry {
    std::string label;
    std::string id;       // "action<N>"
    std::string kernel;   // paths on the CD ("/live/vmlinuz")
    std::string initrd;   // "" when the entry names none
    std::string cmdline;  // with the serial console's console= when it names none
  };
  std::vector<LinuxEntry> linuxSystems;
  struct EfiEntry {
    std::string label;
    std::string id;                    // "action<N>"
    std::string program;               // its path on the CD
    std::vector<std::string> missing;  // what the CD lacks of it, as the BIOS menu names it
  };
  std::vector<EfiEntry> efiPrograms;
  // Why a script's kernel entry is not in this menu (it starts in BIOS mode
  // only), one line each, for the build's log.
  std::vector<std::string> leftOut;
  std::string defaultId = "harddisk";
};

// What a menu line says the CD lacks: a folder by its path, a file by its
// name ("\\win10", "bootx64.efi").
std::string MissingName(const std::string& cdPath, bool folder);

// The menu's input from a parsed script without errors. The password: the
// data's GRUB hash; a clear password in the script is hashed here. A script
// that keeps only the BIOS menu's hash of its password (one copied from a
// CD, read without the build's data) gives no GRUB hash: the UEFI menu is
// then locked rather than open. `random` salts a clear password when no
// fixed date seeds it.
GrubMenuInput GrubInputFromScript(const BootMenuScript& script, const MenuData* data, const CdPathExists& exists,
                                  const RandomSource& random);

// /boot/grub/grub.cfg on the CD.
std::string RenderGrubConfig(const GrubMenuInput& input);

// /boot/grub/grub.cfg in the EFI image: finds the medium by `markerCdPath`
// (a file only this CD has) and reads the menu from it.
std::string RenderGrubStarter(const std::string& markerCdPath);

// The marker the starter looks for: a file in kGrubFolder whose name comes
// from the menu's text, so another medium with a menu of its own is not it.
std::string GrubMarkerName(const std::string& grubConfig);

// `text` as one word of GRUB's script language (single quotes).
std::string GrubQuote(const std::string& text);

}  // namespace kiv
