#pragma once
// The build's Windows 10/11 step (with the Windows 2000/XP files on step line
// 2): the user's medium goes into the CD's folder \win10, from an ISO image
// (extracted with 7z into the work tree) or a folder (mapped where it lies);
// the answers go into autounattend.xml inside image 2 of a work copy of
// sources/boot.wim (wimupdate), where only Setup started from the CD finds
// it; an install image larger than the part size is split into .swm parts
// (wimlib-imagex split) that Setup takes as they are.
//
// Windows' own boot programs look for their files at fixed places of the
// medium's root: etfsboot.com loads \BOOTMGR, which reads \boot\bcd; the
// UEFI bootx64.efi reads \efi\microsoft\boot\bcd; the BCD of Microsoft's
// media starts \sources\boot.wim with \boot\boot.sdi, and Setup looks for
// \sources\install.*. The CD's root therefore holds second names of those
// files of \win10 (the mastering tool stores their data once): BOOTMGR,
// bootmgr.efi and the medium's boot, efi\microsoft and sources folders, the
// boot folder merged with the CD's own.
#include <cstdint>
#include <string>

#include "cdtool/win10/win10_answers.h"

namespace kiv {

class BuildRun;
class Environment;

// The CD's folder of the Windows 10/11 medium.
inline constexpr const char* kWin10CdFolder = "win10";

// The part size of a split install image, in MiB: under 4 GiB, the largest
// file a CD (and a FAT32 stick) holds. KIVCD_WIM_PART_MB sets another (the
// tests split small images with it).
inline constexpr int64_t kWin10PartMiB = 4000;
inline constexpr const char* kWin10PartVariable = "KIVCD_WIM_PART_MB";
int64_t Win10PartMiB(const Environment& environment);

struct Win10Options {
  std::string Source;  // the ISO image or the folder
  Win10Info Answers;
};

void AddWin10(BuildRun& run, const Win10Options& options);

// The title of step line 2 for the Windows setups a build puts on the CD.
std::string WindowsStepTitle(bool windows2000, bool windows10);

}  // namespace kiv
