#include "common/desktop_open.h"

#include "common/platform.h"
#include "common/prompter.h"

namespace kiv {

bool ExploreFolder(const Platform& platform, Prompter& prompter, const std::string& folder) {
  if (platform.OpenFolder(folder)) return true;
  prompter.Inform("No file manager could be started to show the folder\n" + folder +
                      "\nOpen this folder with a file manager of your choice.",
                  "Explore", Icon::Exclamation);
  return false;
}

bool ExploreFolderOf(const Platform& platform, Prompter& prompter, const std::string& file) {
  const size_t cut = file.find_last_of("/\\");
  // A file in the root keeps the root; a bare name lies in the current folder.
  return ExploreFolder(platform, prompter,
                       cut == std::string::npos ? std::string(".") : file.substr(0, cut + (cut == 0 ? 1 : 0)));
}

bool OpenDocument(const Platform& platform, Prompter& prompter, const std::string& file) {
  if (platform.OpenLink(file)) return true;
  prompter.Inform(
      "No program could be started to show the file\n" + file + "\nOpen this file with a text editor of your choice.",
      "Open Log", Icon::Exclamation);
  return false;
}

bool OpenLinkTarget(const Platform& platform, Prompter& prompter, const std::string& target) {
  if (platform.OpenLink(target)) return true;
  prompter.Inform(
      "No web browser could be started to open\n" + target + "\nOpen this address in a web browser of your choice.",
      "Open Link", Icon::Exclamation);
  return false;
}

}  // namespace kiv
