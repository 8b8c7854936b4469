#include "cdtool/wizard/usb_write_model.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cdtool/usb/hybrid_iso.h"
#include "common/platform.h"
#include "common/prompter.h"
#include "testsupport/run_program.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {
namespace fs = std::filesystem;

using testing::ReadText;
using testing::WriteText;

// A sysfs, a mount table and a /dev of the test's own: the "disks" are plain
// files that the sysfs describes.
struct Devices {
  TestTempDir dir;
  UsbDeviceSetting where{dir / "sys", dir / "mounts", dir / "dev"};

  std::string Add(const std::string& name, bool removable, uint64_t sectors, const std::string& type = "0") {
    const std::string entry = where.sysRoot + "/class/block/" + name;
    WriteText(entry + "/removable", removable ? "1\n" : "0\n");
    WriteText(entry + "/size", std::to_string(sectors) + "\n");
    WriteText(entry + "/device/vendor", "KIV\n");
    WriteText(entry + "/device/model", "Stick " + name + "\n");
    WriteText(entry + "/device/type", type + "\n");
    std::string dev = where.devDir + "/" + name;
    WriteText(dev, std::string(sectors * 512, '\xEE'));
    return dev;
  }
  void AddPartition(const std::string& disk, const std::string& name) {
    Add(name, true, 100);
    WriteText(where.sysRoot + "/class/block/" + name + "/partition", "1\n");
    fs::create_directories(where.sysRoot + "/class/block/" + disk + "/" + name);
  }
};

// An image with the hybrid MBR and a body that differs block to block.
std::string HybridImage(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i * 7 + i / 5000);
  auto mbr = HybridMbr(std::vector<uint8_t>(432, 0xFA), 20, size, 7);
  body.replace(0, 512, std::string(mbr.begin(), mbr.end()));
  return body;
}

struct UsbWriteModelTest : ::testing::Test {
  Devices d;
  std::string stick, iso, image;
  ScriptedPrompter prompter;
  void SetUp() override {
    WriteText(d.where.mountsFile, "/dev/root / ext4 rw 0 0\n");
    stick = d.Add("sdb", true, 6144);  // 3 MiB
    iso = d.dir / "my cd/kiv cd.iso";
    image = HybridImage(2 * (1 << 20) + 2048);
    WriteText(iso, image);
  }
};

TEST_F(UsbWriteModelTest, ListsTheRemovableWholeDisksAndDescribesTheOneChosen) {
  d.Add("sda", false, 9000);      // a fixed disk
  d.AddPartition("sdb", "sdb1");  // the stick's partition
  d.Add("sr0", true, 4000, "5");  // a DVD drive
  d.Add("sdc", true, 4000);       // a second stick, mounted
  WriteText(d.where.mountsFile, "/dev/sdc /media/usb vfat rw 0 0\n");
  UsbWriteModel m(iso, d.where, prompter);
  ASSERT_EQ(m.Disks.size(), 2u);
  EXPECT_EQ(m.Disks[0].device, stick);
  const auto choices = m.Choices();
  EXPECT_EQ(choices[0], stick + "  -  KIV Stick sdb, 3.1 MB");
  EXPECT_NE(choices[1].find("is mounted (/dev/sdc on /media/usb)"), std::string::npos) << choices[1];
  // Nothing is chosen for the user: Write waits for a device.
  EXPECT_EQ(m.TxtDevice.Text, "");
  EXPECT_FALSE(m.CmdWrite.Enabled);

  m.CboDevice_Click(0);
  EXPECT_EQ(m.TxtDevice.Text, stick);
  EXPECT_EQ(m.LblDevice.Caption, stick + ": KIV Stick sdb, 3.1 MB");
  EXPECT_FALSE(m.LblDevice.Red);
  EXPECT_TRUE(m.CmdWrite.Enabled);

  // A typed path is checked as it stands; one in the list selects it.
  m.TxtDevice_Change(d.where.devDir + "/sdb1");
  EXPECT_EQ(m.ChoiceIndex, -1);
  EXPECT_TRUE(m.LblDevice.Red);
  EXPECT_NE(m.LblDevice.Caption.find("is a partition"), std::string::npos);
  m.TxtDevice_Change(d.where.devDir + "/sdc");
  EXPECT_EQ(m.ChoiceIndex, 1);

  // A stick plugged in later appears on Refresh.
  d.Add("sdd", true, 4000);
  m.CmdRefresh_Click();
  EXPECT_EQ(m.Disks.size(), 3u);
}

