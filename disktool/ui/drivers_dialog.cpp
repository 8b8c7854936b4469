#include "disktool/ui/drivers_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace kiv {

DriversDialog::DriversDialog(FrmDrivers& model, QWidget* owner) : QDialog(owner), model_(model) {
  setObjectName("FrmDrivers");
  list_ = new QTreeWidget(this);
  list_->setObjectName("LV");
  list_->setColumnCount(2);
  list_->setRootIsDecorated(false);
  list_->setSortingEnabled(false);  // the model sorts; the view shows its order
  list_->header()->setSectionsClickable(true);
  ok_ = new QPushButton("OK", this);
  ok_->setObjectName("CmdOK");
  ok_->setDefault(true);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("CmdCancel");
  selAll_ = new QPushButton(this);
  selAll_->setObjectName("CmdSelAll");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(selAll_);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  resize(520, 360);

  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    Collect();
    model_.ColumnClick(column);
    Refresh();
  });
  connect(selAll_, &QPushButton::clicked, this, [this] {
    Collect();
    model_.CmdSelAll_Click();
    Refresh();
  });
  connect(ok_, &QPushButton::clicked, this, [this] {
    Collect();
    model_.CmdOK_Click();
    accept();
  });
  connect(cancel_, &QPushButton::clicked, this, [this] {
    model_.CmdCancel_Click();
    reject();
  });
  connect(this, &QDialog::rejected, this, [this] { model_.Visible = false; });
  Refresh();
}

void DriversDialog::Collect() {
  if (filling_) return;
  const int n = std::min<int>(list_->topLevelItemCount(), static_cast<int>(model_.LV.size()));
  for (int i = 0; i < n; ++i) model_.LV[i].Checked = list_->topLevelItem(i)->checkState(0) == Qt::Checked;
}

void DriversDialog::Refresh() {
  filling_ = true;
  setWindowTitle(QString::fromStdString(model_.Caption));
  list_->setHeaderLabels(
      {QString::fromStdString(model_.ColumnHeader[0]), QString::fromStdString(model_.ColumnHeader[1])});
  list_->clear();
  for (const DriverItem& d : model_.LV) {
    auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(d.Name), QString::fromStdString(d.Description)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, d.Checked ? Qt::Checked : Qt::Unchecked);
  }
  list_->header()->setSortIndicatorShown(model_.Sorted);
  if (model_.Sorted) {
    list_->header()->setSortIndicator(model_.SortColumn,
                                      model_.SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
  }
  list_->resizeColumnToContents(0);
  selAll_->setText(QString::fromStdString(model_.CmdSelAllCaption()));
  filling_ = false;
}

void DriversDialog::ShowAsModel() {
  Refresh();
  if (model_.Modal) {
    exec();
  } else {
    show();
    raise();
  }
}

}  // namespace kiv
