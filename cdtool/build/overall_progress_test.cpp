// The whole build's progress and time left: what each step weighs, a bar
// that never goes back, and a time left that says nothing until it can.
#include "cdtool/build/overall_progress.h"

#include <gtest/gtest.h>

#include "cdtool/settings/session_settings.h"
#include "common/folder_bytes.h"
#include "testsupport/build_test_support.h"

namespace kiv {
namespace {

TEST(OverallProgress, StepsWeighWhatTheyMoveAndSkippedOnesNothing) {
  testing::ProgramFolder folder;
  testing::WriteText(folder.P("xp/I386/BIG.CAB"), std::string(3'000'000, 'x'));
  testing::WriteText(folder.P("utils/tool.exe"), std::string(500'000, 'u'));
  SessionSettings s = testing::BootDisksOnly(folder);
  s.Main.Windows2K = 1;
  s.Win2K_Info.SourceDir = folder.P("xp/I386");
  s.Locations.kivUtils = 1;
  s.Locations.kivUtils_Dir = folder.P("utils");
  s.Main.LinuxRescue = 1;

  const int64_t templateBytes = FolderBytes(folder.P("files/kivcd"));
  StepWeights reused = PlanBuildWork(s, folder.dir, 200'000'000, SourceFolders::Copied);
  EXPECT_EQ(reused[0], templateBytes);
  EXPECT_EQ(reused[1], 4 * kBootDiskWeight);
  EXPECT_EQ(reused[2], 3'000'000);
  EXPECT_EQ(reused[3], 0);  // no Windows 98
  EXPECT_EQ(reused[4], 500'000);
  EXPECT_EQ(reused[5], templateBytes + 3'000'000 + 500'000 + 200'000'000 + 5 * 1'474'560);

  // A rescue system that is built first outweighs everything else.
  StepWeights built = PlanBuildWork(s, folder.dir, -1, SourceFolders::Copied);
  EXPECT_EQ(built[4], 500'000 + kRescueBuildWeight);
  EXPECT_GT(built[4], built[0] + built[1] + built[2] + built[5]);

  // Mapped where they lie, the folders' steps only list them and the ISO
  // step reads them: it weighs as much as before.
  StepWeights mapped = PlanBuildWork(s, folder.dir, 200'000'000, SourceFolders::Mapped);
  EXPECT_EQ(mapped[2], 3'000'000 / kMappedShare);
  EXPECT_EQ(mapped[4], 500'000 / kMappedShare);
  EXPECT_EQ(mapped[5], reused[5]);
  // A service pack to slipstream still takes a copy of the whole folder.
  s.Win2K_Info.SP_exe = folder.P("sp/xpsp2.exe");
  EXPECT_EQ(PlanBuildWork(s, folder.dir, 200'000'000, SourceFolders::Mapped)[2], 3'000'000);
}

TEST(OverallProgress, TheBarFollowsTheStepsAndNeverGoesBack) {
  OverallProgress p(StepWeights{0, 100, 0, 0, 300, 600});
  EXPECT_EQ(p.Fraction(), 0.0);
  p.EnterStep(1);
  p.SetStepFraction(0.5);
  EXPECT_DOUBLE_EQ(p.Fraction(), 0.05);
  // Steps 2 and 3 weigh nothing: entering step 4 means step 1 is done.
  p.EnterStep(4);
  EXPECT_DOUBLE_EQ(p.Fraction(), 0.1);
  p.SetStepFraction(1.0);
  EXPECT_DOUBLE_EQ(p.Fraction(), 0.4);
  // A sub-step's bar starting over does not move the whole back.
  p.SetStepFraction(0.2);
  EXPECT_DOUBLE_EQ(p.Fraction(), 0.4);
  p.EnterStep(5);
  p.SetStepFraction(2.0);  // clamped
  EXPECT_DOUBLE_EQ(p.Fraction(), 1.0);

  OverallProgress nothing(StepWeights{});
  nothing.EnterStep(3);
  nothing.SetStepFraction(0.7);
  EXPECT_EQ(nothing.Fraction(), 0.0);
}

TEST(OverallProgress, TimeLeftIsSaidOnceItCanBeTold) {
  EXPECT_EQ(TimeLeftText(0.02, 60), "");  // too little done
  EXPECT_EQ(TimeLeftText(0.5, 4), "");    // too soon
  EXPECT_EQ(TimeLeftText(1.0, 60), "");   // nothing left
  EXPECT_EQ(TimeLeftText(0.5, 20), "about 20 s left");
  EXPECT_EQ(TimeLeftText(0.8, 20), "about 5 s left");
  EXPECT_EQ(TimeLeftText(0.25, 60), "about 3 min left");
  EXPECT_EQ(TimeLeftText(0.1, 100), "about 15 min left");
  EXPECT_EQ(OverallCaption(0.456, 10), "Overall: 45%, about 15 s left");
  EXPECT_EQ(OverallCaption(0.01, 1), "Overall: 1%");
}

}  // namespace
}  // namespace kiv
