#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "disktool/catalogue/data_files.h"
#include "disktool/drivers/cabinet_tool.h"
#include "disktool/drivers/driver_set.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/workspace/floppy_workspace.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

class Definition : public ::testing::Test {
 protected:
  void SetUp() override {
    pf.SeedBase();
    w.form.InitApp();
    ASSERT_FALSE(w.form.Cancelled());
    pf.Write("Drivers.ini", "[ASPI]\r\nX=1\r\n");
  }
  // Executes files\<file> as a build does, for a catalogue disk of that
  // name, with a fresh engine (one that ended cancelled builds no more);
  // false when the build was cancelled.
  bool Init_Lists(const std::string& file) {
    const std::string name = file.substr(0, file.size() - 4);
    pf.Write("files/disklist.ini",
             "[Disks_List]\r\nCount=1\r\n[0]\r\nfile=BootDisk.img\r\n[1]\r\nName=" + name + "\r\nfile=disk.img\r\n");
    builder = std::make_unique<FloppyBuilder>(pf.root, w.prompter, w.progress, BuildContext{w.tools, w.platform});
    FloppyRequest request;
    request.disk = name;
    return builder->Build(request, FloppyPhase::Disk, FloppyPhase::Disk) == FloppyEnd::Open;
  }
  bool Cancelled() const { return builder->End() == FloppyEnd::Cancelled; }
  ProgramFolder pf;
  Wizard w{pf};
  std::unique_ptr<FloppyBuilder> builder;
};

TEST_F(Definition, LineRules) {
  pf.Write("kernel", "k");
  pf.Write("a", "A");
  pf.Write("files/mod/x.bat", "x");
  pf.Write("files/mod/sub/y.bat", "y");
  pf.Write("files/disk.ini",
           "; comment\r\n"
           "\r\n"
           "[copy_files]\r\n"  // wrong case: an unrecognised section
           "kernel=ignored\r\n"
           "[Copy_Files]\r\n"
           "kernel = modules\\kernel\r\n"  // blanks around "="
           "a=b=c\r\n"                     // a second "=" and what follows are ignored
           "no equals sign\r\n"
           "[Create_CABs]\r\n"
           "setupwin\r\n"  // no "=": skipped
           "SetupNT=\r\n"
           "mod=lib\r\n");
  EXPECT_TRUE(Init_Lists("disk.ini"));
  EXPECT_FALSE(pf.Exists("cabs/ignored"));
  EXPECT_EQ(pf.Read("cabs/modules/kernel"), "k");
  EXPECT_EQ(pf.Read("cabs/b"), "A");
  EXPECT_FALSE(builder->Disk().needSetupWin);
  EXPECT_TRUE(builder->Disk().needSetupNT);
  EXPECT_TRUE(pf.Exists("cabs/lib/mod.cab"));
  EXPECT_EQ(builder->Status().section, "Please Wait ... Creating CAB files");
  EXPECT_TRUE(w.prompter.messages.empty());
  // The cabinet packs the whole tree of files/mod (-r), paths relative to it (-P).
  ASSERT_EQ(w.tools.Ran("cabarc").size(), 1u);
  EXPECT_EQ(w.tools.Ran("cabarc")[0], "cabarc -m LZX:21 -p -r -P files/mod/ n cabs/lib/mod.cab files/mod/*.*");

  // "setupwin=" sets the flag; Init_Lists resets both flags first.
  pf.Write("files/second.ini", "[Create_CABs]\r\nsetupwin=\r\n");
  EXPECT_TRUE(Init_Lists("second.ini"));
  EXPECT_TRUE(builder->Disk().needSetupWin);
  EXPECT_FALSE(builder->Disk().needSetupNT);
}

TEST_F(Definition, AnEntryBeforeTheFirstCopyStepCountsAsSuccess) {
  pf.Write("files/disk.ini", "[Unknown]\r\nx=y\r\n[Create_CABs]\r\nsetupnt=\r\n[Copy_Files]\r\nIO.SYS=IO.SYS\r\n");
  EXPECT_TRUE(Init_Lists("disk.ini"));
  EXPECT_FALSE(Cancelled());
  EXPECT_EQ(pf.Read("cabs/IO.SYS"), "io");  // looked up in dos/
}

