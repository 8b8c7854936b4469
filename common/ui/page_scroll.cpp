#include "common/ui/page_scroll.h"

#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

#include "common/window_place.h"

namespace kiv {

QScrollArea* ScrollingPage(QWidget* page) {
  auto* area = new QScrollArea(page->parentWidget());
  area->setObjectName(page->objectName().isEmpty() ? QStringLiteral("PageScroll")
                                                   : page->objectName() + QStringLiteral("Scroll"));
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setFocusPolicy(Qt::NoFocus);
  area->setWidget(page);
  QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget*, QWidget* now) {
    if (now && area->widget() && area->widget()->isAncestorOf(now)) area->ensureWidgetVisible(now, 8, 8);
  });
  return area;
}

void FitOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return;
  // Until a window manager has framed the window its frame is unknown: a
  // title bar's height and a few pixels of border stand in.
  const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
  const int border = 4;
  const QRect free = screen->availableGeometry();
  const ScreenRect area{free.x(), free.y(), free.width(), free.height()};
  const QSize extra(2 * border, titleBar + 2 * border);
  ScreenRect frame{window->x(), window->y(), window->width() + extra.width(), window->height() + extra.height()};
  frame = KeepInside(frame, area);
  // The layout's minimum size still holds: with scrolling pages it is small.
  window->resize(QSize(frame.width, frame.height) - extra);
  // A window manager places a window that was never moved; one that was is
  // moved inside the area.
  if (window->testAttribute(Qt::WA_Moved)) window->move(frame.x, frame.y);
}

}  // namespace kiv
