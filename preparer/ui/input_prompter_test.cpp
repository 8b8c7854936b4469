#include "preparer/ui/input_prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QTimer>
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
  QObject::connect(timer, &QTimer::timeout, [timer, act]() {
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

}  // namespace
}  // namespace kiv
