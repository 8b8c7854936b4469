#include "preparer/placeholders.h"

namespace kiv {

std::string ReplacePlaceholders(const std::string& line, const PlaceholderTable& table) {
  // The line as pieces of template text (searched) and inserted text (not).
  struct Piece {
    std::string text;
    bool inserted;
  };
  std::vector<Piece> pieces{{line, false}};
  for (const auto& [placeholder, replacement] : table) {
    if (placeholder.empty()) continue;
    std::vector<Piece> next;
    for (auto& piece : pieces) {
      if (piece.inserted) {
        next.push_back(std::move(piece));
        continue;
      }
      size_t start = 0;
      for (;;) {
        const size_t at = piece.text.find(placeholder, start);
        if (at == std::string::npos) {
          if (start < piece.text.size()) next.push_back({piece.text.substr(start), false});
          break;
        }
        if (at > start) next.push_back({piece.text.substr(start, at - start), false});
        next.push_back({replacement, true});
        start = at + placeholder.size();
      }
    }
    pieces = std::move(next);
  }
  std::string out;
  for (const auto& piece : pieces) out += piece.text;
  return out;
}

}  // namespace kiv
