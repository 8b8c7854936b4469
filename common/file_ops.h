#pragma once
// File and folder operations both builders use. None shows a message: each
// answers false (or an empty text) and the calling step tells the user. Paths may
// use '\' or '/'; existing components are found case-insensitively.
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace kiv {

// Unquoted; a trailing separator dropped; with a wildcard: any match (folders
// too); otherwise true only for a file that can be opened for reading.
bool FileExists(const std::string& path);
// False for a blank path; true for an existing folder (empty or not).
bool FolderExists(const std::string& path);
// Creates every missing level; true when the folder exists afterwards.
bool MakePath(const std::string& folder);
// Removes the tree, read-only files and nested folders included; true when the
// folder no longer exists (also when it never did). Links inside are removed,
// never followed. A file, a link, a blank path and the root give false.
bool DeleteTree(const std::string& folder);
// Recursive copy without progress; overwrites, keeps destination extras;
// hidden entries included, mode and modification time kept. Pipes, sockets
// and devices are skipped, a link back up the tree is not followed again, and
// a destination inside the source is refused.
// On failure `error` (if given) gets "Disk Full", "Permission denied",
// "Disk Not Ready", "Path Not found" or the system's text.
bool CopyFolder(const std::string& Source, const std::string& Destination, std::string* error = nullptr);
// Copies every file matching the pattern's file part (Windows wildcards) from
// its folder into the folder of `destination` (its file part is ignored).
bool CopyFiles(const std::string& sourcePattern, const std::string& destination, std::string* error = nullptr);
// The copies into a folder (CopyFolder, CopyFiles, CopyOneFile and the
// progress copy) write onto an entry that differs only in letter case rather
// than beside it: the trees are for systems where those are one name.
// The name of the entry of `folder` that matches `name` in any letter case
// (`name` itself when there is none).
std::string ExistingNameIn(const std::string& folder, const std::string& name);
// Copies one file, overwriting; written under a temporary name and renamed.
bool CopyOneFile(const std::string& from, const std::string& to, std::string* error = nullptr);
// True if the file exists, or its folder can be made and a test file created
// there and deleted again (the folder is left behind).
bool CanCreateFile(const std::string& path);
// Move / rename: "" on success, otherwise the system's error text.
std::string MoveWithShell(const std::string& from, const std::string& to);
std::string RenameWithShell(const std::string& from, const std::string& to);
// Names (not paths) of the entries of `folder` matching the pattern, sorted
// case-insensitively; `.` and `..` never listed.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern = "*.*", bool files = true,
                                    bool folders = true);
// True when `path` is the folder `folder` or lies inside it, links resolved
// and existing components matched case-insensitively (the path itself need
// not exist yet).
bool IsSameOrInside(const std::string& path, const std::string& folder);
// Size of a file, -1 when missing.
int64_t FileSize(const std::string& path);
// Whole-file read / atomic write (temporary name in the same folder + rename).
// A write that fails says why in `error` when given (see failure_cause.h for
// the words a message uses).
bool ReadWholeFile(const std::string& path, std::string& bytes);
bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::error_code* error = nullptr);
// For the files a run writes in its own folder (logs, scripts, answer files,
// locks): a symbolic link standing at `path` is removed, so what follows
// writes a file of its own there and never the link's target. True when no
// link is left there.
bool DropLinkAt(const std::string& path);

}  // namespace kiv
