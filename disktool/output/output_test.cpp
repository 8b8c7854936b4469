#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "common/file_ops.h"
#include "common/process_runner.h"
#include "disktool/output/floppy_drive.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

// A small build: cabs with the three root files and one module folder.
void StageCabs(const ProgramFolder& pf, Wizard& w) {
  pf.Write("cabs/IO.SYS", "io");
  pf.Write("cabs/MSDOS.SYS", "[Options]\r\n");
  pf.Write("cabs/COMMAND.COM", "command");
  pf.Write("cabs/bin/A.BAT", "@echo a\r\n");
  pf.Write("Drivers.ini", "[ASPI]\r\n");
  w.builder.Tree().FillInitialList();
}

// The output phase of a build whose file list is staged: true when it made
// the image or the floppy.
bool FinishApp(Wizard& w, const FloppyRequest& request) {
  return w.builder.Build(request, FloppyPhase::Output, FloppyPhase::Output) == FloppyEnd::Made;
}

FloppyRequest ImageAt(const std::string& image, FloppyOutput output = FloppyOutput::Image144,
                      const std::string& plugin = "") {
  FloppyRequest request;
  request.image = image;
  request.output = output;
  request.plugin = plugin;
  return request;
}

TEST(Cabinets, MakeCabCommandLineAndWorkingFolder) {
  ProgramFolder pf;
  pf.Write("files/netdrv/a.txt", "a");
  pf.Write("files/netdrv/sub/b.txt", "b");
  Wizard w(pf);
  std::string name = "netdrv", source = "files\\netdrv", folder = "cabs\\lib";
  EXPECT_TRUE(w.builder.Cabinets().MakeCab(name, source, folder));
  EXPECT_EQ(folder, "cabs\\lib\\");  // the caller's variable gets the backslash
  EXPECT_TRUE(pf.Exists("cabs/lib/netdrv.cab"));
  std::string already = "cabs\\lib\\";
  EXPECT_TRUE(w.builder.Cabinets().MakeCab(name, source, already));
  EXPECT_EQ(already, "cabs\\lib\\");
  const auto& calls = w.tools.commands_ran;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].argv[0], pf.Path("cabarc"));
  EXPECT_EQ(calls[0].workingDir, pf.root);
  EXPECT_EQ(calls[0].Line(), "cabarc -m LZX:21 -p -r -P files/netdrv/ n cabs/lib/netdrv.cab files/netdrv/*.*");
  EXPECT_EQ(calls[1].argv, calls[0].argv);
  EXPECT_TRUE(w.prompter.messages.empty());
}

// The archiver runs hidden; when no cabinet appears, what it said is part of
// the message (and only there).
TEST(Cabinets, WhatAFailedArchiverSaidIsInTheMessage) {
  ProgramFolder pf;
  pf.Write("files/netdrv/a.txt", "a");
  Wizard w(pf);
  w.tools.Add("cabarc", testing::FailingTool("cabarc: cannot read the folder files/netdrv: Permission denied"));
  std::string name = "netdrv", source = "files\\netdrv", folder = "cabs\\lib";
  EXPECT_FALSE(w.builder.Cabinets().MakeCab(name, source, folder));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_EQ(w.prompter.messages[0].title, "Error While Copying");
  EXPECT_EQ(w.prompter.messages[0].text,
            "The Cabinet netdrv.cab could not be created \r\n\r\nThe Kiv Disk Builder Can't Continue !\r\n\r\n"
            "cabarc: cannot read the folder files/netdrv: Permission denied");
}

TEST(Output, WindowsCommandLineTexts) {
  EXPECT_EQ(BfiCommandLine("C:\\Kiv", "C:\\Kiv\\images\\a.img", "C:\\Kiv\\Temp\\bootsmith42", true),
            "C:\\Kiv\\bfi.exe -b=files\\bootsect.bin -l=kivstart -t=144 -f=\"images\\a.img\" Temp\\bootsmith42");
  EXPECT_EQ(BfiCommandLine("C:\\Kiv", "D:\\out\\a.img", "C:\\Kiv\\Temp\\bootsmith7", false),
            "C:\\Kiv\\bfi.exe -b=files\\bootsect.bin -l=kivstart -t=288 -f=\"D:\\out\\a.img\" Temp\\bootsmith7");
  EXPECT_EQ(MakeCabCommandLine("C:\\Kiv", "netdrv", "files\\netdrv", "cabs\\lib\\"),
            "C:\\Kiv\\cabarc.exe -m LZX:21 -p -r -P files\\netdrv\\ n cabs\\lib\\netdrv.cab files\\netdrv\\*.*");
}

