#include "cdtool/usb/usb_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cdtool/usb/hybrid_iso.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {
namespace fs = std::filesystem;

using testing::ReadText;
using testing::WriteText;

// A test sysfs and /dev: "disks" are plain files that the sysfs describes.
struct Devices {
  TestTempDir dir;
  std::string sys = dir / "sys", mounts = dir / "mounts";

  std::string Add(const std::string& name, bool removable, uint64_t sectors, bool partition = false) {
    const std::string entry = sys + "/class/block/" + name;
    WriteText(entry + "/removable", removable ? "1\n" : "0\n");
    WriteText(entry + "/size", std::to_string(sectors) + "\n");
    WriteText(entry + "/device/vendor", "KIV     \n");
    WriteText(entry + "/device/model", "Test " + name + "\n");
    if (partition) WriteText(entry + "/partition", "1\n");
    std::string dev = dir / ("dev/" + name);
    WriteText(dev, std::string(sectors * 512 > (1 << 22) ? 0 : sectors * 512, '\xEE'));
    return dev;
  }
  UsbTarget Inspect(const std::string& dev) const { return InspectUsbTarget(dev, sys, mounts); }
};

TEST(UsbTarget, OnlyAnUnmountedRemovableWholeDiskIsAccepted) {
  Devices d;
  WriteText(d.mounts, "/dev/root / ext4 rw 0 0\nproc /proc proc rw 0 0\n");
  const std::string stick = d.Add("sdk", true, 16384);
  d.Add("sdk1", true, 16000, true);  // its partition
  fs::create_directories(d.sys + "/class/block/sdk/sdk1");
  const std::string fixed = d.Add("sdf", false, 99999);
  const std::string part = d.dir / "dev/sdk1";

  UsbTarget t = d.Inspect(stick);
  EXPECT_EQ(t.problem, "");
  EXPECT_EQ(t.name, "sdk");
  EXPECT_EQ(t.model, "KIV Test sdk");
  EXPECT_EQ(t.sizeBytes, 16384u * 512);

  // Through a symbolic link (as /dev/disk/by-id/... are): the same disk.
  fs::create_symlink(stick, d.dir / "dev/usb-KIV_Test");
  EXPECT_EQ(d.Inspect(d.dir / "dev/usb-KIV_Test").name, "sdk");

  EXPECT_NE(d.Inspect(part).problem.find("is a partition"), std::string::npos);
  EXPECT_NE(d.Inspect(fixed).problem.find("is not a removable disk (KIV Test sdf)"), std::string::npos);
  EXPECT_NE(d.Inspect(d.dir / "dev/none").problem.find("no such device"), std::string::npos);
  WriteText(d.dir / "dev/notes.txt", "x");
  EXPECT_NE(d.Inspect(d.dir / "dev/notes.txt").problem.find("is not a disk"), std::string::npos);
  EXPECT_NE(d.Inspect(d.dir.Path()).problem.find("is not a disk"), std::string::npos);

  // Mounted itself, or through a partition.
  WriteText(d.mounts, "/dev/sdk1 /media/stick vfat rw 0 0\n");
  EXPECT_NE(d.Inspect(stick).problem.find("is mounted (/dev/sdk1 on /media/stick)"), std::string::npos);
  WriteText(d.mounts, "/dev/sdk /media/stick iso9660 ro 0 0\n");
  EXPECT_NE(d.Inspect(stick).problem.find("is mounted"), std::string::npos);
  WriteText(d.mounts, "/dev/sdkx /media/other vfat rw 0 0\n");  // another disk's name begins alike
  EXPECT_EQ(d.Inspect(stick).problem, "");

  d.Add("sde", true, 0);
  EXPECT_NE(d.Inspect(d.dir / "dev/sde").problem.find("no medium"), std::string::npos);

  // The real /dev/null is a character device: never a disk.
  EXPECT_NE(InspectUsbTarget("/dev/null").problem.find("is not a disk"), std::string::npos);
}

// An image with the hybrid MBR and a body that differs block to block.
std::string HybridImage(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i * 31 + i / 4096);
  auto mbr = HybridMbr(std::vector<uint8_t>(432, 0xFA), 20, size, 7);
  body.replace(0, 512, std::string(mbr.begin(), mbr.end()));
  return body;
}

TEST(UsbWrite, AsksThenWritesAndVerifiesOrStopsWithTheReason) {
  Devices d;
  WriteText(d.mounts, "");
  const std::string stick = d.Add("sdk", true, 8192);  // 4 MiB
  const std::string iso = d.dir / "kiv cd.iso";
  const std::string image = HybridImage(3 * (1 << 20) + 4096);
  WriteText(iso, image);
  UsbWriteRequest request{iso, stick, d.sys, d.mounts};

  // Answered No: nothing written.
  ScriptedPrompter no;
  no.answers = {Answer::No};
  MemoryProgressSink progress;
  EXPECT_NE(WriteIsoToUsb(request, no, progress), "");
  ASSERT_EQ(no.messages.size(), 1u);
  EXPECT_EQ(no.messages[0].buttons, Buttons::YesNo);
  EXPECT_NE(no.messages[0].text.find("KIV Test sdk of 4.2 MB"), std::string::npos) << no.messages[0].text;
  EXPECT_NE(no.messages[0].text.find("Everything on it will be lost"), std::string::npos);
  EXPECT_EQ(no.messages[0].nonInteractive, Answer::No);
  EXPECT_EQ(ReadText(stick), std::string(8192 * 512, '\xEE'));

  ScriptedPrompter yes;
  yes.answers = {Answer::Yes};
  EXPECT_EQ(WriteIsoToUsb(request, yes, progress), "");
  EXPECT_EQ(yes.messages.size(), 1u);
  const std::string written = ReadText(stick);
  EXPECT_EQ(written.substr(0, image.size()), image);
  EXPECT_EQ(written.substr(image.size()), std::string(8192 * 512 - image.size(), '\xEE'));
  EXPECT_EQ(progress.value, static_cast<int64_t>(image.size()));
  EXPECT_EQ(progress.maximum, static_cast<int64_t>(image.size()));
  EXPECT_NE(progress.caption.find("Written and verified"), std::string::npos);
  EXPECT_GE(progress.pumps, 8);  // 4 blocks written, 4 read back

  // Refusals, each before the question and with a message naming the cause.
  auto refused = [&](const UsbWriteRequest& r, const std::string& want) {
    ScriptedPrompter p;
    p.answers = {Answer::Yes};
    MemoryProgressSink s;
    std::string why = WriteIsoToUsb(r, p, s);
    EXPECT_NE(why.find(want), std::string::npos) << why;
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].icon, Icon::Critical);
  };
  WriteText(d.dir / "plain.iso", std::string(1 << 20, 'p'));
  refused({d.dir / "plain.iso", stick, d.sys, d.mounts}, "was not made by this version");
  refused({d.dir / "none.iso", stick, d.sys, d.mounts}, "none.iso: no such ISO file");
  const std::string small = d.Add("sds", true, 2048);
  refused({iso, small, d.sys, d.mounts}, "(1.0 MB) is too small for");
  refused({iso, d.Add("sdf", false, 99999), d.sys, d.mounts}, "is not a removable disk");
}

TEST(UsbWrite, SizesReadAsPeopleSayThem) {
  EXPECT_EQ(HumanSize(734003200), "734.0 MB");
  EXPECT_EQ(HumanSize(8004304896ull), "8.0 GB");
  EXPECT_EQ(HumanSize(0), "0.0 MB");
}

}  // namespace
}  // namespace kiv
