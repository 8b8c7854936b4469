#pragma once
// Step 1 of the build run: the boot-floppy images. For each image the program
// folder's `bootsmith` is run in batch mode; the image it leaves in the
// program folder is moved into kivcd/boot/images/. Whatever lies at the
// image's name before bootsmith runs is removed first, and an image counts
// as made only when bootsmith ended with exit status 0 and left a regular
// file there (a link is never followed onto the CD).
#include <optional>
#include <string>
#include <vector>

#include "common/window_place.h"

namespace kiv {

class BuildRun;

struct BootImageRow {
  const char* diskName;   // for the failure message
  const char* caption;    // LblSub_Step
  const char* size;       // "144" or "288"
  const char* disk;       // bootsmith's catalogue name
  const char* leftImage;  // what bootsmith leaves in the program folder
  const char* cdImage;    // where it goes, below the program folder
  bool network;           // rows 4a/4b: carry the driver switch
  int barAfter;           // BarSub_Step afterwards (-1: the bar's maximum)
};

// The fixed image table, in processing order (rows 1, 2, 3, 4a, 4b).
const std::vector<BootImageRow>& BootImageTable();

// argv of one bootsmith run: <program folder>/bootsmith [-sel] -t <size> <disk>;
// "-sel" only on the network rows and only when the default driver list is
// not accepted. With the frame of the window the build is shown in, that
// frame goes first (kOverWindowSwitch), so bootsmith's "Please Wait" window
// opens over it.
std::vector<std::string> BootsmithArgv(const std::string& programFolder, const BootImageRow& row, bool AcceptDrivers,
                                       const std::optional<ScreenRect>& window = std::nullopt);

struct AddDisksOptions {
  bool NetPlus = true;                // the Lorva Plus disk rather than the network-access disk
  bool AcceptDrivers = true;          // the default network driver list (no -sel)
  bool MakeWin9xDisk = false;         // the Windows 98/Me setup floppy
  bool AddInfo_toWin9xSetup = false;  // its answers go into keyfile.txt too
};

// keyfile.txt always gets the Windows 2000/XP answers first; the 98/Me ones
// when asked.
void AddDisks(BuildRun& run, const AddDisksOptions& options);

}  // namespace kiv
