#pragma once
// The CD's EFI boot image (boot/efi/efiboot.img): a small FAT file system
// that UEFI firmware starts the CD or the USB stick from. It holds
//   EFI/BOOT/BOOTX64.EFI   shim, signed for Secure Boot (Debian's shim-signed)
//   EFI/BOOT/grubx64.efi   Debian's signed GRUB, which shim starts
//   EFI/BOOT/mmx64.efi     shim's MOK manager, which shim starts when asked
//   boot/grub/grub.cfg     the starter GRUB reads from the image it came from:
//                          it finds the CD and reads the menu there
// The image is made with mtools (mformat, mmd, mcopy, mdir) under a
// temporary name beside the target, its listing checked, then renamed.
#include <cstdint>
#include <optional>
#include <string>

namespace kiv {

class ProcessLauncher;

inline constexpr const char* kEfiImageOnCd = "/boot/efi/efiboot.img";

// The signed loaders the image is made of, as files on this machine.
struct EfiLoaders {
  std::string shim;
  std::string grub;
  std::string mokManager;
};

// Where Debian's shim-signed and grub-efi-amd64-signed put them (GRUB: the
// build for CDs, which finds its configuration by the device it started
// from).
EfiLoaders DebianEfiLoaders();

// The first loader that is not a file here; "" when all are.
std::string MissingEfiLoader(const EfiLoaders& loaders);

// Makes the image at `imagePath` from the loaders and the GRUB starter text.
// "" when done; otherwise what failed (the tool and what it said, or the
// file), and only the temporary files are gone. In a reproducible build
// (`epoch` set) the volume serial and the starter's date come from the epoch.
std::string WriteEfiBootImage(ProcessLauncher& tools, const EfiLoaders& loaders, const std::string& grubStarter,
                              const std::string& imagePath, std::optional<int64_t> epoch);

}  // namespace kiv
