// The "Please Wait" window of a batch run (the CD builder runs bootsmith this
// way while its own window shows the build's progress).
#include "disktool/ui/qt_wait_window.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QWindow>

#include "testsupport/qt_test_app.h"

namespace kiv {
namespace {

TEST(QtWaitWindow, ShownWithItsTextAtTheBottomClearOfTheMiddle) {
  test::TestApp();
  QtWaitWindow wait;
  wait.Show();
  // On screen with its first line, before the work that follows begins.
  ASSERT_TRUE(wait.windowHandle() && wait.windowHandle()->isExposed());
  EXPECT_EQ(wait.LblStatus()->text().toStdString(), kWaitInitialStatus);
  EXPECT_GE(wait.LblStatus()->height(), wait.LblStatus()->heightForWidth(wait.LblStatus()->width()));

  const QRect area = wait.screen()->availableGeometry();
  const QRect frame = wait.frameGeometry();
  EXPECT_TRUE(area.contains(frame));
  // The middle half of the screen, where the wizards open, stays free.
  const QRect middle(area.x() + area.width() / 4, area.y() + area.height() / 4, area.width() / 2, area.height() / 2);
  EXPECT_FALSE(frame.intersects(middle)) << "at " << frame.x() << "," << frame.y();
  EXPECT_GT(frame.top(), area.center().y());
  const int leftGap = frame.x() - area.x(), rightGap = area.x() + area.width() - frame.x() - frame.width();
  EXPECT_LE(std::abs(leftGap - rightGap), 1) << "not centred across the screen";

  // A longer line later on keeps the window where it is.
  const QPoint at = wait.pos();
  wait.SetStatus("Copying files to floppy image ...");
  wait.Show();
  EXPECT_EQ(wait.pos(), at);
  EXPECT_EQ(wait.LblStatus()->text(), "Copying files to floppy image ...");
  wait.Hide();
}

}  // namespace
}  // namespace kiv
