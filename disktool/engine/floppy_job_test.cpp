// A floppy job run by the engine alone, with no wait window and no wizard:
// the disk the job names, its size, its image's place, and an unknown name
// left to the caller to tell.
#include "disktool/engine/floppy_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "disktool/engine/floppy_builder.h"
#include "testsupport/wizard_test_folder.h"

namespace kiv {
namespace {

TEST(FloppyJob, TheEngineBuildsTheNamedDiskAtTheJobsSizeAndPlace) {
  test::ProgramFolder pf;
  test::SeedWizardDisks(pf);
  test::Wizard w(pf);
  FloppyJob job;
  job.DiskName = "plain";
  job.Image = pf.Path("out/big.img");
  job.Image288 = true;
  std::vector<std::string> lines;
  ASSERT_EQ(RunFloppyJob(w.form, job, [&](const std::string& line) { lines.push_back(line); }), FloppyJobEnd::Made);

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

TEST(FloppyJob, AnUnknownDiskEndsTheJobForTheCallerToTell) {
  test::ProgramFolder pf;
  test::SeedWizardDisks(pf);
  test::Wizard w(pf);
  FloppyJob job;
  job.DiskName = "PLAIN";  // names match exactly
  EXPECT_EQ(RunFloppyJob(w.form, job, [](const std::string&) {}), FloppyJobEnd::NoSuchDisk);
  // Nothing is shown from inside the engine: the caller decides when the
  // message can be seen (batch mode hides its wait window first).
  EXPECT_TRUE(w.prompter.messages.empty());
  EXPECT_TRUE(w.tools.commands_ran.empty());
  EXPECT_FALSE(pf.Exists("Drivers.ini"));
  EXPECT_FALSE(pf.Exists("cabs"));
  EXPECT_EQ(NoSuchDiskMessage("PLAIN").text, "The disk \"PLAIN\" doesn't exist");
}

}  // namespace
}  // namespace kiv