TEST(Output, ImageBuildRunsBfiWithTheContract) {
  ProgramFolder pf;
  Wizard w(pf);
  StageCabs(pf, w);
  ASSERT_TRUE(FinishApp(w, ImageAt(pf.Path("images/a.img"))));
  EXPECT_TRUE(pf.Exists("images/a.img"));
  EXPECT_EQ(w.form.LblFinish, "Operation completed successfully");
  for (bool mark : w.form.LblRight) EXPECT_TRUE(mark);
  EXPECT_EQ(w.form.RunningStage, 0);
  EXPECT_EQ(w.builder.Status().line, "Copying files to floppy image ...");
  const auto& calls = w.tools.commands_ran;
  ASSERT_EQ(calls.size(), 1u);
  const std::string tree = w.builder.Tree().Files().WorkDir.substr(pf.root.size() + 1);
  EXPECT_EQ(tree.rfind("Temp/bootsmith", 0), 0u);
  EXPECT_EQ(calls[0].argv[0], pf.Path("bfi"));
  EXPECT_EQ(calls[0].workingDir, pf.root);
  EXPECT_EQ(calls[0].Line(), "bfi -b=files/bootsect.bin -l=kivstart -t=144 -f=images/a.img " + tree);
  // The work files are gone after a build.
  EXPECT_FALSE(pf.Exists("Drivers.ini"));
  EXPECT_FALSE(pf.Exists("cabs"));
  EXPECT_FALSE(pf.Exists("Temp"));
}

TEST(Output, ImageOutsideTheProgramFolderAnd288) {
  ProgramFolder pf;
  ProgramFolder elsewhere;
  Wizard w(pf);
  StageCabs(pf, w);
  ASSERT_TRUE(FinishApp(w, ImageAt(elsewhere.Path("out/b.img"), FloppyOutput::Image288)));
  const auto calls = w.tools.Ran("bfi");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].find(" -t=288 -f=" + elsewhere.Path("out/b.img") + " Temp/bootsmith"), std::string::npos)
      << calls[0];
  EXPECT_TRUE(elsewhere.Exists("out/b.img"));
}

TEST(Output, FailedBfiIsReportedAndCancels) {
  ProgramFolder pf;
  Wizard w(pf);
  StageCabs(pf, w);
  w.tools.Add("bfi", testing::FailingTool("bfi: the tree does not fit"));
  EXPECT_FALSE(FinishApp(w, ImageAt(pf.Path("x.img"))));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_NE(w.prompter.messages[0].text.find(pf.Path("x.img")), std::string::npos);
  EXPECT_NE(w.prompter.messages[0].text.find("does not fit"), std::string::npos);
  EXPECT_EQ(w.form.LblFinish, "Operation canceled");
  EXPECT_FALSE(w.form.LblRight[3]);
  EXPECT_FALSE(pf.Exists("x.img"));

  // A tool that exits 0 without writing the image is caught as well.
  ProgramFolder pf2;
  Wizard w2(pf2);
  StageCabs(pf2, w2);
  w2.tools.Add("bfi", [](const testing::FakeCommand&) { return testing::FakeRun{}; });
  EXPECT_FALSE(FinishApp(w2, ImageAt(pf2.Path("y.img"))));
  EXPECT_EQ(w2.form.LblFinish, "Operation canceled");
}

TEST(Output, CancelRemovesTheWorkFilesAndTellsWhoeverShowsTheOutcome) {
  ProgramFolder pf;
  pf.Write("Drivers.ini", "[ASPI]\r\n");
  pf.Write("cabs/bin/x", "x");
  pf.Write("Temp/bootsmith1/y", "y");
  pf.Write("keep.img", "kept");
  Wizard w(pf);
  // The work files are gone by the time the outcome is told.
  bool toldAfterCleanUp = false;
  int told = 0;
  w.form.BuildStopped = [&] {
    ++told;
    toldAfterCleanUp = !pf.Exists("Drivers.ini") && !pf.Exists("cabs") && !pf.Exists("Temp");
  };
  w.form.CurrentPage = 5;
  w.builder.CancelApp();
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(toldAfterCleanUp);
  EXPECT_TRUE(pf.Exists("keep.img"));
  EXPECT_EQ(w.form.LblFinish, "Operation canceled");
  EXPECT_TRUE(w.form.Cancelled());
  EXPECT_EQ(w.builder.End(), FloppyEnd::Cancelled);
  EXPECT_FALSE(w.form.OutputMade);
  // Without a wizard nobody moves the pages: batch mode shows none.
  EXPECT_EQ(w.form.CurrentPage, 5);
}

