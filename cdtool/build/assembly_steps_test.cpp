// Windows 2000/XP, Windows 98/Me and advanced-tool integration on small fake
// setup trees with upper-case names, as a real CD shows them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cdtool/build/add_win2k.h"
#include "cdtool/build/add_win9x.h"
#include "cdtool/build/adv_tools.h"
#include "cdtool/build/build_run.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "testsupport/build_test_support.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_file_states.h"

namespace kiv {
namespace {

using testing::ProgramFolder;
using testing::RecordingEvents;
using testing::WriteText;

class AssemblySteps : public ::testing::Test {
 protected:
  ProgramFolder folder;
  ScriptedPrompter prompter;
  RecordingEvents view;
  FakePlatform platform;
  // Steps that start programs set their own stand-ins.
  BuildRun run{folder.dir, prompter, view, {SystemLauncher(), platform}};

  // A file of the CD: the work tree's, or the source's it is mapped from.
  std::string OnCd(const std::string& cdPath) {
    const std::optional<std::string> disk = run.grafts.DiskFile(cdPath);
    return disk ? testing::ReadText(*disk) : "<not on the CD>";
  }

  void SetUp() override {
    run.Prepare_CDDir();
    ASSERT_TRUE(folder.Exists("kivcd/boot/scripts/main.cds"));
    // An XP medium: I386 with a LANG folder, tag files in its root.
    WriteText(folder.P("xpcd/I386/SETUPLDR.BIN"), "loader");
    WriteText(folder.P("xpcd/I386/TXTSETUP.SIF"), "[SourceDisksNames]\r\n");
    WriteText(folder.P("xpcd/I386/LANG/CHS.TXT"), "lang");
    WriteText(folder.P("xpcd/WIN51"), "");
    WriteText(folder.P("xpcd/WIN51IP"), "");
    WriteText(folder.P("xpcd/WIN51IP.SP1"), "");
    WriteText(folder.P("xpcd/CDROM_IP.5"), "");
    WriteText(folder.P("xpcd/README.HTM"), "not a tag file");
  }
};

TEST_F(AssemblySteps, Win2KWithoutOptionsAddsTreeTagsAndBootSector) {
  {
    Win2KOptions options;
    options.Source = folder.P("xpcd/i386");
    AddWin2K(run, options);
  }
  EXPECT_TRUE(prompter.messages.empty());
  // The source's files are mapped, not copied: the work tree has the folders.
  EXPECT_EQ(OnCd("/I386/SETUPLDR.BIN"), "loader");
  EXPECT_EQ(OnCd("/I386/LANG/CHS.TXT"), "lang");
  EXPECT_FALSE(folder.Exists("kivcd/I386/SETUPLDR.BIN"));
  EXPECT_TRUE(folder.Exists("kivcd/I386/LANG"));
  for (const char* tag : {"WIN51", "WIN51IP", "WIN51IP.SP1", "CDROM_IP.5"})
    EXPECT_TRUE(folder.Exists(std::string("kivcd/") + tag)) << tag;
  EXPECT_FALSE(folder.Exists("kivcd/README.HTM"));
  EXPECT_EQ(folder.Read("kivcd/boot/images/w2ksect.bin"), folder.Read("files/bootsect/w2ksect.bin"));
  EXPECT_FALSE(folder.Exists("kivcd/I386/WINNT.SIF"));
  EXPECT_EQ(folder.Read("kivcd/boot/scripts/main.cds"), folder.Read("files/kivcd/boot/scripts/main.cds"));
  EXPECT_FALSE(run.CancelCopy);
}

TEST_F(AssemblySteps, Win2KWithEveryOptionWritesAnswersRemovesLangAndInjectsTheKey) {
  WriteText(folder.P("keyfile2.txt"),
            "[Win2KInfo]\r\nTemplateFile=\r\nOwnerName=Ann Smith\r\nOrganization=Kiv\r\n"
            "ProductKey=ABCDE-FGHIJ-KLMNO-PQRST-UVWXY\r\nComputerName=PC1\r\nWorkgroup=CORP\r\nJoinDomain=True\r\n");
  {
    Win2KOptions options;
    options.Source = folder.P("xpcd/I386");
    options.DelTreeLang = true;
    options.ProductKey = SplitProductKey("ABCDE-FGHIJ-KLMNO-PQRST-UVWXY");
    options.AddInfo_toUnattend = true;
    AddWin2K(run, options);
  }
  EXPECT_TRUE(prompter.messages.empty());
  std::string sif = folder.Read("kivcd/I386/WINNT.SIF");
  EXPECT_NE(sif.find("FullName=\"Ann Smith\"\r\n"), std::string::npos) << sif;
  // This medium carries a Windows 2000 tag beside the XP ones, and is named
  // 2000 for it: the key goes where Windows 2000 reads it (an XP-only medium
  // gets ProductKey, see the --build test).
  EXPECT_NE(sif.find("ProductID=\"ABCDE-FGHIJ-KLMNO-PQRST-UVWXY\"\r\n"), std::string::npos) << sif;
  EXPECT_EQ(sif.find("ProductKey"), std::string::npos) << sif;
  EXPECT_NE(sif.find("UnattendedInstall=Yes"), std::string::npos);
  EXPECT_NE(sif.find("JoinDomain=CORP"), std::string::npos);
  EXPECT_FALSE(folder.Exists("kivcd/I386/LANG"));
  EXPECT_EQ(OnCd("/I386/LANG/CHS.TXT"), "<not on the CD>");
  EXPECT_EQ(OnCd("/I386/TXTSETUP.SIF"), "[SourceDisksNames]\r\n");
  EXPECT_EQ(OnCd("/I386/WINNT.SIF"), sif);
  std::string menu = folder.Read("kivcd/boot/scripts/main.cds");
  EXPECT_NE(menu.find("Set WinKey1=\"ABCDE\""), std::string::npos);
  EXPECT_NE(menu.find("Set WinKey5=\"UVWXY\""), std::string::npos);
  EXPECT_NE(menu.find("\nSet Action3_Macro=\"ShowWinKey\""), std::string::npos);
  EXPECT_EQ(run.Status().subStep, "Injecting Product Key in the Boot Menu");
}

TEST_F(AssemblySteps, ServicePackRunsThroughWineOnTheCopiedTree) {
  testing::FakeLauncher tools;
  tools.Add("wine", [](const testing::FakeCommand&) { return testing::Exits(0); });
  run.SetLauncher(tools);
  WriteText(folder.P("sp/XPSP2.EXE"), "MZ");
  {
    Win2KOptions options;
    options.Source = folder.P("xpcd/I386");
    options.SP_exe = folder.P("sp/xpsp2.exe");
    AddWin2K(run, options);
  }
  EXPECT_TRUE(prompter.messages.empty());
  std::string expectedTree = "Z:" + folder.dir + "/kivcd";
  for (char& c : expectedTree) c = c == '/' ? '\\' : c;
  ASSERT_EQ(tools.commands_ran.size(), 1u);
  // The installer changes the tree in place: it gets a copy of its own.
  EXPECT_EQ(folder.Read("kivcd/I386/SETUPLDR.BIN"), "loader");
  EXPECT_TRUE(run.grafts.Empty());
  EXPECT_EQ(tools.commands_ran[0].argv, (std::vector<std::string>{std::string(testing::FakeLauncher::kFakeBin) + "wine",
                                                                  folder.P("sp/XPSP2.EXE"), "-s:" + expectedTree}));
  EXPECT_EQ(ServicePackArgv("/usr/bin/wine", "/sp/x.exe", "/p/kivcd"),
            (std::vector<std::string>{"/usr/bin/wine", "/sp/x.exe", "-s:Z:\\p\\kivcd"}));
}

TEST_F(AssemblySteps, ServicePackWithoutWineIsRefusedAndTheBuildGoesOn) {
  testing::FakeLauncher withoutWine;
  run.SetLauncher(withoutWine);
  {
    Win2KOptions options;
    options.Source = folder.P("xpcd/I386");
    options.DelTreeLang = true;
    options.SP_exe = folder.P("sp/missing.exe");
    AddWin2K(run, options);
  }
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].title, "Can't Slipstream Service Pack");
  EXPECT_EQ(prompter.messages[0].icon, Icon::Exclamation);
  EXPECT_FALSE(run.CancelCopy);
  EXPECT_FALSE(folder.Exists("kivcd/I386/LANG"));  // the step went on
  EXPECT_EQ(OnCd("/I386/LANG/CHS.TXT"), "<not on the CD>");
  EXPECT_TRUE(withoutWine.commands_ran.empty());
}

