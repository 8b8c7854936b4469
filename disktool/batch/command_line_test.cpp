#include "disktool/batch/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/prompter.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

struct Parsed {
  BatchOptions options;
  std::vector<std::string> texts, titles;
};

Parsed Parse(const std::string& raw, const std::string& folder = "/nonexistent") {
  ScriptedPrompter prompter;
  Parsed p;
  p.options = ParseCommandLine(raw, folder, prompter);
  for (const Message& m : prompter.messages) {
    p.texts.push_back(m.text);
    p.titles.push_back(m.title);
    EXPECT_EQ(m.icon, Icon::None);
    EXPECT_EQ(m.buttons, Buttons::OK);
  }
  return p;
}

using Texts = std::vector<std::string>;

TEST(CommandLine, SwitchWithoutItsValueAtTheEnd) {
  Parsed t = Parse("-t");
  EXPECT_EQ(t.texts, (Texts{"Image type not specified", "Invalid Image type"}));
  EXPECT_TRUE(t.options.HadError);
  EXPECT_TRUE(t.options.DiskName.empty());

  // The OS switch shows its second message under the program's own title,
  // and nothing is built: a switch without its value is an error.
  Parsed o = Parse("-o");
  EXPECT_EQ(o.texts, (Texts{"OS not specified", "Invalid OS"}));
  EXPECT_EQ(o.titles, (Texts{"Command Line options Error", "bootsmith"}));
  EXPECT_TRUE(o.options.HadError);
  Parsed after = Parse("-t 144 kivsoftware -o");
  EXPECT_TRUE(after.options.HadError);
  EXPECT_FALSE(Parse("-o DOS7 -t 144 kivsoftware").options.HadError);

  // Switches after the disk name are still switches until a bare word
  // starts the target.
  Parsed p = Parse("kivsoftware -plugin");
  EXPECT_EQ(p.texts, (Texts{"Plugin not specified"}));
  EXPECT_EQ(p.options.Target, "");
  Parsed q = Parse("-plugin");
  EXPECT_EQ(q.texts, (Texts{"Plugin not specified"}));
  EXPECT_TRUE(q.options.HadError);
}

TEST(CommandLine, ImageTypeValues) {
  Parsed bad = Parse("-t 360 kivsoftware");
  EXPECT_EQ(bad.texts, (Texts{"Invalid Image type: 360"}));
  EXPECT_EQ(bad.options.ImageType, 0);
  EXPECT_TRUE(bad.options.HadError);
  EXPECT_EQ(bad.options.DiskName, "kivsoftware");

  Parsed upper = Parse("-T 288 custom");  // switch names in any case
  EXPECT_TRUE(upper.texts.empty());
  EXPECT_EQ(upper.options.ImageType, 2);
  EXPECT_EQ(upper.options.DiskName, "custom");
  EXPECT_FALSE(upper.options.HadError);

  // A switch-like value is consumed without being examined as a switch.
  Parsed sw = Parse("/t -sel netaccess");
  EXPECT_EQ(sw.texts, (Texts{"Invalid Image type"}));
  EXPECT_FALSE(sw.options.SelectDrivers);
  EXPECT_EQ(sw.options.DiskName, "netaccess");

  // A later bad value keeps the earlier good one.
  Parsed keep = Parse("-t 144 -t 3 custom");
  EXPECT_EQ(keep.options.ImageType, 1);
}

TEST(CommandLine, TargetIsTheRestOfTheLine) {
  EXPECT_EQ(Parse("kivsoftware out\\my disk.img").options.Target, "out\\my disk.img");
  Parsed late = Parse("kivsoftware C:\\x.img -t 288");
  EXPECT_EQ(late.options.Target, "C:\\x.img -t 288");
  EXPECT_EQ(late.options.ImageType, 0);
  EXPECT_TRUE(late.texts.empty());
  EXPECT_EQ(Parse("kivsoftware  a.img").options.Target, "a.img");
  EXPECT_EQ(Parse("-sel -t 288 netaccess").options.Target, "");
  // The disk name's own place counts, not the first place its text occurs.
  Parsed digits = Parse("-t 144 1 x.img");
  EXPECT_EQ(digits.options.DiskName, "1");
  EXPECT_EQ(digits.options.Target, "x.img");
  // Switch values and names keep their case.
  EXPECT_EQ(Parse("-t 144 KivSoftware").options.DiskName, "KivSoftware");
}