TEST(Output, StageLabelsFollowTheOutputKind) {
  ProgramFolder pf;
  Wizard w(pf);
  w.form.OptFloppy_Click();
  EXPECT_EQ(w.form.LblMsg[2], "Formating Floppy Disk");
  EXPECT_EQ(w.form.LblMsg[3], "Copying files to floppy disk");
  EXPECT_EQ(w.form.Request.output, FloppyOutput::Floppy);
  w.form.OptImage14_Click();
  EXPECT_EQ(w.form.LblMsg[2], "Preparing new floppy image");
  EXPECT_EQ(w.form.LblMsg[3], "Copying files to floppy image");
}

TEST(Plugins, PreparationProgramPrecedenceAndCopy) {
  ProgramFolder pf;
  Wizard w(pf);
  w.builder.Tree().Files().WorkDir = pf.Path("Temp/work");
  pf.Write("Temp/work/etc/net.cfg", "old");
  pf.Write("plugins/P/etc/net.cfg", "new");
  pf.Write("plugins/P/bin/p.bat", "p");
  pf.WriteTool("plugins/P.bat", "#!/bin/sh\necho bat\n");
  pf.WriteTool("plugins/P.exe", "#!/bin/sh\necho exe\n");
  const auto ended = [](const testing::FakeCommand&) { return testing::FakeRun{}; };
  w.tools.Add("P.exe", ended);
  w.tools.Add("sh", ended);
  using Argv = std::vector<std::string>;
  w.builder.Tree().InjectPlugin("P");
  ASSERT_EQ(w.tools.commands_ran.size(), 1u);
  EXPECT_EQ(w.tools.commands_ran[0].argv, Argv{pf.Path("plugins/P.exe")});
  EXPECT_EQ(pf.Read("Temp/work/etc/net.cfg"), "new");  // plugin files overwrite
  EXPECT_EQ(pf.Read("Temp/work/bin/p.bat"), "p");
  EXPECT_TRUE(w.prompter.messages.empty());

  // On POSIX a P.sh wins over all, run by /bin/sh (no execute bit needed).
  pf.Write("plugins/P.sh", "echo sh\n");
  w.builder.Tree().InjectPlugin("P");
  ASSERT_EQ(w.tools.commands_ran.size(), 2u);
  EXPECT_EQ(w.tools.commands_ran[1].argv, (Argv{"/bin/sh", pf.Path("plugins/P.sh")}));

  // A program that cannot be started is reported; the plugin is still copied.
  w.tools.Remove("sh");
  pf.Write("plugins/P/late.txt", "l");
  w.builder.Tree().InjectPlugin("P");
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_EQ(w.prompter.messages[0].text,
            "The preparation program " + pf.Path("plugins/P.sh") +
                " of the plugin P could not be started.\r\nThe plugin is copied without it.");
  EXPECT_EQ(pf.Read("Temp/work/late.txt"), "l");
  w.prompter.messages.clear();
  const size_t started = w.tools.commands_ran.size();

  // A program this system cannot run is skipped with a message; the folder is
  // still copied.
  pf.Write("plugins/Q.com", "\xb4\x09 not runnable here");
  pf.Write("plugins/Q/q.txt", "q");
  w.builder.Tree().InjectPlugin("Q");
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_NE(w.prompter.messages[0].text.find("Q.com"), std::string::npos);
  EXPECT_EQ(pf.Read("Temp/work/q.txt"), "q");
  EXPECT_EQ(w.tools.commands_ran.size(), started);

  // A Windows program runs through wine, or is skipped with a message that says why.
  pf.Write("plugins/W.exe", std::string("MZ\x90\x00", 4));
  pf.Write("plugins/W/w.txt", "w");
  if (SystemLauncher().FindProgram("wine").empty()) {
    w.builder.Tree().InjectPlugin("W");
    ASSERT_EQ(w.prompter.messages.size(), 2u);
    EXPECT_NE(w.prompter.messages[1].text.find("wine is not installed"), std::string::npos);
    EXPECT_EQ(pf.Read("Temp/work/w.txt"), "w");
  }
  w.prompter.messages.resize(1);

  // Without a preparation program the plugin is only copied.
  pf.Write("plugins/R/r.txt", "r");
  w.builder.Tree().InjectPlugin("R");
  EXPECT_EQ(pf.Read("Temp/work/r.txt"), "r");
  EXPECT_EQ(w.prompter.messages.size(), 1u);
}

