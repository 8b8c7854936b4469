#include "disktool/ui/qt_wait_window.h"

#include <QApplication>
#include <QVBoxLayout>

namespace kiv {

QtWaitWindow::QtWaitWindow(QWidget* parent) : QWidget(parent, Qt::Dialog) {
  setWindowTitle(kWaitCaption);
  setObjectName("FrmWait");
  status_ = new QLabel(QString::fromUtf8(kWaitInitialStatus), this);
  status_->setObjectName("LblStatus");
  status_->setWordWrap(true);
  status_->setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
}

void QtWaitWindow::Show() {
  show();
  raise();
  repaint();
  QApplication::processEvents();
}

void QtWaitWindow::SetStatus(const std::string& text) {
  status_->setText(QString::fromStdString(text));
  status_->repaint();
  QApplication::processEvents();
}

void QtWaitWindow::Hide() { hide(); }

void QtWaitWindow::Pump() { QApplication::processEvents(); }

}  // namespace kiv
