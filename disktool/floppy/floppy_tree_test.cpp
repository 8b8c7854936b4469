#include <gtest/gtest.h>

#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

std::vector<std::string> Paths(const std::vector<FileListEntry>& list) {
  std::vector<std::string> out;
  out.reserve(list.size());
  for (const auto& e : list) out.push_back(e.Path);
  return out;
}

TEST(FloppyTree, InitAppSeedsCabsAndTheDosWorkingCopy) {
  ProgramFolder pf;
  pf.SeedBase();
  pf.Write("files/base_files/bin/deeper/not_copied.txt", "x");
  pf.Write("files/dos_files/help/h.txt", "h");
  pf.Write("files/dos/stale.txt", "old");
  pf.Write("cabs/stale.txt", "old");
  Wizard w(pf);
  w.form.InitApp();
  EXPECT_EQ(w.form.Request.image, pf.Path("BootDisk.img"));
  EXPECT_TRUE(pf.Exists("cabs/AUTOEXEC.BAT"));
  EXPECT_TRUE(pf.Exists("cabs/bin/START.BAT"));
  EXPECT_FALSE(pf.Exists("cabs/bin/deeper"));  // only the files directly in the folder
  EXPECT_FALSE(pf.Exists("cabs/stale.txt"));
  EXPECT_FALSE(pf.Exists("files/dos/stale.txt"));
  EXPECT_TRUE(pf.Exists("files/dos/README.TXT"));
  EXPECT_TRUE(pf.Exists("files/dos/bin/HELP.BAT"));
  EXPECT_TRUE(pf.Exists("files/dos/help/h.txt"));
  EXPECT_TRUE(w.prompter.messages.empty());  // the missing menu folder is copied silently
}

TEST(FloppyTree, FileListOrder) {
  ProgramFolder pf;
  pf.Write("cabs/IO.SYS", "io");
  pf.Write("cabs/AUTOEXEC.BAT", "a");
  pf.Write("cabs/bin/A.EXE", "a");
  pf.Write("cabs/lib/x.cab", "x");
  pf.Write("cabs/lib/aspi/y.cab", "y");
  pf.Write("cabs/.hidden/skipped", "s");
  pf.Write("cabs/io.sys.bak", "kept");
  Wizard w(pf);
  w.builder.Tree().FillInitialList();
  // Root files first, then the folders found last are listed first, each
  // followed by its own subfolders.
  EXPECT_EQ(Paths(w.builder.Tree().Files().FileList),
            (std::vector<std::string>{"IO.SYS", "MSDOS.SYS", "COMMAND.COM", "AUTOEXEC.BAT", "io.sys.bak", "lib\\x.cab",
                                      "lib\\aspi\\y.cab", "bin\\A.EXE"}));
  for (const auto& e : w.builder.Tree().Files().FileList) EXPECT_TRUE(e.Selected);
  EXPECT_TRUE(w.builder.Tree().Files().FoldersToList.empty());
}

TEST(FloppyTree, CopySourcesAndPrompts) {
  ProgramFolder pf;
  pf.Write("dos/TOOL.EXE", "from dos");
  pf.Write("TOOL.EXE", "from program folder");
  pf.Write("dos/ONLYDOS.COM", "dos only");
  Wizard w(pf);

  std::string dest = "cabs\\bin\\TOOL.EXE";
  EXPECT_TRUE(w.builder.Tree().CopyFilesToFolder("TOOL.EXE", dest, {.silent = false}));
  EXPECT_EQ(dest, pf.Path("cabs/bin/TOOL.EXE"));
  EXPECT_EQ(pf.Read("cabs/bin/TOOL.EXE"), "from program folder");
  dest = "cabs\\ONLYDOS.COM";
  EXPECT_TRUE(w.builder.Tree().CopyFilesToFolder("onlydos.com", dest, {.silent = false}));  // any letter case
  EXPECT_EQ(pf.Read("cabs/ONLYDOS.COM"), "dos only");

  // Abort: false, after the prompt that names the source as written.
  dest = "cabs\\x";
  w.prompter.answers = {Answer::Abort};
  EXPECT_FALSE(w.builder.Tree().CopyFilesToFolder("missing\\*.*", dest, {.silent = false}));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_EQ(w.prompter.messages[0].text, "Error while copying the file :\r\nmissing\\*.*");
  EXPECT_EQ(w.prompter.messages[0].title, "Error While Copying");
  EXPECT_EQ(w.prompter.messages[0].buttons, Buttons::AbortRetryIgnore);
  EXPECT_EQ(w.prompter.messages[0].icon, Icon::Critical);

  // Ignore: true, nothing copied.
  dest = "cabs\\y";
  w.prompter.answers = {Answer::Ignore};
  EXPECT_TRUE(w.builder.Tree().CopyFilesToFolder("late.txt", dest, {.silent = false}));
  EXPECT_FALSE(pf.Exists("cabs/y"));

  // Retry repeats the lookup: the file that appears meanwhile is copied.
  w.prompter.answers = {Answer::Retry};
  w.prompter.before = [&](const Message&) { pf.Write("late.txt", "now here"); };
  dest = "cabs\\late.txt";
  EXPECT_TRUE(w.builder.Tree().CopyFilesToFolder("late.txt", dest, {.silent = false}));
  EXPECT_EQ(pf.Read("cabs/late.txt"), "now here");
  w.prompter.before = nullptr;

  // Silent mode never asks and reports success.
  w.prompter.messages.clear();
  dest = "cabs\\z";
  EXPECT_TRUE(w.builder.Tree().CopyFilesToFolder("nothing.txt", dest, {.silent = true}));
  EXPECT_TRUE(w.prompter.messages.empty());
}