TEST(Plugins, AppliedToTheImageTree) {
  ProgramFolder pf;
  Wizard w(pf);
  StageCabs(pf, w);
  pf.Write("plugins/P/PLUGIN.TXT", "p");
  // This bfi writes the list of the tree it was given as the "image".
  w.tools.Add("bfi", testing::TreeListingBfi);
  ASSERT_TRUE(FinishApp(w, ImageAt(pf.Path("p.img"), FloppyOutput::Image144, "P")));
  EXPECT_EQ(pf.Read("p.img"), "COMMAND.COM\nIO.SYS\nMSDOS.SYS\nPLUGIN.TXT\nbin/A.BAT\n");
}

class FloppyMode : public ::testing::Test {
 protected:
  void SetUp() override {
    device = pf.Path("floppy.img");
    pf.Write("floppy.img", std::string(1474560, '\xF6'));
    w.builder.Output().SetFloppyDrive(MakeFat12FloppyDrive(device, std::nullopt, w.builder.platform()));
    StageCabs(pf, w);
    floppy.output = FloppyOutput::Floppy;
  }
  ProgramFolder pf;
  Wizard w{pf};
  std::string device;
  FloppyRequest floppy;
};

TEST_F(FloppyMode, FormatsAndWritesTheFloppyThatFsckAccepts) {
  w.prompter.answers = {Answer::Yes};
  pf.Write("plugins/P/PLUGIN.TXT", "p");
  floppy.plugin = "P";
  ASSERT_TRUE(FinishApp(w, floppy));
  EXPECT_EQ(w.form.LblFinish, "Operation completed successfully");
  EXPECT_TRUE(w.tools.commands_ran.empty());  // no image tool in floppy mode
  if (std::system("command -v fsck.fat >/dev/null && command -v mdir >/dev/null") != 0)
    GTEST_SKIP() << "fsck.fat or mdir missing";
  EXPECT_EQ(std::system(("fsck.fat -n '" + device + "' >/dev/null").c_str()), 0);
  const std::string listing = pf.Path("listing.txt");
  ASSERT_EQ(std::system(("MTOOLS_SKIP_CHECK=1 mdir -a -b -/ -i '" + device + "' :: > '" + listing + "'").c_str()), 0);
  const std::string text = pf.Read("listing.txt");
  // The file list order puts the three system files first on the disk (-a:
  // IO.SYS and MSDOS.SYS are hidden).
  EXPECT_EQ(text.find("::/IO.SYS"), 0u) << text;
  EXPECT_LT(text.find("::/IO.SYS"), text.find("::/MSDOS.SYS")) << text;
  EXPECT_LT(text.find("::/MSDOS.SYS"), text.find("::/COMMAND.COM")) << text;
  EXPECT_LT(text.find("::/COMMAND.COM"), text.find("::/BIN/")) << text;
  EXPECT_NE(text.find("::/BIN/A.BAT"), std::string::npos) << text;
  EXPECT_EQ(text.find("PLUGIN"), std::string::npos) << text;  // no plugin on a floppy
}

TEST_F(FloppyMode, RefusedFormatAndFullFloppy) {
  w.prompter.answers = {Answer::No};
  EXPECT_FALSE(FinishApp(w, floppy));
  EXPECT_EQ(w.prompter.messages.back().text, "You have select not to format the floppy");
  EXPECT_EQ(w.prompter.messages.back().title, "Didn't Format");
  EXPECT_EQ(w.form.LblFinish, "Operation canceled");

  // A file larger than the free space is skipped with its message; the rest goes on.
  ProgramFolder pf2;
  Wizard w2(pf2);
  pf2.Write("floppy.img", std::string(1474560, '\0'));
  w2.builder.Output().SetFloppyDrive(MakeFat12FloppyDrive(pf2.Path("floppy.img"), std::nullopt, w2.builder.platform()));
  FloppyDrive& drive = w2.builder.Output().Floppy();
  ASSERT_TRUE(drive.Format("", nullptr));
  pf2.Write("cabs/BIG.BIN", std::string(1500000, 'b'));
  pf2.Write("cabs/SMALL.TXT", "s");
  w2.builder.Tree().Files().FileList = {{"BIG.BIN", true}, {"SMALL.TXT", true}};
  EXPECT_TRUE(w2.builder.Tree().InjectFilesToDir("A:", &drive));
  ASSERT_EQ(w2.prompter.messages.size(), 1u);
  EXPECT_EQ(w2.prompter.messages[0].title, "Not Enough Free Space");
  EXPECT_EQ(w2.prompter.messages[0].text,
            "The Image file doesn't have enough free space for the file \r\nBIG.BIN\r\n"
            "The file will not be copied to the floppy image.");
  EXPECT_EQ(drive.FreeSpace(), (2847 - 1) * 512);
}

