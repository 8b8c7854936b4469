// The disk builder's help as it is read in the help window: under the disk
// builder's own title, every page with Contents and, in the order the wizard
// shows its pages, Previous page and Next page.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <set>
#include <vector>

#include "common/ui/help_window.h"
#include "disktool/wizard/wizard_flow.h"
#include "testsupport/qt_test_app.h"

namespace kiv {
namespace {

const std::string kShippedFolder = std::string(KIV_SOURCE_DIR) + "/data";

// The links of the shown page: text and target.
std::vector<std::pair<QString, QString>> Links(QTextBrowser* browser) {
  std::vector<std::pair<QString, QString>> links;
  for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (f.charFormat().isAnchor()) links.emplace_back(f.text(), f.charFormat().anchorHref());
    }
  }
  return links;
}

// The target of the link whose text is `text` on the shown page ("" if none).
QString LinkTo(QTextBrowser* browser, const QString& text) {
  for (const auto& [shown, target] : Links(browser)) {
    if (shown == text) return target;
  }
  return {};
}

// Clicks the link `text`; false when the page has none.
bool Follow(QTextBrowser* browser, const QString& text) {
  const QString href = LinkTo(browser, text);
  if (href.isEmpty()) return false;
  emit browser->anchorClicked(QUrl(href));
  return true;
}

std::string Shown(QTextBrowser* browser) { return browser->source().fileName().toStdString(); }

TEST(DiskBuilderHelp, PagesLeadThroughTheWizardAndToTheirContents) {
  test::TestApp();
  // Pages 0 to 5, then the progress page (7) before the finish page (6).
  std::vector<std::string> order;
  for (int page : {0, 1, 2, 3, 4, 5, 7, 6}) order.push_back(std::to_string(kFirstHelpTopic + 10 * page) + ".html");

  HelpWindow::ShowTopic(kShippedFolder, kFirstHelpTopic, kDiskHelpTitle);
  QTextBrowser* browser = HelpWindow::Instance().Browser();
  ASSERT_EQ(Shown(browser), order.front());
  EXPECT_TRUE(LinkTo(browser, "< Previous page").isEmpty());
  for (size_t i = 1; i < order.size(); ++i) {
    ASSERT_TRUE(Follow(browser, "Next page >")) << "no Next page on " << order[i - 1];
    EXPECT_EQ(Shown(browser), order[i]);
  }
  EXPECT_TRUE(LinkTo(browser, "Next page >").isEmpty()) << "the finish page is the last";
  for (size_t i = order.size() - 1; i > 0; --i) {
    ASSERT_TRUE(Follow(browser, "< Previous page")) << "no Previous page on " << order[i];
    EXPECT_EQ(Shown(browser), order[i - 1]);
  }

  // Contents, from every page and from the DOS files page of the start-up
  // message, is the disk builder's own, titled as its window, and lists
  // every page.
  order.push_back("1420.html");
  for (const std::string& page : order) {
    HelpWindow::ShowTopic(kShippedFolder, std::stoi(page), kDiskHelpTitle);
    ASSERT_TRUE(Follow(browser, "Contents")) << "no Contents on " << page;
    EXPECT_EQ(browser->documentTitle(), HelpWindow::Instance().windowTitle()) << "Contents of " << page;
  }
  std::set<std::string> listed;
  for (const auto& link : Links(browser)) listed.insert(link.second.toStdString());
  for (const std::string& page : order) EXPECT_TRUE(listed.count(page)) << "Contents does not list " << page;
  HelpWindow::Instance().hide();
}

}  // namespace
}  // namespace kiv
