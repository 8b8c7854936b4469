#pragma once
// Where the programs put their secondary windows on the screen. Plain
// rectangles in screen pixels; for a window they are its frame (title bar and
// borders included). The Qt views read their screen's free area and their
// frame sizes and move their windows where these functions say.

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

// The place of a small window of `width` x `height` that must not cover the
// middle of `area`: at its bottom edge, centred across. The wizards open in
// the middle of the screen (the CD builder's window too, whose build starts
// bootsmith as another process that cannot ask where that window is); a
// window there would hide the page that shows the progress. On a screen too
// small to keep clear of the middle it still lies inside `area`.
ScreenRect BelowTheMiddle(int width, int height, const ScreenRect& area);

}  // namespace kiv
