#pragma once
// Reads the output of a rescue-system build line by line and says how far it
// is: mmdebstrap's phase lines ("I: downloading packages with apt..."), the
// hook's own ("rescue: squashing the tree") and mksquashfs's progress bar
// ("[====|    ] 1200/5000  24%"). The fetch and the squashing are the long
// parts, so each gets a wide share of the bar.
#include <optional>
#include <string>

namespace kiv {

struct RescueProgressPoint {
  int percent = 0;      // 0-100, never going back
  std::string caption;  // what is being done, for the progress caption
};

class RescueProgress {
 public:
  // The point a line moves the build to, or nothing when it says nothing new.
  // mksquashfs redraws its bar with carriage returns: each drawing is a line.
  std::optional<RescueProgressPoint> Line(const std::string& line);
  int Percent() const { return percent_; }

 private:
  int percent_ = 0;
  bool squashing_ = false;
};

}  // namespace kiv
