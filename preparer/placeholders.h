#pragma once
// Placeholder replacement for the kivmax template lines.
#include <string>
#include <utility>
#include <vector>

namespace kiv {

// (placeholder, replacement) pairs, applied in this order.
using PlaceholderTable = std::vector<std::pair<std::string, std::string>>;

// For each placeholder in table order, replaces every occurrence in `line`,
// leftmost first, case-sensitively. Text inserted by a replacement is never
// searched again, neither by the same placeholder nor by a later one, so a
// replacement that itself holds a placeholder cannot loop or cascade; nor can
// a placeholder be formed from text on both sides of an inserted piece.
std::string ReplacePlaceholders(const std::string& line, const PlaceholderTable& table);

}  // namespace kiv
