#include "cdtool/settings/page_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "testsupport/build_test_support.h"
#include "testsupport/fake_platform.h"
#include "testsupport/scripted_prompter.h"

namespace kiv {
namespace {

// The ISO page with a good destination: only the password can keep it.
std::vector<PageProblem> IsoPage(const BootPassword& password) {
  testing::ProgramFolder folder;
  SessionSettings settings;
  settings.Main.ISOLocation = folder.P("out/kivcd.iso");
  return CheckPage(7, settings, password, PageContext{folder.dir, "", false});
}

TEST(PageChecks, TheIsoPageTakesOnlyPasswordsTheKeyboardCanTypeAtBootTime) {
  for (const std::string& typeable :
       {std::string("rescue"), std::string("my \"pass\" $1 \\x 'q'"), std::string(127, '~')}) {
    EXPECT_TRUE(IsoPage(BootPassword{true, typeable, typeable}).empty()) << typeable;
  }
  const std::string umlauts = "p\xC3\xA4ssw\xC3\xB6rd";  // 8 letters, 10 bytes of UTF-8
  const std::vector<PageProblem> problems = IsoPage(BootPassword{true, umlauts, umlauts});
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text,
            "The password contains \"\xC3\xA4\", which cannot be typed at the CD's password prompt: before the CD "
            "starts, the keyboard types only the printable ASCII characters (A-Z, a-z, 0-9, blanks and "
            "punctuation)");
  EXPECT_EQ(problems[0].icon, Icon::Critical);
  // Too long for the loader's line.
  EXPECT_EQ(IsoPage(BootPassword{true, std::string(128, 'a'), std::string(128, 'a')}).size(), 1u);
  // Not protected: the boxes' text does not matter.
  EXPECT_TRUE(IsoPage(BootPassword{false, umlauts, umlauts}).empty());
  // Two different passwords: that is said first, and alone.
  const std::vector<PageProblem> mismatch = IsoPage(BootPassword{true, umlauts, "x"});
  ASSERT_EQ(mismatch.size(), 1u);
  EXPECT_EQ(mismatch[0].text, "The Passwords don't Match - Reenter them");
}

TEST(PageChecks, TheContentsPageNamesAPackageListTheRescueSystemCannotBeBuiltFrom) {
  testing::ProgramFolder folder;
  SessionSettings settings;
  const PageContext context{folder.dir, "", false};
  EXPECT_TRUE(CheckPage(1, settings, BootPassword{}, context).empty());

  testing::WriteText(folder.P("files/rescue/packages.txt"), "ntfs-3g\ntest disk\n");
  std::vector<PageProblem> problems = CheckPage(1, settings, BootPassword{}, context);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].text, "The Linux rescue system cannot be built from its package list:\n" +
                                  folder.P("files/rescue/packages.txt") +
                                  ", line 2: \"test disk\" is not a Debian package name (one name a line: "
                                  "lower-case letters, digits, '+', '-', '.')\nCorrect the list, or untick \"Linux "
                                  "rescue system (Debian)\"");
  // Without the rescue system the list does not matter.
  settings.Main.LinuxRescue = 0;
  EXPECT_TRUE(CheckPage(1, settings, BootPassword{}, context).empty());
}

TEST(PageChecks, AnIsoInsideTheKeptRescueSystemIsRefused) {
  testing::ProgramFolder folder;
  SessionSettings settings;
  settings.Main.ISOLocation = folder.P("rescue/kivcd.iso");
  const std::vector<PageProblem> problems = CheckPage(7, settings, BootPassword{}, PageContext{folder.dir, "", false});
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].text.find("the program's own folder \"" + folder.P("rescue") + "\""), std::string::npos)
      << problems[0].text;
}