TEST_F(Definition, MissingDefinitionIsNamedAndCancels) {
  EXPECT_FALSE(Init_Lists("nosuch.ini"));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_NE(w.prompter.messages[0].text.find("nosuch.ini"), std::string::npos);
  EXPECT_TRUE(Cancelled());
  EXPECT_EQ(builder->Status().heading, "Operation canceled");
}

TEST_F(Definition, AbortInACopyOrAMissingCabinetCancels) {
  pf.Write("files/disk.ini", "[Copy_Files]\r\nmissing.txt=x\r\nIO.SYS=IO.SYS\r\n");
  w.prompter.answers = {Answer::Abort};
  EXPECT_FALSE(Init_Lists("disk.ini"));
  EXPECT_TRUE(Cancelled());
  EXPECT_FALSE(pf.Exists("cabs"));  // removed by the cancel, before the next entry

  // A silent copy never fails the definition.
  pf.Write("files/quiet.ini", "[Copy_CABs]\r\nmissing.txt=x\r\n");
  w.prompter.messages.clear();
  EXPECT_TRUE(Init_Lists("quiet.ini"));
  EXPECT_TRUE(w.prompter.messages.empty());

  w.tools.Add("cabarc", testing::FailingTool());
  pf.Write("files/mod/x.bat", "x");
  pf.Write("files/cab.ini", "[Create_CABs]\r\nmod=lib\r\n");
  EXPECT_FALSE(Init_Lists("cab.ini"));
  ASSERT_FALSE(w.prompter.messages.empty());
  EXPECT_EQ(w.prompter.messages.back().text,
            "The Cabinet mod.cab could not be created \r\n\r\nThe Kiv Disk Builder Can't Continue !");
  EXPECT_EQ(w.prompter.messages.back().title, "Error While Copying");
}

TEST_F(Definition, PathsLeavingCabsOrFilesAreRefused) {
  pf.Write("secret", "s");
  const char* cases[] = {
      "[Copy_Files]\r\nsecret=..\\..\\outside\r\n",
      "[Copy_Files]\r\nsecret=/tmp/outside\r\n",
      "[Copy_Files_for_CABs]\r\nsecret=x\\..\\..\\outside\r\n",
      "[Create_CABs]\r\nmod=..\\outside\r\n",
      "[Create_CABs]\r\n..\\..\\etc=lib\r\n",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    pf.SeedBase();
    w.prompter.messages.clear();
    pf.Write("files/bad.ini", std::string("; line 1\r\n") + text);
    EXPECT_FALSE(Init_Lists("bad.ini"));
    ASSERT_EQ(w.prompter.messages.size(), 1u);
    const std::string& m = w.prompter.messages[0].text;
    EXPECT_NE(m.find("bad.ini, line 3"), std::string::npos) << m;
    EXPECT_TRUE(Cancelled());
    EXPECT_FALSE(std::filesystem::exists(pf.root + "/../outside"));
    EXPECT_FALSE(std::filesystem::exists("/tmp/outside"));
  }
  // A catalogue name that would read a definition outside files\ is refused.
  w.prompter.messages.clear();
  pf.Write("outside.ini", "[Copy_Files]\r\nsecret=x\r\n");
  EXPECT_FALSE(Init_Lists("../outside.ini"));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_NE(w.prompter.messages[0].text.find("\"../outside.ini\""), std::string::npos);
  EXPECT_FALSE(pf.Exists("cabs/x"));

  // So is a default driver that is not a plain cabinet name.
  w.prompter.messages.clear();
  pf.Write("files/drv.ini", "[DefaultDrivers]\r\nNDIS\\..\\..\\EVIL.CAB\r\n");
  pf.Write("drivers/ndis/ne2000.cab", "x");
  const FloppyWorkspace workspace(pf.root, w.prompter, w.progress, {w.tools, w.platform});
  const CabinetTool cabarc(pf.root, w.tools);
  DriverSet(workspace, cabarc).GetDefaultDriversOptions("drv.ini", "NDIS");
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_NE(w.prompter.messages[0].text.find("drv.ini"), std::string::npos);
  EXPECT_EQ(pf.Read("Drivers.ini").find("EVIL"), std::string::npos);
}

