// Windows on small screens: a window opens no larger than the free area of
// its screen, and a page in a scroll area shows the field that takes the
// focus.
#include "common/ui/page_scroll.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include "testsupport/qt_test_app.h"

namespace kiv {
namespace {

TEST(FitOnScreen, AWindowLargerThanTheScreenIsMadeToFitWithItsTitleBar) {
  test::TestApp();
  QWidget window;
  window.resize(3000, 2000);
  FitOnScreen(&window);
  const QRect free = window.screen()->availableGeometry();
  const int titleBar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
  EXPECT_LE(window.width(), free.width());
  EXPECT_LE(window.height() + titleBar, free.height());
  EXPECT_GT(window.height(), free.height() / 2);  // made to fit, not shrunk away

  // One that fits keeps its size; one moved off the screen comes back.
  QWidget small;
  small.resize(300, 200);
  small.move(free.right() + 50, free.top() + 10);
  FitOnScreen(&small);
  EXPECT_EQ(small.size(), QSize(300, 200));
  EXPECT_TRUE(free.contains(small.geometry()));
}

TEST(ScrollingPage, TheFieldThatTakesTheFocusIsScrolledIntoSight) {
  test::TestApp();
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* page = new QWidget(&window);
  auto* column = new QVBoxLayout(page);
  std::vector<QLineEdit*> fields(30);
  for (QLineEdit*& field : fields) field = new QLineEdit(page);
  for (QLineEdit* field : fields) column->addWidget(field);
  QScrollArea* area = ScrollingPage(page);
  layout->addWidget(area);
  window.resize(300, 150);
  window.show();
  window.activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(area->focusPolicy(), Qt::NoFocus);
  ASSERT_GT(area->verticalScrollBar()->maximum(), 0);
  fields.back()->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  const QRect inView(fields.back()->mapTo(area->viewport(), QPoint(0, 0)), fields.back()->size());
  EXPECT_TRUE(area->viewport()->rect().contains(inView)) << inView.y() << " of " << area->viewport()->height();
  // And back up.
  fields.front()->setFocus(Qt::BacktabFocusReason);
  QApplication::processEvents();
  const QRect top(fields.front()->mapTo(area->viewport(), QPoint(0, 0)), fields.front()->size());
  EXPECT_TRUE(area->viewport()->rect().contains(top)) << top.y();
}

}  // namespace
}  // namespace kiv
