#include "common/window_place.h"

#include <algorithm>

namespace kiv {

ScreenRect KeepInside(ScreenRect frame, const ScreenRect& area) {
  frame.width = std::min(frame.width, area.width);
  frame.height = std::min(frame.height, area.height);
  frame.x = std::clamp(frame.x, area.x, area.Right() - frame.width);
  frame.y = std::clamp(frame.y, area.y, area.Bottom() - frame.height);
  return frame;
}

ScreenRect BesideInside(const ScreenRect& frame, const ScreenRect& owner, const ScreenRect& area) {
  const int roomRight = area.Right() - owner.Right();
  const int roomLeft = owner.x - area.x;
  // The right side when the window fits there or has the more room there.
  const bool right = frame.width <= roomRight || (frame.width > roomLeft && roomRight >= roomLeft);
  const int room = right ? roomRight : roomLeft;
  // Where it does not fit, it is narrowed to the room when it keeps two
  // thirds of its width; otherwise it covers part of the owner.
  const int width = frame.width > room && room * 3 >= frame.width * 2 ? room : frame.width;
  return KeepInside({right ? owner.Right() : owner.x - width, owner.y, width, frame.height}, area);
}

ScreenRect BelowTheMiddle(int width, int height, const ScreenRect& area) {
  // A gap of a twentieth of the height above the bottom edge: room for a
  // title bar that a window manager adds only after the window is placed.
  const int gap = area.height / 20;
  return KeepInside({area.x + (area.width - width) / 2, area.Bottom() - gap - height, width, height}, area);
}

}  // namespace kiv
