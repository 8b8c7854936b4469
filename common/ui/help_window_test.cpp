// The help window as people open it: inside the screen, beside the window
// that asked for it, closed with Esc, titled for the program that opened it.
#include "common/ui/help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>

#include "testsupport/qt_test_app.h"

namespace kiv {
namespace {

// A small window at the top left of the screen, asking for the help.
struct Asking {
  QApplication& app = test::TestApp();
  QWidget window;
  Asking() {
    HelpWindow::Instance().hide();
    window.setWindowTitle("wizard");
    window.resize(200, 300);
    window.move(0, 0);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
  }
  ~Asking() { HelpWindow::Instance().hide(); }
};

QRect Area() { return HelpWindow::Instance().screen()->availableGeometry(); }

TEST(HelpWindow, OpensInsideTheScreenBesideTheAskingWindow) {
  Asking a;
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1110);
  HelpWindow& help = HelpWindow::Instance();
  ASSERT_TRUE(HelpWindow::IsOpen());
  EXPECT_TRUE(Area().contains(help.frameGeometry()))
      << "help at " << help.frameGeometry().x() << "," << help.frameGeometry().y();
  EXPECT_FALSE(help.frameGeometry().intersects(a.window.frameGeometry())) << "the help covers the wizard";

  // Moved partly off the screen and closed, it opens inside it again.
  help.move(Area().right() - 100, Area().bottom() - 100);
  help.hide();
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1120);
  EXPECT_TRUE(Area().contains(help.frameGeometry()));

  // While it is open, a new topic leaves it where the user has put it.
  help.move(Area().x() + 350, Area().y() + 20);
  QApplication::processEvents();
  const QRect put = help.frameGeometry();
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1130);
  EXPECT_EQ(help.frameGeometry(), put);
}

TEST(HelpWindow, AMinimizedWindowComesBackWhenHelpIsAskedFor) {
  Asking a;
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1110);
  HelpWindow& help = HelpWindow::Instance();
  help.showMinimized();
  QApplication::processEvents();
  ASSERT_TRUE(help.isMinimized());
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1120);
  EXPECT_FALSE(help.isMinimized());
  EXPECT_TRUE(HelpWindow::IsOpen());
}

TEST(HelpWindow, EscClosesIt) {
  Asking a;
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1110);
  HelpWindow& help = HelpWindow::Instance();
  help.activateWindow();
  help.Browser()->setFocus();
  QApplication::processEvents();
  QTest::keyClick(help.Browser(), Qt::Key_Escape);
  EXPECT_FALSE(HelpWindow::IsOpen());
}

TEST(HelpWindow, TitledForTheProgramThatOpensIt) {
  Asking a;
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1310, "The Kiv Disk Builder Help");
  EXPECT_EQ(HelpWindow::Instance().windowTitle(), "The Kiv Disk Builder Help");
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1110);
  EXPECT_EQ(HelpWindow::Instance().windowTitle(), "The Kiv Rescue CD Help");
}

}  // namespace
}  // namespace kiv