// After the disk name a token that begins with "/" and is none of the
// switches is a full path: the target.
TEST(CommandLine, FullPathTargets) {
  for (const std::string target : {"/tmp/x.img", "/root/disks/my disk.img", "/sel.img", "/t.img"}) {
    SCOPED_TRACE(target);
    Parsed p = Parse("kivsoftware " + target);
    EXPECT_TRUE(p.texts.empty());
    EXPECT_FALSE(p.options.HadError);
    EXPECT_EQ(p.options.DiskName, "kivsoftware");
    EXPECT_EQ(p.options.Target, target);
  }
  Parsed withSwitches = Parse("-t 288 /sel netaccess /home/u/net.img -t 144");
  EXPECT_TRUE(withSwitches.options.SelectDrivers);
  EXPECT_EQ(withSwitches.options.ImageType, 2);
  EXPECT_EQ(withSwitches.options.Target, "/home/u/net.img -t 144");
  EXPECT_EQ(Parse("kivsoftware disks/x.img").options.Target, "disks/x.img");
  // A known switch after the disk name is still a switch (and, as ever, part
  // of the rest of the line); an unknown "/" word before the disk name is
  // still rejected (a disk name is never a path).
  Parsed known = Parse("kivsoftware /k x.img");
  EXPECT_TRUE(known.options.UseKeyFile);
  EXPECT_EQ(known.options.Target, "/k x.img");
  Parsed before = Parse("/tmp/x.img kivsoftware");
  ASSERT_EQ(before.texts.size(), 1u);
  EXPECT_EQ(before.texts[0], "Invalid Argument : /tmp/x.img\r\n\r\n" + UsageText());
  EXPECT_TRUE(before.options.HadError);
}

TEST(CommandLine, FlagsAndUnknownSwitches) {
  Parsed f = Parse("-k /d -SEL -i -os DOS7 custom");
  EXPECT_TRUE(f.options.UseKeyFile);
  EXPECT_TRUE(f.options.DFlag);
  EXPECT_TRUE(f.options.SelectDrivers);
  EXPECT_TRUE(f.options.IFlag);
  EXPECT_EQ(f.options.OS, "DOS7");
  EXPECT_TRUE(f.texts.empty());

  Parsed u = Parse("-x custom");
  ASSERT_EQ(u.texts.size(), 1u);
  EXPECT_EQ(u.texts[0], "Invalid Argument : -x\r\n\r\n" + UsageText());
  EXPECT_TRUE(u.options.HadError);
  EXPECT_EQ(u.options.DiskName, "custom");
}

TEST(CommandLine, PluginMustBeAFolderOfPlugins) {
  TestTempDir dir;
  std::filesystem::create_directories(dir.Path() + "/plugins/kivmax");
  Parsed ok = Parse("-plugin kivmax custom", dir.Path());
  EXPECT_TRUE(ok.texts.empty());
  EXPECT_EQ(ok.options.Plugin, "kivmax");

  Parsed missing = Parse("-p nosuch custom", dir.Path());
  EXPECT_EQ(missing.texts, (Texts{"The Plugin specified was not found in the PlugIns folder."}));
  EXPECT_EQ(missing.titles, (Texts{"Invalid Plugin Name"}));
  EXPECT_TRUE(missing.options.Plugin.empty());
  EXPECT_EQ(missing.options.DiskName, "custom");

  // A path is not a plugin name, even when it leads to a folder.
  std::filesystem::create_directories(dir.Path() + "/outside");
  for (const char* name : {"../outside", "..", "kivmax/../../outside"}) {
    Parsed path = Parse(std::string("-p ") + name + " custom", dir.Path());
    EXPECT_EQ(path.titles, (Texts{"Invalid Plugin Name"})) << name;
    EXPECT_TRUE(path.options.Plugin.empty());
  }

  // A switch where the value should be is consumed with the message.
  Parsed sw = Parse("-p -sel custom", dir.Path());
  EXPECT_EQ(sw.texts, (Texts{"Plugin not specified"}));
  EXPECT_FALSE(sw.options.SelectDrivers);
}

