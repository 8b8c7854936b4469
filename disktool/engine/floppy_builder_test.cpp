// A floppy built by the engine alone, with no wait window and no wizard: the
// disk the request names, its size, its image's place, and an unknown name
// left to the caller to tell.
#include "disktool/engine/floppy_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "testsupport/wizard_test_folder.h"

namespace kiv {
namespace {

// The status lines as they begin, in order.
class Lines : public FloppyEvents {
 public:
  void Progressed(const FloppyStatus& status) override {
    if (lines.empty() || lines.back() != status.line) lines.push_back(status.line);
  }
  std::vector<std::string> lines;
};

TEST(FloppyBuild, TheEngineBuildsTheNamedDiskAtTheRequestsSizeAndPlace) {
  test::ProgramFolder pf;
  test::SeedWizardDisks(pf);
  test::Wizard w(pf);
  FloppyRequest request;
  request.disk = "plain";
  request.image = pf.Path("out/big.img");
  request.output = FloppyOutput::Image288;
  Lines events;
  w.builder.SetEvents(&events);
  ASSERT_EQ(w.builder.Build(request), FloppyEnd::Made);
  // The steps after the preparation, up to the image file; the stages'
  // lines follow.
  const auto made = std::find(events.lines.begin(), events.lines.end(), "Creating the floppy image file ...");
  ASSERT_NE(made, events.lines.end());
  const std::vector<std::string> lines(events.lines.begin() + 1, made + 1);

  EXPECT_EQ(FileSize(pf.Path("out/big.img")), 2949120);
  EXPECT_FALSE(pf.Exists("plain.img"));  // the entry's own file is not written as well
  ASSERT_FALSE(w.tools.commands_ran.empty());
  const std::vector<std::string>& bfi = w.tools.commands_ran.back().argv;
  EXPECT_NE(std::find(bfi.begin(), bfi.end(), "-t=288"), bfi.end());
  // Each step says what it does, the last one before the image is made.
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Getting a list of Disks Configuration ...");
  EXPECT_EQ(lines.back(), "Creating the floppy image file ...");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Processing plain.ini file ..."), lines.end());
  EXPECT_TRUE(w.prompter.messages.empty());
  EXPECT_FALSE(pf.Exists("cabs"));
  EXPECT_FALSE(pf.Exists("Temp"));
}

TEST(FloppyBuild, AnUnknownDiskEndsTheBuildForTheCallerToTell) {
  test::ProgramFolder pf;
  test::SeedWizardDisks(pf);
  test::Wizard w(pf);
  FloppyRequest request;
  request.disk = "PLAIN";  // names match exactly
  EXPECT_EQ(w.builder.Build(request), FloppyEnd::NoSuchDisk);
  // Nothing is shown from inside the engine: the caller decides when the
  // message can be seen (batch mode hides its wait window first).
  EXPECT_TRUE(w.prompter.messages.empty());
  EXPECT_TRUE(w.tools.commands_ran.empty());
  EXPECT_FALSE(pf.Exists("Drivers.ini"));
  EXPECT_FALSE(pf.Exists("cabs"));
}

}  // namespace
}  // namespace kiv
