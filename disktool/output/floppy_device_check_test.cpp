// Floppy output on a machine without the floppy drive it names.
#include "disktool/output/floppy_device_check.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "disktool/engine/floppy_builder.h"
#include "disktool/output/floppy_drive.h"
#include "disktool/wizard/wizard_flow.h"
#include "testsupport/wizard_test_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

TEST(FloppyDeviceCheck, WhatCountsAsAFloppy) {
  ProgramFolder pf;
  std::string why;
  EXPECT_FALSE(FloppyDeviceFound(pf.Path("no/such/device"), &why));
  EXPECT_EQ(why, "No such file or directory");
  EXPECT_FALSE(FloppyDeviceFound(pf.root, &why));
  EXPECT_EQ(why, "it is a folder");
  EXPECT_FALSE(FloppyDeviceFound("/dev/null", &why));  // a device, but no disk
  EXPECT_EQ(why, "it is neither a disk device nor a file");
  EXPECT_FALSE(FloppyDeviceFound("", &why));
  pf.Write("floppy.img", std::string(1474560, '\0'));  // an image standing in for the disk
  EXPECT_TRUE(FloppyDeviceFound(pf.Path("floppy.img"), &why));

  const std::string text = NoFloppyDriveText("/dev/fd0", "No such file or directory");
  EXPECT_EQ(text.rfind("No floppy drive was found at /dev/fd0 (No such file or directory).", 0), 0u) << text;
  EXPECT_NE(text.find("KIV_FLOPPY_DEVICE"), std::string::npos) << text;
}

// The wizard walked to the destination page with the floppy chosen.
struct FloppyWalk {
  ProgramFolder pf;
  std::unique_ptr<Wizard> w;
  std::unique_ptr<WizardFlow> flow;
  // `device`: the floppy device the program was started with
  // (KIV_FLOPPY_DEVICE), a file of the program folder; none when empty.
  explicit FloppyWalk(const std::string& device = "") {
    test::SeedWizardDisks(pf);
    Environment environment;
    if (!device.empty()) environment.Set("KIV_FLOPPY_DEVICE", pf.Path(device));
    w = std::make_unique<Wizard>(pf, environment);
    w->form.InitApp();
    flow = std::make_unique<WizardFlow>(w->form);
    flow->Form_Load();
    flow->CmdNext_Click();
    w->form.LV_Disk[1].Selected = true;  // the plain disk
    while (w->form.CmdNext.Visible) flow->CmdNext_Click();
    w->form.OptFloppy_Click();
  }
};

TEST(FloppyDeviceCheck, NoDriveIsSaidBeforeAnyFormatQuestion) {
  FloppyWalk walk;
  const std::string device = walk.pf.Path("dev/fd0");
  walk.w->builder.Output().SetFloppyDrive(MakeFat12FloppyDrive(device, std::nullopt, walk.w->builder.platform()));
  walk.w->prompter.answers = {Answer::Yes};  // would say yes to a format question
  walk.flow->CmdFinish_Click();
  // ...but none is asked: the one message is the missing drive.
  ASSERT_EQ(walk.w->prompter.messages.size(), 1u);
  const Message& m = walk.w->prompter.messages[0];
  EXPECT_EQ(m.title, "No Floppy Drive");
  EXPECT_EQ(m.icon, Icon::Critical);
  EXPECT_NE(m.text.find("No floppy drive was found at " + device), std::string::npos) << m.text;
  EXPECT_NE(m.text.find("KIV_FLOPPY_DEVICE"), std::string::npos) << m.text;
  // The message says to choose an image instead: the output page stays.
  EXPECT_EQ(walk.w->form.CurrentPage, 5);
  EXPECT_FALSE(walk.w->form.Cancelled());
  EXPECT_FALSE(walk.pf.Exists("dev"));
}

TEST(FloppyDeviceCheck, KivFloppyDeviceNamesAnotherDrive) {
  FloppyWalk walk("usbfloppy.img");
  const std::string device = walk.pf.Path("usbfloppy.img");
  walk.pf.Write("usbfloppy.img", std::string(1474560, '\xF6'));
  walk.w->prompter.answers = {Answer::Yes};
  walk.flow->CmdFinish_Click();
  ASSERT_FALSE(walk.w->prompter.messages.empty());
  EXPECT_EQ(walk.w->prompter.messages[0].title, "Format Floppy Disk");
  EXPECT_NE(walk.w->prompter.messages[0].text.find(device), std::string::npos);
  EXPECT_EQ(walk.w->form.LblFinish, "Operation completed successfully");
  EXPECT_EQ(walk.pf.Read("usbfloppy.img").substr(54, 5), "FAT12");
}

}  // namespace
}  // namespace kiv
