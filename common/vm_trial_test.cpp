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

// PATH is pointed at a folder that holds (or lacks) a qemu-system-i386.
struct PathScope {
  std::string old = getenv("PATH") ? getenv("PATH") : "";
  explicit PathScope(const std::string& path) { setenv("PATH", path.c_str(), 1); }
  ~PathScope() { setenv("PATH", old.c_str(), 1); }
};

TEST(VmTrial, TryCommandStartsQemuOrSaysWhatIsMissing) {
  TestTempDir dir;
  const std::string image = dir / "kiv cd.iso";
  std::ofstream(image) << "iso";
  std::filesystem::create_directories(dir / "bin");
  std::ofstream(dir / "bin/qemu-system-i386") << "#!/bin/sh\n";
  std::filesystem::permissions(dir / "bin/qemu-system-i386", std::filesystem::perms::owner_all);
  std::FILE* err = std::tmpfile();
  auto errText = [&] {
    std::rewind(err);
    std::string s(4096, '\0');
    s.resize(std::fread(s.data(), 1, s.size(), err));
    return s;
  };

  std::vector<Args> started;
  VmStarter record = [&](const Args& a) {
    started.push_back(a);
    return true;
  };
  {
    PathScope path(dir / "bin");
    EXPECT_EQ(RunTryCommand({}, image, VmMedium::Cd, true, record, err), 0);
    EXPECT_EQ(RunTryCommand({"--usb", image}, "", VmMedium::Cd, true, record, err), 0);
    EXPECT_EQ(RunTryCommand({image}, "", VmMedium::Floppy, false, record, err), 0);
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started[0], QemuArguments(dir / "bin/qemu-system-i386", VmMedium::Cd, image));
    EXPECT_EQ(started[1], QemuArguments(dir / "bin/qemu-system-i386", VmMedium::UsbDisk, image));
    EXPECT_EQ(started[2], QemuArguments(dir / "bin/qemu-system-i386", VmMedium::Floppy, image));

    // No image, a missing one, two of them, --usb where it means nothing.
    EXPECT_EQ(RunTryCommand({}, "", VmMedium::Floppy, false, record, err), 2);
    EXPECT_EQ(RunTryCommand({dir / "none.img"}, "", VmMedium::Floppy, false, record, err), 1);
    EXPECT_NE(errText().find(dir / "none.img"), std::string::npos);
    EXPECT_EQ(RunTryCommand({image, image}, "", VmMedium::Cd, true, record, err), 2);
    EXPECT_EQ(RunTryCommand({"--usb", image}, "", VmMedium::Floppy, false, record, err), 2);
    EXPECT_EQ(RunTryCommand(
                  {image}, "", VmMedium::Cd, true, [](const Args&) { return false; }, err),
              1);
    EXPECT_EQ(started.size(), 3u);
  }
  {
    // The finish pages' button: shown for an existing image, starts the same list.
    PathScope path(dir / "bin");
    EXPECT_TRUE(CanTryInVm(image));
    EXPECT_FALSE(CanTryInVm(dir / "none.iso"));
    EXPECT_FALSE(CanTryInVm(""));
    EXPECT_TRUE(TryInVm(image, VmMedium::Floppy, record));
    ASSERT_EQ(started.size(), 4u);
    EXPECT_EQ(started[3], QemuArguments(dir / "bin/qemu-system-i386", VmMedium::Floppy, image));
    started.pop_back();
  }
  {
    PathScope path(dir / "empty");
    EXPECT_EQ(FindQemu(), "");
    EXPECT_FALSE(CanTryInVm(image));
    EXPECT_FALSE(TryInVm(image, VmMedium::Cd, record));
    EXPECT_EQ(RunTryCommand({image}, "", VmMedium::Cd, true, record, err), 1);
    EXPECT_NE(errText().find("install the package qemu-system-x86"), std::string::npos);
    EXPECT_EQ(started.size(), 3u);
  }
  std::fclose(err);
}

}  // namespace
}  // namespace kiv
