#include "common/ui_mode.h"

#include <cstdlib>
#include <string>

#include "common/paths.h"

namespace kiv {

UiMode DetectUiMode() {
  const char* ui = std::getenv("KIVCD_UI");
  std::string choice = ui ? Trim(ui) : "";
  if (EqualsNoCase(choice, "console")) return UiMode::Console;
  if (EqualsNoCase(choice, "gui")) return UiMode::Gui;
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  return (set("DISPLAY") || set("WAYLAND_DISPLAY")) ? UiMode::Gui : UiMode::Console;
}

}  // namespace kiv
