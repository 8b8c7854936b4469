#pragma once
// The "Write to a USB stick..." dialog: a view of UsbWriteModel. An editable
// list of the removable disks (or a typed device path), the chosen device's
// size and model, a status line and progress bar, Refresh, Write and Close.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <vector>

namespace kiv {

class UsbWriteModel;

class UsbWriteDialog : public QDialog {
 public:
  UsbWriteDialog(UsbWriteModel& model, QWidget* parent);
  void Refresh();

 protected:
  void reject() override;

 private:
  void FillList();

  UsbWriteModel& m_;
  std::vector<std::function<void()>> binds_;
  QComboBox* device_ = nullptr;
};

}  // namespace kiv
