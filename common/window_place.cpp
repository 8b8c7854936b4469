#include "common/window_place.h"

#include <algorithm>
#include <charconv>

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

ScreenRect CentredOver(int width, int height, const ScreenRect& owner, const ScreenRect& area) {
  return KeepInside({owner.x + (owner.width - width) / 2, owner.y + (owner.height - height) / 2, width, height}, area);
}

std::string ScreenRectText(const ScreenRect& rect) {
  return std::to_string(rect.x) + "," + std::to_string(rect.y) + "," + std::to_string(rect.width) + "," +
         std::to_string(rect.height);
}

std::optional<ScreenRect> ParseScreenRect(const std::string& text) {
  int values[4] = {};
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != ',') return std::nullopt;
      ++at;
    }
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, values[i]);
    if (error != std::errc() || end == first) return std::nullopt;
    at = static_cast<size_t>(end - text.data());
  }
  if (at != text.size() || values[2] <= 0 || values[3] <= 0) return std::nullopt;
  return ScreenRect{values[0], values[1], values[2], values[3]};
}

}  // namespace kiv