// The text of a path is not enough: a symbolic link below files or cabs that
// points elsewhere must not carry a copy or a cabinet out of the folder.
TEST_F(Definition, LinksLeadingOutOfTheFolderAreRefused) {
  namespace fs = std::filesystem;
  const TestTempDir elsewhereDir;
  const std::string& elsewhere = elsewhereDir.Path();
  pf.Write("dos/EDIT.COM", "edit");
  pf.Write("files/mod/a.txt", "a");
  const char* cases[] = {
      "[Copy_Files_for_CABs]\r\nEDIT.COM=linkout\\x.com\r\n",
      "[Copy_Files_for_CABs]\r\nEDIT.COM=LinkOut\\sub\\x.com\r\n",  // any case, deeper
      "[Copy_Files]\r\nEDIT.COM=out\\x.com\r\n",                    // cabs\out -> elsewhere
      "[Copy_Files_for_CABs]\r\nEDIT.COM=filelink.com\r\n",         // the file itself a link
      "[Create_CABs]\r\nmod=out\r\n",                               // cabinet folder
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    pf.SeedBase();
    w.form.InitApp();
    fs::create_directory_symlink(elsewhere, pf.Path("cabs/out"));
    fs::remove(pf.Path("files/linkout"));
    fs::create_directory_symlink(elsewhere, pf.Path("files/linkout"));
    fs::remove(pf.Path("files/filelink.com"));
    fs::create_symlink(elsewhere + "/x.com", pf.Path("files/filelink.com"));
    w.prompter.messages.clear();
    pf.Write("files/bad.ini", std::string("; line 1\r\n") + text);
    EXPECT_FALSE(Init_Lists("bad.ini"));
    ASSERT_EQ(w.prompter.messages.size(), 1u);
    EXPECT_EQ(w.prompter.messages[0].title, "Invalid Disk Definition");
    EXPECT_NE(w.prompter.messages[0].text.find("bad.ini, line 3"), std::string::npos);
    EXPECT_TRUE(Cancelled());
    EXPECT_TRUE(fs::is_empty(elsewhere)) << "written outside the program folder";
  }
  // A link that stays inside the folder is an ordinary path.
  pf.SeedBase();
  w.form.InitApp();
  fs::remove(pf.Path("files/linkout"));
  fs::create_directories(pf.Path("files/real"));
  fs::create_directory_symlink(pf.Path("files/real"), pf.Path("files/linkin"));
  w.prompter.messages.clear();
  pf.Write("files/good.ini", "[Copy_Files_for_CABs]\r\nEDIT.COM=linkin\\x.com\r\n");
  EXPECT_TRUE(Init_Lists("good.ini"));
  EXPECT_TRUE(w.prompter.messages.empty());
  EXPECT_EQ(pf.Read("files/real/x.com"), "edit");
}

TEST(CountSectionEntries, CountsEntriesWithTheSuffix) {
  ProgramFolder pf;
  pf.Write("Drivers.ini", "[ASPI]\r\nA=1\r\n[NDIS]\r\nB=1\r\n;C=1\r\n\r\nD=0\r\nE=1\r\n[ODI16]\r\nF=1\r\n");
  EXPECT_EQ(CountSectionEntries(pf.Path("Drivers.ini"), "NDIS", true, "1"), 2);
  EXPECT_EQ(CountSectionEntries(pf.Path("Drivers.ini"), "NDIS", false, ""), 3);
  EXPECT_EQ(CountSectionEntries(pf.Path("Drivers.ini"), "ndis", true, "1"), 0);  // headers match exactly
  EXPECT_EQ(CountSectionEntries(pf.Path("missing.ini"), "NDIS", true, "1"), 0);
}

}  // namespace
}  // namespace kiv
