#pragma once
// FrmWizard on screen: the eight pages, the buttons under them and the driver
// selection window. The window mirrors the FrmWizard model (Refresh, called
// whenever the model changes) and hands every click to the model or to the
// WizardFlow; it holds no logic of its own. Help opens the shared help
// window under the disk builder's title.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/vm_trial.h"
#include "disktool/wizard/frm_wizard.h"
#include "disktool/wizard/wizard_flow.h"

namespace kiv {

class DriversDialog;

class WizardWindow : public QWidget {
 public:
  explicit WizardWindow(FrmWizard& form, QWidget* parent = nullptr);
  ~WizardWindow() override;

  void Refresh();
  WizardFlow& Flow() { return flow_; }
  // Called once the program has to end (after the window closed).
  std::function<void()> Ended;
  // How "Try in a virtual machine" finds and starts QEMU; tests give a stand-in.
  VmLauncher Vm;

  // Controls, for tests.
  QStackedWidget* FraMain() { return pages_; }
  QTreeWidget* LV_Disk() { return disks_; }
  QListWidget* LstFiles() { return files_; }
  QPushButton* CmdBack() { return back_; }
  QPushButton* CmdNext() { return next_; }
  QPushButton* CmdFinish() { return finish_; }
  QPushButton* CmdCancel() { return cancel_; }
  QPushButton* CmdHelp() { return help_; }
  QPushButton* CmdSelASPI() { return selAspi_; }
  QPushButton* CmdSelNDIS() { return selNdis_; }
  QCheckBox* ChkASPI() { return chkAspi_; }
  QCheckBox* ChkNDIS() { return chkNdis_; }
  QLineEdit* TxtDest() { return dest_; }
  QRadioButton* OptFloppy() { return optFloppy_; }
  QLabel* LblFinish() { return lblFinish_; }
  QLabel* LblImage() { return lblImage_; }
  QPushButton* CmdOpenFolder() { return openFolder_; }
  DriversDialog* Drivers() { return drivers_.get(); }
  QProgressBar* WorkProgress() { return progress_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* BuildPage0();
  QWidget* BuildPage1();
  QWidget* BuildPage2();
  QWidget* BuildPage3();
  QWidget* BuildPage4();
  QWidget* BuildPage5();
  QWidget* BuildPage6();
  QWidget* BuildPage7();
  void ShowDrivers();
  // The binders: a control made, wired to the model and mirrored by Refresh.
  std::function<void()> Handler(std::function<void()> fn);
  QLabel* MakeLabel(QWidget* parent, const std::string& text, const char* name, bool wrap = true);
  QLineEdit* MakeText(QWidget* parent, std::string& text, const char* name);
  QCheckBox* MakeCheck(QWidget* parent, bool& chosen, std::function<bool()> offered,
                       std::function<std::string()> caption, const char* name);
  QPushButton* MakeSelectButton(QWidget* parent, const bool& chosen, const char* name, std::function<void()> click);
  QRadioButton* MakeOption(QWidget* parent, const char* caption, const char* name, FloppyOutput output,
                           void (FrmWizard::*click)());
  QPushButton* MakeButton(QWidget* parent, const QString& caption, const char* name, std::function<void()> click);
  QPushButton* MakeButton(QWidget* parent, ButtonModel& button, const char* name, std::function<void()> click);

  FrmWizard& form_;
  std::function<void()> previousChanged_;
  WizardFlow flow_;
  bool refreshing_ = false;
  bool closing_ = false;
  bool focusSet_ = false;  // the first page has had its focus set
  std::vector<std::function<void()>> binds_;

  QStackedWidget* pages_;
  QTreeWidget* disks_;
  QCheckBox* chkAspi_;
  QCheckBox* chkNdis_;
  QPushButton* selAspi_;
  QPushButton* selNdis_;
  QListWidget* files_;
  QListWidget* dirs_;
  QRadioButton* optFloppy_;
  QLineEdit* dest_;
  QLabel* lblFinish_;
  QLabel* lblImage_;
  QPushButton* openFolder_;
  QProgressBar* progress_;
  QLabel* msg_[4];
  QLabel* right_[4];
  QPushButton* back_;
  QPushButton* next_;
  QPushButton* finish_;
  QPushButton* cancel_;
  QPushButton* help_;
  std::unique_ptr<DriversDialog> drivers_;
};

}  // namespace kiv
