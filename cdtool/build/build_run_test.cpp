// The build run on temporary program folders with fake bootsmith and
// mastering tools: step marks, images, failure messages, cancel, clean-up.
#include "cdtool/build/build_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "cdtool/build/add_disks.h"
#include "cdtool/build/iso_step.h"
#include "cdtool/usb/hybrid_iso.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "common/stop_request.h"
#include "testsupport/build_test_support.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

using testing::BootDisksOnly;
using testing::ProgramFolder;

// Events whose pump can press Cancel once a condition holds.
struct CancellingView : testing::RecordingEvents {
  std::function<bool()> when;
  BuildRun* run = nullptr;
  int cancels = 0;
  void PumpEvents() override {
    RecordingEvents::PumpEvents();
    if (run && when && !run->CancelCopy && when()) {
      ++cancels;
      run->CancelApp();
    }
  }
};

class BuildRunTest : public ::testing::Test {
 protected:
  ProgramFolder folder;
  ScriptedPrompter prompter;
  CancellingView view;
  testing::FakeLauncher tools;
  FakePlatform platform;
  BuildRun run{folder.dir, prompter, view, {tools, platform}};

  void SetUp() override {
    view.run = &run;
    testing::AddFakeCdTools(tools, folder.dir);
  }
  std::vector<std::string> Marks() const {
    std::vector<std::string> marks;
    for (const StepLine& line : run.Status().steps) marks.push_back(MarkText(line.mark));
    return marks;
  }
};

TEST_F(BuildRunTest, BootDisksOnlyMarksStepsAndMakesTheIso) {
  run.settings = BootDisksOnly(folder);
  // Without the signed UEFI loaders: a CD for BIOS mode only.
  run.efiLoaders.shim = folder.P("not-installed/shimx64.efi.signed");
  run.Run();

  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_EQ(Marks(), (std::vector<std::string>{kCheckMark, kCrossMark, kCrossMark, kCheckMark, kCheckMark}));
  for (const StepLine& line : run.Status().steps) EXPECT_FALSE(line.running);
  EXPECT_EQ(run.Status().subStep, "Creating Final ISO File completed");
  EXPECT_EQ(run.Status().heading, "  Operation completed successfully");
  EXPECT_FALSE(run.Status().failureShown);
  EXPECT_TRUE(run.Finished);
  EXPECT_EQ(view.page, 9);
  EXPECT_TRUE(view.finishAllowed);
  EXPECT_FALSE(view.cancelAllowed);  // the ISO step disabled it

  // Images in place, in table order, with the bar's stops.
  EXPECT_EQ(folder.Read("kivcd/boot/images/kivstart.img"), "image of kivsoftware");
  EXPECT_EQ(folder.Read("kivcd/boot/images/kivemm.img"), "image of kivsoftware_emm");
  EXPECT_EQ(folder.Read("kivcd/boot/images/kivnet.img"), "image of lorvaplus288");
  EXPECT_FALSE(folder.Exists("kivcd/boot/images/kivwin.img"));
  EXPECT_EQ(tools.Ran("bootsmith"),
            (std::vector<std::string>{"bootsmith -t 144 kivsoftware", "bootsmith -t 144 kivsoftware_emm",
                                      "bootsmith -t 288 lorvaplus288"}));
  EXPECT_EQ(tools.commands_ran[0].workingDir, folder.dir);
  EXPECT_FALSE(folder.Exists("kivstart.img"));

  EXPECT_EQ(folder.Read("kivcd.iso"), "ISO image");
  EXPECT_EQ(folder.Read("mkisofs.log").rfind("MkISOFS.EXE Log File\r\n", 0), 0u);
  EXPECT_TRUE(folder.Exists("kivcd/readme.txt"));
  EXPECT_EQ(folder.Read("makecd.sh").find("-eltorito-alt-boot"), std::string::npos);
  EXPECT_FALSE(folder.Exists("kivcd/boot/efi/efiboot.img"));
  EXPECT_TRUE(tools.Ran("dfl").empty());
  EXPECT_TRUE(run.Outcome().Made());
  EXPECT_EQ(run.Outcome().isoPath, folder.P("kivcd.iso"));
  EXPECT_EQ(run.Outcome().isoSize, 9);  // "ISO image"

  // A run runs once.
  EXPECT_EQ(view.ended, 1);
  run.Run();
  EXPECT_EQ(view.ended, 1);
  EXPECT_EQ(tools.Ran("bootsmith").size(), 3u);
}

TEST_F(BuildRunTest, EveryCdCarriesTheTagTheFloppiesFindItBy) {
  // The tag is the build's own: the template has none.
  ASSERT_FALSE(folder.Exists(std::string("files/kivcd/") + kCdTagFile));
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_TRUE(run.Outcome().Made());
  EXPECT_TRUE(folder.Exists(std::string("kivcd/") + kCdTagFile));

  // The floppies' FINDCD looks for that very name in a drive's root.
  std::string findcd;
  ASSERT_TRUE(ReadWholeFile(KIV_SHIPPED_FILES_DIR "/dos_files/bin/FINDCD.BAT", findcd));
  EXPECT_NE(findcd.find(std::string(":\\") + kCdTagFile), std::string::npos) << findcd;
}

TEST_F(BuildRunTest, NetworkDiskCommandLinesFollowTheFlags) {
  const BootImageRow& lorva = BootImageTable()[3];
  const BootImageRow& net = BootImageTable()[4];
  EXPECT_EQ(BootsmithArgv("/p", lorva, false),
            (std::vector<std::string>{"/p/bootsmith", "-sel", "-t", "288", "lorvaplus288"}));
  EXPECT_EQ(BootsmithArgv("/p", lorva, true), (std::vector<std::string>{"/p/bootsmith", "-t", "288", "lorvaplus288"}));
  EXPECT_EQ(BootsmithArgv("/p", BootImageTable()[0], false),
            (std::vector<std::string>{"/p/bootsmith", "-t", "144", "kivsoftware"}));

  // Windows 98/Me disk and Network Access without the default drivers; the
  // image left by an earlier build is replaced.
  testing::WriteText(folder.P("kivcd.old"), "");
  run.settings = BootDisksOnly(folder);
  run.settings.BootDisks.Use_LorvaPlus = false;
  run.settings.BootDisks.AcceptDrivers = false;
  run.settings.Main.Windows9x = true;
  run.settings.Win9x_Info.SourceDir = folder.P("empty98");
  std::filesystem::create_directories(folder.P("empty98"));
  run.Run();
  EXPECT_EQ(tools.Ran("bootsmith"),
            (std::vector<std::string>{"bootsmith -t 144 kivsoftware", "bootsmith -t 144 kivsoftware_emm",
                                      "bootsmith -t 144 winsetup", "bootsmith -sel -t 288 netaccess"}));
  EXPECT_EQ(folder.Read("kivcd/boot/images/kivnet.img"), "image of netaccess");
  EXPECT_EQ(folder.Read("kivcd/boot/images/kivwin.img"), "image of winsetup");
  (void)net;
}