TEST_F(AssemblySteps, MissingBootSectorIsFatal) {
  std::filesystem::remove(folder.P("files/bootsect/w2ksect.bin"));
  {
    Win2KOptions options;
    options.Source = folder.P("xpcd/I386");
    AddWin2K(run, options);
  }
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(
      prompter.messages[0].text.rfind(
          "A fatal Error occured while integrating the Windows 2000/XP installation, operation halted\r\n\r\n", 0),
      0u);
  EXPECT_NE(prompter.messages[0].text.find("w2ksect.bin"), std::string::npos);
  EXPECT_EQ(prompter.messages[0].title, "Fatal Error");
  EXPECT_TRUE(run.CancelCopy);
  EXPECT_EQ(run.Status().heading, "   Operation failed");
}

TEST_F(AssemblySteps, Win9xFolderFollowsTheEdition) {
  WriteText(folder.P("w98/BASE4.CAB"), "");
  WriteText(folder.P("w98/MINI.CAB"), "");
  WriteText(folder.P("wme/base2.cab"), "");
  WriteText(folder.P("both/BASE4.CAB"), "");
  WriteText(folder.P("both/BASE2.CAB"), "");
  std::filesystem::create_directories(folder.P("none"));
  EXPECT_EQ(Win9xFolderName(folder.P("w98")), "WIN98");
  EXPECT_EQ(Win9xFolderName(folder.P("wme")), "WINME");
  EXPECT_EQ(Win9xFolderName(folder.P("both")), "WINME");
  EXPECT_EQ(Win9xFolderName(folder.P("none")), "WINSETUP");

  WriteText(folder.P("w98/MSBATCH.INF"), "theirs");
  WriteText(folder.P("kivcd/WIN98/KEEP.TXT"), "already there");
  AddWin9x(run, folder.P("w98"), false);
  EXPECT_EQ(OnCd("/WIN98/MINI.CAB"), "");
  EXPECT_EQ(OnCd("/WIN98/KEEP.TXT"), "already there");
  EXPECT_EQ(OnCd("/WIN98/MSBATCH.INF"), "theirs");  // mapped like any file

  WriteText(folder.P("keyfile2.txt"),
            "[Win9xInfo]\r\nOwnerName=Bob\r\nOptimizedFor=Microsoft Windows Me\r\n"
            "ProductKey=AAAAA-BBBBB-CCCCC-DDDDD-EEEEE\r\n");
  AddWin9x(run, folder.P("wme"), true);
  std::string msbatch = folder.Read("kivcd/WINME/MSBATCH.INF");
  EXPECT_NE(msbatch.find("Name=Bob"), std::string::npos);
  EXPECT_NE(msbatch.find("ProductKey=AAAAA-BBBBB-CCCCC-DDDDD-EEEEE"), std::string::npos);
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(AssemblySteps, ErdCommanderAndBlueConArePatchedByteForByte) {
  WriteText(folder.P("erd/I386/SETUPLDR.BIN"), std::string("ldr i386\0I386 \\i386\\", 20));
  WriteText(folder.P("erd/I386/TXTSETUP.SIF"), "SetupSourcePath=\\i386\\ I386");
  WriteText(folder.P("erd/I386/SYSTEM32/CONFIG/SOFTWARE"), "hive");
  WriteText(folder.P("erd/ERDNT.TXT"), "erd root");
  WriteText(folder.P("erd/boot/EXTRA.TXT"), "erd extra");
  WriteText(folder.P("bcon/i386/setupldr.bin"), "I386 i386");
  WriteText(folder.P("bcon/i386/txtsetup.sif"), "i386");
  WriteText(folder.P("bcon/i386/system32/OOBC.DLL"), "x");
  WriteText(folder.P("advtemp/STALE.TXT"), "left by an earlier run");

  AddAdvTools(run, true, true, folder.P("erd"), folder.P("bcon"));
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_EQ(folder.Read("kivcd/ERDC/SETUPLDR.BIN"), std::string("ldr erdc\0erdc \\erdc\\", 20));
  EXPECT_EQ(folder.Read("kivcd/ERDC/TXTSETUP.SIF"), "SetupSourcePath=\\erdc\\ I386");
  EXPECT_EQ(folder.Read("kivcd/OOBC/setupldr.bin"), "I386 oobc");
  EXPECT_EQ(folder.Read("kivcd/OOBC/txtsetup.sif"), "oobc");
  EXPECT_EQ(folder.Read("kivcd/ERDNT.TXT"), "erd root");
  EXPECT_EQ(folder.Read("kivcd/boot/EXTRA.TXT"), "erd extra");
  EXPECT_TRUE(folder.Exists("kivcd/boot/scripts/main.cds"));  // merged, not replaced
  EXPECT_EQ(folder.Read("kivcd/boot/images/erdc.bin"), std::string("\xEB\x3C load ERDC\\SETUPLDR.BIN ERDC\0", 31));
  EXPECT_EQ(folder.Read("kivcd/boot/images/oobc.bin"), std::string("\xEB\x3C load OOBC\\SETUPLDR.BIN\0", 26));
  EXPECT_FALSE(folder.Exists("kivcd/STALE.TXT"));
  EXPECT_FALSE(folder.Exists("advtemp"));
}

TEST_F(AssemblySteps, NoToolChosenTouchesNothing) {
  AddAdvTools(run, false, false, folder.P("erd"), folder.P("bcon"));
  EXPECT_FALSE(folder.Exists("advtemp"));
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(AssemblySteps, UtilitiesAndAdditionalFiles) {
  WriteText(folder.P("utils/TOOLS/A.EXE"), "a");
  WriteText(folder.P("extra/readme.txt"), "my own readme");
  WriteText(folder.P("extra/NOTES.TXT"), "notes");
  AddKiv_Files(run, false, false, folder.P("utils"), folder.P("extra"));
  EXPECT_FALSE(folder.Exists("kivcd/kiv"));
  AddKiv_Files(run, true, true, folder.P("utils"), folder.P("extra"));
  EXPECT_EQ(OnCd("/kiv/TOOLS/A.EXE"), "a");
  EXPECT_EQ(OnCd("/readme.txt"), "my own readme");  // replaces the template's
  EXPECT_FALSE(folder.Exists("kivcd/readme.txt"));
  EXPECT_EQ(OnCd("/NOTES.TXT"), "notes");
  // Mapped from where they lie: the work tree holds none of their bytes.
  EXPECT_TRUE(folder.Exists("kivcd/kiv/TOOLS"));
  EXPECT_FALSE(folder.Exists("kivcd/kiv/TOOLS/A.EXE"));
  EXPECT_TRUE(prompter.messages.empty());
}

// A tree copy that fails or stops short is the step's failure: its Fatal
// Error names the file and the cause, and the build is cancelled.
class FailedCopies : public AssemblySteps {
 protected:
  const Message* Fatal() const {
    for (const Message& m : prompter.messages)
      if (m.title == "Fatal Error") return &m;
    return nullptr;
  }
};

TEST_F(FailedCopies, AFileThatVanishedFromTheWindowsTreeIsFatal) {
  std::filesystem::create_directories(folder.P("xpcd/I386/SYSTEM32"));
  std::filesystem::create_symlink(folder.P("nowhere/HAL.DLL"), folder.P("xpcd/I386/SYSTEM32/HAL.DLL"));
  WriteText(folder.P("xpcd/I386/SYSTEM32/ZZ.DLL"), "after it");
  {
    Win2KOptions options;
    options.Source = folder.P("xpcd/I386");
    options.ProductKey = SplitProductKey("ABCDE-FGHIJ-KLMNO-PQRST-UVWXY");
    AddWin2K(run, options);
  }
  const Message* m = Fatal();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(
      m->text.rfind("A fatal Error occured while integrating the Windows 2000/XP installation, operation halted", 0),
      0u);
  EXPECT_NE(m->text.find("SYSTEM32/HAL.DLL\": Path Not found"), std::string::npos) << m->text;
  EXPECT_EQ(m->icon, Icon::Critical);
  EXPECT_TRUE(run.CancelCopy);
  EXPECT_EQ(run.Status().heading, "   Operation failed");
  // The step stopped there: the key was not injected.
  EXPECT_EQ(folder.Read("kivcd/boot/scripts/main.cds"), folder.Read("files/kivcd/boot/scripts/main.cds"));
}

TEST_F(FailedCopies, AFullDiskIsFatalAndNamedSo) {
  run.environment.Set(kCopySourcesVariable, "1");  // only a copy writes the source's bytes
  WriteText(folder.P("xpcd/I386/DRIVER.CAB"), std::string(256 * 1024, 'c'));
  // The file-size limit stands in for a full file system.
  {
    FileSizeLimit limit(64 * 1024);
    Win2KOptions options;
    options.Source = folder.P("xpcd/I386");
    AddWin2K(run, options);
  }
  const Message* m = Fatal();
  ASSERT_NE(m, nullptr);
  EXPECT_NE(m->text.find("DRIVER.CAB\": Disk Full"), std::string::npos) << m->text;
  EXPECT_TRUE(run.CancelCopy);
}

TEST_F(FailedCopies, AWindows98SourceThatVanishedIsFatal) {
  AddWin9x(run, folder.P("gone/WIN98"), false);
  ASSERT_EQ(prompter.messages.size(), 2u);
  EXPECT_EQ(prompter.messages[0].text, "Source folder \"" + folder.P("gone/WIN98") + "/\" not found.");
  EXPECT_EQ(prompter.messages[1].text.rfind(
                "A fatal Error occured while integrating the Windows 98/Me installation, operation halted\r\n\r\n", 0),
            0u);
  EXPECT_NE(prompter.messages[1].text.find("Path Not found"), std::string::npos);
  EXPECT_TRUE(run.CancelCopy);
}

TEST_F(FailedCopies, AnEmptySourceCopiesNothingAndIsNoFailure) {
  std::filesystem::create_directories(folder.P("empty98"));
  AddWin9x(run, folder.P("empty98"), false);
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_TRUE(folder.Exists("kivcd/WINSETUP"));
  EXPECT_FALSE(run.CancelCopy);
}

TEST_F(FailedCopies, UtilitiesThatHoldTheCdTreeSayWhyNothingWasCopied) {
  WriteText(folder.P("kiv_utilities/TOOL.EXE"), "t");
  AddKiv_Files(run, true, false, folder.dir, "");
  const Message* m = Fatal();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->text.rfind("A fatal Error occured while integrating the Kiv Utilities, operation halted\r\n\r\n", 0),
            0u);
  EXPECT_NE(m->text.find("Destination is inside the source folder"), std::string::npos) << m->text;
  EXPECT_FALSE(folder.Exists("kivcd/kiv/kiv_utilities"));
  EXPECT_TRUE(run.CancelCopy);
}

// The CD is read by Windows and DOS, where names differ in letter case only
// are one file: a copy into the tree replaces such a file, never adds a second.
TEST_F(AssemblySteps, NamesThatDifferOnlyInCaseAreOneFileOnTheCd) {
  WriteText(folder.P("extra/README.TXT"), "readme of the extras");
  WriteText(folder.P("extra/BOOT/EXTRA.TXT"), "into the template's boot folder");
  AddKiv_Files(run, false, true, "", folder.P("extra"));
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_EQ(OnCd("/readme.txt"), "readme of the extras");
  EXPECT_EQ(run.grafts.Effective(), (std::vector<Graft>{{"/boot/EXTRA.TXT", folder.P("extra/BOOT/EXTRA.TXT")},
                                                        {"/readme.txt", folder.P("extra/README.TXT")}}));
  EXPECT_FALSE(folder.Exists("kivcd/BOOT"));

  // The recovery tools' root files land the same way.
  WriteText(folder.P("erd/I386/SYSTEM32/CONFIG/SOFTWARE"), "hive");
  WriteText(folder.P("erd/ReadMe.Txt"), "readme of ERD Commander");
  WriteText(folder.P("erd/Boot/ERD.TXT"), "erd");
  AddAdvTools(run, true, false, folder.P("erd"), "");
  EXPECT_TRUE(prompter.messages.empty());
  // The tool's file replaces the mapped one under the name the CD has.
  EXPECT_TRUE(run.grafts.Effective().size() == 1);
  EXPECT_EQ(folder.Read("kivcd/readme.txt"), "readme of ERD Commander");
  EXPECT_FALSE(folder.Exists("kivcd/ReadMe.Txt"));
  EXPECT_EQ(folder.Read("kivcd/boot/ERD.TXT"), "erd");
  EXPECT_FALSE(folder.Exists("kivcd/Boot"));
}

// The same for copied sources: the names the tree has are kept.
TEST_F(AssemblySteps, CopiedNamesThatDifferOnlyInCaseAreOneFileOnTheCd) {
  run.environment.Set(kCopySourcesVariable, "1");
  WriteText(folder.P("extra/README.TXT"), "readme of the extras");
  WriteText(folder.P("extra/BOOT/EXTRA.TXT"), "into the template's boot folder");
  AddKiv_Files(run, false, true, "", folder.P("extra"));
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_TRUE(run.grafts.Empty());
  EXPECT_EQ(folder.Read("kivcd/readme.txt"), "readme of the extras");
  EXPECT_FALSE(folder.Exists("kivcd/README.TXT"));
  EXPECT_EQ(folder.Read("kivcd/boot/EXTRA.TXT"), "into the template's boot folder");
  EXPECT_FALSE(folder.Exists("kivcd/BOOT"));

  // The recovery tools' root files land the same way.
  WriteText(folder.P("erd/I386/SYSTEM32/CONFIG/SOFTWARE"), "hive");
  WriteText(folder.P("erd/ReadMe.Txt"), "readme of ERD Commander");
  WriteText(folder.P("erd/Boot/ERD.TXT"), "erd");
  AddAdvTools(run, true, false, folder.P("erd"), "");
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_EQ(folder.Read("kivcd/readme.txt"), "readme of ERD Commander");
  EXPECT_FALSE(folder.Exists("kivcd/ReadMe.Txt"));
  EXPECT_EQ(folder.Read("kivcd/boot/ERD.TXT"), "erd");
  EXPECT_FALSE(folder.Exists("kivcd/Boot"));

  // And the medium's tag files.
  WriteText(folder.P("kivcd/win51ip"), "older");
  {
    Win2KOptions options;
    options.Source = folder.P("xpcd/I386");
    AddWin2K(run, options);
  }
  int tags = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder.P("kivcd")))
    tags += ToLower(e.path().filename().string()) == "win51ip";
  EXPECT_EQ(tags, 1);
  EXPECT_EQ(folder.Read("kivcd/win51ip"), "");
}

}  // namespace
}  // namespace kiv
