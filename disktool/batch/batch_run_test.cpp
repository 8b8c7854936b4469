// RunBatch on the small wizard folder (fake outside tools).
#include "disktool/batch/batch_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/file_ops.h"
#include "disktool/dosimport/freedos_import.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/wizard/frm_drivers.h"
#include "disktool/workspace/wait_window.h"
#include "testsupport/test_files.h"
#include "testsupport/wizard_test_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

struct Batch {
  ProgramFolder pf;
  std::unique_ptr<Wizard> w;
  MemoryWaitWindow wait;
  int driverDialogs = 0;
  std::vector<std::string> listed;

  Batch() {
    test::SeedWizardDisks(pf);
    // The image tool's file, which a target must not replace (its runs are
    // answered in-process).
    pf.Write("bfi", "bfi\n");
    w = std::make_unique<Wizard>(pf);
  }
  int Run(BatchOptions o) {
    return RunBatch(w->builder, o, wait, [this](const DriverClasses& chosen) {
      ++driverDialogs;
      FrmDrivers d(pf.root, w->tools);
      d.LoadDriverLists(chosen);
      for (const DriverItem& item : d.LV) listed.push_back(item.Name);
      d.CmdOK_Click();
    });
  }
};

BatchOptions Disk(const std::string& name, const std::string& target = "") {
  BatchOptions o;
  o.DiskName = name;
  o.Target = target;
  return o;
}

TEST(RunBatch, StatusLinesInOrderAndTheImage) {
  Batch b;
  ASSERT_EQ(b.Run(Disk("plain")), 0);
  EXPECT_TRUE(b.pf.Exists("plain.img"));
  const std::vector<std::string> expected = {"Copying Files ... Please wait, this should take only few seconds",
                                             "Getting a list of Disks Configuration ...",
                                             "Getting Disk Configuration INI file ...",
                                             "Processing plain.ini file ...",
                                             "Getting Drivers Settings ...",
                                             "Getting files list to be copied to the floppy image ...",
                                             "The floppy's DOS: MS-DOS 7",
                                             "Creating the floppy image file ..."};
  ASSERT_GE(b.wait.statuses.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(b.wait.statuses.begin(), b.wait.statuses.begin() + expected.size()), expected);
  EXPECT_EQ(b.wait.statuses.back(), "Image written: " + b.pf.Path("plain.img") + " (1474560 bytes)");
  EXPECT_FALSE(b.wait.visible);
  EXPECT_EQ(BatchRequest(Disk("plain"), b.pf.root).output, FloppyOutput::Image144);
  EXPECT_TRUE(b.w->prompter.messages.empty());
  EXPECT_EQ(b.driverDialogs, 0);
}

// After an import from FreeDOS the build says so.
TEST(RunBatch, StatusNamesFreeDosAfterItsImport) {
  Batch b;
  const std::string fd = b.pf.Path("FreeDOS");
  testing::WriteText(fd + "/KERNEL.SYS", std::string("\xEB\x3F") + "CONFIG kernel");
  testing::WriteText(fd + "/COMMAND.COM", "FreeCOM");
  const FreeDosImportResult imported =
      ImportFreeDos(fd, b.pf.Path("dos"), std::string(KIV_DISK_DATA_DIR) + "/files/dosimport/NOTINDOS.EXE",
                    b.pf.Path("work"), SystemLauncher());
  ASSERT_TRUE(imported.ok) << imported.error;
  ASSERT_EQ(b.Run(Disk("plain")), 0);
  const auto& statuses = b.wait.statuses;
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "The floppy's DOS: FreeDOS"), statuses.end());
}

