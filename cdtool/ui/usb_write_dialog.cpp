#include "cdtool/ui/usb_write_dialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "cdtool/wizard/usb_write_model.h"
#include "common/ui/widget_caption.h"

namespace kiv {
namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

UsbWriteDialog::UsbWriteDialog(UsbWriteModel& model, QWidget* parent) : QDialog(parent), m_(model) {
  setObjectName("FrmWriteUsb");
  setWindowTitle(QStringLiteral("Write to a USB stick"));
  m_.OnPumpEvents = [this] {
    Refresh();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  };
  auto* col = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral("USB stick or other removable disk:"), this);
  col->addWidget(intro);

  auto* row = new QHBoxLayout();
  device_ = new QComboBox(this);
  device_->setObjectName("CboDevice");
  device_->setEditable(true);
  device_->setInsertPolicy(QComboBox::NoInsert);
  device_->setMinimumContentsLength(40);
  device_->lineEdit()->setPlaceholderText(QStringLiteral("/dev/sdX"));
  connect(device_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    m_.CboDevice_Click(index);
    Refresh();
  });
  connect(device_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    m_.TxtDevice_Change(text.toStdString());
    Refresh();
  });
  row->addWidget(device_, 1);
  auto button = [this](Button& model, const char* name, std::function<void()> click) {
    auto* w = new QPushButton(LiteralCaption(model.Caption), this);
    w->setObjectName(name);
    w->setAutoDefault(false);
    connect(w, &QPushButton::clicked, this, [this, click = std::move(click)] {
      click();
      Refresh();
    });
    binds_.push_back([w, &model] {
      w->setEnabled(model.Enabled);
      w->setVisible(model.Visible);
    });
    return w;
  };
  row->addWidget(button(m_.CmdRefresh, "CmdRefresh", [this] { m_.CmdRefresh_Click(); }));
  col->addLayout(row);

  auto label = [this](Label& model, const char* name) {
    auto* w = new QLabel(this);
    w->setObjectName(name);
    w->setWordWrap(true);
    w->setTextFormat(Qt::PlainText);
    binds_.push_back([w, &model] {
      w->setText(Q(model.Caption));
      w->setStyleSheet(model.Red ? QStringLiteral("color: rgb(255,0,0);") : QString());
    });
    return w;
  };
  col->addWidget(label(m_.LblDevice, "LblDevice"));
  col->addSpacing(8);
  col->addWidget(label(m_.LblStatus, "LblStatus"));
  auto* bar = new QProgressBar(this);
  bar->setObjectName("BarWrite");
  binds_.push_back([this, bar] {
    // Byte counts exceed an int: the bar shows them in 1/10000 steps.
    const int64_t span = m_.BarWrite.Max - m_.BarWrite.Min;
    bar->setRange(0, 10000);
    bar->setValue(
        span <= 0 ? 0
                  : static_cast<int>(std::clamp<int64_t>(m_.BarWrite.Value - m_.BarWrite.Min, 0, span) * 10000 / span));
    bar->setVisible(m_.BarWrite.Visible);
  });
  col->addWidget(bar);
  col->addStretch();

  auto* bottom = new QHBoxLayout();
  bottom->addStretch();
  bottom->addWidget(button(m_.CmdWrite, "CmdWrite", [this] { m_.CmdWrite_Click(); }));
  bottom->addWidget(button(m_.CmdClose, "CmdClose", [this] {
    m_.CmdClose_Click();
    if (!m_.Visible) accept();
  }));
  col->addLayout(bottom);
  binds_.push_back([this] {
    device_->setEnabled(m_.TxtDevice.Enabled);
    if (device_->currentText() != Q(m_.TxtDevice.Text)) device_->setEditText(Q(m_.TxtDevice.Text));
  });
  Refresh();
}

void UsbWriteDialog::FillList() {
  const std::vector<std::string> choices = m_.Choices();
  QStringList items;
  for (const std::string& c : choices) items << Q(c);
  QStringList shown;
  for (int i = 0; i < device_->count(); ++i) shown << device_->itemText(i);
  if (shown == items) return;
  device_->clear();
  device_->addItems(items);
}

void UsbWriteDialog::Refresh() {
  FillList();
  for (auto& bind : binds_) bind();
}

void UsbWriteDialog::reject() {
  // Escape and the close box are Close, which waits while a write runs.
  m_.CmdClose_Click();
  if (!m_.Visible) QDialog::reject();
}

}  // namespace kiv
