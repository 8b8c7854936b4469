#pragma once
// discsmith's window: the picture strip on the left, the stacked pages of the
// wizard, and Help/Cancel/Back/Next/Finish along the bottom. It mirrors the
// FrmCDBuild model and forwards every click to it; it holds no logic.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "common/vm_trial.h"

namespace kiv {

class FrmCDBuild;
class QtPrompter;
class Win9xInfoDialog;
class Win2KInfoDialog;
class Win10InfoDialog;
struct Label;
struct TextBox;
struct Button;
struct CheckBox;

class CdBuildWindow : public QWidget {
 public:
  CdBuildWindow(FrmCDBuild& form, QtPrompter& prompter);
  ~CdBuildWindow() override;

  // Mirrors every model value into the widgets.
  void Refresh();
  FrmCDBuild& model() { return f_; }
  QStackedWidget* pages() { return pages_; }
  // The widget of a control, by its model name ("ChkGet_Win2k", "CmdNext").
  template <typename W>
  W* control(const char* name) {
    return findChild<W*>(QString::fromLatin1(name));
  }
  // The dialog views (created on first use).
  Win9xInfoDialog& Win9xDialog();
  Win2KInfoDialog& Win2KDialog();
  Win10InfoDialog& Win10Dialog();
  // How the dialogs are run; tests replace it to drive them without a modal loop.
  std::function<int(QDialog&)> RunDialog;
  // How "Try in a virtual machine" finds and starts QEMU; tests give a stand-in.
  VmLauncher Vm;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void AfterEvent();
  void FocusFirstStop();
  std::function<void()> Handler(std::function<void()> fn);
  QLabel* MakeLabel(QWidget* parent, Label& label, const char* name);
  QLabel* MakeHeadline(QWidget* parent, Label& label, const char* name);
  // `changed`, when given, runs after each edit of the user's (the model's
  // change handler), and the window then mirrors the model again.
  QLineEdit* MakeText(QWidget* parent, TextBox& box, const char* name, std::function<void()> changed = nullptr);
  QCheckBox* MakeCheck(QWidget* parent, CheckBox& box, const char* name);
  QPushButton* MakeButton(QWidget* parent, Button& button, const char* name, std::function<void()> click);
  QWidget* MakeSideStrip();
  QWidget* Page0();
  QWidget* Page1();
  QWidget* Page2();
  QWidget* Page3();
  QWidget* Page4();
  QWidget* Page5();
  QWidget* Page6();
  QWidget* Page7();
  QWidget* Page8();
  QWidget* Page9();
  QWidget* Page10();
  QWidget* Page11();

  FrmCDBuild& f_;
  QtPrompter& prompter_;
  QStackedWidget* pages_ = nullptr;
  std::vector<std::function<void()>> binds_;
  std::unique_ptr<Win9xInfoDialog> win9xDialog_;
  std::unique_ptr<Win2KInfoDialog> win2kDialog_;
  std::unique_ptr<Win10InfoDialog> win10Dialog_;
};

}  // namespace kiv
