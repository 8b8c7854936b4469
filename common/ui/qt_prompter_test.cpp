#include "common/ui/qt_prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "common/ui/help_window.h"
#include "common/ui/qt_progress_sink.h"
#include "testsupport/qt_test_app.h"

namespace kiv {
namespace {

using test::TestApp;

TEST(QtPrompter, FiltersInQtForm) {
  EXPECT_EQ(QtPrompter::QtFilter({{"Text file (*.txt; *.sif)", "*.txt; *.sif"}}), "Text file (*.txt *.sif)");
  EXPECT_EQ(QtPrompter::QtFilter({{"CDROM Image (*.iso)", "*.iso"}, {"All files", "*.*"}}),
            "CDROM Image (*.iso);;All files (*.*)");
}

TEST(QtPrompter, MessageBoxIconButtonsAnswerAndHelpButton) {
  TestApp();
  QtPrompter prompter("/nonexistent-program-folder");
  prompter.SetHelpTitle("The Kiv Disk Builder Help");  // as bootsmith's DOS import asks
  int helpClicks = 0;
  prompter.BeforeMessageBox = [&](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), "DOS Files no found");
    EXPECT_EQ(box.icon(), QMessageBox::Warning);
    EXPECT_EQ(box.buttons().size(), 3);  // Retry, Cancel, Help
    QTimer::singleShot(0, &box, [&box, &helpClicks] {
      // Help opens the topic and leaves the box open; then Retry answers.
      box.button(QMessageBox::Help)->click();
      helpClicks += box.isVisible() ? 1 : 0;
      box.button(QMessageBox::Retry)->click();
    });
  };
  Message m{"Insert the disk", "DOS Files no found", Icon::Exclamation, Buttons::RetryCancel, 1420, std::nullopt};
  EXPECT_EQ(prompter.MsgBox(m), Answer::Retry);
  EXPECT_EQ(helpClicks, 1);
  EXPECT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1420);
  EXPECT_EQ(HelpWindow::Instance().windowTitle(), "The Kiv Disk Builder Help");
  // A missing topic page says so instead of showing nothing.
  EXPECT_TRUE(HelpWindow::Instance().Browser()->toPlainText().contains("1420"));
  HelpWindow::Instance().hide();
  EXPECT_FALSE(HelpWindow::IsOpen());
}

// A modal box blocks every window that is not its own. The help it asks for
// (Help or F1) opens as one of its windows: above it, taking keys while the
// box waits; once the box is answered it stays open on the box's topic, a
// window of its own that later help requests may move again.
TEST(QtPrompter, HelpFromABoxIsUsableWhileTheBoxWaitsAndOutlivesIt) {
  TestApp();
  QWidget wizard;
  wizard.resize(300, 200);
  wizard.show();
  QtPrompter prompter("/nonexistent-program-folder", &wizard);
  HelpWindow::Instance().hide();
  struct Seen {
    bool f1Opened = false, overTheBox = false, escClosedIt = false, boxWaited = false;
  } seen;
  prompter.BeforeMessageBox = [&seen](QMessageBox& box) {
    QTimer::singleShot(0, &box, [&box, &seen] {
      if (!QTest::qWaitFor([&box] { return QApplication::activeWindow() == &box; })) return;
      QTest::keyClick(&box, Qt::Key_F1);
      HelpWindow& help = HelpWindow::Instance();
      seen.f1Opened = HelpWindow::IsOpen() && help.CurrentTopic() == 1410;
      seen.overTheBox =
          help.Over() == &box && help.windowHandle() && help.windowHandle()->transientParent() == box.windowHandle();
      // Keys reach the help through the window system, as a person's do:
      // a window the box blocked would not get them.
      // (The key goes to the help window whether or not it has the focus by
      // then; what counts is that it closes.)
      (void)QTest::qWaitFor([&help] { return QGuiApplication::focusWindow() == help.windowHandle(); }, 1000);
      QTest::keyClick(help.windowHandle(), Qt::Key_Escape);
      seen.escClosedIt = !HelpWindow::IsOpen();
      seen.boxWaited = box.isVisible();
      box.button(QMessageBox::Help)->click();
      box.button(QMessageBox::Ok)->click();
    });
  };
  prompter.MsgBox(Message{"The creation the Boot image kivsoftware_emm failed, operation halted", "Fatal Error",
                          Icon::Critical, Buttons::OK, 1410, std::nullopt});
  EXPECT_TRUE(seen.f1Opened);
  EXPECT_TRUE(seen.overTheBox);
  EXPECT_TRUE(seen.escClosedIt);
  EXPECT_TRUE(seen.boxWaited);
  HelpWindow& help = HelpWindow::Instance();
  ASSERT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(help.Over(), nullptr);
  EXPECT_EQ(help.parentWidget(), nullptr);
  EXPECT_EQ(help.CurrentTopic(), 1410);
  // Held on the box's topic until help is asked for again.
  EXPECT_FALSE(HelpWindow::FollowsPages());
  HelpWindow::ShowTopic("/nonexistent-program-folder", 1110);
  EXPECT_TRUE(HelpWindow::FollowsPages());
  help.hide();
}

