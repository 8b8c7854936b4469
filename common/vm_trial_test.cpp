#include "common/vm_trial.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

using Args = std::vector<std::string>;

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

TEST(VmTrial, TryCommandStartsQemuOrSaysWhatIsMissing) {
  TestTempDir dir;
  const std::string image = dir / "kiv cd.iso";
  std::ofstream(image) << "iso";
  const std::string qemu = "/opt/qemu/bin/qemu-system-i386";
  std::string installed = qemu;  // what the look-up finds; "" = not installed
  std::FILE* err = std::tmpfile();
  auto errText = [&] {
    std::rewind(err);
    std::string s(4096, '\0');
    s.resize(std::fread(s.data(), 1, s.size(), err));
    return s;
  };

  std::vector<Args> started;
  const VmLauncher vm{[&] { return installed; },
                      [&](const Args& a) {
                        started.push_back(a);
                        return true;
                      }};
  {
    EXPECT_EQ(RunTryCommand({}, image, VmMedium::Cd, true, vm, err), 0);
    EXPECT_EQ(RunTryCommand({"--usb", image}, "", VmMedium::Cd, true, vm, err), 0);
    EXPECT_EQ(RunTryCommand({image}, "", VmMedium::Floppy, false, vm, err), 0);
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started[0], QemuArguments(qemu, VmMedium::Cd, image));
    EXPECT_EQ(started[1], QemuArguments(qemu, VmMedium::UsbDisk, image));
    EXPECT_EQ(started[2], QemuArguments(qemu, VmMedium::Floppy, image));

    // No image, a missing one, two of them, --usb where it means nothing.
    EXPECT_EQ(RunTryCommand({}, "", VmMedium::Floppy, false, vm, err), 2);
    EXPECT_EQ(RunTryCommand({dir / "none.img"}, "", VmMedium::Floppy, false, vm, err), 1);
    EXPECT_NE(errText().find(dir / "none.img"), std::string::npos);
    EXPECT_EQ(RunTryCommand({image, image}, "", VmMedium::Cd, true, vm, err), 2);
    EXPECT_EQ(RunTryCommand({"--usb", image}, "", VmMedium::Floppy, false, vm, err), 2);
    const VmLauncher failing{vm.find, [](const Args&) { return false; }};
    EXPECT_EQ(RunTryCommand({image}, "", VmMedium::Cd, true, failing, err), 1);
    EXPECT_EQ(started.size(), 3u);
  }
  {
    // The finish pages' button: shown for an existing image, starts the same list.
    EXPECT_TRUE(CanTryInVm(image, vm));
    EXPECT_FALSE(CanTryInVm(dir / "none.iso", vm));
    EXPECT_FALSE(CanTryInVm("", vm));
    EXPECT_TRUE(TryInVm(image, VmMedium::Floppy, vm));
    ASSERT_EQ(started.size(), 4u);
    EXPECT_EQ(started[3], QemuArguments(qemu, VmMedium::Floppy, image));
    started.pop_back();
  }
  {
    installed.clear();
    EXPECT_FALSE(CanTryInVm(image, vm));
    EXPECT_FALSE(TryInVm(image, VmMedium::Cd, vm));
    EXPECT_EQ(RunTryCommand({image}, "", VmMedium::Cd, true, vm, err), 1);
    EXPECT_NE(errText().find("install the package qemu-system-x86"), std::string::npos);
    EXPECT_EQ(started.size(), 3u);
  }
  std::fclose(err);
}

// The command line's --try waits for QEMU; one that ends at once with an
// error (no display for its window, an image it cannot read) started nothing.
TEST(VmTrial, WaitingStarterCountsOnlyARunThatEndedWell) {
  EXPECT_TRUE(RunQemuAndWait({"/bin/true"}));
  EXPECT_FALSE(RunQemuAndWait({"/bin/sh", "-c", "echo 'gtk initialization failed' >&2; exit 1"}));
  EXPECT_FALSE(RunQemuAndWait({"/nonexistent/qemu-system-i386"}));
}

}  // namespace
}  // namespace kiv
