#pragma once
// The CD's boot-menu script (boot/scripts/main.cds), read into a model.
//
// The language, one command per line ('#' comments and blank lines ignored;
// keywords and keys without regard to letter case):
//   Set Key=Value        MenuTitle, MenuTimeout (seconds, 0 = wait), DefaultAction,
//                        PasswordRequest (0/1), PasswordString (the password, or
//                        its stored hash "sha256:<salt>:<hash>"), PasswordPrompt,
//                        PasswordRetries (1..255), SerialConsole (COM1, COM2 or
//                        0 for none; COM1 when not set), WinKey1..5,
//                        ActionN_Text, ActionN_Macro (N = 1..99)
//   :Name                starts a macro, ended by End or Menu; inside it:
//   RequireFile "p"      the entry is greyed when the file p is not on the CD
//   RequireFolder "p"    the same for a folder
//   BootFloppyImage "p", BootFloppyImage2880 "p"   boots a floppy image
//   BootSector "p"       boots a CD boot sector (.bin)
//   BootDrive 0x80       boots a hard disk (0x80 the first)
//   Initrd "p"           the initial RAM disk of the BootKernel that follows
//   BootKernel "p" "cmdline"   starts the kernel p by the Linux boot protocol
//                        with that command line (optional); with an Initrd
//                        before it, it is a Linux system, which the UEFI
//                        menu offers too
//   RunModule "p" "args" starts the COM32 module p with those arguments
//                        (optional)
//   BootEfi "p"          the UEFI menu starts the EFI program p (after the
//                        macro's BIOS boot command, if it has one; a macro
//                        with BootEfi alone is an entry of the UEFI menu only)
//   Print "text"         shows a line (%WinKeyN% replaced), WaitKey, then Menu
//                        goes back to the menu
// A quoted value runs from the first '"' to the last '"' of its line, so a
// value with quotes inside (the password is inserted unescaped) stays whole;
// for BootKernel and RunModule the path ends at its own closing '"' and the
// command line that follows runs to the last '"'. Their paths and command
// lines go into the boot manager's configuration as they are, so they may
// hold no control character (but tabs).
// Everything the parser does not understand is an error naming the script
// and the line; a script with errors is never half-used.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cdtool/bootmenu/menu_data.h"
#include "cdtool/bootmenu/password_hash.h"

namespace kiv {

struct ScriptCommand {
  enum class Op {
    RequireFile,
    RequireFolder,
    Initrd,
    BootFloppyImage,
    BootFloppyImage2880,
    BootSector,
    BootDrive,
    BootKernel,
    RunModule,
    BootEfi,
    Print,
    WaitKey,
    Menu,
    End
  };
  Op op = Op::End;
  std::string arg;   // path as written, or the Print text with its variables replaced
  std::string args;  // BootKernel, RunModule: the command line, as written ("" for none)
  int drive = 0;     // BootDrive
  int line = 0;
};

struct ScriptMacro {
  std::string name;
  int line = 0;
  std::vector<ScriptCommand> commands;  // the last one is End or Menu
  // True for a Print ... Menu macro, false for one that boots something.
  bool ShowsText() const;
  // The initial RAM disk its BootKernel starts with ("" for none).
  std::string Initrd() const;
  // The EFI program its BootEfi starts ("" for none).
  std::string EfiProgram() const;
  // Whether it has a boot command the BIOS menu can start (or shows text).
  bool StartsInBios() const;
};

struct ScriptAction {
  std::string text;
  std::string macro;  // empty: the entry is not shown
  int textLine = 0;
  int macroLine = 0;
};

struct BootMenuScript {
  std::string path;  // for messages
  std::string MenuTitle;
  int MenuTimeout = 0;
  int DefaultAction = 0;  // 0: none given, the first entry
  bool PasswordRequest = false;
  std::string PasswordString;  // as written: a clear password or "sha256:<salt>:<hash>"
  // The build's own password (from the data): the gate takes this hash as
  // it is, never a reading of PasswordString.
  std::optional<PasswordHash> passwordHash;
  std::string PasswordPrompt = "Password:";
  int PasswordRetries = 3;
  int SerialConsole = 1;                // the loader's and isolinux's serial port: 1 (COM1), 2 (COM2), 0 (none)
  std::map<int, ScriptAction> actions;  // by N, in N order
  std::vector<ScriptMacro> macros;
  std::vector<std::string> errors;  // "<path>, line 12: ..."

  // The macro of that name (letter case ignored), or null.
  const ScriptMacro* FindMacro(const std::string& name) const;
};

// With `data`, the password and the product key are the data's: the script's
// PasswordRequest and PasswordString lines are read but not used (the
// script's PasswordString becomes the data's hash), WinKey1 to
// WinKey5 are the key's groups, and the ShowWinKey entry is shown exactly
// when a key is given (a commented-out "#Set ActionN_Macro="ShowWinKey""
// line counts then, however it is spaced or cased).
BootMenuScript ParseBootMenuScript(const std::string& text, const std::string& path, const MenuData* data = nullptr);

}  // namespace kiv
