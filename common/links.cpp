#include "common/links.h"

#include "common/paths.h"

namespace kiv {

std::string LinkTarget(Link link, const std::string& programFolder) {
  switch (link) {
    case Link::Home:
      return JoinPath(programFolder, "help/index.html");
    case Link::Tools:
      return JoinPath(programFolder, "help/bfi.html");
    case Link::BootMenu:
      return JoinPath(programFolder, "help/bootmenu.html");
  }
  return JoinPath(programFolder, "help/index.html");
}

std::string HelpTopicPath(const std::string& programFolder, int topic) {
  return JoinPath(programFolder, "help/" + std::to_string(topic) + ".html");
}

}  // namespace kiv
