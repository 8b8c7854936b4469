#include "common/ui_mode.h"

#include <string>

#include "common/environment.h"
#include "common/paths.h"

namespace kiv {

UiMode DetectUiMode(const Environment& environment) {
  const std::string choice = Trim(environment.Get("KIVCD_UI"));
  if (EqualsNoCase(choice, "console")) return UiMode::Console;
  if (EqualsNoCase(choice, "gui")) return UiMode::Gui;
  return (environment.IsSet("DISPLAY") || environment.IsSet("WAYLAND_DISPLAY")) ? UiMode::Gui : UiMode::Console;
}

}  // namespace kiv
