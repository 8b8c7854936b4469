#include "common/ui/qt_progress_sink.h"

#include <QCoreApplication>

namespace kiv {

void QtProgressSink::SetCaption(const std::string& text) {
  if (caption_) caption_->setText(QString::fromStdString(text));
}

void QtProgressSink::SetMaximum(int64_t max) {
  maximum_ = max < 0 ? 0 : max;
  if (value_ > maximum_) value_ = maximum_;
  ShowBar();
}

void QtProgressSink::SetValue(int64_t value) {
  value_ = value < 0 ? 0 : (value > maximum_ ? maximum_ : value);
  ShowBar();
}

void QtProgressSink::ShowBar() {
  if (!bar_) return;
  // Large byte counts do not fit an int: show them in 1/10000 steps.
  constexpr int kScale = 10000;
  if (maximum_ <= kScale) {
    bar_->setMaximum(static_cast<int>(maximum_));
    bar_->setValue(static_cast<int>(value_));
  } else {
    bar_->setMaximum(kScale);
    bar_->setValue(static_cast<int>(value_ * kScale / maximum_));
  }
}

void QtProgressSink::SetBarVisible(bool visible) {
  barVisible_ = visible;
  if (bar_) bar_->setVisible(visible);
}

void QtProgressSink::SetCancelEnabled(bool enabled) {
  if (cancel_) cancel_->setEnabled(enabled);
}

void QtProgressSink::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); }

}  // namespace kiv
