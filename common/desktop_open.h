#pragma once
// The Explore buttons and the link labels: a folder or a page is handed to the
// desktop (file manager, browser). When no program can be started for it, the
// user is told so, with the folder or address to open by hand; a click that
// does nothing and says nothing leaves them guessing.
#include <string>

namespace kiv {

class Platform;
class Prompter;

// Shows `folder` in the desktop's file manager; false (after the message)
// when none could be started.
bool ExploreFolder(const Platform& platform, Prompter& prompter, const std::string& folder);
// The same for the folder that holds `file` (the finish pages' Open Folder).
bool ExploreFolderOf(const Platform& platform, Prompter& prompter, const std::string& file);
// Opens a file (a log) in the program the desktop has for it; false (after
// the message) when none could be started.
bool OpenDocument(const Platform& platform, Prompter& prompter, const std::string& file);
// Opens a web page or local help page; false (after the message) when no
// program could be started for it.
bool OpenLinkTarget(const Platform& platform, Prompter& prompter, const std::string& target);

}  // namespace kiv
