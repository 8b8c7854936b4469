#pragma once
// The CD's own files: what the build puts on every CD from the program
// folder's template and what it writes itself (boot images, menus, the
// rescue system). A file of the utilities or Additional Files folders that
// would land on one of these paths would silently take its place (the first
// menu entry then boots the user's file), or make the build fail for a
// reason that points elsewhere; the page check refuses it, naming both.
// Names are compared as the CD compares them: without regard to letter case.
#include <map>
#include <optional>
#include <set>
#include <string>

namespace kiv {

struct CdOwnPaths {
  std::set<std::string> files;    // lower-case paths below the CD's root, '/'-separated
  std::set<std::string> folders;  // every folder those lie in
  // The files of the folders checked so far: CD path -> the file on disk.
  std::map<std::string, std::string> userFiles;
};

// The paths the build fills in the program folder's CD tree: the template
// `files/kivcd` as it stands, and the files the build writes into the tree;
// the rescue system's only when it is built (`rescue`).
CdOwnPaths CdOwnFiles(const std::string& programFolder, bool rescue);

// The first file or folder below `folder` that the build would put at one of
// `own`'s paths, or on a folder of them, when the folder's contents go to
// `cdPrefix` ("" for the root, "kiv/" for the utilities), as the text of a
// page-check message naming `what` (the folder's name in the wizard); none
// when there is no clash. The folder is walked as it goes onto the CD: links
// followed (what a link to a folder holds lands below the link's name), dot
// folders and special files left out. The files it walks are added to
// `own`, so a second folder is checked against the first one too.
std::optional<std::string> CdOwnFileClash(const std::string& folder, const std::string& cdPrefix,
                                          const std::string& what, CdOwnPaths& own);

}  // namespace kiv
