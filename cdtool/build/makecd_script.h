#pragma once
// How the ISO is mastered: in the program folder, optionally hard-link
// duplicate files, then run the mastering tool over the CD tree `kivcd`. The
// build runs the two programs from their argument vectors; the same commands
// are written as `makecd.bat` (Windows) and `makecd.sh` (POSIX), for the user
// to read and to run again by hand.
#include <string>
#include <vector>

namespace kiv {

// The UEFI boot image, relative to the CD tree: a FAT image holding
// EFI/BOOT/BOOTX64.EFI, made by the CD template's UEFI part when it has one.
inline constexpr const char* kEfiBootImage = "boot/efi/efiboot.img";

// The mastering tool's switches, from " -volid" to " -follow-links -cache-inodes
// -untranslated-filenames" (everything between the program name and " -output "). With `efiImage`
// (the tree holds kEfiBootImage) the BIOS El Torito entry is followed by a
// second, UEFI one for that image, and the image gets an MBR whose partition 2
// (type EFh) and a GPT hold the FAT image, so that a USB stick made of the
// ISO boots on UEFI too; without it the switches are the plain CD's.
std::string MasteringSwitches(bool efiImage = false);

// Windows rendering, lines ended by CR LF. The step 5 of a Windows build
// writes and runs it (iso_step.cpp, under _WIN32); here it is only tested.
//
//   @echo off / <drive> / cd <folder> / [dfl.exe kivcd link] / mkisofs.exe ... -output <iso> kivcd
// `programFolder` and `isoLocation` are the short (8.3) forms where they exist;
// both are lower-cased here, the ISO path is not quoted.
//
// A reproducible build names its weight list (`sortList`, relative to the
// program folder): " --sort-weight-list <list>" follows the switches.
//
// A build whose sources stay where they lie names the path list that maps
// them and the work tree into the image (`pathList`, see graft_plan.h): the
// pathspecs are read from it (" -graft-points -path-list <list>") in place of
// the work tree " kivcd". `dateCommands` names the file of mastering-tool
// commands that date mapped files back to SOURCE_DATE_EPOCH; they follow the
// mkisofs switches after " --".
std::string RenderMakeCdBat(const std::string& programFolder, const std::string& isoLocation, bool optimizeISO,
                            bool efiImage = false, const std::string& sortList = "", const std::string& pathList = "",
                            const std::string& dateCommands = "");

// POSIX rendering, lines ended by LF, every path single-quoted and kept as it
// is (file names are case-sensitive here). The tools are the program folder's
// own `./dfl` and `./mkisofs`.
std::string RenderMakeCdSh(const std::string& programFolder, const std::string& isoLocation, bool optimizeISO,
                           bool efiImage = false, const std::string& sortList = "", const std::string& pathList = "",
                           const std::string& dateCommands = "");

// The duplicate linker's arguments, run in the program folder: `tool` (the
// program folder's dfl) "kivcd" "link".
std::vector<std::string> LinkDuplicatesArgv(const std::string& tool);

// The mastering tool's arguments, run in the program folder: `tool` (the
// program folder's mkisofs), the words of MasteringSwitches(efiImage) without
// their quotes, " --sort-weight-list <list>" where there is one, "-output"
// <isoPath>, then the work tree "kivcd" or the path list's pathspecs with the
// date commands after "--". The same words as the scripts' mastering line.
std::vector<std::string> MasteringArgv(const std::string& tool, const std::string& isoPath, bool efiImage,
                                       const std::string& sortList, const std::string& pathList,
                                       const std::string& dateCommands);

// 'text' with every ' written as '\'' : the shell takes the text literally.
std::string ShellQuote(const std::string& text);

}  // namespace kiv
