#pragma once
// A ProgressSink over real widgets: the caption label, the progress bar and
// the Cancel button. PumpEvents lets the window handle its pending events
// (repaints, Cancel clicks) while a long operation runs on its thread.
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include "common/progress_sink.h"

namespace kiv {

class QtProgressSink : public ProgressSink {
 public:
  QtProgressSink(QLabel* caption, QProgressBar* bar, QPushButton* cancel)
      : caption_(caption), bar_(bar), cancel_(cancel) {}

  void SetCaption(const std::string& text) override;
  void SetMaximum(int64_t max) override;
  void SetValue(int64_t value) override;
  int64_t Value() const override { return value_; }
  int64_t Maximum() const override { return maximum_; }
  void SetBarVisible(bool visible) override;
  bool BarVisible() const override { return barVisible_; }
  void SetCancelEnabled(bool enabled) override;
  void PumpEvents() override;

 private:
  void ShowBar();
  QPointer<QLabel> caption_;
  QPointer<QProgressBar> bar_;
  QPointer<QPushButton> cancel_;
  // Values are kept in 64 bits; the bar (int) shows them scaled.
  int64_t maximum_ = 100;
  int64_t value_ = 0;
  bool barVisible_ = true;
};

}  // namespace kiv
