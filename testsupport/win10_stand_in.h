#pragma once
// A stand-in Windows 10/11 setup medium for the tests, made with wimlib: a
// tree with sources/boot.wim (two images, the second Setup's) and
// sources/install.wim (the editions, with Windows' version fields), small
// stand-ins for the boot programs and boot configuration files, and packed
// as a UDF ISO image by genisoimage as Microsoft's are. No Microsoft file.
#include <string>
#include <vector>

namespace kiv::testing {

struct Win10StandIn {
  std::vector<std::string> editions = {"Windows 11 Pro", "Windows 11 Home"};
  int major = 10;
  int build = 22631;
  int arch = 9;  // amd64, as WIM documents number it
  // Left out of the tree when false.
  bool bootWim = true;
  bool installWim = true;
  bool bootPrograms = true;  // bootmgr, boot/etfsboot.com, efi/boot/bootx64.efi, the two bcd files
  // The contents of the boot programs (stand-ins that say who they are).
  std::string etfsboot = "stand-in etfsboot.com";
  std::string bootx64 = "stand-in bootx64.efi";
  // Bytes of a file in the install image's tree, so a test can make the
  // image larger than a small split size.
  size_t payloadBytes = 64;
};

// The programs the stand-in needs: "" when they are installed, else what is
// missing (for GTEST_SKIP).
std::string Win10StandInToolsMissing();

// Makes the medium's tree in `folder`; "" on success, else what failed.
std::string MakeWin10StandIn(const std::string& folder, const Win10StandIn& spec = {});

// `folder` packed as a UDF ISO image (genisoimage -udf); "" on success.
std::string PackUdfIso(const std::string& folder, const std::string& iso);

}  // namespace kiv::testing