// Each disk built shows its caption, and the build log has it; a disk that
// is not built has no line (the Windows 98/Me launcher without the Windows
// 98/Me files).
TEST_F(BuildRunTest, ADisksCaptionIsShownAndLoggedOnlyWhenItIsBuilt) {
  const std::string launcher = BootImageTable()[2].caption;
  ASSERT_EQ(launcher, "Creating the Kiv Windows Setup Launcher Disk");
  // The captions of step 1 between its own two ("Creating kiv Boot Disks" ...
  // "... completed").
  auto diskCaptions = [this] {
    const std::string step = run.Status().steps[0].title;
    const auto first = std::find(view.captions.begin(), view.captions.end(), step);
    const auto last = std::find(first, view.captions.end(), step + " completed");
    return first == last ? std::vector<std::string>() : std::vector<std::string>(first + 1, last);
  };
  auto logged = [this](const std::string& text) {
    return testing::ReadText(run.LogPath()).find("  " + text + "\n") != std::string::npos;
  };

  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_TRUE(run.Outcome().Made());
  EXPECT_EQ(diskCaptions(), (std::vector<std::string>{"Creating Kiv Rescue Software Disk",
                                                      "Creating Kiv Rescue Software Disk (EMM386 Support)",
                                                      "Creating the Kiv Rescue Software Plus (Lorva) Disk"}));
  EXPECT_TRUE(logged("Creating the Kiv Rescue Software Plus (Lorva) Disk"));
  EXPECT_FALSE(logged(launcher));
}

TEST_F(BuildRunTest, TheLauncherDisksCaptionComesWithItsDisk) {
  run.settings = BootDisksOnly(folder);
  run.settings.Main.Windows9x = true;
  run.settings.Win9x_Info.SourceDir = folder.P("empty98");
  std::filesystem::create_directories(folder.P("empty98"));
  run.Run();
  ASSERT_EQ(tools.Ran("bootsmith").at(2), "bootsmith -t 144 winsetup");
  const std::string launcher = BootImageTable()[2].caption;
  const auto shown = std::find(view.captions.begin(), view.captions.end(), launcher);
  ASSERT_NE(shown, view.captions.end());
  EXPECT_EQ(*(shown - 1), "Creating Kiv Rescue Software Disk (EMM386 Support)");
  EXPECT_NE(testing::ReadText(run.LogPath()).find("  " + launcher + "\n"), std::string::npos);
}

TEST_F(BuildRunTest, MissingFirstImageHaltsWithTheQuotedDiskName) {
  testing::WriteText(folder.P("fail.kivsoftware"), "");
  run.settings = BootDisksOnly(folder);
  run.Run();

  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "The creation the Boot image \"Kiv Rescue Software\" failed, operation halted");
  EXPECT_EQ(prompter.messages[0].title, "Fatal Error");
  EXPECT_EQ(prompter.messages[0].icon, Icon::Critical);
  EXPECT_EQ(prompter.messages[0].helpTopic, 1410);
  EXPECT_EQ(tools.Ran("bootsmith"), (std::vector<std::string>{"bootsmith -t 144 kivsoftware"}));  // no further image
  EXPECT_EQ(Marks(), (std::vector<std::string>{"", "", "", "", ""}));
  EXPECT_TRUE(run.Status().steps[0].running);
  EXPECT_EQ(run.Status().heading, "   Operation failed");
  EXPECT_FALSE(folder.Exists("kivcd.iso"));
  EXPECT_FALSE(folder.Exists("makecd.sh"));
  EXPECT_TRUE(view.finishAllowed);
  EXPECT_EQ(view.cancelled, 1);
}

TEST_F(BuildRunTest, TheOutcomeNamesTheFailedStepAndItsReason) {
  testing::WriteText(folder.P("fail.kivsoftware_emm"), "");
  run.settings = BootDisksOnly(folder);
  run.Run();
  const BuildOutcome& outcome = run.Outcome();
  EXPECT_EQ(outcome.kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(outcome.step, 1);
  EXPECT_NE(outcome.reason.find("kivemm.img"), std::string::npos) << outcome.reason;
  EXPECT_EQ(outcome.Summary().rfind("Build failed at step 1 (Creating kiv Boot Disks): ", 0), 0u) << outcome.Summary();
  // Without its own words, how bootsmith ended.
  EXPECT_NE(outcome.reason.find(": bootsmith ended with exit status 1"), std::string::npos) << outcome.reason;
}

// The cause bootsmith names on its last line is the build's cause, not only
// the image that is not there.
TEST_F(BuildRunTest, AFailedBootDiskIsExplainedInBootsmithsWords) {
  testing::WriteText(folder.P("fail.kivsoftware"),
                     "Already Running: this line is not the last\n"
                     "bootsmith: no image made: Already Running: The Kiv Disk Builder is already running\n");
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Outcome().reason, "bootsmith made no image " + folder.P("kivstart.img") +
                                      ": Already Running: The Kiv Disk Builder is already running");
}

TEST_F(BuildRunTest, KeyFileErrorBeforeTheFirstImageNamesNoDisk) {
  testing::WriteText(folder.P("keyfile2.txt"), "[Win2KInfo]\r\nOwnerName=Ann\r\n");
  std::filesystem::create_directories(folder.P("keyfile.txt"));  // cannot be written
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "The creation the Boot image  failed, operation halted");
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
}

TEST_F(BuildRunTest, LaterImageFailureKeepsTheImagesAlreadyMoved) {
  testing::WriteText(folder.P("fail.lorvaplus288"), "");
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text,
            "The creation the Boot image \"Kiv Rescue Software Plus (Lorva)\" failed, operation halted");
  EXPECT_TRUE(folder.Exists("kivcd/boot/images/kivstart.img"));
  EXPECT_TRUE(folder.Exists("kivcd/boot/images/kivemm.img"));
}

// A boot disk bootsmith did not make in this run never reaches the CD: not an
// image left in the program folder by an earlier build, not one a failing
// run leaves, and not what a link at the image's name points to.
TEST_F(BuildRunTest, OnlyAnImageThisRunMadeReachesTheCd) {
  testing::WriteText(folder.P("kivstart.img"), "leftover of an earlier build");
  testing::WriteText(folder.P("fail.kivsoftware"), "");
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Outcome().step, 1);
  EXPECT_NE(run.Outcome().reason.find("bootsmith ended with exit status 1"), std::string::npos) << run.Outcome().reason;
  EXPECT_FALSE(folder.Exists("kivcd/boot/images/kivstart.img"));
  EXPECT_FALSE(folder.Exists("kivstart.img"));
}

