#pragma once
// FrmWait on screen: a small modeless "Please Wait" window with one status
// line, repainted at once whenever the line changes. It opens at the bottom
// of the screen, clear of the middle where the wizards (and the CD builder's
// window, whose build runs bootsmith) show their progress, and it is painted
// with its text before the work that follows Show starts.
#include <QLabel>
#include <QWidget>

#include "disktool/wizard/frm_wait.h"

namespace kiv {

class QtWaitWindow : public QWidget, public WaitWindow {
 public:
  explicit QtWaitWindow(QWidget* parent = nullptr);
  void Show() override;
  void SetStatus(const std::string& text) override;
  void Hide() override;
  void Pump() override;

  QLabel* LblStatus() { return status_; }

 private:
  // Waits (a short while at most) until the window system has put the
  // window on the screen, so that the paint that follows reaches it.
  void WaitUntilExposed();
  QLabel* status_;
};

}  // namespace kiv
