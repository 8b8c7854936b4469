#pragma once
// GUI or console: console when KIVCD_UI=console, or when
// there is no display (neither DISPLAY nor WAYLAND_DISPLAY) and KIVCD_UI is not
// "gui"; otherwise GUI.
namespace kiv {

class Environment;
enum class UiMode { Gui, Console };
UiMode DetectUiMode(const Environment& environment);

}  // namespace kiv
