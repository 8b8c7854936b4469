// The "Please Wait" window of a batch run and of the DOS import: it opens
// over the window that asked for the work (the CD builder runs bootsmith this
// way while its own window shows the build's progress).
#include "disktool/ui/qt_wait_window.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QWindow>
#include <cstdlib>

#include "testsupport/qt_test_app.h"

namespace kiv {
namespace {

// The middle of a frame, in screen pixels.
QPoint Middle(const QRect& r) { return {r.x() + r.width() / 2, r.y() + r.height() / 2}; }

bool Near(const QPoint& a, const QPoint& b) { return std::abs(a.x() - b.x()) <= 1 && std::abs(a.y() - b.y()) <= 1; }

TEST(QtWaitWindow, ShownWithItsTextCentredOverTheFrameItWasGiven) {
  test::TestApp();
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  // The CD builder's window, up in the left corner.
  const QRect cd(area.x() + 20, area.y() + 30, 500, 400);
  QtWaitWindow wait;
  wait.CentreOver({cd.x(), cd.y(), cd.width(), cd.height()});
  wait.Show();
  // On screen with its first line, before the work that follows begins.
  ASSERT_TRUE(wait.windowHandle() && wait.windowHandle()->isExposed());
  EXPECT_EQ(wait.LblStatus()->text().toStdString(), kWaitInitialStatus);
  EXPECT_GE(wait.LblStatus()->height(), wait.LblStatus()->heightForWidth(wait.LblStatus()->width()));
  EXPECT_TRUE(Near(Middle(wait.frameGeometry()), Middle(cd)))
      << "at " << wait.frameGeometry().x() << "," << wait.frameGeometry().y();

  // A longer line later on keeps the window where it is.
  const QPoint at = wait.pos();
  wait.SetStatus("Copying files to floppy image ...");
  wait.Show();
  EXPECT_EQ(wait.pos(), at);
  EXPECT_EQ(wait.LblStatus()->text(), "Copying files to floppy image ...");
  wait.Hide();

  // A frame mostly off the screen: the window still lies wholly on it.
  QtWaitWindow edge;
  edge.CentreOver({area.right() - 100, area.bottom() - 50, 500, 400});
  edge.Show();
  EXPECT_TRUE(area.contains(edge.frameGeometry()));
  edge.Hide();
}

TEST(QtWaitWindow, WithoutAFrameCentredOverTheWizardOrWhereTheWizardOpens) {
  test::TestApp();
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  // Before the wizard is shown (the DOS import at the first start): the
  // middle of the screen.
  QtWaitWindow first;
  first.Show();
  EXPECT_TRUE(Near(Middle(first.frameGeometry()), Middle(area)));
  first.Hide();

  QWidget wizard;
  wizard.setGeometry(area.x() + area.width() / 2, area.y() + 10, area.width() / 3, area.height() / 3);
  wizard.show();
  QtWaitWindow wait;
  wait.SetWizard(&wizard);
  wait.Show();
  EXPECT_TRUE(Near(Middle(wait.frameGeometry()), Middle(wizard.frameGeometry())))
      << "at " << wait.frameGeometry().x() << "," << wait.frameGeometry().y();
  wait.Hide();
}

}  // namespace
}  // namespace kiv