TEST_F(UsbWriteModelTest, WritesWithProgressAndVerifies) {
  UsbWriteModel m(iso, d.where, prompter);
  m.CboDevice_Click(0);
  prompter.answers = {Answer::Yes};
  int pumpsWhileWriting = 0;
  int64_t lastBar = -1;
  m.OnPumpEvents = [&] {
    if (m.Writing && !m.CmdClose.Enabled && !m.CmdWrite.Enabled) ++pumpsWhileWriting;
    EXPECT_TRUE(m.BarWrite.Visible);
    EXPECT_EQ(m.BarWrite.Max, static_cast<int64_t>(image.size()));
    lastBar = m.BarWrite.Value;
  };
  m.CmdWrite_Click();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].buttons, Buttons::YesNo);
  EXPECT_NE(prompter.messages[0].text.find("KIV Stick sdb of 3.1 MB"), std::string::npos);
  EXPECT_TRUE(m.Succeeded);
  EXPECT_EQ(m.LblStatus.Caption, "Written and verified: " + stick + ". The stick starts the Kiv Rescue CD.");
  EXPECT_FALSE(m.LblStatus.Red);
  EXPECT_GE(pumpsWhileWriting, 6);  // 3 blocks written, 3 read back
  EXPECT_EQ(lastBar, static_cast<int64_t>(image.size()));
  EXPECT_FALSE(m.BarWrite.Visible);
  EXPECT_TRUE(m.CmdClose.Enabled);
  const std::string written = ReadText(stick);
  EXPECT_EQ(written.substr(0, image.size()), image);
  m.CmdClose_Click();
  EXPECT_FALSE(m.Visible);
}

TEST_F(UsbWriteModelTest, NoAtTheQuestionWritesNothing) {
  UsbWriteModel m(iso, d.where, prompter);
  m.CboDevice_Click(0);
  prompter.answers = {Answer::No};
  m.CmdWrite_Click();
  EXPECT_EQ(prompter.messages.size(), 1u);
  EXPECT_FALSE(m.Succeeded);
  EXPECT_EQ(m.LblStatus.Caption, "Not written: the question was answered No.");
  EXPECT_EQ(ReadText(stick), std::string(6144 * 512, '\xEE'));
}

TEST_F(UsbWriteModelTest, AFixedDiskIsRefusedWithoutAQuestion) {
  const std::string fixed = d.Add("sda", false, 9000);
  UsbWriteModel m(iso, d.where, prompter);
  m.TxtDevice_Change(fixed);
  EXPECT_TRUE(m.CmdWrite.Enabled);
  prompter.answers = {Answer::Yes};
  m.CmdWrite_Click();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].icon, Icon::Critical);
  EXPECT_TRUE(m.LblStatus.Red);
  EXPECT_NE(m.LblStatus.Caption.find("is not a removable disk"), std::string::npos) << m.LblStatus.Caption;
  EXPECT_EQ(ReadText(fixed), std::string(9000 * 512, '\xEE'));
}

TEST_F(UsbWriteModelTest, ADeviceTheUserMayNotOpenNamesItAndTheWaysOn) {
  UsbWriteModel m(iso, d.where, prompter);
  std::string asked;
  m.Access = [&](const std::string& path) {
    asked = path;
    return EACCES;
  };
  m.CboDevice_Click(0);
  prompter.answers = {Answer::Yes};
  m.CmdWrite_Click();
  EXPECT_EQ(asked, stick);
  ASSERT_EQ(prompter.messages.size(), 1u);  // no question: it could not be carried out
  const std::string text = prompter.messages[0].text;
  EXPECT_EQ(text.rfind("You may not write to " + stick + " (Permission denied).", 0), 0u) << text;
  EXPECT_NE(text.find("sudo discsmith --write-usb " + stick + " '" + iso + "'"), std::string::npos) << text;
  EXPECT_NE(text.find("add your user to the group"), std::string::npos);
  EXPECT_EQ(m.LblStatus.Caption, "Not written: You may not write to " + stick + " (Permission denied).");
  EXPECT_EQ(ReadText(stick), std::string(6144 * 512, '\xEE'));
}

TEST_F(UsbWriteModelTest, TheRealAccessCheckRefusesAReadOnlyDevice) {
  if (IsRunningAsRoot()) GTEST_SKIP() << "root may open every file";
  SetMode(stick, 0444);
  EXPECT_EQ(WriteAccess(stick), EACCES);
  UsbWriteModel m(iso, d.where, prompter);
  m.CboDevice_Click(0);
  prompter.answers = {Answer::Yes};
  m.CmdWrite_Click();
  EXPECT_NE(m.LblStatus.Caption.find("You may not write to " + stick), std::string::npos) << m.LblStatus.Caption;
}

TEST(UsbAccessText, QuotesPathsForTheShellAndNamesTheOwningGroup) {
  TestTempDir dir;
  const std::string dev = dir / "sdz";
  WriteText(dev, "");
  EXPECT_EQ(WriteAccess(dev), 0);
  EXPECT_EQ(WriteAccess(dir / "none"), ENOENT);
  const std::string text = NoAccessText(dev, "/tmp/it's here.iso", EACCES);
  EXPECT_NE(text.find("--write-usb " + dev + " '/tmp/it'\\''s here.iso'"), std::string::npos) << text;
  const ProgramRun owner = RunProgram({"stat", "-c", "%G", dev});  // the group, as the system names it
  ASSERT_EQ(owner.code, 0) << owner.err;
  const std::string group = owner.out.substr(0, owner.out.find('\n'));
  ASSERT_FALSE(group.empty());
  EXPECT_NE(text.find("to the group " + group + " (sudo adduser "), std::string::npos) << text;
}

}  // namespace
}  // namespace kiv
