#pragma once
// GUI or console: console when KIVCD_UI=console, or when
// there is no display (neither DISPLAY nor WAYLAND_DISPLAY) and KIVCD_UI is not
// "gui"; otherwise GUI.
namespace kiv {

class Environment;
enum class UiMode { Gui, Console };
UiMode DetectUiMode(const Environment& environment);
// Whether windows can be opened at all: DISPLAY or WAYLAND_DISPLAY is set
// (KIVCD_UI chooses only our own windows, not other programs').
bool HasDisplay(const Environment& environment);

}  // namespace kiv
