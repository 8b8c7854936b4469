#pragma once
// FrmWait on screen: a small modeless "Please Wait" window with one status
// line, repainted at once whenever the line changes.
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
  QLabel* status_;
};

}  // namespace kiv
