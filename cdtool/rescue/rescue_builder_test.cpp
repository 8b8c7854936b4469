// Building the rescue system as a transaction, with mmdebstrap's stand-in:
// built once and reused, built again when the list changes, and a failed or
// cancelled build that leaves the previous system and nothing half-built.
#include "cdtool/rescue/rescue_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cdtool/rescue/rescue_progress.h"
#include "common/process_runner.h"
#include "common/progress_sink.h"
#include "testsupport/build_test_support.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

using testing::FakeLauncher;
using testing::ProgramFolder;

class RescueBuilderTest : public ::testing::Test {
 protected:
  ProgramFolder folder;
  FakeLauncher tools;
  MemoryProgressSink progress;
  std::vector<std::string> log;
  std::string mirror;          // LinuxRescue.Mirror
  std::string savePackagesTo;  // --save-packages
  bool update = false;         // --update

  void SetUp() override { tools.Add("mmdebstrap", testing::FakeMmdebstrap(folder.dir)); }
  RescueBuildOutcome Ensure(std::function<bool()> cancelled = {}) {
    RescueBuilder builder(folder.dir, tools, progress);
    builder.Log = [this](const std::string& line) { log.push_back(line); };
    builder.Cancelled = std::move(cancelled);
    builder.savePackagesTo = savePackagesTo;
    builder.update = update;
    std::string error;
    const RescueRecipe recipe = ProgramFolderRecipe(folder.dir, mirror, &error);
    EXPECT_EQ(error, "");
    return builder.Ensure(recipe);
  }
};

TEST_F(RescueBuilderTest, BuiltOnceThenReusedUntilTheListChanges) {
  RescueBuildOutcome first = Ensure();
  ASSERT_EQ(first.kind, RescueBuildOutcome::Kind::Built) << first.reason;
  EXPECT_EQ(first.folder, folder.P("rescue"));
  EXPECT_EQ(folder.Read("rescue/vmlinuz"), "signed kernel");
  EXPECT_EQ(folder.Read("rescue/filesystem.squashfs"), "squashed tree");
  EXPECT_EQ(first.bytes, 13 + 9 + 13);
  // What it was made from, and what it got.
  EXPECT_NE(folder.Read("rescue/recipe.txt")
                .find("packages=linux-image-amd64 live-boot systemd-sysv apt zstd ntfs-3g testdisk"),
            std::string::npos);
  EXPECT_EQ(folder.Read("rescue/packages.versions"), "ntfs-3g 1:2022.10.3-1+b1\n");
  EXPECT_FALSE(folder.Exists("rescue.new"));
  EXPECT_EQ(progress.value, 100);
  ASSERT_EQ(tools.Ran("mmdebstrap").size(), 1u);
  EXPECT_EQ(tools.commands_ran[0].workingDir, folder.dir);

  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Reused);
  EXPECT_EQ(tools.Ran("mmdebstrap").size(), 1u);

  testing::WriteText(folder.P("files/rescue/packages.txt"), "ntfs-3g\ntestdisk\ngddrescue\n");
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
  EXPECT_EQ(tools.Ran("mmdebstrap").size(), 2u);
  EXPECT_NE(folder.Read("rescue/recipe.txt").find("testdisk gddrescue"), std::string::npos);
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Reused);

  // A program folder whose hook shapes the system differently builds it again.
  testing::WriteText(folder.P("files/rescue/customize.sh"), "#!/bin/sh\n# greets otherwise\n");
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
  EXPECT_EQ(tools.Ran("mmdebstrap").size(), 3u);
}

TEST_F(RescueBuilderTest, AFailedBuildNamesTheToolsLastLinesAndKeepsThePreviousSystem) {
  ASSERT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
  testing::WriteText(folder.P("files/rescue/packages.txt"), "ntfs-3g\nno-such-tool\n");
  testing::WriteText(folder.P("mmdebstrap.fail"), "");
  const RescueBuildOutcome failed = Ensure();
  EXPECT_EQ(failed.kind, RescueBuildOutcome::Kind::Failed);
  EXPECT_EQ(failed.reason.find("mmdebstrap ended with exit code 1; its last lines:"), 0u) << failed.reason;
  EXPECT_NE(failed.reason.find("\n  E: Unable to locate package no-such-tool"), std::string::npos);
  // The half-built one is gone; the previous one is whole and still its own recipe's.
  EXPECT_FALSE(folder.Exists("rescue.new"));
  EXPECT_EQ(folder.Read("rescue/initrd.img"), "initramfs");
  EXPECT_EQ(folder.Read("rescue/recipe.txt").find("no-such-tool"), std::string::npos);

  // Nor is it taken for the changed list later: the next build builds.
  std::filesystem::remove(folder.P("mmdebstrap.fail"));
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
}