// Save, Discard and Stay carry their names whatever the platform calls the
// standard buttons; Esc and the close box stay.
TEST(QtPrompter, SaveDiscardStayAnswersByTheirButtons) {
  TestApp();
  QtPrompter prompter("/nonexistent-program-folder");
  QMessageBox::StandardButton press = QMessageBox::Save;
  QStringList captions;
  prompter.BeforeMessageBox = [&](QMessageBox& box) {
    captions.clear();
    for (QMessageBox::StandardButton b : {QMessageBox::Save, QMessageBox::Discard, QMessageBox::Cancel})
      captions << (box.button(b) ? box.button(b)->text() : QString());
    QTimer::singleShot(0, &box, [&box, press] {
      if (press == QMessageBox::Escape) QTest::keyClick(&box, Qt::Key_Escape);
      else box.button(press)->click();
    });
  };
  const Message m{"Save the changes?", "Unsaved Settings", Icon::Question, Buttons::SaveDiscardStay, 0, std::nullopt};
  EXPECT_EQ(prompter.MsgBox(m), Answer::Save);
  EXPECT_EQ(captions, (QStringList{"&Save", "&Discard", "S&tay"}));
  press = QMessageBox::Discard;
  EXPECT_EQ(prompter.MsgBox(m), Answer::Discard);
  press = QMessageBox::Cancel;
  EXPECT_EQ(prompter.MsgBox(m), Answer::Stay);
  press = QMessageBox::Escape;
  EXPECT_EQ(prompter.MsgBox(m), Answer::Stay);
}

TEST(QtProgressSink, ScalesLargeValuesAndDrivesTheWidgets) {
  TestApp();
  QLabel label;
  QProgressBar bar;
  QPushButton cancel;
  QtProgressSink sink(&label, &bar, &cancel);
  sink.SetCaption("Copying : x");
  EXPECT_EQ(label.text(), "Copying : x");
  sink.SetMaximum(int64_t{6} << 32);
  sink.SetValue(int64_t{3} << 32);
  EXPECT_EQ(sink.Value(), int64_t{3} << 32);
  EXPECT_EQ(bar.value() * 2, bar.maximum());
  sink.SetValue(int64_t{7} << 32);  // capped at the maximum
  EXPECT_EQ(sink.Value(), sink.Maximum());
  sink.SetCancelEnabled(false);
  EXPECT_FALSE(cancel.isEnabled());
  sink.SetBarVisible(false);
  EXPECT_FALSE(sink.BarVisible());
  EXPECT_TRUE(bar.isHidden());
}

}  // namespace
}  // namespace kiv