// A source folder inside a folder the build empties would be gone before it
// is copied (the CD would lack it, the user's files with it): each page that
// takes a source names the folder and the work folder holding it.
TEST(PageChecks, ASourceFolderInsideAWorkFolderIsRefusedOnItsPage) {
  testing::ProgramFolder folder;
  const PageContext context{folder.dir, "", false};
  SessionSettings s;
  s.Main.AdvancedTools = 1;
  s.AdvTools.Add_ERDCmdr = 1;
  s.Locations.kivUtils = 1;
  s.Locations.AddFiles = 1;
  s.Win2K_Info.SourceDir = folder.P("kivcd/I386");
  s.Win9x_Info.SourceDir = folder.P("advtemp/win98");
  s.AdvTools.ERDCmdr_Dir = folder.P("rescue.new");
  s.Locations.kivUtils_Dir = folder.P("kivcd/kiv");
  s.Locations.AddFiles_Dir = folder.P("Temp/extra");
  for (const char* made : {"kivcd/I386", "advtemp/win98", "rescue.new", "kivcd/kiv", "Temp/extra"})
    testing::WriteText(folder.P(std::string(made) + "/mine.txt"), "the user's file");
  const struct {
    int page;
    std::string text;
  } expected[] = {
      {2, "The Windows 2000/XP setup folder \"" + folder.P("kivcd/I386") + "\" is inside the work folder \"" +
              folder.P("kivcd") + "\", which every build empties or replaces !\nSelect another Directory"},
      {4, "The Windows 98/Me setup folder \"" + folder.P("advtemp/win98") + "\" is inside the work folder \"" +
              folder.P("advtemp") + "\""},
      {5, "The ERD Commander folder \"" + folder.P("rescue.new") + "\" is inside the work folder \""},
      {6, "The kiv Utilities folder \"" + folder.P("kivcd/kiv") + "\" is inside the work folder \"" +
              folder.P("kivcd") + "\""},
  };
  for (const auto& e : expected) {
    const std::vector<PageProblem> problems = CheckPage(e.page, s, BootPassword{}, context);
    ASSERT_FALSE(problems.empty()) << e.page;
    EXPECT_EQ(problems[0].text.find(e.text), 0u) << problems[0].text;
  }
  // Both folders of page 6 are named; a folder beside the work folder is not.
  const std::vector<PageProblem> six = CheckPage(6, s, BootPassword{}, context);
  ASSERT_EQ(six.size(), 2u);
  EXPECT_EQ(six[1].text.find("The Additional files folder \"" + folder.P("Temp/extra") + "\" is inside"), 0u);
  s.Locations.kivUtils_Dir = folder.P("kivcd-utilities");
  s.Locations.AddFiles_Dir = folder.P("kivcd-utilities");
  testing::WriteText(folder.P("kivcd-utilities/tool.exe"), "x");
  EXPECT_TRUE(CheckPage(6, s, BootPassword{}, context).empty());
}

// The images bootsmith leaves in the program folder and the mastering
// tool's list are rewritten by every build: an ISO of such a name would be
// destroyed by the next one.
TEST(PageChecks, AnIsoNamedLikeAFileTheBuildWritesInTheProgramFolderIsRefused) {
  testing::ProgramFolder folder;
  SessionSettings s;
  for (const char* name : {"kivstart.img", "KIVEMM.IMG", "kivwin.img", "kivlorva.img", "kivnet.img", "mkisofs.sort",
                           "makecd.sh", "kivcd-build.log"}) {
    s.Main.ISOLocation = folder.P(name);
    const std::vector<PageProblem> problems = CheckPage(7, s, BootPassword{}, PageContext{folder.dir, "", false});
    ASSERT_EQ(problems.size(), 1u) << name;
    EXPECT_EQ(problems[0].text.find("The ISO file \"" + folder.P(name) + "\" would overwrite "), 0u)
        << problems[0].text;
  }
  // The same names elsewhere are the user's to choose.
  s.Main.ISOLocation = folder.P("out/kivstart.img");
  EXPECT_TRUE(CheckPage(7, s, BootPassword{}, PageContext{folder.dir, "", false}).empty());
}

// Every file a whole build writes at the top of the program folder (lists
// and dates for mapped sources, reproducible order, duplicates linked, the
// session not cleaned) is refused as the ISO's name.
TEST(PageChecks, NoFileABuildWritesInTheProgramFolderCanBeTheIso) {
  namespace fs = std::filesystem;
  testing::ProgramFolder folder;
  testing::WriteText(folder.P("utils/tool.exe"), "a tool newer than the build's date");
  auto topFiles = [&folder] {
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder.dir))
      if (!e.is_directory()) names.insert(e.path().filename().string());
    return names;
  };
  const std::set<std::string> before = topFiles();
  {
    ScriptedPrompter prompter;
    testing::RecordingEvents view;
    testing::FakeLauncher tools;
    testing::AddFakeCdTools(tools, folder.dir);
    FakePlatform platform;
    BuildRun run{folder.dir, prompter, view, {tools, platform}};
    run.settings = testing::BootDisksOnly(folder);
    run.settings.Main.ISOLocation = folder.P("out/kivcd.iso");
    run.settings.Main.OptimizeISO = 1;
    run.settings.Locations.kivUtils = 1;
    run.settings.Locations.kivUtils_Dir = folder.P("utils");
    run.environment.Set("SOURCE_DATE_EPOCH", "1700000000");
    run.Run();
    ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  }
  std::vector<std::string> written;
  for (const std::string& name : topFiles())
    if (!before.count(name)) written.push_back(name);
  for (const char* name : {"mkisofs.graft", "mkisofs.dates", "mkisofs.sort", "makecd.sh", "kivcd-build.log"})
    EXPECT_NE(std::find(written.begin(), written.end(), name), written.end()) << name << " was not written";
  SessionSettings s;
  for (const std::string& name : written) {
    s.Main.ISOLocation = folder.P(name);
    const std::vector<PageProblem> problems = CheckPage(7, s, BootPassword{}, PageContext{folder.dir, "", false});
    ASSERT_EQ(problems.size(), 1u) << name;
    EXPECT_EQ(problems[0].text.find("The ISO file \"" + folder.P(name) + "\" would overwrite "), 0u)
        << problems[0].text;
  }
}

}  // namespace
}  // namespace kiv
