#pragma once
// In-process stand-ins for the outside tools of a bootsmith build, for a
// FakeLauncher: cabarc packs a folder into a stand-in cabinet and extracts
// members of one, bfi leaves an image file. Both work relative to the
// command's working folder, as the real tools do.
//
// A stand-in cabinet is a plain container ("KIVFAKECAB", then per member its
// path, its size and its bytes); only these stand-ins read and write it.
#include <string>
#include <utility>
#include <vector>

#include "testsupport/fake_launcher.h"

namespace kiv::testing {

using CabinetMembers = std::vector<std::pair<std::string, std::string>>;  // path, bytes

// Writes a stand-in cabinet holding `members` (paths with '/').
bool WriteFakeCabinet(const std::string& path, const CabinetMembers& members);
// The members of a stand-in cabinet; false when it is missing or not one.
bool ReadFakeCabinet(const std::string& path, CabinetMembers& members);

// cabarc: "-o x <cabinet> <pattern>" extracts the members whose file name
// matches the pattern into the working folder; "... -P <folder>/ n <cabinet>
// <files>" packs every file below <folder>. Exit 1 and no cabinet when the
// folder or the cabinet to read is missing.
FakeRun FakeCabarc(const FakeCommand& command);
// bfi: writes an image of the size -t= asks for (1,474,560 or 2,949,120
// bytes, a FAT12 boot sector first, "image\n" after its BPB) to the file of
// its -f= argument.
FakeRun FakeBfi(const FakeCommand& command);
// A tool that fails (exit 1) after printing `said`, leaving nothing.
FakeProgram FailingTool(std::string said = "");
// An image tool whose "image" is the list of the files of the tree it was
// given (its last argument), one relative path a line, sorted: what a build
// put on the floppy, readable in the image file.
FakeRun TreeListingBfi(const FakeCommand& command);

// An IO.SYS shaped as MS-DOS 7's (an "MZ" program with "BJ" at 200h, as the
// floppy's boot sector knows it), `tag` after the signature.
std::string FakeMsDos7IoSys(const std::string& tag);
// A DOS file as a test writes it: `text`, or for IO.SYS that text in an
// MS-DOS 7 shaped IO.SYS.
std::string FakeDosFile(const std::string& name, const std::string& text);

// Registers FakeCabarc and FakeBfi.
void AddFakeDiskTools(FakeLauncher& launcher);

// `path` joined to the command's working folder unless it is absolute.
std::string InWorkingFolder(const FakeCommand& command, const std::string& path);

}  // namespace kiv::testing
