#include "common/ui/help_window.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include <QVBoxLayout>

#include "common/links.h"

namespace kiv {

namespace {
HelpWindow* g_window = nullptr;
}

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
  setWindowTitle(QString::fromUtf8(kHelpWindowTitle));
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(560, 520);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(this);
  // Pages link to each other; addresses outside the help go to the browser.
  browser_->setOpenLinks(false);
  QObject::connect(browser_, &QTextBrowser::anchorClicked, browser_, [this](const QUrl& url) {
    if (url.isRelative() || url.isLocalFile())
      browser_->setSource(browser_->source().resolved(url));
    else
      QDesktopServices::openUrl(url);
  });
  layout->addWidget(browser_);
}

HelpWindow& HelpWindow::Instance() {
  if (!g_window) g_window = new HelpWindow();
  return *g_window;
}

bool HelpWindow::IsOpen() { return g_window && g_window->isVisible(); }

void HelpWindow::ShowTopic(const std::string& programFolder, int topic) {
  HelpWindow& w = Instance();
  w.topic_ = topic;
  const QString path = QString::fromStdString(HelpTopicPath(programFolder, topic));
  if (QFile::exists(path)) {
    w.browser_->setSource(QUrl::fromLocalFile(path));
  } else {
    w.browser_->setHtml(QStringLiteral("<h2>Help</h2><p>The help page for topic %1 was not found:</p><p><tt>%2</tt></p>")
                            .arg(topic)
                            .arg(path.toHtmlEscaped()));
  }
  w.show();
  w.raise();
}

}  // namespace kiv
