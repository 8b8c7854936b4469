#pragma once
// The small "Please Wait" window of batch mode and of the DOS import: one
// status line, shown without blocking. The Qt window lives in ui/; without a
// display the status lines go to stderr.
#include <optional>
#include <string>
#include <vector>

#include "common/window_place.h"

namespace kiv {

inline constexpr const char* kWaitInitialStatus = "Copying Files ... Please wait, this should take only few seconds";

class WaitWindow {
 public:
  virtual ~WaitWindow() = default;
  // Shows the window without blocking and repaints it.
  virtual void Show() = 0;
  // Sets the status line and repaints it before the caller goes on with its
  // work.
  virtual void SetStatus(const std::string& text) = 0;
  virtual void Hide() = 0;
  // Lets the window handle its pending events.
  virtual void Pump() {}
  // The frame of the window that asked for this run (the CD builder's, from
  // the command line): the window opens centred over it.
  virtual void CentreOver(const ScreenRect& /*frame*/) {}
};

// Console mode: every new status line is written to stderr, one per line.
class ConsoleWaitWindow : public WaitWindow {
 public:
  void Show() override;
  void SetStatus(const std::string& text) override;
  void Hide() override {}

 private:
  std::string last_;
};

// Keeps every status line in order (tests; models a view mirrors).
class MemoryWaitWindow : public WaitWindow {
 public:
  void Show() override { visible = true; }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void Hide() override { visible = false; }
  void CentreOver(const ScreenRect& frame) override { over = frame; }

  bool visible = false;
  std::vector<std::string> statuses;
  std::optional<ScreenRect> over;
};

}  // namespace kiv
