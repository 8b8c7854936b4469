// Every help topic the CD builder can ask for has its page, and the pages'
// links lead somewhere.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTextBrowser>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cdtool/wizard/frm_cd_build.h"
#include "common/links.h"
#include "testsupport/test_files.h"

namespace kiv {
namespace {

const std::filesystem::path kHelp = std::filesystem::path(KIV_SOURCE_DIR) / "data" / "help";

using testing::ReadText;

TEST(HelpPages, EveryTopicAndLinkPageExistsWithATitle) {
  std::vector<std::string> names;
  for (int step = 0; step <= FrmCDBuild::kProgressPage; ++step)
    names.push_back(std::to_string(FrmCDBuild::HelpTopic(step)));
  names.push_back(std::to_string(FrmCDBuild::HelpTopic(FrmCDBuild::kWin10Page)));
  names.push_back("1410");  // failed boot image / program start
  // The link labels' local pages.
  for (Link link : {Link::Home, Link::Tools, Link::BootMenu})
    names.push_back(std::filesystem::path(LinkTarget(link, "/p")).stem().string());
  for (const std::string& name : names) {
    const std::string text = ReadText(kHelp / (name + ".html"));
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_NE(text.find("<title>"), std::string::npos) << name;
    EXPECT_NE(text.find("</html>"), std::string::npos) << name;
    EXPECT_GT(text.size(), 600u) << name << " has hardly any text";
  }
}

TEST(HelpPages, RelativeLinksResolve) {
  const std::regex href("href=\"([^\"#:]+)\"");
  int links = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kHelp)) {
    const std::string text = ReadText(entry.path());
    for (std::sregex_iterator it(text.begin(), text.end(), href), end; it != end; ++it) {
      ++links;
      EXPECT_TRUE(std::filesystem::exists(kHelp / (*it)[1].str()))
          << entry.path().filename() << " links to missing " << (*it)[1].str();
    }
  }
  EXPECT_GT(links, 20);
}

}  // namespace
}  // namespace kiv