TEST_F(RescueBuilderTest, WhatAKilledBuildLeftIsNeverReused) {
  // A stamp and all three files in rescue.new, as a run killed at its end leaves them.
  for (const char* name : {"vmlinuz", "initrd.img", "filesystem.squashfs"})
    testing::WriteText(folder.P(std::string("rescue.new/") + name), "old half");
  testing::WriteText(folder.P("rescue.new/recipe.txt"), RecipeStamp(ProgramFolderRecipe(folder.dir, "", nullptr)));
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
  EXPECT_EQ(folder.Read("rescue/vmlinuz"), "signed kernel");
  // And a kept folder without its stamp is not whole.
  std::filesystem::remove(folder.P("rescue/recipe.txt"));
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
}

TEST_F(RescueBuilderTest, CancelEndsTheBuildAndRemovesItsFolder) {
  tools.Add("mmdebstrap", [](const testing::FakeCommand&) {
    testing::FakeRun run;
    run.runningUntil = [] { return false; };  // runs until ended
    return run;
  });
  int asked = 0;
  const RescueBuildOutcome outcome = Ensure([&asked] { return ++asked > 3; });
  EXPECT_EQ(outcome.kind, RescueBuildOutcome::Kind::Cancelled);
  EXPECT_FALSE(folder.Exists("rescue.new"));
  EXPECT_FALSE(folder.Exists("rescue"));
  EXPECT_EQ(log.back(), "Cancelled: ending mmdebstrap");
}

TEST_F(RescueBuilderTest, AMissingToolOrHookIsNamed) {
  tools.Remove("mmdebstrap");
  RescueBuildOutcome outcome = Ensure();
  EXPECT_EQ(outcome.kind, RescueBuildOutcome::Kind::Failed);
  EXPECT_NE(outcome.reason.find("mmdebstrap could not be started"), std::string::npos) << outcome.reason;
  EXPECT_NE(outcome.reason.find("install Debian's mmdebstrap and squashfs-tools packages"), std::string::npos);

  std::filesystem::remove(folder.P("files/rescue/customize.sh"));
  outcome = Ensure();
  EXPECT_EQ(outcome.reason,
            "the hook " + folder.P("files/rescue/customize.sh") + " that finishes the rescue system is missing");
  EXPECT_FALSE(folder.Exists("rescue.new"));
}

// A .deb as dpkg-deb builds it, so apt-ftparchive has a real package to index.
void WriteDeb(const std::string& folder, const std::string& name) {
  const std::string tree = folder + "/" + name + ".tree";
  testing::WriteText(tree + "/DEBIAN/control", "Package: " + name +
                                                   "\nVersion: 1.0\nArchitecture: all\nMaintainer: t <t@t>\n"
                                                   "Description: test\n");
  const RunResult r = SystemLauncher().RunAndCapture(
      {"dpkg-deb", "--root-owner-group", "-b", tree, folder + "/" + name + "_1.0_all.deb"}, {});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  std::filesystem::remove_all(tree);
}

TEST_F(RescueBuilderTest, APlainPackageFolderIsIndexedBesideItAndLeftAsItWas) {
  TestTempDir debs;
  WriteDeb(debs.Path(), "ntfs-3g");
  WriteDeb(debs.Path(), "testdisk");
  mirror = debs.Path();
  tools.Add("apt-ftparchive", testing::RunsTheRealProgram);
  // What mmdebstrap would read from the source line it is given.
  std::string line, packages, release;
  tools.Add("mmdebstrap", [&](const testing::FakeCommand& c) {
    line = c.argv.back();
    const std::string index = line.substr(line.find("copy://") + 7, line.rfind(" ./") - line.find("copy://") - 7);
    packages = testing::ReadText(index + "/Packages");
    release = testing::ReadText(index + "/Release");
    return testing::FakeMmdebstrap(folder.dir)(c);
  });
  const RescueBuildOutcome outcome = Ensure();
  ASSERT_EQ(outcome.kind, RescueBuildOutcome::Kind::Built) << outcome.reason;
  EXPECT_EQ(line, "deb [trusted=yes] copy://" + folder.P("rescue.new/package-index") + " ./");
  EXPECT_NE(packages.find("Filename: pool/ntfs-3g_1.0_all.deb"), std::string::npos) << packages;
  EXPECT_NE(packages.find("Filename: pool/testdisk_1.0_all.deb"), std::string::npos);
  EXPECT_NE(release.find("Codename: bookworm"), std::string::npos) << release;
  EXPECT_NE(release.find("Architectures: amd64"), std::string::npos);
  // The index goes with the build; the user's folder holds what it held.
  EXPECT_FALSE(folder.Exists("rescue/package-index"));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(debs.Path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"ntfs-3g_1.0_all.deb", "testdisk_1.0_all.deb"}));
  EXPECT_NE(folder.Read("rescue/recipe.txt").find("mirror=" + debs.Path()), std::string::npos);
}

