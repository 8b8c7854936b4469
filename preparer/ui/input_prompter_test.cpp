#include "preparer/ui/input_prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "preparer/server_name_preparer.h"

namespace kiv {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "input_prompter_test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

// Waits for the input dialog to appear, then hands it to `act`.
void WhenDialogShows(std::function<void(QInputDialog*)> act) {
  auto* timer = new QTimer(&App());
  QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)]() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QInputDialog*>(w);
      if (dialog && dialog->isVisible()) {
        timer->stop();
        timer->deleteLater();
        act(dialog);
        return;
      }
    }
  });
  timer->start(10);
}

TEST(QtInputPrompter, ShowsTitleAndLinesAndReturnsTheText) {
  App();
  QString title, label, initial;
  WhenDialogShows([&](QInputDialog* d) {
    title = d->windowTitle();
    label = d->labelText();
    initial = d->textValue();
    d->setTextValue(QStringLiteral("KIVSRV"));
    d->accept();
  });
  QtInputPrompter prompter;
  const auto answer = prompter.InputBox(KivmaxPromptText(), kKivmaxTitle, "");
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(*answer, "KIVSRV");
  EXPECT_EQ(title.toStdString(), "Specify Kiv Server Name");
  EXPECT_EQ(label.toStdString(),
            "Enter your Kiv Server name :\n"
            "The server must include a share named KIVUTILS\n"
            "Leave it blank if you have no machines that have that network share");
  EXPECT_TRUE(initial.isEmpty());
}

TEST(QtInputPrompter, CancelGivesNoAnswer) {
  App();
  WhenDialogShows([](QInputDialog* d) {
    d->setTextValue(QStringLiteral("typed, then cancelled"));
    d->reject();
  });
  QtInputPrompter prompter;
  EXPECT_FALSE(prompter.InputBox(KivmaxPromptText(), kKivmaxTitle, "").has_value());
}

// Cancel in the box is the person's answer even where standard input is no
// terminal (kivmax started by the disk builder's window): an earlier
// autoexec.net goes, as the prompt says.
TEST(QtInputPrompter, CancelInTheBoxRemovesAnEarlierFile) {
  App();
  const std::string folder = ::testing::TempDir() + "kivmax_qt_cancel";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder + "/kivmax/etc");
  std::ofstream(folder + "/kivmax.net") << "$$servername$$\n";
  std::ofstream(folder + "/kivmax/etc/autoexec.net") << "from an earlier run\r\n";
  std::FILE* devnull = std::freopen("/dev/null", "r", stdin);
  ASSERT_NE(devnull, nullptr);
  WhenDialogShows([](QInputDialog* d) { d->reject(); });
  // A message box, should one come, is closed and its text kept.
  QString message;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&message]() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box && box->isVisible()) {
        message = box->text();
        box->accept();
      }
    }
  });
  closer.start(10);
  QtInputPrompter prompter;
  EXPECT_EQ(RunKivmax(folder, prompter), 0);
  EXPECT_TRUE(message.isEmpty()) << message.toStdString();
  EXPECT_FALSE(std::filesystem::exists(folder + "/kivmax/etc/autoexec.net"));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kiv