TEST(FloppyTree, InjectCopiesSelectedEntriesWithProgress) {
  ProgramFolder pf;
  Wizard w(pf);
  for (int i = 0; i < 10; ++i) pf.Write("cabs/F" + std::to_string(i) + ".TXT", std::to_string(i));
  pf.Write("cabs/sub/G.TXT", "g");
  for (int i = 0; i < 10; ++i)
    w.builder.Tree().Files().FileList.push_back({"F" + std::to_string(i) + ".TXT", i % 5 < 3});
  w.builder.Tree().Files().FileList[9].Path = "sub\\G.TXT";
  w.builder.Tree().Files().FileList[9].Selected = true;
  const std::string out = pf.Path("out");
  EXPECT_TRUE(w.builder.Tree().InjectFilesToDir(out, nullptr));
  EXPECT_EQ(w.progress.Maximum(), 10);
  EXPECT_EQ(w.progress.Value(), 7);
  EXPECT_TRUE(pf.Exists("out/F0.TXT"));
  EXPECT_FALSE(pf.Exists("out/F3.TXT"));
  EXPECT_EQ(pf.Read("out/sub/G.TXT"), "g");
}

TEST(FloppyTree, CopyErrorsOfferAbortRetryIgnore) {
  ProgramFolder pf;
  Wizard w(pf);
  pf.Write("cabs/A.TXT", "a");
  pf.Write("cabs/sub/B.TXT", "b");
  pf.Write("cabs/C.TXT", "c");
  w.builder.Tree().Files().FileList = {{"A.TXT", true}, {"sub\\B.TXT", true}, {"C.TXT", true}};
  // "sub" is a file in the destination, so sub\B.TXT cannot be written.
  pf.Write("out/sub", "in the way");
  w.prompter.answers = {Answer::Ignore};
  EXPECT_TRUE(w.builder.Tree().InjectFilesToDir(pf.Path("out"), nullptr));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_EQ(w.prompter.messages[0].title, "Error while Copying to Floppy");
  EXPECT_EQ(w.prompter.messages[0].text.rfind("The current Error has happend :\r\n", 0), 0u);
  EXPECT_EQ(w.prompter.messages[0].buttons, Buttons::AbortRetryIgnore);
  EXPECT_TRUE(pf.Exists("out/C.TXT"));  // Ignore goes on with the next entry

  // Retry repeats the entry: it succeeds once the obstacle is gone.
  std::filesystem::remove_all(pf.Path("out"));
  pf.Write("out/sub", "in the way");
  w.prompter.answers = {Answer::Retry};
  w.prompter.before = [&](const Message&) { std::filesystem::remove(pf.Path("out/sub")); };
  EXPECT_TRUE(w.builder.Tree().InjectFilesToDir(pf.Path("out"), nullptr));
  EXPECT_EQ(pf.Read("out/sub/B.TXT"), "b");
  w.prompter.before = nullptr;

  // Abort fails the copy at once.
  std::filesystem::remove_all(pf.Path("out"));
  pf.Write("out/sub", "in the way");
  w.prompter.answers = {Answer::Abort};
  EXPECT_FALSE(w.builder.Tree().InjectFilesToDir(pf.Path("out"), nullptr));
  EXPECT_FALSE(pf.Exists("out/C.TXT"));
}

