#pragma once
// Where the programs put their secondary windows on the screen. Plain
// rectangles in screen pixels; for a window they are its frame (title bar and
// borders included). The Qt views read their screen's free area and their
// frame sizes and move their windows where these functions say.
#include <optional>
#include <string>

namespace kiv {

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int Right() const { return x + width; }    // first column past the rectangle
  int Bottom() const { return y + height; }  // first row past the rectangle
  bool operator==(const ScreenRect&) const = default;
};

// `frame` moved, and first made smaller where it is larger than `area`, so
// that it lies wholly inside `area`: a window opened partly off the screen
// cannot be read, nor moved back by a title bar that is off it too.
ScreenRect KeepInside(ScreenRect frame, const ScreenRect& area);

// A window of `frame`'s size opening beside the window `owner`, top edges
// level: to its right when it fits there, else to its left; when it fits on
// neither side, on the side with more room, narrowed to that room if it keeps
// two thirds of its width, else covering the owner's edge there. Always
// wholly inside `area`.
ScreenRect BesideInside(const ScreenRect& frame, const ScreenRect& owner, const ScreenRect& area);

// A window of `width` x `height` centred over the window `owner` (the one
// that asked for it), moved where needed to lie wholly inside `area`.
ScreenRect CentredOver(int width, int height, const ScreenRect& owner, const ScreenRect& area);

// A window's frame as one command-line word, "x,y,width,height", and back.
// Parsing gives nothing for any other text, and for a width or height that is
// not positive.
std::string ScreenRectText(const ScreenRect& rect);
std::optional<ScreenRect> ParseScreenRect(const std::string& text);

// How a program that starts another hands it the frame of the window the
// user is looking at, for the other's windows to open over it:
// "--over-window=" followed by ScreenRectText.
inline constexpr const char* kOverWindowSwitch = "--over-window=";

}  // namespace kiv
