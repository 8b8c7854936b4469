// The builder's parts on their own: a part that fails says why and returns
// false, but ends nothing - the work files stay until the builder cancels - and
// a tool that fails because the build was stopped while it ran is not
// reported as a failure of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disktool/drivers/cabinet_maker.h"
#include "disktool/drivers/driver_set.h"
#include "disktool/modules/setup_modules.h"
#include "disktool/output/image_output.h"
#include "disktool/workspace/floppy_workspace.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

struct Parts {
  ProgramFolder pf;
  Wizard w{pf};  // its prompter, progress, tools and platform
  FloppyWorkspace workspace{pf.root, w.prompter, w.progress, {w.tools, w.platform}};
  bool stopped = false;
  Parts() {
    workspace.stopped = [this] { return stopped; };
  }
  std::string Said() const { return w.prompter.messages.empty() ? "" : w.prompter.messages.back().text; }
};

TEST(FloppyParts, AFailedStepIsSaidAndEndsNothing) {
  Parts p;
  p.pf.Write("Drivers.ini", "[NDIS]\r\nGONE=1\r\n");
  p.pf.Write("Temp/bootsmith7/IO.SYS", "io");

  DriverClasses chosen;
  chosen.network = true;
  CabinetMaker cabinets(p.workspace);
  std::vector<FileListEntry> files;
  EXPECT_FALSE(DriverSet(p.workspace, cabinets.Tool()).PrepareDrivers(files, chosen));
  EXPECT_NE(p.Said().find("gone.cab"), std::string::npos) << p.Said();

  const Win9xInfo answers;  // no answer-file templates in this folder
  EXPECT_FALSE(SetupModules(p.workspace, cabinets).CreateSetupInf(answers));
  EXPECT_NE(p.Said().find("key_template.inf"), std::string::npos) << p.Said();

  p.w.tools.Add("bfi", testing::FailingTool("bfi: the tree does not fit"));
  ImageOutput image(p.workspace);
  const std::string out = image.ImageFile(p.pf.Path("out.img"));
  EXPECT_FALSE(image.CreateImageFromDir(out, p.pf.Path("Temp/bootsmith7"), FloppyOutput::Image144));
  EXPECT_NE(p.Said().find("does not fit"), std::string::npos) << p.Said();

  EXPECT_EQ(p.w.prompter.messages.size(), 3u);
  // The work files are the builder's to remove.
  EXPECT_TRUE(p.pf.Exists("Drivers.ini"));
  EXPECT_TRUE(p.pf.Exists("Temp/bootsmith7/IO.SYS"));
}

TEST(FloppyParts, AToolEndedByAStopIsNoFailureOfItsOwn) {
  Parts p;
  p.pf.Write("files/setupnt/bin/x", "x");
  // Each tool ends without its output, as one ended by a stop request does;
  // the stop comes while the tool runs.
  auto stoppedWhileRunning = [&p](const testing::FakeCommand&) {
    p.stopped = true;
    testing::FakeRun run;
    run.exitCode = 1;
    return run;
  };
  p.w.tools.Add("cabarc", stoppedWhileRunning);
  p.w.tools.Add("bfi", stoppedWhileRunning);

  CabinetMaker cabinets(p.workspace);
  std::string name = "setupnt", source = "files\\setupnt", cabs = "cabs\\lib";
  EXPECT_FALSE(cabinets.MakeCab(name, source, cabs));

  p.stopped = false;
  ImageOutput image(p.workspace);
  const std::string out = image.ImageFile(p.pf.Path("out.img"));
  EXPECT_FALSE(image.CreateImageFromDir(out, p.pf.Path("Temp"), FloppyOutput::Image144));
  EXPECT_TRUE(p.w.prompter.messages.empty()) << p.Said();

  // A build stopped before the tool started: the stop did not end this tool,
  // so its failure is said.
  p.stopped = true;
  EXPECT_FALSE(image.CreateImageFromDir(out, p.pf.Path("Temp"), FloppyOutput::Image144));
  EXPECT_EQ(p.w.prompter.messages.size(), 1u);
}

}  // namespace
}  // namespace kiv