TEST(FloppyTree, MissingSourceFailsTheCopyAndTheBuild) {
  ProgramFolder pf;
  pf.Write("cabs/AUTOEXEC.BAT", "a");
  Wizard w(pf);
  w.builder.Tree().FillInitialList();
  EXPECT_EQ(w.builder.Build(FloppyRequest{}, FloppyPhase::Output, FloppyPhase::Output), FloppyEnd::Cancelled);
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_EQ(w.prompter.messages[0].text, "Error while copying the file from its Source :\r\nIO.SYS");
  EXPECT_EQ(w.prompter.messages[0].title, "Error");
  EXPECT_FALSE(w.builder.Status().stages[2].done);
  EXPECT_FALSE(pf.Exists("Temp"));
  EXPECT_FALSE(pf.Exists("cabs"));
}

TEST(FloppyTree, WorkDirIsANewFolderBelowTemp) {
  ProgramFolder pf;
  pf.Write("cabs/IO.SYS", "io");
  Wizard w(pf);
  w.builder.Tree().Files().FileList = {{"IO.SYS", true}};
  ASSERT_TRUE(w.builder.Tree().CreateDiskAsDir());
  const std::string first = w.builder.Tree().Files().WorkDir;
  EXPECT_EQ(first.rfind(pf.Path("Temp/bootsmith"), 0), 0u) << first;
  EXPECT_TRUE(pf.Exists(first.substr(pf.root.size() + 1) + "/IO.SYS"));
  ASSERT_TRUE(w.builder.Tree().CreateDiskAsDir());
  EXPECT_NE(w.builder.Tree().Files().WorkDir, first);
}

TEST(FloppyTree, WorkDirNamesComeFromThePlatformsRandomBytesAndSkipTakenOnes) {
  ProgramFolder pf, other;
  pf.Write("cabs/IO.SYS", "io");
  other.Write("cabs/IO.SYS", "io");
  Wizard a(pf), b(pf), elsewhere(other);
  for (Wizard* w : {&a, &b, &elsewhere}) w->builder.Tree().Files().FileList = {{"IO.SYS", true}};
  ASSERT_TRUE(a.builder.Tree().CreateDiskAsDir());
  // The same bytes give the same name in another program folder...
  ASSERT_TRUE(elsewhere.builder.Tree().CreateDiskAsDir());
  EXPECT_EQ(elsewhere.builder.Tree().Files().WorkDir.substr(other.root.size()),
            a.builder.Tree().Files().WorkDir.substr(pf.root.size()));
  // ...and in this one, where it is taken, the next bytes another.
  ASSERT_TRUE(b.builder.Tree().CreateDiskAsDir());
  EXPECT_NE(b.builder.Tree().Files().WorkDir, a.builder.Tree().Files().WorkDir);
  EXPECT_EQ(b.builder.Tree().Files().WorkDir.rfind(pf.Path("Temp/bootsmith"), 0), 0u)
      << b.builder.Tree().Files().WorkDir;
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

// A copy that fails at its destination says where it went and why, below
// the source as written (a full disk reads "Disk Full" there).
TEST(FloppyTree, AFailedCopyNamesItsDestinationAndTheCause) {
  test::ProgramFolder pf;
  pf.Write("TOOL.EXE", "tool");
  pf.Write("cabs/bin/TOOL.EXE/in the way", "a folder where the file goes");
  test::Wizard w(pf);
  std::string dest = "cabs\\bin\\TOOL.EXE";
  w.prompter.answers = {Answer::Abort};
  EXPECT_FALSE(w.builder.Tree().CopyFilesToFolder("TOOL.EXE", dest, {.silent = false}));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  const std::string& text = w.prompter.messages[0].text;
  EXPECT_EQ(text.rfind("Error while copying the file :\r\nTOOL.EXE\r\n\r\n" + pf.Path("cabs/bin/TOOL.EXE") + ": ", 0),
            0u)
      << text;
  EXPECT_GT(text.size(),
            ("Error while copying the file :\r\nTOOL.EXE\r\n\r\n" + pf.Path("cabs/bin/TOOL.EXE") + ": ").size());
}

}  // namespace
}  // namespace kiv