TEST_F(BuildRunTest, AnImageFromARunThatFailedIsNotTaken) {
  tools.Add("bootsmith", [this](const testing::FakeCommand& c) {
    testing::WriteText(folder.P("kivstart.img"), "half an image of " + c.argv.back());
    return testing::Exits(1, {"bootsmith: no image made: Error While Copying: Disk Full\n"});
  });
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Outcome().reason,
            "bootsmith failed on " + folder.P("kivstart.img") + ": Error While Copying: Disk Full");
  EXPECT_FALSE(folder.Exists("kivcd/boot/images/kivstart.img"));
  EXPECT_FALSE(folder.Exists("kivstart.img"));
}

TEST_F(BuildRunTest, ALinkAtTheImagesNameIsNeverFollowed) {
  // Put there before the build: it goes as a link, its target stays.
  testing::WriteText(folder.P("elsewhere.img"), "someone else's file");
  std::filesystem::create_symlink(folder.P("elsewhere.img"), folder.P("kivstart.img"));
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  EXPECT_EQ(folder.Read("elsewhere.img"), "someone else's file");
  EXPECT_FALSE(std::filesystem::is_symlink(folder.P("kivcd/boot/images/kivstart.img")));
  EXPECT_EQ(folder.Read("kivcd/boot/images/kivstart.img"), "image of kivsoftware");

  // Left by bootsmith itself: refused.
  ProgramFolder second;
  ScriptedPrompter prompter2;
  testing::RecordingEvents view2;
  testing::FakeLauncher tools2;
  testing::AddFakeCdTools(tools2, second.dir);
  tools2.Add("bootsmith", [&second](const testing::FakeCommand&) {
    testing::WriteText(second.P("target.img"), "not an image of this run");
    std::filesystem::create_symlink(second.P("target.img"), second.P("kivstart.img"));
    return testing::Exits(0);
  });
  BuildRun run2{second.dir, prompter2, view2, {tools2, platform}};
  run2.settings = BootDisksOnly(second);
  run2.Run();
  EXPECT_EQ(run2.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_NE(run2.Outcome().reason.find("bootsmith left a link at " + second.P("kivstart.img")), std::string::npos)
      << run2.Outcome().reason;
  EXPECT_FALSE(second.Exists("kivcd/boot/images/kivstart.img"));
  EXPECT_EQ(second.Read("target.img"), "not an image of this run");
}

TEST_F(BuildRunTest, MissingBootsmithIsACriticalErrorNamingIt) {
  tools.Remove("bootsmith");  // not installed
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_GE(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].title, "Critical Error");
  EXPECT_NE(prompter.messages[0].text.find(folder.P("bootsmith")), std::string::npos);
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Outcome().step, 1);
  EXPECT_EQ(run.Status().heading, "   Operation failed");
  EXPECT_FALSE(folder.Exists("kivcd.iso"));
}

TEST_F(BuildRunTest, MissingTemplateStopsBeforeAnyStep) {
  std::filesystem::remove_all(folder.P("files/kivcd"));
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].title, "Critical Error");
  EXPECT_NE(prompter.messages[0].text.find("files/kivcd"), std::string::npos);
  EXPECT_TRUE(tools.Ran("bootsmith").empty());
  EXPECT_EQ(run.Status().heading, "   Operation failed");
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Outcome().step, 0);
}

TEST_F(BuildRunTest, CancelDuringACopyStopsAtTheNextCheck) {
  // Windows 2000/XP tree of several files, copied (not mapped); Cancel is
  // pressed while it copies.
  run.environment.Set(kCopySourcesVariable, "1");
  for (int i = 0; i < 5; ++i)
    testing::WriteText(folder.P("xp/I386/FILE" + std::to_string(i) + ".DL_"), std::string(3000, 'x'));
  testing::WriteText(folder.P("xp/I386/SETUPLDR.BIN"), "loader");
  run.settings = BootDisksOnly(folder);
  run.settings.Main.Windows2K = true;
  run.settings.Win2K_Info.SourceDir = folder.P("xp/I386");
  run.settings.Main.Windows9x = true;
  run.settings.Win9x_Info.SourceDir = folder.P("xp");
  view.when = [&] { return view.caption.rfind("Copying : ", 0) == 0; };
  run.Run();

  EXPECT_EQ(view.cancels, 1);
  // The copy ended before its next file; step 2 has no mark, no later step ran.
  EXPECT_TRUE(folder.Exists("kivcd/I386/FILE0.DL_"));
  EXPECT_FALSE(folder.Exists("kivcd/I386/FILE4.DL_"));
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;  // a Cancel is no Fatal Error
  EXPECT_EQ(Marks(), (std::vector<std::string>{kCheckMark, "", "", "", ""}));
  EXPECT_TRUE(run.Status().steps[1].running);
  EXPECT_FALSE(folder.Exists("kivcd/WINSETUP"));
  EXPECT_FALSE(folder.Exists("makecd.sh"));
  EXPECT_EQ(run.Status().heading, "   Operation canceled");
  EXPECT_TRUE(view.finishAllowed);
  EXPECT_EQ(view.page, 9);
  EXPECT_EQ(view.ended, 1);
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Cancelled);
}

TEST_F(BuildRunTest, CleanSessionRemovesTheWorkFilesButKeepsIsoAndLog) {
  testing::WriteText(folder.P("keyfile2.txt"), "[Win2KInfo]\r\nOwnerName=Ann\r\n");
  run.settings = BootDisksOnly(folder);
  run.settings.Main.CleanSession = true;
  run.Run();
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_FALSE(folder.Exists("kivcd"));
  EXPECT_FALSE(folder.Exists("keyfile2.txt"));
  EXPECT_FALSE(folder.Exists("makecd.sh"));
  EXPECT_TRUE(folder.Exists("keyfile.txt"));
  EXPECT_TRUE(folder.Exists("kivcd.iso"));
  EXPECT_TRUE(folder.Exists("mkisofs.log"));
  EXPECT_EQ(run.Status().subStep, "Cleaning session temperary data");
  EXPECT_TRUE(run.Status().subStepStressed);
}

