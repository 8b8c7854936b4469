#include "disktool/ui/qt_wait_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

#include "common/window_place.h"

namespace kiv {

QtWaitWindow::QtWaitWindow(QWidget* parent) : QWidget(parent, Qt::Dialog) {
  setWindowTitle("Please Wait");
  setObjectName("FrmWait");
  status_ = new QLabel(QString::fromUtf8(kWaitInitialStatus), this);
  status_->setObjectName("LblStatus");
  status_->setWordWrap(true);
  status_->setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
}

std::optional<ScreenRect> QtWaitWindow::Owner() const {
  if (over_) return over_;
  if (wizard_ && wizard_->isVisible()) {
    const QRect frame = wizard_->frameGeometry();
    return ScreenRect{frame.x(), frame.y(), frame.width(), frame.height()};
  }
  return std::nullopt;
}

void QtWaitWindow::Show() {
  if (!isVisible()) {
    // Sized for its text and placed before it is mapped, so it never shows
    // empty or somewhere else first.
    adjustSize();
    create();  // the frame's borders, where the platform knows them before showing
    const std::optional<ScreenRect> owner = Owner();
    // The screen the owner is on (most of it), else the primary one.
    const QScreen* s =
        owner ? QGuiApplication::screenAt(QPoint(owner->x + owner->width / 2, owner->y + owner->height / 2)) : nullptr;
    if (!s) s = QGuiApplication::primaryScreen();
    if (s) {
      const QRect free = s->availableGeometry();
      const ScreenRect area{free.x(), free.y(), free.width(), free.height()};
      const QSize borders = frameGeometry().size() - geometry().size();
      const ScreenRect place =
          CentredOver(width() + borders.width(), height() + borders.height(), owner.value_or(area), area);
      move(place.x, place.y);
    }
  }
  show();
  raise();
  WaitUntilExposed();
  repaint();
  QApplication::processEvents();
}

void QtWaitWindow::WaitUntilExposed() {
  QElapsedTimer waited;
  waited.start();
  // A window manager maps the window a moment after show(); a repaint before
  // that is lost, and the work that follows leaves the window blank.
  while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < 1000) {
    QApplication::processEvents();
    QThread::msleep(5);
  }
}

void QtWaitWindow::SetStatus(const std::string& text) {
  status_->setText(QString::fromStdString(text));
  status_->repaint();
  QApplication::processEvents();
}

void QtWaitWindow::Hide() { hide(); }

void QtWaitWindow::Pump() { QApplication::processEvents(); }

}  // namespace kiv
