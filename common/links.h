#pragma once
// The addresses behind the link labels of both wizards, kept in one place.
// The home-page link opens the program folder's help index; the other two open
// the help pages on the floppy-image tool and on the boot menu.
#include <string>

namespace kiv {

enum class Link { Home, Tools, BootMenu };
// Full target for the program folder given (a file path for local pages).
std::string LinkTarget(Link link, const std::string& programFolder);
// Help topic page: <programFolder>/help/<topic>.html
std::string HelpTopicPath(const std::string& programFolder, int topic);
inline constexpr const char* kHelpWindowTitle = "The Kiv Rescue CD Help";

}  // namespace kiv