TEST_F(RescueBuilderTest, ALocalSourceThatIsNeitherMirrorNorPackagesIsNamedBeforeMmdebstrapRuns) {
  TestTempDir empty;
  testing::WriteText(empty.Path() + "/readme.txt", "no packages here");
  mirror = empty.Path();
  RescueBuildOutcome outcome = Ensure();
  EXPECT_EQ(outcome.reason, "the folder " + empty.Path() +
                                " holds neither a Debian mirror (a dists folder) nor .deb packages to build from");
  mirror = empty.Path() + "/gone";
  outcome = Ensure();
  EXPECT_EQ(outcome.reason, "the package source " + empty.Path() + "/gone is not a folder");
  EXPECT_TRUE(tools.Ran("mmdebstrap").empty());
  EXPECT_FALSE(folder.Exists("rescue.new"));
}

TEST_F(RescueBuilderTest, SavingThePackagesBuildsEvenWhenAKeptSystemWouldDo) {
  ASSERT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
  savePackagesTo = folder.P("saved debs");
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
  ASSERT_EQ(tools.Ran("mmdebstrap").size(), 2u);
  const std::vector<std::string>& argv = tools.commands_ran.back().argv;
  EXPECT_NE(std::find(argv.begin(), argv.end(),
                      "--customize-hook=sync-out /var/cache/apt/archives '" + folder.P("saved debs") + "'"),
            argv.end());
  EXPECT_TRUE(std::filesystem::is_directory(folder.P("saved debs")));
}

TEST_F(RescueBuilderTest, AnUpdateBuildsAgainAndNamesThePackagesDebianReplaced) {
  testing::WriteText(folder.P("mirror.versions"), "apt 2.6.1\nntfs-3g 1:2022.10.3-1+b1\n");
  ASSERT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Built);
  // Nothing asks for newer packages: the kept system is used.
  testing::WriteText(folder.P("mirror.versions"), "apt 2.6.1\nntfs-3g 1:2022.10.3-1+deb12u1\n");
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Reused);

  update = true;
  log.clear();
  RescueBuildOutcome updated = Ensure();
  ASSERT_EQ(updated.kind, RescueBuildOutcome::Kind::Built) << updated.reason;
  EXPECT_EQ(tools.Ran("mmdebstrap").size(), 2u);
  EXPECT_EQ(updated.changes, std::vector<std::string>{"ntfs-3g 1:2022.10.3-1+b1 -> 1:2022.10.3-1+deb12u1"});
  EXPECT_EQ(folder.Read("rescue/packages.versions"), "apt 2.6.1\nntfs-3g 1:2022.10.3-1+deb12u1\n");
  EXPECT_NE(std::find(log.begin(), log.end(), "  ntfs-3g 1:2022.10.3-1+b1 -> 1:2022.10.3-1+deb12u1"), log.end());

  // Again with nothing newer: built, and said so.
  updated = Ensure();
  EXPECT_EQ(updated.kind, RescueBuildOutcome::Kind::Built);
  EXPECT_TRUE(updated.changes.empty());
  EXPECT_NE(std::find(log.begin(), log.end(), "No package changed since the previous build"), log.end());

  // A failed update leaves the system it would have replaced.
  testing::WriteText(folder.P("mmdebstrap.fail"), "");
  EXPECT_EQ(Ensure().kind, RescueBuildOutcome::Kind::Failed);
  EXPECT_EQ(folder.Read("rescue/packages.versions"), "apt 2.6.1\nntfs-3g 1:2022.10.3-1+deb12u1\n");
  EXPECT_FALSE(folder.Exists("rescue.new"));
}

TEST(RescueProgress, PhasesAndTheSquashingBarMoveForwardOnly) {
  RescueProgress p;
  EXPECT_FALSE(p.Line("I: automatically chosen mode: root"));
  EXPECT_EQ(p.Line("I: downloading packages with apt...")->caption, "downloading the packages");
  EXPECT_EQ(p.Percent(), 5);
  // A percentage before the squashing is not mksquashfs's bar.
  EXPECT_FALSE(p.Line("Progress: [ 40%]"));
  EXPECT_EQ(p.Line("rescue: squashing the tree")->percent, 80);
  EXPECT_EQ(p.Line("[=====|      ] 100/200  50%")->percent, 89);
  EXPECT_EQ(p.Line("[===========|] 200/200 100%")->caption, "squashing the system (100%)");
  EXPECT_EQ(p.Percent(), 98);
  EXPECT_FALSE(p.Line("[=====|      ] 100/200  50%"));
  EXPECT_EQ(p.Line("I: success in 283.26 seconds")->percent, 100);
}

}  // namespace
}  // namespace kiv