TEST_F(BuildRunTest, OptimisedRunLinksAndLogsEveryChunk) {
  run.settings = BootDisksOnly(folder);
  run.settings.Main.OptimizeISO = true;
  run.Run();
  EXPECT_EQ(tools.Ran("dfl"), (std::vector<std::string>{"dfl kivcd link"}));
  std::string log = folder.Read("mkisofs.log");
  EXPECT_NE(log.find("Calculating MD5 digests"), std::string::npos);
  EXPECT_NE(log.find("extents written"), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  // The bar passed the tool's percentages and ended hidden at its maximum.
  EXPECT_FALSE(run.Status().subBar.shown);
  EXPECT_EQ(run.Status().subBar.value, 100);
  // However the output was cut into chunks, the one with the size line
  // ends in that caption.
  bool sawSize = false;
  for (const std::string& c : view.captions) sawSize |= c == "Total ISO size : 0 MB";
  EXPECT_TRUE(sawSize);
}

TEST_F(BuildRunTest, FullDiskIsReportedAbortedAndThePartialIsoRemoved) {
  testing::WriteText(folder.P("mkisofs.nospace"), "");
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Status().heading, "   Operation failed");
  EXPECT_TRUE(run.Status().failureShown);
  EXPECT_EQ(run.Status().failure, "Not enough free space to complete the ISO file !!!");
  EXPECT_TRUE(run.Status().outOfSpace);
  EXPECT_FALSE(folder.Exists("kivcd.iso"));
  // The failed step keeps its bold line and gets no mark; Finish ends the program.
  EXPECT_EQ(run.Status().steps[4].mark, StepMark::None);
  EXPECT_TRUE(run.Status().steps[4].running);
  EXPECT_TRUE(view.finishAllowed);
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Outcome().step, 5);
  // The reason quotes the tool's last words and names its log.
  EXPECT_EQ(run.Outcome().reason,
            "Not enough free space to complete the ISO file !!!; the mastering tool said: Scanning ./kivcd/boot / "
            "genisoimage: No space left on device. Cannot write (all its output: " +
                folder.P("mkisofs.log") + ")");
}

// One CD build per program folder: a second one while the first holds the
// lock says so, names the holder and touches nothing of the first's.
TEST_F(BuildRunTest, ASecondBuildInTheSameProgramFolderDoesNotStart) {
  testing::WriteText(folder.P("kivcd/boot/images/kivstart.img"), "the first build's image");
  InstanceLock first;
  ASSERT_TRUE(first.Acquire(folder.P(kCdBuildLock)));
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "Another CD build is running in this program folder (process " +
                                           std::to_string(ProcessId()) + "); this build does not start.");
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Status().heading, "   Operation failed");
  EXPECT_TRUE(tools.commands_ran.empty());
  EXPECT_EQ(folder.Read("kivcd/boot/images/kivstart.img"), "the first build's image");
  EXPECT_FALSE(folder.Exists("keyfile2.txt"));
  // Once the first has ended (or died: the kernel drops its lock) a build runs.
  first.Release();
  BuildRun next(folder.dir, prompter, view, {tools, platform});
  next.settings = BootDisksOnly(folder);
  next.Run();
  EXPECT_TRUE(next.Outcome().Made()) << next.Outcome().Summary();
}

// A tree with a UEFI boot image is mastered with a second El Torito entry for
// it (a tree without one is mastered as before: the other tests).
TEST_F(BuildRunTest, AnEfiImageInTheTreeGetsItsOwnBootEntry) {
  testing::WriteText(folder.P("files/kivcd/boot/efi/efiboot.img"), "FAT image");
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  EXPECT_TRUE(folder.Exists("kivcd/boot/efi/efiboot.img"));
  EXPECT_NE(folder.Read("makecd.sh").find(" -eltorito-alt-boot -e boot/efi/efiboot.img -no-emul-boot"),
            std::string::npos)
      << folder.Read("makecd.sh");
}

// The mastering tool writes the stick's MBR from the program folder's copy
// when the tree has a UEFI image; without it the build stops before mastering,
// naming the file, and the previous ISO stays.
TEST_F(BuildRunTest, AMissingMbrFailsTheUefiBuildNamingIt) {
  testing::WriteText(folder.P("files/kivcd/boot/efi/efiboot.img"), "FAT image");
  testing::WriteText(folder.P("kivcd.iso"), "last week's good CD");
  std::filesystem::remove(folder.P(kIsoHybridMbr));
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_NE(prompter.messages[0].text.find("isohdpfx.bin is missing"), std::string::npos);
  EXPECT_NE(run.Outcome().reason.find(folder.P(kIsoHybridMbr) + " is missing"), std::string::npos)
      << run.Outcome().Summary();
  EXPECT_TRUE(tools.Ran("mkisofs").empty());
  EXPECT_EQ(folder.Read("kivcd.iso"), "last week's good CD");
  EXPECT_EQ(run.Status().heading, "   Operation failed");
}

// Built with SOURCE_DATE_EPOCH, the tree the mastering tool reads has no date
// later than it (the build itself wrote the tree just now), and the tool gets
// the order of the files' data.
TEST_F(BuildRunTest, SourceDateEpochDatesTheTreeForTheMasteringTool) {
  run.environment.Set("SOURCE_DATE_EPOCH", "1700000000");
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  for (const char* path : {"kivcd", "kivcd/readme.txt", "kivcd/boot/images/kivstart.img"}) {
    EXPECT_EQ(ModifiedSeconds(folder.P(path)), 1700000000) << path;
  }
  // The files' data in path order: the weight list, named on the line.
  EXPECT_NE(folder.Read("makecd.sh").find(" --sort-weight-list 'mkisofs.sort' -output "), std::string::npos);
  EXPECT_NE(folder.Read("mkisofs.sort").find(" /readme.txt\n"), std::string::npos) << folder.Read("mkisofs.sort");
}

// A SOURCE_DATE_EPOCH that is no number stops Finish the way a page check
// does: the box names the variable, and nothing is started, locked or written.
TEST_F(BuildRunTest, AnEpochThatIsNoNumberIsRefusedBeforeAnythingStarts) {
  run.environment.Set("SOURCE_DATE_EPOCH", "yesterday");
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text.find("The CD cannot be built: SOURCE_DATE_EPOCH=yesterday is not a number"), 0u)
      << prompter.messages[0].text;
  EXPECT_EQ(prompter.messages[0].icon, Icon::Critical);
  EXPECT_FALSE(run.Finished);
  EXPECT_TRUE(tools.commands_ran.empty());
  EXPECT_FALSE(folder.Exists("kivcd"));
  EXPECT_FALSE(folder.Exists("kivcd-build.log"));
}

