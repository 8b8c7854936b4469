// kivcd-build.log as a build run writes it, on temporary program folders with
// the fake bootsmith and mastering tools.
#include "cdtool/build/build_log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "cdtool/build/build_run.h"
#include "common/clock.h"
#include "testsupport/build_test_support.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"

namespace kiv {
namespace {

using testing::BootDisksOnly;
using testing::ProgramFolder;
using testing::RecordingEvents;

class BuildLogTest : public ::testing::Test {
 protected:
  ProgramFolder folder;
  ScriptedPrompter prompter;
  RecordingEvents events;
  testing::FakeLauncher tools;
  FakePlatform platform;
  BuildRun run{folder.dir, prompter, events, {tools, platform}};

  void SetUp() override {
    testing::AddFakeCdTools(tools, folder.dir);
    run.settings = BootDisksOnly(folder);
  }
  std::string Log() const { return folder.Read(kBuildLogName); }
  // Where `text` starts in the log (npos-safe for EXPECT_LT chains).
  size_t At(const std::string& text) const {
    const size_t at = Log().find(text);
    EXPECT_NE(at, std::string::npos) << "not in the log: " << text << "\n" << Log();
    return at;
  }
};

TEST_F(BuildLogTest, AMadeCdLogsStepsProgramsTheirOutputAndTheOutcomeInOrder) {
  run.Run();
  ASSERT_TRUE(run.Outcome().Made());
  EXPECT_EQ(run.LogPath(), folder.P(kBuildLogName));

  // Every step line behind the time of day.
  EXPECT_TRUE(
      std::regex_search(Log(), std::regex("(^|\n)[0-2][0-9]:[0-5][0-9]:[0-5][0-9] Step 1: Creating kiv Boot Disks\n")))
      << Log();
  // In the order they happened: the work folder, the disks (each bootsmith
  // run with its command line, output and exit status), the skipped steps,
  // the mastering tool with its output, what the run came to.
  const size_t steps[] = {
      At("Building the CD in " + folder.dir),
      At("  Cleaning previous sessions workspace"),
      At("Step 1: Creating kiv Boot Disks"),
      At("Starting: " + folder.P("bootsmith") + " -t 144 kivsoftware (in " + folder.dir + ")"),
      At("  | bootsmith: building kivsoftware\n"),
      At("Program " + folder.P("bootsmith") + " ended with exit status 0"),
      At("Step 2 skipped: Inserting Windows 2000/XP/2003 Setup Files"),
      At("Step 4: Adding kiv Utilities/Advanced Tools"),
      At("Step 5: Creating Final ISO File"),
      At("Starting: " + folder.P("mkisofs") + " -volid KIV_RESCUE "),
      At("  |  45.67% done, estimate finish\n"),
      At("Program " + folder.P("mkisofs") + " ended with exit status 0"),
      At("ISO image made: " + folder.P("kivcd.iso")),
  };
  for (size_t i = 1; i < std::size(steps); ++i) EXPECT_LT(steps[i - 1], steps[i]) << "line " << i;
  // The settings the run used are in it; the per-file and per-percent
  // captions are not (the tool's output has the percentages).
  EXPECT_NE(Log().find("[Main]"), std::string::npos);
  EXPECT_EQ(Log().find("Creating ISO File : "), std::string::npos);
  EXPECT_EQ(Log().find("Copying : "), std::string::npos);
}

TEST_F(BuildLogTest, AFailedCdLogsTheMessageBoxAndTheFailedStepAndANewRunStartsAFreshLog) {
  testing::WriteText(folder.P("fail.kivsoftware_emm"), "");
  run.Run();
  ASSERT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  ASSERT_FALSE(prompter.messages.empty());
  const Message& shown = prompter.messages.front();
  // The message box as the user saw it: its title and text.
  const size_t box = At("Message \"" + shown.title + "\": " + shown.text.substr(0, shown.text.find('\r')));
  EXPECT_NE(shown.text.find("Kiv Rescue Software"), std::string::npos) << shown.text;
  EXPECT_LT(At("Program " + folder.P("bootsmith") + " ended with exit status 1"), box);
  EXPECT_LT(box, At("Build failed at step 1"));

  // The next run's log is its own.
  BuildRun again{folder.dir, prompter, events, {tools, platform}};
  again.settings = BootDisksOnly(folder);
  std::remove(folder.P("fail.kivsoftware_emm").c_str());
  again.Run();
  ASSERT_TRUE(again.Outcome().Made());
  EXPECT_EQ(Log().find("Build failed"), std::string::npos);
  EXPECT_EQ(Log().find("exit status 1"), std::string::npos);
}

TEST(BuildLog, LinesOfSeveralRowsAndOutputWithoutALineEndStayReadable) {
  ProgramFolder folder;
  FakePlatform clock;
  clock.now = 1700000000;
  BuildLog log(clock);
  ASSERT_TRUE(log.Open(folder.P("x.log")));
  log.Line("Message \"Error\": first\r\nsecond");
  log.Output("partial ");
  log.Output("line\r\nnext without end");
  log.Line("Program ended");
  log.Close();
  // Each line behind the clock's time of day, wherever the test runs.
  const std::tm local = LocalTime(clock.now);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
  EXPECT_EQ(folder.Read("x.log"), std::string(stamp) +
                                      " Message \"Error\": first\n"
                                      "         second\n"
                                      "  | partial line\n"
                                      "  | next without end\n" +
                                      stamp + " Program ended\n");

  // A log that cannot be written names itself and leaves no path behind.
  BuildLog unwritable(clock);
  std::string error;
  EXPECT_FALSE(unwritable.Open(folder.P("no/such/folder/x.log"), &error));
  EXPECT_NE(error.find(folder.P("no/such/folder/x.log")), std::string::npos) << error;
  EXPECT_EQ(unwritable.Path(), "");
  unwritable.Line("dropped");  // no crash, nothing written
}

}  // namespace
}  // namespace kiv
