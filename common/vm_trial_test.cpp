#include "common/vm_trial.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/environment.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

using Args = std::vector<std::string>;
using testing::FakeLauncher;

TEST(VmTrial, EachMediumBootsTheImageAsItsOwnDrive) {
  const std::string image = "/tmp/my disk, 2.iso";
  Args cd = QemuArguments("/usr/bin/qemu-system-i386", VmMedium::Cd, image);
  EXPECT_EQ(cd, (Args{"/usr/bin/qemu-system-i386", "-name", "Kiv Rescue CD trial", "-m", "256", "-drive",
                      "file=/tmp/my disk,, 2.iso,format=raw,media=cdrom,if=ide,index=2,readonly=on", "-boot", "d"}));
  Args usb = QemuArguments("q", VmMedium::UsbDisk, "a.iso");
  EXPECT_EQ(Args(usb.begin() + 5, usb.end()),
            (Args{"-usb", "-drive", "file=a.iso,format=raw,if=none,id=stick,snapshot=on", "-device",
                  "usb-storage,drive=stick,bootindex=0"}));
  Args fd = QemuArguments("q", VmMedium::Floppy, "k.img");
  EXPECT_EQ(Args(fd.begin() + 5, fd.end()),
            (Args{"-drive", "file=k.img,format=raw,if=floppy,index=0,snapshot=on", "-boot", "a"}));
}

// On the terminal: no window, COM1 on the terminal with QEMU's Ctrl-A keys.
// The CD speaks on COM1 itself; a floppy's DOS writes to the screen only, so
// there the BIOS copies the screen to COM1 as well.
TEST(VmTrial, OnTheTerminalTheSerialConsoleTakesTheWindowsPlace) {
  const Args serial = {"-display", "none", "-serial", "mon:stdio"};
  for (VmMedium medium : {VmMedium::Cd, VmMedium::UsbDisk, VmMedium::Floppy}) {
    const Args window = QemuArguments("q", medium, "x.img", VmView::Window);
    Args terminal = QemuArguments("q", medium, "x.img", VmView::Terminal);
    ASSERT_GT(terminal.size(), window.size());
    EXPECT_EQ(Args(terminal.begin(), terminal.begin() + static_cast<long>(window.size())), window);
    Args added(terminal.begin() + static_cast<long>(window.size()), terminal.end());
    Args expected = serial;
    if (medium == VmMedium::Floppy) expected.insert(expected.end(), {"-machine", "graphics=off"});
    EXPECT_EQ(added, expected) << static_cast<int>(medium);
  }
}

class TryCommandTest : public ::testing::Test {
 protected:
  TestTempDir dir;
  std::string image = dir / "kiv cd.iso";
  FakeLauncher launcher;
  int qemuExit = 0;
  std::vector<std::string> qemuSays;
  std::FILE* err = std::tmpfile();
  const Environment withDisplay{{{"DISPLAY", ":0"}}};
  const Environment withoutDisplay{{{"DISPLAY", ""}, {"HOME", "/root"}}};

  void SetUp() override {
    std::ofstream(image) << "iso";
    launcher.Add(kQemuProgram, [this](const testing::FakeCommand&) { return testing::Exits(qemuExit, qemuSays); });
  }
  void TearDown() override { std::fclose(err); }
  std::string Qemu() const { return std::string(FakeLauncher::kFakeBin) + kQemuProgram; }
  int Try(const Args& args, const Environment& environment, VmMedium medium = VmMedium::Cd, bool allowUsb = true,
          const std::string& defaultImage = "") {
    return RunTryCommand(args, defaultImage, medium, allowUsb, environment, launcher, err);
  }
  // What was written to `err` since the last call.
  std::string ErrText() {
    std::fflush(err);
    std::fseek(err, errRead, SEEK_SET);
    std::string s(8192, '\0');
    s.resize(std::fread(s.data(), 1, s.size(), err));
    errRead += static_cast<long>(s.size());
    std::fseek(err, 0, SEEK_END);
    return s;
  }
  long errRead = 0;
};

TEST_F(TryCommandTest, WithADisplayQemuOpensItsWindowAndIsWaitedFor) {
  EXPECT_EQ(Try({}, withDisplay, VmMedium::Cd, true, image), 0);
  EXPECT_EQ(Try({"--usb", image}, withDisplay), 0);
  EXPECT_EQ(Try({image}, withDisplay, VmMedium::Floppy, false), 0);
  ASSERT_EQ(launcher.commands_ran.size(), 3u);
  EXPECT_EQ(launcher.commands_ran[0].argv, QemuArguments(Qemu(), VmMedium::Cd, image));
  EXPECT_EQ(launcher.commands_ran[1].argv, QemuArguments(Qemu(), VmMedium::UsbDisk, image));
  EXPECT_EQ(launcher.commands_ran[2].argv, QemuArguments(Qemu(), VmMedium::Floppy, image));
  for (const auto& command : launcher.commands_ran) EXPECT_FALSE(command.onTerminal);
  EXPECT_EQ(ErrText(), "");
}

