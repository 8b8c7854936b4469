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

class QGridLayout;

namespace kiv {

class AnswerDialog;
class FrmWin9xInfo;
class FrmWin2KInfo;
class FrmWin10Info;
struct CheckBox;
struct ComboBox;
struct TextBox;

// What both dialogs are made of: a grid of captioned rows (the key boxes,
// the names), and OK and Cancel at the foot. Each row mirrors its model
// field; Refresh shows the model again.
class AnswerDialogView : public QDialog {
 public:
  void Refresh();
  std::array<QLineEdit*, 5> keyBoxes{};
  QPushButton* okButton = nullptr;

 protected:
  AnswerDialogView(AnswerDialog& model, const char* name, QWidget* parent);
  void AddKeyRow();
  QLineEdit* AddLine(const char* caption, TextBox& box, const char* name);
  // Owner Name, Organization and Computer Name.
  void AddNameLines();
  void AddOkCancelRow();
  virtual void Refreshed() {}

  QGridLayout* grid_;
  int row_ = 0;
  std::vector<std::function<void()>> binds_;

 private:
  AnswerDialog& model_;
};

class Win9xInfoDialog : public AnswerDialogView {
 public:
  Win9xInfoDialog(FrmWin9xInfo& model, QWidget* parent);
};

class Win2KInfoDialog : public AnswerDialogView {
 public:
  Win2KInfoDialog(FrmWin2KInfo& model, QWidget* parent);

 private:
  // Widens the template box (and with it the dialog) to show the whole path,
  // up to most of the screen's width.
  void FitTemplateBox();
  void Refreshed() override { FitTemplateBox(); }

  FrmWin2KInfo& m_;
  QLineEdit* templateBox_ = nullptr;
};

// Windows 10/11: the Windows 2000/XP dialog's key, owner, organisation and
// computer name rows, then the edition, the local account, the four options,
// the time zone and the locale.
class Win10InfoDialog : public AnswerDialogView {
 public:
  Win10InfoDialog(FrmWin10Info& model, QWidget* parent);

 private:
  void AddCheck(CheckBox& box, const char* name);
  // An editable list; `empty` is what the box shows while it holds nothing.
  void AddCombo(const char* caption, ComboBox& box, const char* name, const char* empty);
};

}  // namespace kiv
