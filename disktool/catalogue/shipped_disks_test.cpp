// Builds every disk of the shipped data with the real bfi and cabarc, the way
// the batch run asks the engine, and checks each image with fsck.fat.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/ini_file.h"
#include "common/paths.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;
using test::ProgramFolder;
using test::Wizard;

#if defined(KIV_BFI_PATH) && defined(KIV_CABARC_PATH)

// A program folder made of the shipped data, the built driver cabinets and
// DOS stand-ins, the assembled boot sector and the real tools.
void InstallShippedData(const ProgramFolder& pf) {
  const fs::path src = KIV_DISK_SRC_DIR;
  fs::create_directories(pf.Path("files"));
  for (const auto& entry : fs::directory_iterator(src)) {
    const std::string name = entry.path().filename().string();
    if (name == "kivcd" || name == "bootsect") continue;  // the CD template is not needed here
    fs::copy(entry.path(), pf.Path("files/" + name), fs::copy_options::recursive);
  }
  fs::copy(fs::path(KIV_DISK_DATA_DIR) / "drivers", pf.Path("drivers"), fs::copy_options::recursive);
  fs::copy(fs::path(KIV_DISK_DATA_DIR) / "dos", pf.Path("dos"), fs::copy_options::recursive);
  fs::copy(fs::path(KIV_DISK_DATA_DIR) / "files", pf.Path("files"),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  const fs::path boot = fs::path(KIV_BOOT_BIN_DIR) / "bootsect.bin";
  if (fs::exists(boot)) {
    fs::copy_file(boot, pf.Path("files/bootsect.bin"));
  } else {  // a plain boot sector: the image structure is what is checked here
    std::string sector(512, '\0');
    sector[0] = '\xEB';
    sector[1] = '\x3C';
    sector[2] = '\x90';
    sector[510] = '\x55';
    sector[511] = '\xAA';
    pf.Write("files/bootsect.bin", sector);
  }
  fs::create_symlink(KIV_CABARC_PATH, pf.Path("cabarc"));
  fs::create_symlink(KIV_BFI_PATH, pf.Path("bfi"));
}

// Names of the root directory's files, in directory order (long-name parts and
// the volume label skipped).
std::vector<std::string> RootFiles(const std::string& image) {
  std::vector<std::string> names;
  const unsigned reserved = static_cast<unsigned char>(image[14]) | (static_cast<unsigned char>(image[15]) << 8);
  const unsigned fats = static_cast<unsigned char>(image[16]);
  const unsigned rootEntries = static_cast<unsigned char>(image[17]) | (static_cast<unsigned char>(image[18]) << 8);
  const unsigned perFat = static_cast<unsigned char>(image[22]) | (static_cast<unsigned char>(image[23]) << 8);
  const size_t root = static_cast<size_t>(reserved + fats * perFat) * 512;
  for (unsigned i = 0; i < rootEntries && root + i * 32 + 32 <= image.size(); ++i) {
    const size_t at = root + i * 32;
    if (image[at] == 0) break;
    const unsigned char attr = static_cast<unsigned char>(image[at + 11]);
    if (static_cast<unsigned char>(image[at]) == 0xE5 || attr == 0x0F || (attr & 0x08)) continue;
    std::string base = image.substr(at, 8), ext = image.substr(at + 8, 3);
    base.erase(base.find_last_not_of(' ') + 1);
    ext.erase(ext.find_last_not_of(' ') + 1);
    names.push_back(ext.empty() ? base : base + "." + ext);
  }
  return names;
}

TEST(ShippedDisks, EachDiskBuildsAnImageThatFsckAccepts) {
  if (std::system("command -v fsck.fat >/dev/null") != 0) GTEST_SKIP() << "fsck.fat is not installed";
  ProgramFolder catalogueFolder;
  InstallShippedData(catalogueFolder);
  const INIFile catalogue(catalogueFolder.Path("files/disklist.ini"));
  const int count = std::stoi(catalogue.GetINIKey("Disks_List", "Count"));
  ASSERT_EQ(count, 5);

  // Section [0] is the built-in "custom" entry.
  for (int i = 0; i <= count; ++i) {
    const std::string disk = i == 0 ? "custom" : catalogue.GetINIKey(std::to_string(i), "Name");
    SCOPED_TRACE(disk);
    ProgramFolder pf;
    InstallShippedData(pf);
    // The CD-ROM access files an import from a Windows 98 CD adds.
    for (const char* name : {"OAKCDROM.SYS", "RAMDRIVE.SYS", "MSCDEX.EXE"}) pf.Write(std::string("dos/") + name, name);
    Wizard w(pf, SystemLauncher());
    // The batch run's request: the disk by name, the answers the page
    // starts from (Windows 98).
    FloppyRequest request;
    request.disk = disk;
    request.answerSource = AnswerSource::Given;
    if (disk == "lorvaplus288") request.output = FloppyOutput::Image288;
    ASSERT_EQ(w.builder.Build(request), FloppyEnd::Made)
        << (w.prompter.messages.empty() ? "" : w.prompter.messages.back().text);
    EXPECT_TRUE(w.prompter.messages.empty()) << w.prompter.messages[0].text;

    const std::string imageName = catalogue.GetINIKey(std::to_string(i), "file");
    ASSERT_TRUE(pf.Exists(imageName)) << imageName;
    const std::string image = pf.Read(imageName);
    EXPECT_EQ(image.size(), disk == "lorvaplus288" ? 2949120u : 1474560u);
    EXPECT_EQ(std::system(("fsck.fat -n '" + pf.Path(imageName) + "' >/dev/null").c_str()), 0);
    const std::vector<std::string> root = RootFiles(image);
    ASSERT_GE(root.size(), 3u);
    EXPECT_EQ(root[0], "IO.SYS");
    EXPECT_EQ(root[1], "MSDOS.SYS");
    EXPECT_EQ(root[2], "COMMAND.COM");
    // The kernel module, the extractor and the CD-ROM driver and RAM drive
    // are files on the floppy; the other modules went on unpacked, as the
    // stand-in EXTRACT.EXE cannot unpack cabinets; the work files are gone.
    const std::string list = pf.Path("dir.txt");
    ASSERT_EQ(
        std::system(("MTOOLS_SKIP_CHECK=1 mdir -b -/ -i '" + pf.Path(imageName) + "' :: > '" + list + "'").c_str()), 0);
    const std::string dir = pf.Read("dir.txt");
    for (const char* file : {"KERNEL.BAT", "KIVRAMD.COM", "EXTRACT.EXE", "OAKCDROM.SYS", "RAMDRIVE.SYS"})
      EXPECT_NE(dir.find(std::string("::/BIN/") + file), std::string::npos) << file << "\n" << dir;
    if (disk != "netaccess") {
      EXPECT_NE(dir.find("::/BIN/MSCDEX.EXE"), std::string::npos) << dir;
      EXPECT_NE(dir.find("::/LIB/CDROM/CDROM.BAT"), std::string::npos) << dir;
      EXPECT_EQ(dir.find("::/LIB/CDROM.CAB"), std::string::npos) << dir;
    }
    if (disk == "netaccess") {
      EXPECT_NE(dir.find("::/LIB/NDIS/NE2000.CAB"), std::string::npos) << dir;
      EXPECT_NE(dir.find("::/LIB/NDIS/RTL8139.CAB"), std::string::npos) << dir;
      EXPECT_EQ(dir.find("::/LIB/NDIS/PCNTPCI.CAB"), std::string::npos) << dir;
      EXPECT_NE(dir.find("::/ETC/_MSNET.PCI"), std::string::npos) << dir;
      // The map holds the PCI lists the real cabarc extracted from both drivers.
      ASSERT_EQ(std::system(("MTOOLS_SKIP_CHECK=1 mtype -i '" + pf.Path(imageName) + "' ::/ETC/_MSNET.PCI > '" +
                             pf.Path("pci.txt") + "'")
                                .c_str()),
                0);
      const std::string pci = pf.Read("pci.txt");
      EXPECT_NE(pci.find("10EC:8029 ne2000"), std::string::npos) << pci;
      EXPECT_NE(pci.find("10EC:8139 rtl8139"), std::string::npos) << pci;
      EXPECT_EQ(pci.find("1022:2000"), std::string::npos) << pci;
    }
    if (disk == "winsetup") {
      EXPECT_NE(dir.find("::/LIB/SETUPWIN/BIN/SETUPWIN.BAT"), std::string::npos) << dir;
      EXPECT_NE(dir.find("::/LIB/SETUPNT/BIN/SETUPNT.BAT"), std::string::npos) << dir;
    }
    EXPECT_FALSE(pf.Exists("cabs"));
    EXPECT_FALSE(pf.Exists("Temp"));
    EXPECT_FALSE(pf.Exists("Drivers.ini"));
  }
}

#else
TEST(ShippedDisks, EachDiskBuildsAnImageThatFsckAccepts) {
  GTEST_SKIP() << "bfi and cabarc are not part of this build";
}
#endif

}  // namespace
}  // namespace kiv
