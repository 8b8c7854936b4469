// A floppy built by the engine alone, with no wait window and no wizard: the
// disk the request names, its size, its image's place, an unknown name left
// to the caller to tell, and every decision of a build taken from the
// request.
#include "disktool/engine/floppy_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
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

namespace kiv {
namespace {

// What the engine told of one build beside its lines.
class Told : public FloppyEvents {
 public:
  void BuildStopped() override { ++stopped; }
  void ChooseDrivers(const DriverClasses& classes) override { chosen.push_back(classes); }
  int stopped = 0;
  std::vector<DriverClasses> chosen;
};

struct Engine {
  test::ProgramFolder pf;
  std::unique_ptr<test::Wizard> w;
  Told told;
  Engine() {
    test::SeedWizardDisks(pf);
    w = std::make_unique<test::Wizard>(pf);
    w->builder.SetEvents(&told);
    w->tools.Add("bfi", testing::TreeListingBfi);
  }
  FloppyEnd Build(const FloppyRequest& request) { return w->builder.Build(request); }
  std::string Owner() const {
    const std::string inf = pf.Read("files/setupwin/bin/def.inf");
    const size_t at = inf.find("Name=");
    return at == std::string::npos ? "" : inf.substr(at + 5, inf.find("\r\n", at) - at - 5);
  }
};

FloppyRequest Disk(const std::string& name) {
  FloppyRequest request;
  request.disk = name;
  return request;
}

// Where SetupWin's answers come from is the request's: the key file when
// there is one, else the system's registry; the key file always with
// -keyfile; the page's own answers as they were typed.
TEST(FloppyBuild, TheRequestSaysWhereTheAnswersComeFrom) {
  Engine e;
  e.w->tools.Add("bfi", testing::FakeBfi);  // an image each time, rebuilt without a question
  e.w->platform.registry["Software\\Microsoft\\Windows\\CurrentVersion\\RegisteredOwner"] = "Reg Owner";
  ASSERT_EQ(e.Build(Disk("setup")), FloppyEnd::Made);
  EXPECT_EQ(e.Owner(), "\"Reg Owner\"");

  e.pf.Write("keyfile.txt", "[Win9xInfo]\r\nOwnerName=Key Owner\r\nOptimizedFor=Microsoft Windows 98\r\n");
  ASSERT_EQ(e.Build(Disk("setup")), FloppyEnd::Made);
  EXPECT_EQ(e.Owner(), "\"Key Owner\"");

  FloppyRequest typed = Disk("setup");
  typed.answerSource = AnswerSource::Given;
  typed.answers.OwnerName = "Page Owner";
  ASSERT_EQ(e.Build(typed), FloppyEnd::Made);
  EXPECT_EQ(e.Owner(), "\"Page Owner\"");

  // -keyfile without a key file: the answers the page starts from.
  std::filesystem::remove(e.pf.Path("keyfile.txt"));
  FloppyRequest keyFile = Disk("setup");
  keyFile.answerSource = AnswerSource::KeyFile;
  ASSERT_EQ(e.Build(keyFile), FloppyEnd::Made);
  EXPECT_EQ(e.Owner(), "\"kivUser\"");
  EXPECT_TRUE(e.w->prompter.messages.empty());
}

// The driver classes are the request's of those the disk offers, and they
// are what -sel shows; the files the request leaves off stay off.
TEST(FloppyBuild, TheRequestChoosesTheClassesAndTheFiles) {
  Engine e;
  FloppyRequest request = Disk("custom");  // offers ASPI and NDIS
  request.aspi = false;
  request.chooseDrivers = true;
  request.leftOut = {"COMMAND.COM"};
  ASSERT_EQ(e.Build(request), FloppyEnd::Made);
  const std::string onFloppy = e.pf.Read("BootDisk.img");
  EXPECT_NE(onFloppy.find("lib/ndis/ne2000.cab\n"), std::string::npos) << onFloppy;
  EXPECT_EQ(onFloppy.find("lib/aspi/"), std::string::npos) << onFloppy;
  EXPECT_EQ(onFloppy.find("COMMAND.COM"), std::string::npos) << onFloppy;
  EXPECT_NE(onFloppy.find("IO.SYS\n"), std::string::npos) << onFloppy;
  ASSERT_EQ(e.told.chosen.size(), 1u);
  EXPECT_FALSE(e.told.chosen[0].aspi);
  EXPECT_TRUE(e.told.chosen[0].network);
  EXPECT_EQ(e.told.chosen[0].family, NetDriverFamily::NDIS);

  // A disk that offers no network class takes none, whatever is asked.
  Engine plain;
  FloppyRequest noNet = Disk("plain");
  noNet.network = true;
  ASSERT_EQ(plain.Build(noNet), FloppyEnd::Made);
  EXPECT_EQ(plain.pf.Read("plain.img").find("lib/ndis/"), std::string::npos);
  EXPECT_TRUE(plain.told.chosen.empty());  // no -sel, no lists shown
}

// A phase asked for again runs again (the wizard's Next on a page the user
// came back to); once the build is cancelled no phase runs, and whoever shows
// it has been told once.
TEST(FloppyBuild, APhaseRunsAgainWhenAskedAndNoneAfterACancel) {
  Engine e;
  FloppyRequest request = Disk("plain");
  ASSERT_EQ(e.w->builder.Build(request, FloppyPhase::Prepare, FloppyPhase::Disk), FloppyEnd::Open);
  ASSERT_TRUE(e.pf.Exists("cabs/IO.SYS"));
  std::filesystem::remove(e.pf.Path("cabs/IO.SYS"));
  ASSERT_EQ(e.w->builder.Build(request, FloppyPhase::Disk, FloppyPhase::Disk), FloppyEnd::Open);
  EXPECT_TRUE(e.pf.Exists("cabs/IO.SYS")) << "the definition ran again";
  EXPECT_EQ(e.w->builder.Disk().image, e.pf.Path("plain.img"));

  e.w->builder.CancelApp();
  EXPECT_EQ(e.told.stopped, 1);
  EXPECT_FALSE(e.pf.Exists("cabs"));
  EXPECT_EQ(e.w->builder.Build(request, FloppyPhase::Files, FloppyPhase::Output), FloppyEnd::Cancelled);
  EXPECT_TRUE(e.w->builder.Tree().Files().FileList.empty());
  EXPECT_TRUE(e.w->tools.Ran("bfi").empty());
  EXPECT_FALSE(e.pf.Exists("plain.img"));
  EXPECT_EQ(e.w->builder.Status().heading, "Operation canceled");
  EXPECT_EQ(e.told.stopped, 1);
}

}  // namespace
}  // namespace kiv
