#include "common/ui_mode.h"

#include <string>

#include "common/environment.h"
#include "common/paths.h"

namespace kiv {

UiMode DetectUiMode(const Environment& environment) {
  const std::string choice = Trim(environment.Get("KIVCD_UI"));
  if (EqualsNoCase(choice, "console")) return UiMode::Console;
  if (EqualsNoCase(choice, "gui")) return UiMode::Gui;
  return HasDisplay(environment) ? UiMode::Gui : UiMode::Console;
}

bool HasDisplay(const Environment& environment) {
  return environment.IsSet("DISPLAY") || environment.IsSet("WAYLAND_DISPLAY");
}

}  // namespace kiv
