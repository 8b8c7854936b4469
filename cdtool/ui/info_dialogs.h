#pragma once
// The two Windows installation information dialogs as Qt views of their
// models (FrmWin9xInfo, FrmWin2KInfo): five 5-character product-key boxes in a
// fixed-pitch font whose focus moves on as each fills, OK and Cancel.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <functional>
#include <vector>

namespace kiv {

class FrmWin9xInfo;
class FrmWin2KInfo;

class Win9xInfoDialog : public QDialog {
 public:
  Win9xInfoDialog(FrmWin9xInfo& model, QWidget* parent);
  void Refresh();
  std::array<QLineEdit*, 5> keyBoxes{};
  QPushButton* okButton = nullptr;

 private:
  FrmWin9xInfo& m_;
  std::vector<std::function<void()>> binds_;
};

class Win2KInfoDialog : public QDialog {
 public:
  Win2KInfoDialog(FrmWin2KInfo& model, QWidget* parent);
  void Refresh();
  std::array<QLineEdit*, 5> keyBoxes{};
  QPushButton* okButton = nullptr;

 private:
  // Widens the template box (and with it the dialog) to show the whole path,
  // up to most of the screen's width.
  void FitTemplateBox();

  FrmWin2KInfo& m_;
  std::vector<std::function<void()>> binds_;
  QLineEdit* templateBox_ = nullptr;
};

}  // namespace kiv