// What a root folder holds, by name: attribute byte, first cluster and slot.
struct RootEntry {
  int attributes = -1, cluster = -1, slot = -1;
};
std::map<std::string, RootEntry> RootEntries(const std::string& disk) {
  std::map<std::string, RootEntry> entries;
  for (int i = 0; i < 224; ++i) {
    const size_t at = 19 * 512 + i * 32;
    if (disk.size() < at + 32 || disk[at] == 0) break;
    if (static_cast<unsigned char>(disk[at]) == 0xE5 || disk[at + 11] == 0x0F) continue;
    const int cluster = static_cast<unsigned char>(disk[at + 26]) | (static_cast<unsigned char>(disk[at + 27]) << 8);
    entries[disk.substr(at, 11)] = {static_cast<unsigned char>(disk[at + 11]), cluster, i};
  }
  return entries;
}

// Floppy output and image output lay the same tree down as the same file
// system: the label, the system files' attributes and places.
TEST_F(FloppyMode, WritesTheFileSystemTheImageToolWrites) {
#ifndef KIV_BFI_PATH
  GTEST_SKIP() << "the image tool is not part of this build";
#else
  std::string boot(512, '\0');
  boot[0] = '\xEB';
  boot[510] = '\x55';
  boot[511] = '\xAA';
  pf.Write("files/bootsect.bin", boot);
  std::filesystem::create_symlink(KIV_BFI_PATH, pf.Path("bfi"));
  w.prompter.answers = {Answer::Yes};
  ASSERT_TRUE(FinishApp(w, floppy));
  // The image is made by the real image tool.
  Wizard real(pf, SystemLauncher());
  StageCabs(pf, real);
  ASSERT_TRUE(FinishApp(real, ImageAt(pf.Path("same.img"))));
  const std::string floppy = pf.Read("floppy.img"), image = pf.Read("same.img");
  ASSERT_EQ(floppy.size(), image.size());
  EXPECT_EQ(floppy.substr(43, 11), "KIVSTART   ");
  EXPECT_EQ(floppy.substr(43, 11), image.substr(43, 11));

  const auto onFloppy = RootEntries(floppy), inImage = RootEntries(image);
  for (const char* name : {"IO      SYS", "MSDOS   SYS", "KIVSTART   "}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(onFloppy.count(name) && inImage.count(name));
    EXPECT_EQ(onFloppy.at(name).attributes, inImage.at(name).attributes);
    EXPECT_EQ(onFloppy.at(name).slot, inImage.at(name).slot);
  }
  EXPECT_EQ(onFloppy.at("IO      SYS").attributes, 0x07) << "read-only, hidden, system";
  EXPECT_EQ(onFloppy.at("IO      SYS").slot, 0);
  EXPECT_EQ(onFloppy.at("IO      SYS").cluster, 2);
  EXPECT_EQ(onFloppy.at("KIVSTART   ").attributes, 0x08);
  ASSERT_TRUE(onFloppy.count("COMMAND COM"));
  EXPECT_EQ(onFloppy.at("COMMAND COM").attributes & 0x07, 0);
  if (std::system("command -v fsck.fat >/dev/null") == 0) {
    EXPECT_EQ(std::system(("fsck.fat -n '" + device + "' >/dev/null").c_str()), 0);
  }
#endif
}

TEST(FloppyDevice, MissingDeviceFailsTheFormat) {
  ProgramFolder pf;
  Wizard w(pf);
  w.builder.Output().SetFloppyDrive(
      MakeFat12FloppyDrive(pf.Path("no/such/device"), std::nullopt, w.builder.platform()));
  w.prompter.answers = {Answer::Yes};
  EXPECT_FALSE(w.builder.Output().FormatFloppy());
  EXPECT_EQ(w.prompter.messages.back().title, "No Floppy Drive");
  EXPECT_FALSE(pf.Exists("no"));
}

}  // namespace
}  // namespace kiv
