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
//   BootSector "p.bin"                 BOOT p (a CD boot sector at 0:7C00, DL = CD),
//                                      with a help line: it needs the CD
//   BootDrive 0x8n                     COM32 chain.c32, APPEND hdn
//   Print ... WaitKey Menu             a submenu: the text, and one entry that
//                                      goes back to the menu (Enter or Esc)
// Everything also goes to COM1 (SERIAL 0 115200).
#include <functional>
#include <string>
#include <vector>

#include "cdtool/password_gate.h"

namespace kiv {

struct BootMenuScript;

// The help line under a CD boot-sector entry when it is highlighted.
inline constexpr const char* kCdOnlyNote = "  Needs the CD: this entry cannot start from a USB stick.";

// Folder on the CD that holds isolinux, its modules and its configuration.
inline constexpr const char* kIsolinuxFolder = "/boot/isolinux";

struct IsolinuxFile {
  std::string name;  // inside boot/isolinux/
  std::string text;
};

struct BootMenu {
  std::vector<IsolinuxFile> files;  // isolinux.cfg
  PasswordGate gate;
  std::vector<std::string> errors;  // "<script>, line N: ..."; nothing else is valid then
};

// Whether a path on the CD ("/boot/images/x.img") exists as a file
// (folder == false) or as a folder.
using CdPathExists = std::function<bool(const std::string& cdPath, bool folder)>;

// "\boot\images\x.img" -> "/boot/images/x.img".
std::string CdPath(const std::string& scriptPath);

// Renders a parsed script that has no errors.
BootMenu RenderBootMenu(const BootMenuScript& script, const CdPathExists& exists);

// The whole translation: script text -> files + gate, or errors.
BootMenu TranslateBootMenu(const std::string& text, const std::string& scriptPath, const CdPathExists& exists);

}  // namespace kiv