TEST_F(TryCommandTest, HeadlessOrWithoutADisplayQemuRunsOnTheTerminal) {
  // Asked for, in any place among the words.
  EXPECT_EQ(Try({"--headless", image}, withDisplay), 0);
  EXPECT_EQ(Try({"--usb", image, "--headless"}, withDisplay), 0);
  EXPECT_EQ(Try({"--headless", image}, withDisplay, VmMedium::Floppy, false), 0);
  std::string said = ErrText();
  EXPECT_NE(said.find("QEMU runs on this terminal, without a window"), std::string::npos) << said;
  EXPECT_NE(said.find("Ctrl-A X ends it"), std::string::npos) << said;
  EXPECT_EQ(said.find("No display"), std::string::npos) << said;
  // Without a display (DISPLAY empty counts as none) it needs no asking,
  // and says why.
  EXPECT_EQ(Try({}, withoutDisplay, VmMedium::Cd, true, image), 0);
  EXPECT_EQ(Try({image}, Environment{}, VmMedium::Floppy, false), 0);
  said = ErrText();
  EXPECT_NE(said.find("No display (neither DISPLAY nor WAYLAND_DISPLAY is set)"), std::string::npos) << said;
  EXPECT_NE(said.find("the machine's first serial port (COM1) is here"), std::string::npos) << said;
  EXPECT_NE(said.find("the machine's screen is copied here"), std::string::npos) << said;

  const std::vector<std::pair<VmMedium, size_t>> expected = {
      {VmMedium::Cd, 0}, {VmMedium::UsbDisk, 1}, {VmMedium::Floppy, 2}, {VmMedium::Cd, 3}, {VmMedium::Floppy, 4}};
  ASSERT_EQ(launcher.commands_ran.size(), expected.size());
  for (const auto& [medium, i] : expected) {
    EXPECT_TRUE(launcher.commands_ran[i].onTerminal) << i;
    EXPECT_EQ(launcher.commands_ran[i].argv, QemuArguments(Qemu(), medium, image, VmView::Terminal)) << i;
  }
  // A Wayland session is a display too.
  EXPECT_EQ(Try({image}, Environment{{{"WAYLAND_DISPLAY", "wayland-0"}}}), 0);
  EXPECT_FALSE(launcher.commands_ran.back().onTerminal);
}

// QEMU that ends with an error started nothing worth a success: the window
// that could not open (what QEMU said is shown, and the way without one),
// the image it could not read on the terminal.
TEST_F(TryCommandTest, QemuEndingWithAnErrorIsAFailure) {
  qemuExit = 1;
  qemuSays = {"gtk initialization failed\n"};
  EXPECT_EQ(Try({image}, withDisplay), 1);
  std::string said = ErrText();
  EXPECT_NE(said.find("gtk initialization failed\n" + Qemu() + " ended with an error (what it said is above); "),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("--try --headless runs it on this terminal"), std::string::npos) << said;

  qemuSays = {"could not read the image\n"};
  EXPECT_EQ(Try({"--headless", image}, withDisplay), 1);
  EXPECT_EQ(launcher.terminal, "could not read the image\n");
  said = ErrText();
  EXPECT_EQ(said.find("could not read"), std::string::npos) << said;  // written to the terminal, not twice
  EXPECT_NE(said.rfind(Qemu() + " ended with an error (what it said is above)\n"), std::string::npos) << said;
  EXPECT_EQ(launcher.commands_ran.size(), 2u);
}

TEST_F(TryCommandTest, BadWordsAndMissingThingsAreNamed) {
  struct Case {
    Args args;
    VmMedium medium;
    bool allowUsb;
    int code;
    std::string says;
  };
  const std::string none = dir / "none.img";
  const std::vector<Case> cases = {
      {{}, VmMedium::Floppy, false, 2, "--try needs the image to start"},
      {{"--headless"}, VmMedium::Floppy, false, 2, "--try needs the image to start"},
      {{none}, VmMedium::Floppy, false, 1, none + ": no such image file"},
      {{image, image}, VmMedium::Cd, true, 2, "--try takes one image, not \"" + image + "\""},
      {{"--usb", image}, VmMedium::Floppy, false, 2, "--try knows no option \"--usb\" (--headless is its option)"},
      {{"--hedless", image}, VmMedium::Cd, true, 2, "--try knows no option \"--hedless\" (--usb and --headless"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Try(c.args, withDisplay, c.medium, c.allowUsb), c.code) << c.says;
    EXPECT_NE(ErrText().find(c.says), std::string::npos) << c.says;
  }
  // Not installed: what to install, on the terminal as in a window.
  launcher.Remove(kQemuProgram);
  EXPECT_EQ(Try({image}, withDisplay), 1);
  EXPECT_EQ(Try({"--headless", image}, withDisplay), 1);
  EXPECT_NE(ErrText().find("install the package qemu-system-x86"), std::string::npos);
  EXPECT_TRUE(launcher.commands_ran.empty());
}

// The finish pages' button starts the same list, detached.
TEST(VmTrial, FinishPageButtonStartsQemuOrSaysWhatIsMissing) {
  TestTempDir dir;
  const std::string image = dir / "kiv cd.iso";
  std::ofstream(image) << "iso";
  const std::string qemu = "/opt/qemu/bin/qemu-system-i386";
  std::string installed = qemu;  // what the look-up finds; "" = not installed
  std::vector<Args> started;
  const VmLauncher vm{[&] { return installed; },
                      [&](const Args& a) {
                        started.push_back(a);
                        return true;
                      }};
  EXPECT_TRUE(CanTryInVm(image, vm));
  EXPECT_FALSE(CanTryInVm(dir / "none.iso", vm));
  EXPECT_FALSE(CanTryInVm("", vm));
  EXPECT_TRUE(TryInVm(image, VmMedium::Floppy, vm));
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0], QemuArguments(qemu, VmMedium::Floppy, image));

  installed.clear();
  EXPECT_FALSE(CanTryInVm(image, vm));
  EXPECT_FALSE(TryInVm(image, VmMedium::Cd, vm));
  EXPECT_EQ(started.size(), 1u);
  const VmTrialOffer offer = TryInVmOffer(image, vm);
  EXPECT_TRUE(offer.shown);
  EXPECT_FALSE(offer.enabled);
  EXPECT_NE(offer.note.find("install the package qemu-system-x86"), std::string::npos);
}

}  // namespace
}  // namespace kiv
