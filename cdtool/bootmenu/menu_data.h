#pragma once
// What the build decides about a CD's boot menu, whatever the menu script
// says: the password the CD's loader asks for and the Windows product key the
// menu shows. The script still gives the look (title, prompt, retries, the
// entries' texts); these two come from the build's own settings, so a script
// the user edited can never drop or change them.
#include <functional>
#include <optional>
#include <string>

#include "cdtool/bootmenu/password_hash.h"
#include "common/setup_answer.h"

namespace kiv {

// Whether a path on the CD ("/boot/images/x.img") exists as a file
// (folder == false) or as a folder.
using CdPathExists = std::function<bool(const std::string& cdPath, bool folder)>;

// The macro the stored product key is shown by.
inline constexpr const char* kShowWinKeyMacro = "ShowWinKey";

struct MenuData {
  // Set: the loader asks for the password of this salted hash. Unset: it
  // never asks.
  std::optional<PasswordHash> password;
  // The same password for the UEFI menu, as GRUB's password_pbkdf2 takes it
  // (grub_password.h); set together with `password`.
  std::optional<std::string> grubPassword;
  // Set: %WinKey1% to %WinKey5% are its five groups, and the entry whose
  // macro is ShowWinKey is shown (also when its macro line is commented out,
  // as the shipped script has it). Unset: that entry is left out.
  std::optional<KeyParts> productKey;
  // The fixed date of a reproducible build (SOURCE_DATE_EPOCH): the seed of
  // the salts a clear password in a script gets. Unset: random salts.
  std::optional<int64_t> epoch;
  // Whether a file on the CD is an EFI program (a PE image: a Linux kernel
  // with its EFI stub), which the UEFI menu can start. Unset: see
  // GrubInputFromScript.
  std::function<bool(const std::string& cdPath)> isEfiProgram;
};

}  // namespace kiv
