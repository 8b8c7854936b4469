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

// The rescue system's build is timed apart: while it runs, the time left is
// what its last build took less what it has run, plus the rest at the pace
// before it; the first time, nothing is said until it is over.
TEST(OverallProgress, TheRescueBuildIsTimedByItsLastBuild) {
  // Template 0, disks 100, rescue 900 of step 4 (and 100 more there), ISO 200.
  const StepWeights weights{0, 100, 0, 0, 1000, 200};
  auto build = [&](std::optional<double> last) {
    OverallProgress p(weights);
    p.EnterStep(1);
    p.SetStepFraction(1.0);
    p.EnterStep(4);
    p.SetStepFraction(0.1);           // the user's folders: 200 of 1300 done after 20 s
    p.StartTimedPart(900, last, 20);  // then the rescue system
    return p;
  };
  OverallProgress first = build(std::nullopt);
  first.SetStepFraction(0.7);  // its phases move the bar...
  EXPECT_EQ(first.SecondsLeft(80), std::nullopt) << "...but its time is not known";
  EXPECT_EQ(OverallCaption(first.Fraction(), first.SecondsLeft(80)), "Overall: 61%");

  // Its last build took 200 s: 150 s of it are left after 50 s, and the
  // 200 left outside it go at 10 s per 100, as the 200 before it did.
  OverallProgress again = build(200.0);
  again.SetStepFraction(0.3);
  ASSERT_TRUE(again.SecondsLeft(70).has_value());
  EXPECT_DOUBLE_EQ(*again.SecondsLeft(70), 150 + 20);
  EXPECT_EQ(OverallCaption(again.Fraction(), again.SecondsLeft(70)), "Overall: 30%, about 3 min left");
  // Slower than last time: no longer known.
  EXPECT_EQ(again.SecondsLeft(230), std::nullopt);

  // Once it has ended (after 280 s), the rest goes at the pace of the build
  // without it: 200 of 400 done in the 40 s of the 320 outside it.
  again.SetStepFraction(1.0);
  again.EndTimedPart(300);
  ASSERT_TRUE(again.SecondsLeft(320).has_value());
  EXPECT_DOUBLE_EQ(*again.SecondsLeft(320), 40);
}

}  // namespace
}  // namespace kiv