// Links planted at the names of the files a build writes in its folder are
// replaced by the build's own files; what they point at stays as it was.
TEST_F(BuildRunTest, LinksAtTheWorkFilesNamesAreReplacedNotWrittenThrough) {
  run.environment.Set("SOURCE_DATE_EPOCH", "1700000000");  // the weight list is written too
  TestTempDir elsewhere;
  const char* const names[] = {"kivcd-build.log", "mkisofs.log",    "makecd.sh",
                               "mkisofs.sort",    "discsmith.lock", "keyfile2.txt"};
  for (const char* name : names) {
    testing::WriteText(elsewhere / name, std::string("precious ") + name);
    std::filesystem::create_symlink(elsewhere / name, folder.P(name));
  }
  run.settings = BootDisksOnly(folder);
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  for (const char* name : names) {
    EXPECT_EQ(testing::ReadText(elsewhere / name), std::string("precious ") + name) << name;
    EXPECT_FALSE(std::filesystem::is_symlink(folder.P(name))) << name;
  }
  EXPECT_NE(folder.Read("kivcd-build.log").find("Building the CD in"), std::string::npos);
}

// A rebuild is mastered under a temporary name: when it fails, the previous
// ISO is still there byte for byte, and no piece of the new one is left.
TEST_F(BuildRunTest, TheRescueSystemIsBuiltOnceLinkedIntoLiveAndStartsFromTheMenu) {
  testing::WriteText(folder.P("files/kivcd/boot/scripts/main.cds"),
                     "Set Action1_Text=\"Linux rescue system\"\r\nSet Action1_Macro=\"Rescue\"\r\n"
                     ":Rescue\r\n  RequireFile \"\\live\\filesystem.squashfs\"\r\n  Initrd \"\\live\\initrd.img\"\r\n"
                     "  BootKernel \"\\live\\vmlinuz\" \"boot=live\"\r\n  End\r\n");
  run.settings = BootDisksOnly(folder);
  run.settings.Main.LinuxRescue = 1;
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().reason;
  EXPECT_EQ(tools.Ran("mmdebstrap").size(), 1u);
  // The CD's /live holds the kept files themselves, linked, not copied.
  EXPECT_EQ(folder.Read("kivcd/live/filesystem.squashfs"), "squashed tree");
  EXPECT_TRUE(std::filesystem::equivalent(folder.P("kivcd/live/vmlinuz"), folder.P("rescue/vmlinuz")));
  EXPECT_NE(folder.Read("kivcd/boot/isolinux/isolinux.cfg").find("  LINUX /live/vmlinuz\n  INITRD /live/initrd.img\n"),
            std::string::npos);
  // Its bar went through mmdebstrap's phases on the way.
  EXPECT_NE(std::find(view.captions.begin(), view.captions.end(),
                      "Building the Linux rescue system: squashing the system (100%)"),
            view.captions.end());

  // The next build reuses it.
  BuildRun again{folder.dir, prompter, view, {tools, platform}};
  again.settings = run.settings;
  again.Run();
  ASSERT_TRUE(again.Outcome().Made()) << again.Outcome().reason;
  EXPECT_EQ(tools.Ran("mmdebstrap").size(), 1u);
  EXPECT_EQ(folder.Read("kivcd/live/initrd.img"), "initramfs");
}

// The time left while the rescue system is built: not said the first time
// (nothing tells how long mmdebstrap still takes), and from the time the
// last build took when it is built again.
TEST_F(BuildRunTest, TheTimeLeftOfTheRescueBuildIsSaidOnlyWhenKnown) {
  // A clock that moves 5 s with every pump; mmdebstrap works 60 pumps long.
  struct TimedView : testing::RecordingEvents {
    double now = 1000;
    BuildRun* run = nullptr;
    std::vector<std::string> whileRescueBuilds;
    void PumpEvents() override {
      now += 5;
      if (run && run->Status().subStep.rfind("Building the Linux rescue system", 0) == 0)
        whileRescueBuilds.push_back(run->Status().overallText);
    }
  };
  tools.Add("mmdebstrap", [this](const testing::FakeCommand& c) {
    testing::FakeRun built = testing::FakeMmdebstrap(folder.dir)(c);
    built.output.insert(built.output.begin(), "I: installing remaining packages inside the chroot...\n");
    built.pollsRunning = 60;
    return built;
  });
  auto buildOnce = [&](std::vector<std::string>& texts) {
    ScriptedPrompter quiet;
    TimedView timed;
    BuildRun build{folder.dir, quiet, timed, {tools, platform}};
    timed.run = &build;
    build.MonotonicSeconds = [&timed] { return timed.now; };
    build.settings = BootDisksOnly(folder);
    build.settings.Main.LinuxRescue = 1;
    build.Run();
    ASSERT_TRUE(build.Outcome().Made()) << build.Outcome().Summary();
    texts = timed.whileRescueBuilds;
  };
  std::vector<std::string> first, second;
  buildOnce(first);
  ASSERT_GT(first.size(), 50u);
  for (const std::string& text : first) EXPECT_EQ(text.find(" left"), std::string::npos) << text;
  // Kept beside the system: how long that took (about 60 pumps of 5 s).
  const int seconds = std::stoi(folder.Read("rescue/build-seconds.txt"));
  EXPECT_GE(seconds, 300);
  EXPECT_LE(seconds, 360);

  // Another package: built again, and now the time is known: all of that
  // at the start, and less as it goes.
  testing::WriteText(folder.P("files/rescue/packages.txt"), "ntfs-3g\ntestdisk\nmc\n");
  buildOnce(second);
  ASSERT_GT(second.size(), 50u);
  auto minutes = [](const std::string& text) {
    const size_t at = text.find(", about ");
    return at == std::string::npos || text.find(" min left") == std::string::npos ? -1 : std::stoi(text.substr(at + 8));
  };
  EXPECT_GE(minutes(second.front()), (seconds + 59) / 60) << second.front();
  EXPECT_GT(minutes(second[second.size() / 2]), 0) << second[second.size() / 2];
  EXPECT_LT(minutes(second[second.size() / 2]), minutes(second.front())) << second[second.size() / 2];
}

TEST_F(BuildRunTest, AFailedRescueBuildStopsTheCdNamingMmdebstrapsLinesAndKeepsTheIso) {
  testing::WriteText(folder.P("kivcd.iso"), "last week's good CD");
  testing::WriteText(folder.P("mmdebstrap.fail"), "");
  run.settings = BootDisksOnly(folder);
  run.settings.Main.LinuxRescue = 1;
  run.Run();
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Outcome().step, 4);
  EXPECT_NE(run.Outcome().reason.find("E: Unable to locate package no-such-tool"), std::string::npos)
      << run.Outcome().reason;
  ASSERT_FALSE(prompter.messages.empty());
  EXPECT_EQ(prompter.messages[0].text.rfind("A fatal Error occured while adding the Linux rescue system", 0), 0u);
  EXPECT_EQ(folder.Read("kivcd.iso"), "last week's good CD");
  EXPECT_FALSE(folder.Exists("rescue.new"));
  EXPECT_FALSE(folder.Exists("rescue"));
  EXPECT_TRUE(tools.Ran("mkisofs").empty()) << "nothing was mastered";
}

