#pragma once
// FrmWait on screen: a small modeless "Please Wait" window with one status
// line, repainted at once whenever the line changes. It opens centred over
// the window that asked for the work: the CD builder's, whose frame a batch
// run gets on its command line, or else bootsmith's own wizard (a wizard not
// yet shown opens in the middle of the screen, so the window does too). It is
// painted with its text before the work that follows Show starts.
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "disktool/workspace/wait_window.h"

namespace kiv {

class QtWaitWindow : public QWidget, public WaitWindow {
 public:
  explicit QtWaitWindow(QWidget* parent = nullptr);
  void Show() override;
  void SetStatus(const std::string& text) override;
  void Hide() override;
  void Pump() override;
  void CentreOver(const ScreenRect& frame) override { over_ = frame; }
  // bootsmith's wizard, once it exists: the window centres over it when no
  // other frame was given.
  void SetWizard(QWidget* wizard) { wizard_ = wizard; }

  QLabel* LblStatus() { return status_; }

 private:
  // The frame to centre over; none: the middle of the screen.
  std::optional<ScreenRect> Owner() const;
  // Waits (a short while at most) until the window system has put the
  // window on the screen, so that the paint that follows reaches it.
  void WaitUntilExposed();
  QLabel* status_;
  std::optional<ScreenRect> over_;
  QPointer<QWidget> wizard_;
};

}  // namespace kiv
