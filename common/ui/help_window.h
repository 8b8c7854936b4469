#pragma once
// The help viewer both wizards share: one window that shows the HTML topic
// pages help/<topic>.html of the program folder, under the title of the
// program's help ("The Kiv Rescue CD Help" for the CD builder, "The Kiv Disk
// Builder Help" for the disk builder). It knows whether it is open, so a
// wizard's page changes can follow it only while the user keeps it open.
// It opens wholly inside the screen, beside the window that asked for it
// where there is room, and Esc closes it.
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

  int CurrentTopic() const { return topic_; }
  QTextBrowser* Browser() { return browser_; }

 private:
  HelpWindow();
  // Size and place for opening: inside the free area of the screen, beside
  // `beside` (the window that asked) when there is room.
  void PlaceForOpening(const QWidget* beside);
  QTextBrowser* browser_;
  int topic_ = 0;
};

}  // namespace kiv