TEST_F(BuildRunTest, CancelDuringTheRescueBuildEndsMmdebstrapAndMastersNothing) {
  tools.Add("mmdebstrap", [](const testing::FakeCommand&) {
    testing::FakeRun running;
    running.output = {"I: downloading packages with apt...\n"};
    running.runningUntil = [] { return false; };
    return running;
  });
  run.settings = BootDisksOnly(folder);
  run.settings.Main.LinuxRescue = 1;
  view.when = [&] { return view.caption == "Building the Linux rescue system: starting mmdebstrap"; };
  run.Run();
  EXPECT_EQ(view.cancels, 1);
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Cancelled);
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_FALSE(folder.Exists("rescue.new"));
  EXPECT_TRUE(tools.Ran("mkisofs").empty());
  EXPECT_EQ(Marks(), (std::vector<std::string>{kCheckMark, kCrossMark, kCrossMark, "", ""}));
}

TEST_F(BuildRunTest, AFailedRebuildKeepsThePreviousIso) {
  testing::WriteText(folder.P("kivcd.iso"), "last week's good CD");
  testing::WriteText(folder.P("mkisofs.nospace"), "");
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(folder.Read("kivcd.iso"), "last week's good CD");
  for (const auto& entry : std::filesystem::directory_iterator(folder.dir))
    EXPECT_NE(entry.path().extension(), ".part") << "left behind: " << entry.path();
  // The mastering tool wrote the temporary name, never the final one.
  const std::vector<std::string> mastering = tools.Ran("mkisofs");
  ASSERT_EQ(mastering.size(), 1u);
  const std::string output = " -output " + PartialIsoPath(folder.P("kivcd.iso")) + " kivcd";
  EXPECT_EQ(mastering[0].substr(mastering[0].size() - std::min(mastering[0].size(), output.size())), output)
      << mastering[0];
  EXPECT_EQ(PartialIsoPath(folder.P("kivcd.iso")).rfind(folder.P(".kivcd.iso."), 0), 0u);
  // The script, run by hand later, masters to the ISO location itself.
  EXPECT_NE(folder.Read("makecd.sh").find(" -output '" + folder.P("kivcd.iso") + "' "), std::string::npos)
      << folder.Read("makecd.sh");
}

TEST_F(BuildRunTest, AnOlderIsoIsNotTakenForThisRunsResult) {
  testing::WriteText(folder.P("kivcd.iso"), "last week's CD");
  tools.Add("mkisofs", [](const testing::FakeCommand&) { return testing::Exits(1, {"mkisofs: bad option\n"}); });
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Status().heading, "   Operation failed");
  EXPECT_EQ(run.Status().failure, "Couldn't access destination ISO File");
  EXPECT_TRUE(run.Status().failureShown);
  EXPECT_EQ(folder.Read("kivcd.iso"), "last week's CD");
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
  EXPECT_EQ(run.Outcome().reason,
            "the mastering tool ended with exit status 1; the mastering tool said: "
            "mkisofs: bad option (all its output: " +
                folder.P("mkisofs.log") + ")");
}

// A failed mastering names its cause and the path, in the outcome and in the
// log, once.
TEST_F(BuildRunTest, AMissingMasteringToolIsNamedAsMissing) {
  tools.Remove("mkisofs");
  std::filesystem::remove(folder.P("mkisofs"));  // the link to xorriso is gone
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Outcome().reason, "the mastering tool " + folder.P("mkisofs") +
                                      " is missing; it is a link to Debian's xorriso: install the xorriso package, "
                                      "then the program folder again");
  EXPECT_EQ(run.Status().failure, "Couldn't start the mastering tool");
  EXPECT_TRUE(run.Status().failureShown);
  const std::string log = folder.Read("kivcd-build.log");
  EXPECT_EQ(log.find("exit status -1"), std::string::npos) << log;
  size_t outcomes = 0;
  for (size_t at = log.find("Build failed at step 5"); at != std::string::npos;
       at = log.find("Build failed at step 5", at + 1))
    ++outcomes;
  EXPECT_EQ(outcomes, 1u) << log;
}

TEST_F(BuildRunTest, AMasteringThatFailedIsExplainedByTheProblemsTheToolNamed) {
  tools.Add("mkisofs", [](const testing::FakeCommand& c) {
    const std::string iso = c.argv[std::find(c.argv.begin(), c.argv.end(), "-output") - c.argv.begin() + 1];
    testing::WriteText(iso, "ISO image with a hole");
    // What xorriso says when a source file is deleted while it masters.
    return testing::Exits(
        32, {"xorriso : UPDATE :  98.43% done\n", "libisofs: MISHAP : File \"/src/z.txt\" can't be opened. Fill",
             "ing with 0s.\nlibisofs: NOTE :  > Caused by: The file does not exist in the filesystem\n",
             "ISO image produced: 1573048 sectors\nWritten to medium : 1573048 sectors at LBA 0\n",
             "Writing to 'stdio:" + iso + "' completed successfully.\n\n",
             "xorriso : NOTE : -return_with SORRY 32 triggered by problem severity MISHAP\n"});
  });
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Outcome().reason,
            "the mastering tool ended with exit status 32: File \"/src/z.txt\" can't be opened. Filling with 0s. (The "
            "file does not exist in the filesystem) (all its output: " +
                folder.P("mkisofs.log") + ")");
  EXPECT_FALSE(folder.Exists("kivcd.iso"));
}

// The product key reaches the menu from the settings: exactly the groups
// typed, and nothing at all when none was typed.
class ProductKeyTest : public BuildRunTest {
 protected:
  void SetUp() override {
    BuildRunTest::SetUp();
    testing::WriteText(folder.P("xp/I386/SETUPLDR.BIN"), "loader");
    testing::WriteText(folder.P("files/kivcd/boot/isolinux/memdisk"), "memdisk");
    run.settings = BootDisksOnly(folder);
    run.settings.Main.Windows2K = 1;
    run.settings.Win2K_Info.SourceDir = folder.P("xp/I386");
    run.settings.Win2K_Info.In_SetupWin = 1;
  }
  std::string Menu() const { return folder.Read("kivcd/boot/isolinux/isolinux.cfg"); }
};

TEST_F(ProductKeyTest, AnEmptyKeyStoresNothingAndShowsNoEntry) {
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  EXPECT_EQ(Menu().find("Show the stored Windows product key"), std::string::npos) << Menu();
  EXPECT_EQ(Menu().find("----"), std::string::npos);
  // The script's placeholders stay as they were.
  EXPECT_EQ(folder.Read("kivcd/boot/scripts/main.cds"), folder.Read("files/kivcd/boot/scripts/main.cds"));
}