TEST(RunBatch, RejectedArgumentsSummary) {
  BatchOptions o = Disk("plain", "x y.img");
  o.HadError = true;
  o.ImageType = 0;
  o.UseKeyFile = true;
  EXPECT_EQ(BatchSummaryText(o),
            "There has been an invalid parameter,\r\ncheck your settings before starting the batch mode :\r\n\r\n"
            "Disk Name : plain\r\nTarget : x y.img\r\nPlugin to Apply : None\r\nImage Type : 1.44 MB\r\n"
            "Select Drivers : False\r\nLoad Product key from keyfile.txt : True\r\n");

  Batch cancel;  // Cancel ends before anything is shown or built
  cancel.w->prompter.answers = {Answer::Cancel};
  EXPECT_NE(cancel.Run(o), 0);
  ASSERT_EQ(cancel.w->prompter.messages.size(), 1u);
  EXPECT_EQ(cancel.w->prompter.messages[0].title, "Check your Command Line Parameters");
  EXPECT_EQ(cancel.w->prompter.messages[0].icon, Icon::Exclamation);
  EXPECT_EQ(cancel.w->prompter.messages[0].buttons, Buttons::OKCancel);
  EXPECT_TRUE(cancel.wait.statuses.empty());
  EXPECT_FALSE(cancel.pf.Exists("Drivers.ini"));

  Batch ok;  // OK goes on with the values as parsed: a 1.44 MB image at the target
  ok.w->prompter.answers = {Answer::OK};
  EXPECT_EQ(ok.Run(o), 0);
  EXPECT_TRUE(ok.pf.Exists("x y.img"));
  EXPECT_FALSE(ok.pf.Exists("plain.img"));
}

TEST(RunBatch, UnknownDiskAndCaseSensitiveNames) {
  Batch b;
  EXPECT_NE(b.Run(Disk("Plain")), 0);  // names match exactly
  ASSERT_EQ(b.w->prompter.messages.size(), 1u);
  EXPECT_EQ(b.w->prompter.messages[0].text, "The disk \"Plain\" doesn't exist");
  EXPECT_EQ(b.w->prompter.messages[0].title, "Critical error");
  EXPECT_EQ(b.w->prompter.messages[0].icon, Icon::Critical);
  EXPECT_EQ(b.wait.statuses.back(), "Getting Disk Configuration INI file ...");
  EXPECT_FALSE(b.pf.Exists("Drivers.ini"));
  EXPECT_FALSE(b.pf.Exists("cabs"));

  Batch custom;  // row 1 is a valid name, with its own default file
  EXPECT_EQ(custom.Run(Disk("custom")), 0);
  EXPECT_TRUE(custom.pf.Exists("BootDisk.img"));
}

TEST(RunBatch, CancelledStepEndsTheRun) {
  Batch b;
  // Without its answer-file templates the SetupWin step cancels the build.
  std::filesystem::remove_all(b.pf.Path("files/inf_files"));
  EXPECT_NE(b.Run(Disk("setup")), 0);
  EXPECT_EQ(b.wait.statuses.back(), "Creating the SetupWin module ...");
  EXPECT_FALSE(b.pf.Exists("setup.img"));
  EXPECT_FALSE(b.pf.Exists("cabs"));
}

TEST(RunBatch, SelectDriversAndTargets) {
  Batch b;
  BatchOptions o = Disk("custom", "out\\my disk.img");
  o.SelectDrivers = true;
  o.ImageType = 2;
  EXPECT_EQ(b.Run(o), 0);
  EXPECT_EQ(b.driverDialogs, 1);
  // Both kinds enabled: the network list is the one shown.
  EXPECT_EQ(b.listed, (std::vector<std::string>{"NE2000"}));
  EXPECT_EQ(FileSize(b.pf.Path("out/my disk.img")), 2949120);
  const auto statuses = b.wait.statuses;
  const auto list = std::find(statuses.begin(), statuses.end(), "Getting Drivers List ...");
  const auto image = std::find(statuses.begin(), statuses.end(), "Creating the floppy image file ...");
  EXPECT_LT(list, image);

  Batch abs;
  EXPECT_EQ(abs.Run(Disk("plain", abs.pf.Path("elsewhere/a.img"))), 0);
  EXPECT_TRUE(abs.pf.Exists("elsewhere/a.img"));
}

