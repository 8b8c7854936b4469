#pragma once
// The help viewer both wizards share: one window titled "The Kiv Rescue CD
// Help" that shows the HTML topic pages help/<topic>.html of the program
// folder. It knows whether it is open, so a wizard's page changes can follow
// it only while the user keeps it open.
#include <QTextBrowser>
#include <QWidget>
#include <string>

namespace kiv {

class HelpWindow : public QWidget {
 public:
  // The one window of the process (created on first use).
  static HelpWindow& Instance();
  // True while the window is shown on screen.
  static bool IsOpen();
  // Shows `topic` of the help in `programFolder`, opening the window if needed.
  static void ShowTopic(const std::string& programFolder, int topic);

  int CurrentTopic() const { return topic_; }
  QTextBrowser* Browser() { return browser_; }

 private:
  HelpWindow();
  QTextBrowser* browser_;
  int topic_ = 0;
};

}  // namespace kiv