TEST_F(ProductKeyTest, AKeyWithEmptyGroupsIsShownExactlyAsTyped) {
  run.settings.Win2K_Info.ProductKey = {"ABCDE", "", "KLMNO", "PQ", ""};
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  EXPECT_NE(Menu().find("Key: ABCDE--KLMNO-PQ-"), std::string::npos) << Menu();
  EXPECT_EQ(Menu().find("your_"), std::string::npos) << Menu();
}

TEST_F(ProductKeyTest, AFullKeyIsShownEvenWhenTheUserRespacedTheEntryLine) {
  std::string script = folder.Read("files/kivcd/boot/scripts/main.cds");
  const std::string line = "#Set Action3_Macro=\"ShowWinKey\"";
  script.replace(script.find(line), line.size(), "# set Action3_Macro = \"ShowWinKey\"");
  testing::WriteText(folder.P("files/kivcd/boot/scripts/main.cds"), script);
  run.settings.Win2K_Info.ProductKey = SplitProductKey("ABCDE-FGHIJ-KLMNO-PQRST-UVWXY");
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  EXPECT_NE(Menu().find("Show the stored Windows product key"), std::string::npos) << Menu();
  EXPECT_NE(Menu().find("Key: ABCDE-FGHIJ-KLMNO-PQRST-UVWXY"), std::string::npos) << Menu();
}

// The build log is shared when people ask for help: the keys are masked in
// it (the settings' copy, any program's output), while the CD's menu shows
// the key it stored.
TEST_F(ProductKeyTest, TheLogShowsTheKeysMaskedAndTheMenuShowsTheKey) {
  run.settings.Win2K_Info.ProductKey = SplitProductKey("BCDFG-HJKMP-QRTVW-XY234-6789B");
  run.settings.Win9x_Info.ProductKey = SplitProductKey("ZZZZZ-YYYYY-XXXXX-WWWWW-VVVVV");
  tools.Add("bootsmith", [this](const testing::FakeCommand& c) {
    testing::FakeRun made = testing::FakeBootsmith(folder.dir)(c);
    made.output.push_back("module answers: key bcdfg-hjkmp-qrtvw-xy234-6789b\n");
    return made;
  });
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  EXPECT_NE(Menu().find("Key: BCDFG-HJKMP-QRTVW-XY234-6789B"), std::string::npos) << Menu();
  const std::string log = folder.Read("kivcd-build.log");
  for (const char* group : {"BCDFG", "HJKMP", "QRTVW", "XY234", "ZZZZZ", "YYYYY"})
    EXPECT_EQ(ToLower(log).find(ToLower(group)), std::string::npos) << group << " in\n" << log;
  EXPECT_NE(log.find("ProductKey     = \"*****-*****-*****-*****-6789B\""), std::string::npos) << log;
  EXPECT_NE(log.find("*****-*****-*****-*****-VVVVV"), std::string::npos) << log;
  EXPECT_NE(log.find("module answers: key *****-*****-*****-*****-6789B"), std::string::npos) << log;
}

// Whoever watches mkisofs.log while the image is made sees this run's output
// under that name, not the previous run's.
TEST_F(BuildRunTest, TheLogIsWrittenInPlaceWhileTheToolRuns) {
  run.SetLauncher(SystemLauncher());  // a real tool reads the log while it runs
  testing::WriteText(folder.P("mkisofs.log"), "the previous run's log");
  testing::WriteScript(
      folder.P("mkisofs"),
      "#!/bin/sh\nout=\nwhile [ $# -gt 0 ]; do [ \"$1\" = -output ] && out=$2; shift; done\n"
      "echo ' 50.00% done' >&2\n"
      "i=0; while [ $i -lt 200 ] && ! grep -q '50.00% done' mkisofs.log; do sleep 0.05; i=$((i+1)); done\n"
      "cp mkisofs.log seen.log\nprintf 'ISO image' > \"$out\"\n");
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_EQ(run.Status().heading, "  Operation completed successfully");
  EXPECT_EQ(folder.Read("seen.log"), "MkISOFS.EXE Log File\r\n 50.00% done\n\r\n");
  EXPECT_EQ(folder.Read("mkisofs.log"), "MkISOFS.EXE Log File\r\n 50.00% done\n\r\n");
  EXPECT_FALSE(folder.Exists("mkisofs.log.tmp"));
}

// A stop request (Ctrl-C, SIGTERM) is a Cancel that also ends the running
// tool: the run does not wait for it, and what it half wrote is removed.
class StopTest : public BuildRunTest {
 protected:
  void SetUp() override {
    BuildRunTest::SetUp();
    // What is stopped here are real processes and what they started.
    run.SetLauncher(SystemLauncher());
    ClearStopRequest();
  }
  void TearDown() override { ClearStopRequest(); }
  // The tool that wrote its pid into the file still runs a moment after it
  // was ended (a killed process takes a little while to go).
  bool Running(const std::string& pidFile) const {
    const std::string text = folder.Read(pidFile);
    if (text.empty()) return false;
    for (int i = 0; i < 100; ++i) {
      const std::string stat = testing::ReadText("/proc/" + std::to_string(std::stoi(text)) + "/stat");
      const size_t close = stat.rfind(')');
      if (close == std::string::npos || stat.compare(close, 3, ") Z") == 0) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
};

TEST_F(StopTest, DuringTheIsoRunTheToolEndsAndThePartialIsoGoes) {
  testing::WriteScript(folder.P("mkisofs"),
                       "#!/bin/sh\nout=\nwhile [ $# -gt 0 ]; do [ \"$1\" = -output ] && out=$2; shift; done\n"
                       "echo $$ > mkisofs.pid\nprintf 'partial' > \"$out\"\necho ' 12.00% done' >&2\nsleep 30\n");
  // The ISO step disables Cancel; the stop comes anyway.
  view.when = [] { return false; };
  bool asked = false;
  auto pump = [&] {
    if (!asked && folder.Exists("mkisofs.pid") && run.Status().subBar.value == 12) {
      asked = true;
      RequestStop();
    }
  };
  struct StoppingView : CancellingView {
    std::function<void()> extra;
    void PumpEvents() override {
      CancellingView::PumpEvents();
      if (extra) extra();
    }
  } stopping;
  stopping.extra = pump;
  run.SetEvents(stopping);
  run.settings = BootDisksOnly(folder);
  const auto t0 = std::chrono::steady_clock::now();
  run.Run();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));

