// The DOS system-file import against fake Windows 98 setup folders whose
// cabinets are made by our cabarc and by gcab, extracted by our extract and
// expand.
#include "disktool/dosimport/dos_import.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "common/process_runner.h"
#include "common/prompter.h"
#include "disktool/workspace/wait_window.h"
#include "testsupport/fake_disk_tools.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;

std::string BuildTool(const std::string& name) {
  const char* build = std::getenv("KIV_BUILD_DIR");
  return std::string(build ? build : ".") + "/tools/" + name + "/" + name;
}

std::string ToLowerForTest(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Content(const std::string& name) { return testing::FakeDosFile(name, "real " + name + " bytes\r\n"); }

enum class Maker { Cabarc, Gcab };

// A program folder with our extract and expand, and a Windows 98 setup
// folder: the three loose files, EXTRACT.EXE, and the cabinets holding the
// rest (IO.SYS as WINBOOT.SYS). `leaveOut` is missing from the cabinets.
struct Fixture {
  TestTempDir dir;
  std::string program = dir / "prog";
  std::string setup = dir / "cd/WIN98";
  ScriptedPrompter prompter;
  MemoryWaitWindow wait;

  Fixture() {
    fs::create_directories(program);
    for (const char* tool : {"extract", "expand"}) fs::create_symlink(BuildTool(tool), program + "/" + tool);
  }

  // With `cdFiles`, the CD-ROM access files are there too: the driver and the
  // RAM drive in a setup cabinet outside the BASE4 set, MSCDEX.EXE in the
  // boot-disk cabinet EBD.CAB.
  void MakeSetup(Maker maker, const std::string& leaveOut = "", bool lowerCaseCabs = false, bool cdFiles = true) {
    const std::string stage = dir / "stage";
    fs::create_directories(stage);
    std::string names;
    for (const char* n : kDosFiles) {
      const std::string name = n;
      if (name == "SCANDISK.EXE" || name == "FORMAT.COM" || name == "SMARTDRV.EXE") {
        testing::WriteText(setup + "/" + name, Content(name));
        continue;
      }
      if (name == leaveOut) continue;
      const std::string stored = name == "IO.SYS" ? "WINBOOT.SYS" : name;
      testing::WriteText(stage + "/" + stored, Content(name));
      names += " " + stored;
    }
    testing::WriteText(setup + "/EXTRACT.EXE", Content("EXTRACT.EXE"));
    testing::WriteText(stage + "/../other/MINI.TXT", "base5");
    const std::string base4 = setup + (lowerCaseCabs ? "/base4.cab" : "/BASE4.CAB");
    const std::string base5 = setup + (lowerCaseCabs ? "/base5.cab" : "/BASE5.CAB");
    std::string cmd;
    if (maker == Maker::Cabarc) {
      const std::string cabarc = BuildTool("cabarc");
      cmd = "cd '" + stage + "' && '" + cabarc + "' -m LZX:21 n '" + base4 + "'" + names +
            " >/dev/null && cd ../other && '" + cabarc + "' n '" + base5 + "' MINI.TXT >/dev/null";
    } else {
      cmd = "cd '" + stage + "' && gcab -c -z '" + base4 + "'" + names + " && cd ../other && gcab -c '" + base5 +
            "' MINI.TXT";
    }
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    if (!cdFiles) return;
    const std::string cdStage = dir / "cdstage";
    for (const DosCdFile& file : kDosCdFiles) testing::WriteText(cdStage + "/" + file.name, Content(file.name));
    const std::string drivers = setup + (lowerCaseCabs ? "/win98_74.cab" : "/WIN98_74.CAB");
    const std::string ebd = setup + (lowerCaseCabs ? "/ebd.cab" : "/EBD.CAB");
    if (maker == Maker::Cabarc) {
      const std::string cabarc = BuildTool("cabarc");
      cmd = "cd '" + cdStage + "' && '" + cabarc + "' -m LZX:21 n '" + drivers +
            "' OAKCDROM.SYS RAMDRIVE.SYS >/dev/null && '" + cabarc + "' n '" + ebd + "' MSCDEX.EXE >/dev/null";
    } else {
      cmd = "cd '" + cdStage + "' && gcab -c -z '" + drivers + "' OAKCDROM.SYS RAMDRIVE.SYS && gcab -c '" + ebd +
            "' MSCDEX.EXE";
    }
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }

  DosImport Import(const std::string& systemDir = "") {
    return DosImport(program, "", systemDir, prompter, wait, SystemLauncher());
  }

  void ExpectComplete() {
    for (const char* n : kDosFiles) {
      const std::string name = n;
      EXPECT_EQ(testing::ReadText(program + "/dos/" + name), Content(name)) << name;
    }
  }
  void ExpectCdFiles() {
    for (const DosCdFile& file : kDosCdFiles)
      EXPECT_EQ(testing::ReadText(program + "/dos/" + file.name), Content(file.name)) << file.name;
  }
};

void ExpectStatusLines(const MemoryWaitWindow& wait) {
  ASSERT_GE(wait.statuses.size(), 26u);
  EXPECT_EQ(wait.statuses[0], "Please wait ... Importing IO.SYS (1/25)");
  EXPECT_EQ(wait.statuses[24], "Please wait ... Importing XCOPY32.MOD (25/25)");
  EXPECT_EQ(wait.statuses[25], "Please wait ... Checking import process");
  EXPECT_FALSE(wait.visible);
}

TEST(DosImport, FromSetupCabinetsMadeByOurCabarcWithExtract) {
  Fixture f;
  f.MakeSetup(Maker::Cabarc);
  f.prompter.answers = {Answer::OK};
  f.prompter.paths = {f.setup + "/BASE5.CAB"};
  ASSERT_TRUE(f.Import().ImportDOS());
  ASSERT_EQ(f.prompter.messages.size(), 1u);
  EXPECT_EQ(f.prompter.messages[0].title, "DOS Files no found");
  EXPECT_EQ(f.prompter.messages[0].helpTopic, 1420);
  EXPECT_EQ(f.prompter.dialogTitles, (std::vector<std::string>{"Specify the Windows Setup files or FreeDOS Location"}));
  f.ExpectComplete();
  f.ExpectCdFiles();
  ExpectStatusLines(f.wait);
}

TEST(DosImport, FromGcabCabinetsWithLowerCaseNames) {
  // With extract (no expand.exe in the system folder) ...
  Fixture f;
  f.MakeSetup(Maker::Gcab, "", true);
  f.prompter.answers = {Answer::OK};
  f.prompter.paths = {f.setup + "/base5.cab"};
  ASSERT_TRUE(f.Import().ImportDOS());
  f.ExpectComplete();
  f.ExpectCdFiles();
  EXPECT_EQ(f.prompter.messages.size(), 1u);

  // ... and with expand, chosen when the system folder has expand.exe.
  Fixture g;
  g.MakeSetup(Maker::Gcab, "", true);
  testing::WriteText(g.dir / "sys/EXPAND.EXE", "stand-in");
  g.prompter.answers = {Answer::OK};
  g.prompter.paths = {g.setup + "/base5.cab"};
  ASSERT_TRUE(g.Import(g.dir / "sys/").ImportDOS());
  g.ExpectComplete();
  g.ExpectCdFiles();
  ExpectStatusLines(g.wait);
  EXPECT_TRUE(g.prompter.messages.size() == 1u);
}

TEST(DosImport, MissingFileEndsWithCriticalMessageNamingIt) {
  Fixture f;
  f.MakeSetup(Maker::Cabarc, "XCOPY32.MOD");
  f.prompter.answers = {Answer::OK};
  f.prompter.paths = {f.setup + "/BASE5.CAB"};
  EXPECT_FALSE(f.Import().ImportDOS());
  ASSERT_EQ(f.prompter.messages.size(), 2u);
  const Message& m = f.prompter.messages[1];
  // The extraction tool ran hidden; what it said is shown here, below the text.
  EXPECT_EQ(m.text.rfind("The file XCOPY32.MOD couldn't be extracted successfully\r\n\r\nextract: ", 0), 0u) << m.text;
  EXPECT_NE(m.text.find("XCOPY32.MOD is not in"), std::string::npos) << m.text;
  EXPECT_EQ(m.title, "Critical Error");
  EXPECT_EQ(m.icon, Icon::Critical);
  EXPECT_EQ(m.helpTopic, 1420);
  ExpectStatusLines(f.wait);
}

TEST(DosImport, ASourceWithoutTheCdFilesSaysSoAndGoesOn) {
  for (Maker maker : {Maker::Cabarc, Maker::Gcab}) {
    Fixture f;
    f.MakeSetup(maker, "", false, /*cdFiles=*/false);
    if (maker == Maker::Gcab) testing::WriteText(f.dir / "sys/EXPAND.EXE", "stand-in");
    f.prompter.answers = {Answer::OK};
    f.prompter.paths = {f.setup + "/BASE5.CAB"};
    ASSERT_TRUE(f.Import(maker == Maker::Gcab ? f.dir / "sys/" : "").ImportDOS());
    f.ExpectComplete();
    ASSERT_EQ(f.prompter.messages.size(), 2u);
    const Message& m = f.prompter.messages[1];
    EXPECT_EQ(m.title, "CD-ROM Files Not Found");
    EXPECT_EQ(m.icon, Icon::Exclamation);
    for (const DosCdFile& file : kDosCdFiles) {
      EXPECT_NE(m.text.find(std::string(file.name) + ", " + file.role), std::string::npos) << m.text;
      EXPECT_FALSE(fs::exists(f.program + "/dos/" + file.name)) << file.name;
    }
    EXPECT_NE(m.text.find("without CD-ROM access"), std::string::npos) << m.text;
    EXPECT_FALSE(f.wait.visible);
  }
}

TEST(DosImport, WaysOutOfTheQuestions) {
  // Cancel on the first question ends at once.
  Fixture f;
  f.MakeSetup(Maker::Cabarc);
  f.prompter.answers = {Answer::Cancel};
  EXPECT_FALSE(f.Import().ImportDOS());
  EXPECT_TRUE(f.prompter.dialogTitles.empty());
  EXPECT_TRUE(f.wait.statuses.empty());

  // A folder without WIN.COM or BASE5.CAB, and no FreeDOS either, is named
  // and the dialog comes back; cancelling it ends with a message instead of
  // asking forever.
  Fixture g;
  testing::WriteText(g.dir / "elsewhere/readme.txt", "x");
  g.prompter.answers = {Answer::OK};
  g.prompter.paths = {g.dir / "elsewhere/readme.txt"};
  EXPECT_FALSE(g.Import().ImportDOS());
  EXPECT_EQ(g.prompter.dialogTitles.size(), 2u);
  ASSERT_EQ(g.prompter.messages.size(), 3u);
  EXPECT_NE(g.prompter.messages[1].text.find("readme.txt is neither a Windows 98/98SE setup folder"),
            std::string::npos);
  EXPECT_NE(g.prompter.messages[2].text.find("cannot work without the DOS system files"), std::string::npos);
  EXPECT_TRUE(g.wait.statuses.empty());
}

TEST(DosImport, CompleteFolderAsksNothing) {
  Fixture f;
  for (const char* n : kDosFiles)
    testing::WriteText(f.program + "/dos/" + ToLowerForTest(n), testing::FakeDosFile(n, "x"));
  for (const DosCdFile& file : kDosCdFiles) testing::WriteText(f.program + "/dos/" + file.name, "x");
  EXPECT_TRUE(f.Import().ImportDOS());
  EXPECT_TRUE(f.prompter.messages.empty());
  EXPECT_TRUE(f.wait.statuses.empty());
  // Names found in another letter case get the listed spelling.
  EXPECT_TRUE(fs::exists(f.program + "/dos/IO.SYS"));
}

// A dos folder from an import that took only the 25 (made before the CD-ROM
// files were taken): the user is asked once to add them from the setup CD;
// the 25 stay as they are.
TEST(DosImport, AnOlderDosFolderGetsTheCdFilesFromTheSetupCd) {
  Fixture f;
  f.MakeSetup(Maker::Cabarc);
  for (const char* n : kDosFiles) testing::WriteText(f.program + "/dos/" + n, testing::FakeDosFile(n, "earlier"));
  f.prompter.answers = {Answer::OK};
  f.prompter.paths = {f.setup + "/EBD.CAB"};
  ASSERT_TRUE(f.Import().ImportDOS());
  ASSERT_EQ(f.prompter.messages.size(), 1u);
  EXPECT_EQ(f.prompter.messages[0].title, "CD-ROM Files Not Found");
  EXPECT_EQ(f.prompter.messages[0].buttons, Buttons::OKCancel);
  for (const DosCdFile& file : kDosCdFiles)
    EXPECT_NE(f.prompter.messages[0].text.find(std::string(file.name) + ", " + file.role), std::string::npos);
  f.ExpectCdFiles();
  EXPECT_EQ(testing::ReadText(f.program + "/dos/IO.SYS"), testing::FakeDosFile("IO.SYS", "earlier"));
  EXPECT_FALSE(fs::exists(f.program + "/dos/" + kDosNoCdRecord));
  // Complete now: the next start asks nothing.
  ASSERT_TRUE(f.Import().ImportDOS());
  EXPECT_EQ(f.prompter.messages.size(), 1u);
}

TEST(DosImport, GoingOnWithoutTheCdFilesIsAskedOnce) {
  // Cancel: recorded in the dos folder, naming what is missing; not asked again.
  Fixture f;
  for (const char* n : kDosFiles) testing::WriteText(f.program + "/dos/" + n, testing::FakeDosFile(n, "earlier"));
  f.prompter.answers = {Answer::Cancel};
  ASSERT_TRUE(f.Import().ImportDOS());
  ASSERT_EQ(f.prompter.messages.size(), 1u);
  EXPECT_TRUE(f.prompter.dialogTitles.empty());
  EXPECT_NE(testing::ReadText(f.program + "/dos/" + kDosNoCdRecord).find("MSCDEX.EXE, the CD-ROM extension"),
            std::string::npos);
  ASSERT_TRUE(f.Import().ImportDOS());
  EXPECT_EQ(f.prompter.messages.size(), 1u);

  // A setup CD without them: said, recorded, and not asked again either.
  Fixture g;
  g.MakeSetup(Maker::Cabarc, "", false, /*cdFiles=*/false);
  for (const char* n : kDosFiles) testing::WriteText(g.program + "/dos/" + n, testing::FakeDosFile(n, "earlier"));
  g.prompter.answers = {Answer::OK};
  g.prompter.paths = {g.setup + "/BASE5.CAB"};
  ASSERT_TRUE(g.Import().ImportDOS());
  ASSERT_EQ(g.prompter.messages.size(), 2u);
  EXPECT_NE(g.prompter.messages[1].text.find("not found in the Windows setup files"), std::string::npos);
  EXPECT_NE(testing::ReadText(g.program + "/dos/" + kDosNoCdRecord).find(g.setup), std::string::npos);
  ASSERT_TRUE(g.Import().ImportDOS());
  EXPECT_EQ(g.prompter.messages.size(), 2u);

  // The shipped stand-ins start no DOS: nothing to complete there.
  Fixture s;
  for (const char* n : kDosFiles)
    testing::WriteText(s.program + "/dos/" + n, std::string("\xEB\x3C") + kDosStandInMarker + " - " + n);
  ASSERT_TRUE(s.Import().ImportDOS());
  EXPECT_TRUE(s.prompter.messages.empty());

  // Without anyone to ask (a batch run), nothing is asked and nothing
  // recorded: the user is asked at the next start with a terminal or window.
  Fixture h;
  for (const char* n : kDosFiles) testing::WriteText(h.program + "/dos/" + n, testing::FakeDosFile(n, "earlier"));
  h.prompter.canAsk = false;
  ASSERT_TRUE(h.Import().ImportDOS());
  EXPECT_TRUE(h.prompter.messages.empty());
  EXPECT_FALSE(fs::exists(h.program + "/dos/" + kDosNoCdRecord));
}

TEST(DosImport, InstalledWindowsFolderCommandWins) {
  Fixture f;
  const std::string win = f.dir / "WINDOWS";
  for (const char* n : kDosFiles) {
    testing::WriteText(win + "/" + n, testing::FakeDosFile(n, "windows"));
    testing::WriteText(win + "/COMMAND/" + n, Content(n));
  }
  // The boot-disk files of an installed Windows 98: COMMAND\EBD wins too.
  testing::WriteText(win + "/RAMDRIVE.SYS", Content("RAMDRIVE.SYS"));
  testing::WriteText(win + "/COMMAND/MSCDEX.EXE", Content("MSCDEX.EXE"));
  testing::WriteText(win + "/COMMAND/OAKCDROM.SYS", "older");
  testing::WriteText(win + "/COMMAND/EBD/OAKCDROM.SYS", Content("OAKCDROM.SYS"));
  DosImport import(f.program, win + "/", "", f.prompter, f.wait, SystemLauncher());
  EXPECT_TRUE(import.ImportDOS());
  EXPECT_TRUE(f.prompter.messages.empty());  // no question: a Windows 9x folder
  f.ExpectComplete();
  f.ExpectCdFiles();
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

// What the start-up finds missing or unusable is named in a line of its own
// after the question's own text, once; a DOS file that is empty, or an IO.SYS
// that is no kernel the floppies start, counts as missing; a run that ends
// there leaves no dos folder it made.
TEST(DosImport, WhatIsMissingIsNamedAndNoEmptyFolderStays) {
  Fixture f;  // no dos folder at all; Cancel, as nobody answers
  DosImport none = f.Import();
  EXPECT_FALSE(none.ImportDOS());
  ASSERT_EQ(f.prompter.messages.size(), 1u);
  const std::string line = "Not found: " + f.program + "/dos (the folder of the DOS system files)";
  const std::string& text = f.prompter.messages[0].text;
  EXPECT_EQ(f.prompter.messages[0].title, "DOS Files no found");
  EXPECT_EQ(text.rfind("Your current windows installation doesn't contain the required\r\n", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - line.size() - 4), "\r\n\r\n" + line) << text;
  EXPECT_EQ(text.find(line), text.rfind(line)) << "named once";
  EXPECT_EQ(none.Missing(), line);
  EXPECT_FALSE(fs::exists(f.program + "/dos"));

  Fixture g;
  for (const char* n : kDosFiles) testing::WriteText(g.program + "/dos/" + n, testing::FakeDosFile(n, "real"));
  testing::WriteText(g.program + "/dos/IO.SYS", "");
  fs::remove(g.program + "/dos/COMMAND.COM");
  testing::WriteText(g.program + "/dos/MEM.EXE", "");
  DosImport some = g.Import();
  EXPECT_FALSE(some.ImportDOS());
  ASSERT_EQ(g.prompter.messages.size(), 1u);
  const std::string named =
      "Not usable in " + g.program + "/dos: IO.SYS (empty), COMMAND.COM (missing), MEM.EXE (empty)";
  EXPECT_NE(g.prompter.messages[0].text.find("\r\n\r\n" + named), std::string::npos) << g.prompter.messages[0].text;
  EXPECT_EQ(some.Missing(), named);
  EXPECT_TRUE(fs::exists(g.program + "/dos/HIMEM.SYS")) << "a folder with files stays";

  // An IO.SYS too small to be MS-DOS 7's, and no FreeDOS kernel or stand-in.
  Fixture h;
  for (const char* n : kDosFiles) testing::WriteText(h.program + "/dos/" + n, testing::FakeDosFile(n, "real"));
  testing::WriteText(h.program + "/dos/IO.SYS", "MZ short");
  EXPECT_FALSE(h.Import().CheckImport(false));
  DosImport small = h.Import();
  EXPECT_FALSE(small.ImportDOS());
  EXPECT_EQ(small.Missing(), "Not usable in " + h.program + "/dos: IO.SYS (no DOS kernel, 8 bytes)");
}

}  // namespace
}  // namespace kiv