TEST(CommandLine, HelpAndVersionAreTextForStandardOutput) {
  for (const char* help : {"--help", "-h", "-?"}) {
    const auto text = InfoSwitchText({help}, "1.2");
    ASSERT_TRUE(text) << help;
    EXPECT_EQ(text->rfind("Usage: bootsmith [-t type] [-plugin name] [-sel] [-keyfile] name [target]\n", 0), 0u);
    EXPECT_NE(text->find("files/disklist.ini"), std::string::npos);
    EXPECT_EQ(text->find("Registry"), std::string::npos);
    // What runs: the wizard is a window, the console only answers questions.
    EXPECT_NE(text->find("the wizard; it needs a display"), std::string::npos);
    EXPECT_EQ(text->find("console prompt"), std::string::npos);
  }
  EXPECT_EQ(InfoSwitchText({"--version"}, "1.2"), "bootsmith 1.2 (Kiv rescue CD toolkit)\n");
  // Anything else is the command line's: its own messages stay.
  EXPECT_FALSE(InfoSwitchText({"-x"}, "1.2"));
  EXPECT_FALSE(InfoSwitchText({"--help", "kivsoftware"}, "1.2"));
  EXPECT_FALSE(InfoSwitchText({}, "1.2"));
}

TEST(CommandLine, UsageTextAndRawLine) {
  const std::string usage = UsageText();
  EXPECT_EQ(usage.rfind("Usage: bootsmith [-t type] [-plugin name] [-sel] [-keyfile] name [target]\r\n\r\nname : ", 0),
            0u);
  EXPECT_EQ(
      usage.substr(usage.size() - 103),
      "-keyfile : Load the Windows 9x product key from the keyfile.txt file instead of the Windows Registry.\r\n");
  EXPECT_EQ(RawCommandLine({"-t", "144", "kivsoftware", "out/my disk.img"}), "-t 144 kivsoftware out/my disk.img");
  EXPECT_EQ(RawCommandLine({"kivsoftware", "", "a.img"}), "kivsoftware  a.img");
  EXPECT_EQ(RawCommandLine({}), "");
}

TEST(CommandLine, TheStartingWindowsFrameGoesFirstAndIsTakenOffBeforeTheGrammar) {
  // As the CD builder starts a network disk whose drivers the user picks.
  std::vector<std::string> args{"--over-window=-40,30,660,470", "-sel", "-t", "288", "netaccess"};
  EXPECT_EQ(TakeOverWindow(args), (ScreenRect{-40, 30, 660, 470}));
  EXPECT_EQ(args, (std::vector<std::string>{"-sel", "-t", "288", "netaccess"}));
  Parsed rest = Parse(RawCommandLine(args));
  EXPECT_TRUE(rest.texts.empty());
  EXPECT_EQ(rest.options.DiskName, "netaccess");
  EXPECT_EQ(rest.options.ImageType, 2);
  EXPECT_TRUE(rest.options.SelectDrivers);

  // Anywhere but first, or with a value that is no frame, it is left to the
  // grammar, which rejects it as it rejects any unknown switch.
  for (std::vector<std::string> left : {std::vector<std::string>{"custom", "--over-window=1,2,3,4"},
                                        std::vector<std::string>{"--over-window=big", "custom"}}) {
    const std::vector<std::string> before = left;
    EXPECT_FALSE(TakeOverWindow(left));
    EXPECT_EQ(left, before);
    Parsed rejected = Parse(RawCommandLine(left));
    EXPECT_TRUE(rejected.options.HadError);
    ASSERT_EQ(rejected.texts.size(), 1u);
    EXPECT_EQ(rejected.texts[0].rfind("Invalid Argument : --over-window=", 0), 0u) << rejected.texts[0];
  }
}

}  // namespace
}  // namespace kiv