  EXPECT_TRUE(asked);
  EXPECT_TRUE(run.Stopped());
  EXPECT_TRUE(run.CancelCopy);
  EXPECT_EQ(run.Status().heading, "   Operation canceled");
  EXPECT_FALSE(run.Status().failureShown);
  EXPECT_FALSE(run.MKISOFSRunning);
  EXPECT_FALSE(folder.Exists("kivcd.iso"));
  EXPECT_FALSE(std::filesystem::exists(PartialIsoPath(folder.P("kivcd.iso"))));
  EXPECT_FALSE(Running("mkisofs.pid"));
  EXPECT_EQ(run.Status().steps[4].mark, StepMark::None);  // step 5 not completed
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  // The log was written in place and holds this run's output.
  EXPECT_NE(folder.Read("mkisofs.log").find("12.00% done"), std::string::npos);
  EXPECT_FALSE(folder.Exists("mkisofs.log.tmp"));
}

// The outcome follows the file: a stop that comes while the finished image
// is made bootable from a stick cancels the run and leaves the previous ISO;
// once the new image has its name, a later stop cannot unmake it.
TEST_F(StopTest, TheOutcomeSaysWhetherTheNewImageReplacedTheOldOne) {
  if (SystemLauncher().FindProgram("xorriso").empty()) GTEST_SKIP() << "xorriso is not installed";
  // A real image, so the stick sub-step runs on it as on a user's build.
  testing::WriteScript(folder.P("mkisofs"), "#!/bin/sh\nexec xorriso -as mkisofs \"$@\"\n");
  // Both boot files carry the entry a start from a disk jumps to.
  const std::string entry = "\xFB\xC0\x78\x70";
  std::string loader = folder.Read("files/kivcd/boot/loader.bin");
  loader.replace(0x40, 4, entry);
  testing::WriteText(folder.P("files/kivcd/boot/loader.bin"), loader);
  testing::WriteText(folder.P("files/kivcd/boot/isolinux/isolinux.bin"),
                     std::string(0x40, '\x90') + entry + std::string(2048 - 0x44, '\x90'));
  testing::WriteText(folder.P("kivcd.iso"), "the previous image");
  struct StoppingView : CancellingView {
    std::string stopAt;
    void CaptionChanged(const std::string& text) override {
      if (text == stopAt) RequestStop();
    }
  } stopping;
  stopping.when = [] { return false; };
  run.SetEvents(stopping);
  run.settings = BootDisksOnly(folder);
  run.efiLoaders.shim = folder.P("not-installed/shimx64.efi.signed");

  stopping.stopAt = "Making the ISO file bootable from a USB stick";
  run.Run();
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Cancelled) << run.Outcome().Summary();
  EXPECT_TRUE(folder.Read("kivcd.iso") == "the previous image") << "the previous ISO was replaced";
  EXPECT_FALSE(std::filesystem::exists(PartialIsoPath(folder.P("kivcd.iso"))));
  EXPECT_EQ(run.Status().heading, "   Operation canceled");
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;

  // Again, the stop coming just after the image took its name.
  ClearStopRequest();
  BuildRun again{folder.dir, prompter, view, {SystemLauncher(), platform}};
  again.SetEvents(stopping);
  again.settings = BootDisksOnly(folder);
  again.efiLoaders.shim = folder.P("not-installed/shimx64.efi.signed");
  stopping.stopAt = "Creating Final ISO File completed";
  again.Run();
  EXPECT_TRUE(StopRequested());
  EXPECT_EQ(again.Outcome().kind, BuildOutcome::Kind::Made) << again.Outcome().Summary();
  EXPECT_GT(std::filesystem::file_size(folder.P("kivcd.iso")), 32768u);
  EXPECT_EQ(again.Outcome().isoSize, static_cast<int64_t>(std::filesystem::file_size(folder.P("kivcd.iso"))));
}

TEST_F(StopTest, DuringABootImageTheBuilderEndsWithoutAFailureMessage) {
  testing::WriteScript(folder.P("bootsmith"), "#!/bin/sh\necho $$ > bootsmith.pid\nsleep 30\n");
  view.when = [] { return false; };
  struct StoppingView : CancellingView {
    const testing::ProgramFolder* pf = nullptr;
    void PumpEvents() override {
      CancellingView::PumpEvents();
      if (pf->Exists("bootsmith.pid") && !pf->Read("bootsmith.pid").empty()) RequestStop();
    }
  } stopping;
  stopping.pf = &folder;
  run.SetEvents(stopping);
  run.settings = BootDisksOnly(folder);
  run.Run();
  EXPECT_TRUE(run.Stopped());
  EXPECT_EQ(run.Status().heading, "   Operation canceled");
  EXPECT_FALSE(Running("bootsmith.pid"));
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_FALSE(folder.Exists("makecd.sh"));  // no later step ran
}

// Cancel in the window while a boot disk is made ends that bootsmith at once
// and starts no other: nothing of the disk step goes on behind the page
// that says the build was cancelled.
TEST_F(StopTest, CancelDuringABootImageEndsTheBuilderAndStartsNoOther) {
  testing::WriteScript(folder.P("bootsmith"),
                       "#!/bin/sh\necho started >> bootsmith.runs\necho $$ > bootsmith.pid\nsleep 30\n");
  view.when = [this] { return folder.Exists("bootsmith.pid") && !folder.Read("bootsmith.pid").empty(); };
  run.settings = BootDisksOnly(folder);
  const auto start = std::chrono::steady_clock::now();
  run.Run();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "did not wait for the tool";
  EXPECT_EQ(view.cancels, 1);
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Cancelled);
  EXPECT_EQ(run.Status().heading, "   Operation canceled");
  EXPECT_FALSE(Running("bootsmith.pid"));
  EXPECT_EQ(folder.Read("bootsmith.runs"), "started\n") << "no second disk was started";
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_FALSE(folder.Exists("makecd.sh"));
}

TEST_F(StopTest, DuringATreeCopyTheCopyEndsBeforeItsNextFile) {
  run.environment.Set(kCopySourcesVariable, "1");
  for (int i = 0; i < 5; ++i) testing::WriteText(folder.P("xp/I386/FILE" + std::to_string(i) + ".DL_"), "x");
  testing::WriteText(folder.P("xp/I386/SETUPLDR.BIN"), "loader");
  view.when = [] { return false; };
  struct StoppingView : CancellingView {
    void CaptionChanged(const std::string& text) override {
      if (text == "Copying : FILE1.DL_") RequestStop();
    }
  } stopping;
  run.SetEvents(stopping);
  run.settings = BootDisksOnly(folder);
  run.settings.Main.Windows2K = true;
  run.settings.Win2K_Info.SourceDir = folder.P("xp/I386");
  run.Run();
  EXPECT_TRUE(run.Stopped());
  EXPECT_TRUE(folder.Exists("kivcd/I386/FILE1.DL_"));
  EXPECT_FALSE(folder.Exists("kivcd/I386/FILE2.DL_"));
  EXPECT_EQ(run.Status().heading, "   Operation canceled");
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;  // no Fatal Error for a stop
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Cancelled);
}

}  // namespace
}  // namespace kiv
