#pragma once
// The build step that turns the tree's boot-menu script into the CD's boot
// menu: after the script edits (product key, password) and before the ISO,
// kivcd/boot/scripts/main.cds is translated into the isolinux configuration
// in kivcd/boot/isolinux/ and the password gate is written into the tree's
// copy of boot/loader.bin (never the template's). The password and the
// product key come from the run's menu data, never from the script. The UEFI
// menu goes beside it: GRUB's configuration in kivcd/boot/grub/ and the EFI
// boot image kivcd/boot/efi/efiboot.img (grub_config.h, efi_boot_image.h).
// Any error shows "Fatal Error" naming the file and line and cancels the
// build, so no ISO is made.
#include <string>

namespace kiv {

class BuildRun;

void WriteBootMenu(BuildRun& run);

// The build run's password step on kivcd/boot/scripts/main.cds, with its
// sub-step caption. A confirmed password becomes the run's menu password,
// whatever the script's own password lines look like.
void AddBootPassword(BuildRun& run, const std::string& TxtPass1, const std::string& TxtPass2);

}  // namespace kiv
