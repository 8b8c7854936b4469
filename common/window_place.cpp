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
  const ScreenRect right{owner.Right(), owner.y, frame.width, frame.height};
  const ScreenRect left{owner.x - frame.width, owner.y, frame.width, frame.height};
  if (right.Right() > area.Right() && left.x >= area.x) return KeepInside(left, area);
  return KeepInside(right, area);
}

ScreenRect BelowTheMiddle(int width, int height, const ScreenRect& area) {
  // A gap of a twentieth of the height above the bottom edge: room for a
  // title bar that a window manager adds only after the window is placed.
  const int gap = area.height / 20;
  return KeepInside({area.x + (area.width - width) / 2, area.Bottom() - gap - height, width, height}, area);
}

}  // namespace kiv
