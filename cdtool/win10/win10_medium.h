#pragma once
// Which Windows 10/11 setup medium a source is: the user's own ISO image
// (Microsoft's are UDF, read with 7-Zip's `7z`, never mounted) or a folder
// holding the medium's files. Its files are listed, the ones Setup and its
// boot programs need looked for, and its editions and build read from the
// install image's XML document (`wiminfo --xml` for a file on the disk; from
// an ISO the install image's bytes are streamed through `7z x -so` and only
// its header and XML document kept).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cdtool/win10/wim_images.h"

namespace kiv {

class ProcessLauncher;

// The medium's files the build and the boot need, as Microsoft's media
// have them (letter case aside).
inline constexpr const char* kWin10BootImage = "sources/boot.wim";
inline constexpr const char* kWin10BiosBoot = "boot/etfsboot.com";
inline constexpr const char* kWin10UefiBoot = "efi/boot/bootx64.efi";
inline constexpr const char* kWin10BootManager = "bootmgr";
inline constexpr const char* kWin10BiosBcd = "boot/bcd";
inline constexpr const char* kWin10UefiBcd = "efi/microsoft/boot/bcd";

struct Win10MediumFile {
  std::string path;  // within the medium, '/'-separated, as the medium spells it
  int64_t size = 0;
};

struct Win10Medium {
  std::string source;  // the folder or the ISO image
  bool isIso = false;
  // Every file, by its lower-case path within the medium.
  std::map<std::string, Win10MediumFile> files;
  // The install image as the medium spells it ("sources/install.wim",
  // "sources/install.esd", or the first part "sources/install.swm"); "" when
  // there is none.
  std::string installImage;
  // What the medium lacks of kWin10BootImage, the install image and the boot
  // programs, each named as above.
  std::vector<std::string> missing;
  std::vector<WimImage> editions;
  // Why the source cannot be taken at all ("" when it can): it does not
  // exist, 7z cannot read it, its install image is no WIM or holds no
  // Windows 10 or 11.
  std::string problem;

  bool Usable() const { return problem.empty() && missing.empty() && !editions.empty(); }
  // The medium's spelling of a path ("sources/boot.wim"), "" when absent.
  std::string Spelled(const std::string& path) const;
  // The processor architecture of its Windows ("amd64" when it says none).
  std::string Architecture() const;
  // Whether it has an edition of this name (letter case aside).
  bool HasEdition(const std::string& name) const;
};

// Reads the medium at `source` (a folder or an ISO image file). The editions
// of an install image that has not changed since (its size and date, or the
// ISO's) are remembered for the run of the program: reading an ISO's install
// image takes a while.
Win10Medium ReadWin10Medium(ProcessLauncher& tools, const std::string& source);

// The wizard's caption beside "Type:": "Windows 11 Pro, Home, Education
// (build 22631)" for a usable medium; "Unknown Windows Version" with what it
// lacks or why it cannot be read otherwise.
std::string Win10MediumCaption(const Win10Medium& medium);

// The medium's problem in a message's words ("" for a usable one): what is
// missing, or why it cannot be read.
std::string Win10MediumProblem(const Win10Medium& medium);

}  // namespace kiv
