#pragma once
// The "Select Drivers" window over the FrmDrivers model: a list with check
// boxes (driver name under the kind's header, description), sortable by
// either column (a second click on the same column reverses the order),
// Select/Unselect All, OK and Cancel. The list fills the window above the
// buttons at any size.
#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

#include "disktool/wizard/frm_drivers.h"

namespace kiv {

class DriversDialog : public QDialog {
 public:
  explicit DriversDialog(FrmDrivers& model, QWidget* owner = nullptr);

  // Mirrors the model: caption, headers, rows with their marks.
  void Refresh();
  // Shows modeless (wizard buttons) or modal (batch -sel) as the model says.
  void ShowAsModel();

  QTreeWidget* LV() { return list_; }
  QPushButton* CmdOK() { return ok_; }
  QPushButton* CmdCancel() { return cancel_; }
  QPushButton* CmdSelAll() { return selAll_; }

 private:
  // Check marks the user set, back into the model.
  void Collect();
  FrmDrivers& model_;
  QTreeWidget* list_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* selAll_;
  bool filling_ = false;
};

}  // namespace kiv
