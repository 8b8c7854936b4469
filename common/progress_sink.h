#pragma once
// What a long operation tells the screen: one caption (the label under the bar),
// one progress bar, the Cancel button's state, and a chance for the window to
// handle its events. The Qt windows, the console mode and the tests each give
// their own implementation; operations never touch widgets.
#include <cstdint>
#include <string>

namespace kiv {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetMaximum(int64_t max) = 0;
  virtual void SetValue(int64_t value) = 0;
  virtual int64_t Value() const = 0;
  virtual int64_t Maximum() const = 0;
  virtual void SetBarVisible(bool visible) = 0;
  virtual bool BarVisible() const = 0;
  virtual void SetCancelEnabled(bool enabled) = 0;
  // Lets the window process pending events (Cancel clicks, repaints).
  virtual void PumpEvents() = 0;
  // True when the program was asked to stop (not a Cancel click: Cancel lets
  // a running copy finish); long operations end early then.
  virtual bool StopRequested() const { return false; }
};

// Keeps the values in memory and does nothing else; base for tests and for
// models that a view mirrors.
class MemoryProgressSink : public ProgressSink {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void SetMaximum(int64_t max) override { maximum = max; }
  void SetValue(int64_t v) override { value = v; }
  int64_t Value() const override { return value; }
  int64_t Maximum() const override { return maximum; }
  void SetBarVisible(bool v) override { barVisible = v; }
  bool BarVisible() const override { return barVisible; }
  void SetCancelEnabled(bool e) override { cancelEnabled = e; }
  void PumpEvents() override { ++pumps; }
  bool StopRequested() const override { return stop; }

  std::string caption;
  int64_t maximum = 100;
  int64_t value = 0;
  bool barVisible = false;
  bool cancelEnabled = false;
  int pumps = 0;
  bool stop = false;
};

}  // namespace kiv
