#include "cdtool/rescue/rescue_progress.h"

#include <cctype>
#include <vector>

namespace kiv {

namespace {

struct Phase {
  const char* start;  // how the line starts
  int percent;
  const char* caption;
};

// In the order they come. The squashing runs from 80% to 98%.
const std::vector<Phase>& Phases() {
  static const std::vector<Phase> phases = {
      {"I: running apt-get update", 2, "reading the package lists"},
      {"I: downloading packages", 5, "downloading the packages"},
      {"I: extracting archives", 30, "unpacking the packages"},
      {"I: installing essential packages", 35, "installing the base system"},
      {"I: installing remaining packages", 45, "installing the rescue tools and the kernel"},
      {"rescue: setting up", 72, "setting up the root shell and the greeting"},
      {"rescue: taking out the kernel", 75, "taking out the kernel and the initramfs"},
      {"rescue: leaving out", 78, "leaving out what a live system does not need"},
      {"rescue: squashing", 80, "squashing the system"},
      {"I: cleaning package lists", 98, "cleaning up"},
      {"I: success", 100, "done"},
  };
  return phases;
}

constexpr int kSquashFrom = 80;
constexpr int kSquashTo = 98;

// The percentage at the end of a mksquashfs progress line ("... 24%"), or -1.
int TrailingPercent(const std::string& line) {
  size_t end = line.find_last_not_of(" \r");
  if (end == std::string::npos || line[end] != '%') return -1;
  size_t from = end;
  while (from > 0 && std::isdigit(static_cast<unsigned char>(line[from - 1]))) --from;
  if (from == end || end - from > 3) return -1;
  const int n = std::stoi(line.substr(from, end - from));
  return n <= 100 ? n : -1;
}

}  // namespace

std::optional<RescueProgressPoint> RescueProgress::Line(const std::string& line) {
  for (const Phase& p : Phases()) {
    if (line.rfind(p.start, 0) != 0) continue;
    squashing_ = p.percent == kSquashFrom;
    if (p.percent < percent_) return std::nullopt;
    percent_ = p.percent;
    return RescueProgressPoint{percent_, p.caption};
  }
  if (!squashing_) return std::nullopt;
  const int done = TrailingPercent(line);
  if (done < 0) return std::nullopt;
  const int percent = kSquashFrom + done * (kSquashTo - kSquashFrom) / 100;
  if (percent <= percent_) return std::nullopt;
  percent_ = percent;
  return RescueProgressPoint{percent_, "squashing the system (" + std::to_string(done) + "%)"};
}

}  // namespace kiv
