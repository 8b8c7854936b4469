#pragma once
// The hybrid ISO: after mastering, the same file is made bootable as a USB
// disk. The first 512 bytes of the image (ISO 9660 leaves its first 32 KiB
// unused) receive an MBR: the isohybrid boot code of Debian's isolinux package
// (isohdpfx.bin, 432 bytes), the 512-byte sector of the boot file it loads, a
// disk signature and one bootable partition over the whole image. The boot
// file is the CD's El Torito image, our stage-0 loader, so a stick asks the
// same boot password as the CD; the loader has an entry at offset 44h for
// that MBR. isolinux.bin's boot information table is written into the image
// too, as the mastering tool's -boot-info-table would have done.
//
// A stick also gets its own boot menu (boot/isolinux/usbstick.cfg, which
// greys what needs the CD): after the volume the mastering tool described
// come copies of its primary volume descriptor and of the directories root,
// boot and boot/isolinux, in which isolinux.cfg names usbstick.cfg's data;
// the loader's "KIVUSBV1" field gets the copy's sector, and the loader points
// isolinux at it when it starts from a disk. The volume descriptors' volume
// size grows to take the copies in, so readers of the image (7-Zip, xorriso)
// find one volume and only zeros after it. Nothing else changes, apart from
// zeros appended up to a whole number of the disk's cylinders (64 heads,
// 32 sectors: 1 MiB), so the file boots as a CD exactly as before.
//
// A CD with a UEFI boot image comes from the mastering tool with an MBR and a
// GPT of its own whose EFI system partition is that image; this step keeps
// the partition (and the GPT behind the MBR) and adds the rest as above.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kiv {

// Below the program folder; installed from /usr/lib/ISOLINUX/isohdpfx.bin.
inline constexpr const char* kIsoHybridMbr = "files/isohdpfx.bin";
inline constexpr const char* kIsolinuxInTree = "boot/isolinux/isolinux.bin";

inline constexpr uint32_t kHybridSignature = 0x7078C0FB;  // at offset 40h
inline constexpr int kHybridHeads = 64;
inline constexpr int kHybridSectors = 32;
inline constexpr uint8_t kHybridPartitionType = 0x17;

// The 56-byte boot information table isolinux expects at offset 8: the
// sector of the primary volume descriptor, its own sector and length, and the
// 32-bit sum of its little-endian dwords from byte 64 on (a short last dword
// counts with zeros).
uint32_t BootFileChecksum(const std::vector<uint8_t>& file);
std::array<uint8_t, 56> BootInfoTable(uint32_t pvdLba, uint32_t fileLba, uint32_t fileSize, uint32_t checksum);

// The image size rounded up to whole cylinders.
uint64_t HybridPaddedSize(uint64_t imageBytes);

// One 16-byte partition entry of an MBR.
using MbrEntry = std::array<uint8_t, 16>;
inline constexpr uint8_t kEfiPartitionType = 0xEF;

// The MBR: `bootstrap` (the 432 bytes of isohdpfx.bin), the boot file's first
// 512-byte sector (2048-byte sector x 4), the disk signature, and partition 1
// (active, type 17h) from sector 0 over `paddedBytes`.
//
// An image with a UEFI boot image keeps the EFI system partition the
// mastering tool gave it (`efiPartition`, type EFh, over the FAT image inside
// the ISO) as partition 2; partition 1 then has type 0, as the mastering tool
// writes it, because UEFI firmware rejects an MBR whose partitions overlap
// and partition 1 spans the whole disk. BIOS boot code needs no type.
std::array<uint8_t, 512> HybridMbr(const std::vector<uint8_t>& bootstrap, uint32_t bootFileLba, uint64_t paddedBytes,
                                   uint32_t diskSignature, const std::optional<MbrEntry>& efiPartition = std::nullopt);

// The first partition entry of type EFh in the 512-byte sector `mbr`, when it
// ends with the boot signature 55h AAh.
std::optional<MbrEntry> EfiPartitionEntry(const std::vector<uint8_t>& mbr);

// Makes the ISO at `isoPath` hybrid with the MBR boot code in `mbrPath`.
// Everything is read and checked before the first byte is written; the MBR is
// written last, so an image without it was never finished. Returns "" on
// success, otherwise what is wrong, naming the file.
std::string MakeIsoHybrid(const std::string& isoPath, const std::string& mbrPath);

// True when the image already starts with an MBR whose partition table marks
// it bootable from a disk (what --write-usb checks before writing): partition
// 1 active, of type 17h, or of type 0 beside an EFI system partition.
bool IsHybridIso(const std::string& isoPath);

}  // namespace kiv