TEST(RunBatch, FullPathTargets) {
  // A full path, as typed or as the shell expands "~/disks/a.img".
  Batch b;
  const TestTempDir homeDir;
  const std::string& home = homeDir.Path();
  BatchOptions o = Disk("plain", home + "/disks/a.img");
  EXPECT_EQ(b.Run(o), 0);
  EXPECT_TRUE(std::filesystem::exists(home + "/disks/a.img"));
  EXPECT_FALSE(b.pf.Exists("plain.img"));
  EXPECT_EQ(BatchDestination("/prog", "/tmp/x.img"), "/tmp/x.img");
  EXPECT_EQ(BatchDestination("/prog", "out\\x.img"), "/prog/out/x.img");
}

// The image tool replaces the file it is pointed at and the build deletes its
// work folders: a target that would destroy a file of the program or lose the
// image is refused with a message, before anything is built.
TEST(RunBatch, TargetsThatWouldDestroyOrLoseSomethingAreRefused) {
  const char* cases[][2] = {
      {"bfi", "own files (bfi)"},
      {"files/disklist.ini", "own files (files\\disklist.ini)"},
      {"FILES\\plain.ini", "own files (files\\plain.ini)"},
      {"cabs/x.img", "work folder cabs"},
      {"Temp\\a.img", "work folder Temp"},
      {"temp/deeper/a.img", "work folder Temp"},
      {"files/dos/a.img", "work folder files\\dos"},
      {"files", "is a folder"},
  };
  for (const auto& [target, why] : cases) {
    SCOPED_TRACE(target);
    Batch b;
    const std::string bfiBefore = b.pf.Read("bfi");
    const std::string catalogue = b.pf.Read("files/disklist.ini");
    EXPECT_NE(b.Run(Disk("plain", target)), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    const Message& m = b.w->prompter.messages[0];
    EXPECT_EQ(m.title, "Invalid Target");
    EXPECT_EQ(m.icon, Icon::Critical);
    EXPECT_NE(m.text.find(std::string("The target ") + b.pf.root), std::string::npos) << m.text;
    EXPECT_NE(m.text.find(why), std::string::npos) << m.text;
    EXPECT_EQ(b.pf.Read("bfi"), bfiBefore);
    EXPECT_EQ(b.pf.Read("files/disklist.ini"), catalogue);
    EXPECT_TRUE(b.wait.statuses.empty()) << "refused before the build started";
    EXPECT_TRUE(b.w->tools.commands_ran.empty());
  }

  // A link from outside into the program folder is followed.
  Batch linked;
  const std::string outside = linked.pf.root + "_link";
  std::filesystem::create_directory_symlink(linked.pf.Path("files"), outside);
  EXPECT_NE(linked.Run(Disk("plain", outside + "/plain.ini")), 0);
  std::filesystem::remove(outside);
  ASSERT_EQ(linked.w->prompter.messages.size(), 1u);
  EXPECT_EQ(linked.w->prompter.messages[0].title, "Invalid Target");

  // An earlier image, and a new name, are fine targets.
  Batch again;
  ASSERT_EQ(again.Run(Disk("plain")), 0);
  EXPECT_EQ(again.Run(Disk("plain", "plain.img")), 0);
  EXPECT_EQ(again.Run(Disk("plain", "images/new.img")), 0);
  EXPECT_TRUE(again.pf.Exists("images/new.img"));
  EXPECT_TRUE(again.w->prompter.messages.empty());

  // The wizard's destination, and the catalogue's default file, are checked
  // where the image is made.
  Batch wizard;
  wizard.w->form.InitApp();
  wizard.w->builder.Tree().FillInitialList();
  FloppyRequest request;
  request.image = wizard.pf.Path("cabs/w.img");
  EXPECT_EQ(wizard.w->builder.Build(request, FloppyPhase::Output, FloppyPhase::Output), FloppyEnd::Cancelled);
  ASSERT_EQ(wizard.w->prompter.messages.size(), 1u);
  EXPECT_EQ(wizard.w->prompter.messages[0].title, "Invalid Target");
  EXPECT_EQ(wizard.w->form.LblFinish, "Operation canceled");
  EXPECT_FALSE(wizard.pf.Exists("cabs"));
}

// Every entry of the program folder, relative, for "nothing was written";
// without the DOS working copy files\dos, which every run makes anew first.
std::vector<std::string> Listing(const std::string& root) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string rel = std::filesystem::relative(e.path(), root).string();
    if (rel != "files/dos" && rel.rfind("files/dos/", 0) != 0) out.push_back(rel);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The catalogue's image file is written unasked: one that leaves the program
// folder refuses the run before the disk definition copies anything, and the
// user's file there is not touched.
TEST(RunBatch, CatalogueImageFileOutsideTheProgramFolderIsRefused) {
  const TestTempDir homeDir;
  const std::string notes = homeDir.Path() + "/notes.txt";
  for (const std::string& value : {notes, std::string("../x.img")}) {
    SCOPED_TRACE(value);
    testing::WriteText(notes, "the user's notes\n");
    Batch b;
    std::string catalogue = b.pf.Read("files/disklist.ini");
    catalogue.replace(catalogue.find("file=plain.img"), 14, "file=" + value);
    b.pf.Write("files/disklist.ini", catalogue);
    const auto before = Listing(b.pf.root);

    EXPECT_NE(b.Run(Disk("plain")), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    const Message& m = b.w->prompter.messages[0];
    EXPECT_EQ(m.title, "Invalid Disk Catalogue");
    EXPECT_NE(m.text.find(b.pf.Path("files/disklist.ini")), std::string::npos) << m.text;
    EXPECT_NE(m.text.find("entry [1] (plain)"), std::string::npos) << m.text;
    EXPECT_NE(m.text.find("\"" + value + "\""), std::string::npos) << m.text;
    EXPECT_EQ(testing::ReadText(notes), "the user's notes\n");
    EXPECT_FALSE(std::filesystem::exists(b.pf.root + "/../x.img"));
    EXPECT_TRUE(b.w->tools.commands_ran.empty());
    EXPECT_EQ(std::find(b.wait.statuses.begin(), b.wait.statuses.end(), "Processing plain.ini file ..."),
              b.wait.statuses.end());
    EXPECT_EQ(Listing(b.pf.root), before) << "nothing written in the program folder";
    EXPECT_FALSE(b.wait.visible);
  }
}

// A target named on the command line that holds something other than a
// floppy image of the size asked for is replaced only when the user says Yes;
// without a terminal nobody can, and the run is refused.
TEST(RunBatch, ExistingTargetThatIsNotAnImageOfTheSizeIsReplacedOnlyWhenAsked) {
  const TestTempDir homeDir;
  const std::string notes = homeDir.Path() + "/notes.txt";
  auto runOn = [&](Batch& b, const std::string& target, int imageType) {
    BatchOptions o = Disk("plain", target);
    o.ImageType = imageType;
    return b.Run(o);
  };

  {  // No terminal: refused with the file named, before anything is built.
    testing::WriteText(notes, "the user's notes\n");
    Batch b;
    b.w->prompter.canAsk = false;
    EXPECT_NE(runOn(b, notes, 1), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    const Message& m = b.w->prompter.messages[0];
    EXPECT_EQ(m.title, "Invalid Target");
    EXPECT_EQ(m.icon, Icon::Critical);
    EXPECT_EQ(m.buttons, Buttons::OK);
    EXPECT_NE(m.text.find("The target " + notes +
                          " already exists and is not a 1.44 MB floppy image "
                          "(1,474,560 bytes)."),
              std::string::npos)
        << m.text;
    EXPECT_EQ(testing::ReadText(notes), "the user's notes\n");
    EXPECT_TRUE(b.wait.statuses.empty());
    EXPECT_TRUE(b.w->tools.commands_ran.empty());
  }
  {  // Asked, No: kept, nothing built.
    Batch b;
    b.w->prompter.answers = {Answer::No};
    EXPECT_NE(runOn(b, notes, 1), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    const Message& m = b.w->prompter.messages[0];
    EXPECT_EQ(m.title, "Replace Existing File");
    EXPECT_EQ(m.buttons, Buttons::YesNo);
    EXPECT_EQ(m.nonInteractive, Answer::No);
    EXPECT_NE(m.text.find(notes), std::string::npos) << m.text;
    EXPECT_EQ(testing::ReadText(notes), "the user's notes\n");
    EXPECT_TRUE(b.wait.statuses.empty());
    EXPECT_TRUE(b.w->tools.commands_ran.empty());
  }
  {  // Asked, Yes: the image replaces it.
    Batch b;
    b.w->prompter.answers = {Answer::Yes};
    EXPECT_EQ(runOn(b, notes, 1), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(notes), 1474560u);
  }
  {  // Now a 1.44 MB image: rebuilt without a question; a 2.88 MB run asks.
    Batch b;
    EXPECT_EQ(runOn(b, notes, 0), 0);
    EXPECT_EQ(runOn(b, notes, 1), 0);
    EXPECT_TRUE(b.w->prompter.messages.empty());
    b.w->prompter.canAsk = false;
    EXPECT_NE(runOn(b, notes, 2), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    EXPECT_NE(b.w->prompter.messages[0].text.find("2.88 MB floppy image (2,949,120 bytes)"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(notes), 1474560u);
  }
  {  // In the program folder too: an ".img" that is no image of the size.
    Batch b;
    b.pf.Write("old.img", "short");
    b.w->prompter.canAsk = false;
    EXPECT_NE(runOn(b, "old.img", 1), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    EXPECT_NE(b.w->prompter.messages[0].text.find(b.pf.Path("old.img")), std::string::npos);
    EXPECT_EQ(b.pf.Read("old.img"), "short");
  }
  {  // A folder is no file to replace, asked or not.
    Batch b;
    EXPECT_NE(runOn(b, homeDir.Path(), 1), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    EXPECT_EQ(b.w->prompter.messages[0].title, "Invalid Target");
    EXPECT_NE(b.w->prompter.messages[0].text.find(homeDir.Path() + " is a folder"), std::string::npos);
    EXPECT_TRUE(b.w->tools.commands_ran.empty());
  }
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

// A file of exactly a floppy image's size is an earlier image only when it
// starts with a FAT boot sector: anything else of that size is asked about as
// any other file is, at a target given on the command line and at the disk's
// own file alike.
TEST(RunBatch, AFileOfAnImagesSizeWithoutABootSectorIsAskedAbout) {
  for (const std::string& target : {std::string("data.bin"), std::string()}) {
    SCOPED_TRACE(target.empty() ? "the disk's own file" : target);
    Batch b;
    const std::string path = b.pf.Path(target.empty() ? "plain.img" : target);
    const std::string data(1474560, 'D');
    testing::WriteText(path, data);
    b.w->prompter.canAsk = false;
    EXPECT_NE(b.Run(Disk("plain", target)), 0);
    ASSERT_EQ(b.w->prompter.messages.size(), 1u);
    const Message& m = b.w->prompter.messages[0];
    EXPECT_EQ(m.title, "Invalid Target");
    EXPECT_NE(m.text.find("The target " + path + " already exists and is not a floppy image"), std::string::npos)
        << m.text;
    EXPECT_NE(m.text.find("It is not replaced without asking."), std::string::npos) << m.text;
    EXPECT_EQ(testing::ReadText(path), data);
    EXPECT_TRUE(b.w->tools.Ran("bfi").empty());

    // Asked, Yes: replaced by the image.
    Batch yes;
    testing::WriteText(yes.pf.Path(target.empty() ? "plain.img" : target), data);
    yes.w->prompter.answers = {Answer::Yes};
    EXPECT_EQ(yes.Run(Disk("plain", target)), 0);
    ASSERT_EQ(yes.w->prompter.messages.size(), 1u);
    EXPECT_EQ(yes.w->prompter.messages[0].title, "Replace Existing File");
    EXPECT_NE(yes.pf.Read(target.empty() ? "plain.img" : target), data);
  }

  // What the image tool made is rebuilt without a question.
  Batch again;
  ASSERT_EQ(again.Run(Disk("plain")), 0);
  again.w->prompter.canAsk = false;
  EXPECT_EQ(again.Run(Disk("plain")), 0);
  EXPECT_EQ(again.Run(Disk("plain", "plain.img")), 0);
  EXPECT_TRUE(again.w->prompter.messages.empty());
}

}  // namespace
}  // namespace kiv
