#include "common/ui/help_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QScreen>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "common/window_place.h"

namespace kiv {

namespace {
HelpWindow* g_window = nullptr;

ScreenRect Rect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// A window's title bar and borders, as its window manager drew them (none
// before it has).
QMargins FrameMargins(const QWidget& window) {
  const QRect frame = window.frameGeometry(), inner = window.geometry();
  return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
          frame.bottom() - inner.bottom()};
}

// The window the help opens beside: the active one, else the largest window
// on screen (without a window manager no window is active).
const QWidget* AskingWindow(const QWidget* help) {
  if (const QWidget* active = QApplication::activeWindow(); active && active != help) return active;
  const QWidget* largest = nullptr;
  for (const QWidget* w : QApplication::topLevelWidgets()) {
    if (w == help || !w->isVisible() || !w->isWindow()) continue;
    if (!largest || w->width() * w->height() > largest->width() * largest->height()) largest = w;
  }
  return largest;
}
}  // namespace

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
  setWindowTitle(QString::fromUtf8(kHelpWindowTitle));
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(560, 520);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(this);
  // Pages link to each other; addresses outside the help go to the browser.
  browser_->setOpenLinks(false);
  QObject::connect(browser_, &QTextBrowser::anchorClicked, browser_, [this](const QUrl& url) {
    if (url.isRelative() || url.isLocalFile()) browser_->setSource(browser_->source().resolved(url));
    else QDesktopServices::openUrl(url);
  });
  layout->addWidget(browser_);
  // Esc closes the help, as it closes a dialog.
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  close->setContext(Qt::WindowShortcut);
  QObject::connect(close, &QShortcut::activated, this, &QWidget::close);
}

HelpWindow::~HelpWindow() {
  if (g_window == this) g_window = nullptr;
}

HelpWindow& HelpWindow::Instance() {
  if (!g_window) g_window = new HelpWindow();
  return *g_window;
}

bool HelpWindow::IsOpen() { return g_window && g_window->isVisible(); }

bool HelpWindow::FollowsPages() { return IsOpen() && !g_window->held_; }

void HelpWindow::closeEvent(QCloseEvent* event) {
  // Opened again, it follows the wizard's pages.
  held_ = false;
  QWidget::closeEvent(event);
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
  // The box is answered: the window stays, as one of its own.
  if (watched == over_ && event->type() == QEvent::Hide) KeepOver(nullptr);
  return QWidget::eventFilter(watched, event);
}

void HelpWindow::KeepOver(QWidget* dialog) {
  if (over_ == dialog && parentWidget() == dialog) return;
  if (over_) over_->removeEventFilter(this);
  // A new parent hides a window; it comes back where it was.
  const bool shown = !isHidden();
  const QRect place = geometry();
  setParent(dialog, windowFlags() | Qt::Window);
  over_ = dialog;
  if (dialog) dialog->installEventFilter(this);
  if (shown) {
    setGeometry(place);
    show();
  }
}

void HelpWindow::PlaceForOpening(const QWidget* beside) {
  const QScreen* screen = beside ? beside->screen() : this->screen();
  if (!screen) return;
  // The frame's borders and title bar. A window manager adds them only once
  // it has shown the window; until then those of the asking window, which it
  // decorates alike, stand in.
  create();
  QMargins borders = FrameMargins(*this);
  if (beside) {
    const QMargins asking = FrameMargins(*beside);
    borders = QMargins(std::max(borders.left(), asking.left()), std::max(borders.top(), asking.top()),
                       std::max(borders.right(), asking.right()), std::max(borders.bottom(), asking.bottom()));
  }
  const int across = borders.left() + borders.right(), down = borders.top() + borders.bottom();
  const ScreenRect area = Rect(screen->availableGeometry());
  ScreenRect frame{x(), y(), width() + across, height() + down};
  frame = beside ? BesideInside(frame, Rect(beside->frameGeometry()), area) : KeepInside(frame, area);
  // The window itself is placed inside the frame: a window not yet framed
  // would otherwise have its title bar above the place meant for the frame
  // (off the top of the screen when that is the top).
  setGeometry(frame.x + borders.left(), frame.y + borders.top(), frame.width - across, frame.height - down);
}

void HelpWindow::ShowTopic(const std::string& programFolder, int topic, const std::string& title) {
  HelpWindow& w = Instance();
  w.held_ = false;
  w.Show(programFolder, topic, title);
}

void HelpWindow::ShowTopicOver(QWidget* asking, const std::string& programFolder, int topic, const std::string& title) {
  HelpWindow& w = Instance();
  // A modal box blocks every window but its own: the help becomes one of the
  // box's windows, which also keeps it above the box.
  w.KeepOver(asking ? asking->window() : nullptr);
  w.held_ = true;
  w.Show(programFolder, topic, title);
  w.activateWindow();
}

void HelpWindow::Show(const std::string& programFolder, int topic, const std::string& title) {
  HelpWindow& w = *this;
  w.topic_ = topic;
  w.setWindowTitle(QString::fromStdString(title));
  const QString path = QString::fromStdString(HelpTopicPath(programFolder, topic));
  if (QFile::exists(path)) {
    w.browser_->setSource(QUrl::fromLocalFile(path));
  } else {
    w.browser_->setHtml(
        QStringLiteral("<h2>Help</h2><p>The help page for topic %1 was not found:</p><p><tt>%2</tt></p>")
            .arg(topic)
            .arg(path.toHtmlEscaped()));
  }
  // An open window stays where the user has put it.
  if (!w.isVisible()) w.PlaceForOpening(over_ ? over_.data() : AskingWindow(&w));
  // Asked for, it comes into sight, also when it had been minimized.
  w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
  w.show();
  w.raise();
}

}  // namespace kiv
