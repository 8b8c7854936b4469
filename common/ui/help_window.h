#pragma once
// The help viewer both wizards share: one window that shows the HTML topic
// pages help/<topic>.html of the program folder, under the title of the
// program's help ("The Kiv Rescue CD Help" for the CD builder, "The Kiv Disk
// Builder Help" for the disk builder). It knows whether it is open, so a
// wizard's page changes can follow it only while the user keeps it open.
// It opens wholly inside the screen, beside the window that asked for it
// where there is room, and Esc closes it.
//
// A message box's Help opens the window over the box: a modal box blocks
// every window that is not its own, so the help becomes a window of the box
// for as long as the box is up (kept above it, usable while it waits), and a
// window of its own again once the box is answered, still on the box's topic.
#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <string>

#include "common/links.h"

namespace kiv {

class HelpWindow : public QWidget {
 public:
  // The one window of the process (created on first use).
  static HelpWindow& Instance();
  // True while the window is shown on screen.
  static bool IsOpen();
  // Shows `topic` of the help in `programFolder` under `title`, opening the
  // window if needed.
  static void ShowTopic(const std::string& programFolder, int topic, const std::string& title = kHelpWindowTitle);
  // Shows `topic` over the modal dialog `asking` (a message box that has a
  // Help button). The topic is held: page changes of a wizard do not move
  // the window away from it (FollowsPages) until help is asked for again
  // through ShowTopic or the window is closed.
  static void ShowTopicOver(QWidget* asking, const std::string& programFolder, int topic,
                            const std::string& title = kHelpWindowTitle);
  // True while the window is open on a topic a wizard asked for: the
  // wizard's page changes then move it to their pages' topics.
  static bool FollowsPages();

  ~HelpWindow() override;

  int CurrentTopic() const { return topic_; }
  // The dialog the window is kept over (null when it is a window of its own).
  QWidget* Over() const { return over_; }
  QTextBrowser* Browser() { return browser_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  HelpWindow();
  // Size and place for opening: inside the free area of the screen, beside
  // `beside` (the window that asked) when there is room.
  void PlaceForOpening(const QWidget* beside);
  void Show(const std::string& programFolder, int topic, const std::string& title);
  // Makes the window one of `dialog`'s (null: one of its own again), keeping
  // its place on the screen and whether it is shown.
  void KeepOver(QWidget* dialog);

  QTextBrowser* browser_;
  int topic_ = 0;
  bool held_ = false;  // on a message box's topic
  QPointer<QWidget> over_;
};

}  // namespace kiv
