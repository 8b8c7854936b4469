#include "disktool/catalogue/disk_catalogue.h"

#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "testsupport/test_files.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

TEST(DiskCatalogue, RowsIconsAndTheCustomEntry) {
  ProgramFolder pf;
  pf.Write("files/disklist.ini",
           "[Disks_List]\r\nCount=2\r\n[1]\r\nName=kivsoftware\r\nDesc=Software disk\r\nIcon=3\r\n"
           "[2]\r\nName=Net\r\nDesc=Network\r\nIcon=12\r\n");
  Wizard w(pf);
  w.form.Fill_DiskList();
  ASSERT_EQ(w.form.LV_Disk.size(), 3u);
  EXPECT_EQ(w.form.LV_Disk[0].Text, "Custom, load default configuration");
  EXPECT_EQ(w.form.LV_Disk[0].Name, "custom");
  EXPECT_TRUE(w.form.LV_Disk[0].Selected);
  EXPECT_EQ(w.form.LV_Disk[1].Text, "Software disk");
  EXPECT_EQ(w.form.LV_Disk[1].Name, "kivsoftware");
  EXPECT_EQ(w.form.LV_Disk[1].SmallIcon, 3);
  EXPECT_EQ(w.form.LV_Disk[2].SmallIcon, 1);
  EXPECT_EQ(w.form.Request.diskRow, 1);

  // Count=0 (and a missing catalogue) leave only the custom row.
  pf.Write("files/disklist.ini", "[Disks_List]\r\nCount=0\r\n");
  w.form.Fill_DiskList();
  EXPECT_EQ(w.form.LV_Disk.size(), 1u);
  std::filesystem::remove(pf.Path("files/disklist.ini"));
  w.form.Fill_DiskList();
  EXPECT_EQ(w.form.LV_Disk.size(), 1u);
}

// Count says how many entries to read, but the list ends with the last entry
// the file holds: a huge Count neither hangs nor fills memory.
TEST(DiskCatalogue, CountBeyondTheEntriesStopsAtTheLastEntry) {
  ProgramFolder pf;
  Wizard w(pf);
  const std::string entries = "[1]\r\nName=one\r\n[ 3 ]\r\nName=three\r\n[x]\r\nName=no\r\n";
  for (const char* count : {"2147483647", "99999999999999999999", "4"}) {
    SCOPED_TRACE(count);
    pf.Write("files/disklist.ini", std::string("[Disks_List]\r\nCount=") + count + "\r\n" + entries);
    w.form.Fill_DiskList();
    // A gap before the last entry still gives its (empty) row, as before.
    ASSERT_EQ(w.form.LV_Disk.size(), 4u);
    EXPECT_EQ(w.form.LV_Disk[1].Name, "one");
    EXPECT_EQ(w.form.LV_Disk[2].Name, "");
    EXPECT_EQ(w.form.LV_Disk[3].Name, "three");
  }
  pf.Write("files/disklist.ini", "[Disks_List]\r\nCount=2\r\n" + entries);
  w.form.Fill_DiskList();
  EXPECT_EQ(w.form.LV_Disk.size(), 3u) << "a smaller Count still counts";
}

// An entry's flags are leading numbers, an absent key or entry reads as 0 and
// "", and the catalogue is found in any letter case.
TEST(DiskCatalogue, EntryFlagsAndFileInAnyLetterCase) {
  ProgramFolder pf;
  pf.Write("FILES/DiskList.INI",
           "[Disks_List]\r\nCount=2\r\n[0]\r\nfile=BootDisk.img\r\n"
           "[1]\r\nName=net\r\nfile=out\\net.img\r\naspi=2abc\r\nndis= 1\r\nnetw=x\r\n");
  const DiskCatalogue catalogue(pf.root);
  EXPECT_EQ(catalogue.Path(), pf.Path("FILES/DiskList.INI"));
  const DiskEntry custom = catalogue.Entry(0);
  EXPECT_EQ(custom.File, "BootDisk.img");
  EXPECT_EQ(custom.Aspi + custom.Ndis + custom.Netw, 0);
  const DiskEntry net = catalogue.Entry(1);
  EXPECT_EQ(net.File, "out\\net.img");
  EXPECT_EQ(net.Aspi, 2);
  EXPECT_EQ(net.Ndis, 1);
  EXPECT_EQ(net.Netw, 0);
  EXPECT_EQ(catalogue.Entry(7).File, "");
  EXPECT_EQ(catalogue.Rows().size(), 2u);  // Count=2, but [1] is the last entry
}

class DriverSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    pf.SeedBase();
    for (const char* cab : {"drivers/aspi/aspigen.cab", "drivers/aspi/ASPI2DOS.CAB", "drivers/ndis/ne2000.cab",
                            "drivers/ndis/rtl8139.cab", "drivers/odi16/ne2000.cab", "drivers/odi32/pcntnw.cab"})
      pf.Write(cab, "cab");
    pf.Write("files/disklist.ini",
             "[Disks_List]\r\nCount=3\r\n"
             "[0]\r\nfile=BootDisk.img\r\n"
             "[1]\r\nName=Both\r\nfile=out\\both.img\r\naspi=1\r\nndis=1\r\n"
             "[2]\r\nName=odi\r\nfile=images/odi.img\r\nndis=1\r\nnetw=1\r\n"
             "[3]\r\nName=plain\r\nfile=plain.img\r\n");
    pf.Write(
        "files/both.ini",
        "[Copy_Files]\r\n[DefaultDrivers]\r\nndis\\ rtl8139.cab \r\nnonsense line\r\n[Other]\r\nASPI\\ASPIGEN.CAB\r\n");
    pf.Write("files/odi.ini", "[DefaultDrivers]\r\nODI32\\PCNTNW.CAB\r\nNDIS\\NE2000.CAB\r\n");
    pf.Write("files/plain.ini", "");
    w.form.InitApp();
    w.form.Fill_DiskList();
  }
  std::string Key(const std::string& section, const std::string& key) {
    return INIFile(pf.Path("Drivers.ini")).GetINIKey(section, key);
  }
  // The disk of that row read as the wizard's disk page reads it, its
  // destination and driver classes taken.
  void GetDiskAndDriverSettings(int row) {
    w.form.Request.diskRow = row;
    w.form.Request.disk = w.form.LV_Disk[row - 1].Name;
    ASSERT_EQ(w.builder.Build(w.form.Request, FloppyPhase::Disk, FloppyPhase::Disk), FloppyEnd::Open);
    w.form.TakeDisk();
  }
  const FloppyDisk& Disk() const { return w.builder.Disk(); }
  ProgramFolder pf;
  Wizard w{pf};
};

TEST_F(DriverSettings, DefaultsNarrowExactlyTheKindsTheDiskUses) {
  // Seeding: every shipped driver starts selected.
  EXPECT_EQ(Key("ASPI", "ASPIGEN"), "1");
  EXPECT_EQ(Key("ASPI", "ASPI2DOS"), "1");
  EXPECT_EQ(Key("ODI16", "NE2000"), "1");

  GetDiskAndDriverSettings(2);  // "Both": ASPI and NDIS
  EXPECT_EQ(w.form.Request.image, pf.Path("out/both.img"));
  EXPECT_TRUE(w.form.Request.aspi);
  EXPECT_TRUE(Disk().offered.aspi);
  EXPECT_TRUE(w.form.Request.network);
  EXPECT_EQ(w.form.NetCaption(), "Network adapters drivers (NDIS)");
  EXPECT_EQ(Disk().offered.family, NetDriverFamily::NDIS);
  // The section resets each used kind; only the listed NDIS driver is back on
  // (the ASPI line stands in another section and does not count).
  EXPECT_EQ(Key("ASPI", "ASPIGEN"), "0");
  EXPECT_EQ(Key("ASPI", "ASPI2DOS"), "0");
  EXPECT_EQ(Key("NDIS", "NE2000"), "0");
  EXPECT_EQ(Key("NDIS", "RTL8139"), "1");
  // Kinds the disk does not use keep all their drivers.
  EXPECT_EQ(Key("ODI16", "NE2000"), "1");
  EXPECT_EQ(Key("ODI32", "PCNTNW"), "1");
}

TEST_F(DriverSettings, OdiWinsOverNdis) {
  GetDiskAndDriverSettings(3);
  EXPECT_EQ(w.form.Request.image, pf.Path("images/odi.img"));
  EXPECT_TRUE(w.form.Request.network);
  EXPECT_EQ(w.form.NetCaption(), "Network adapters drivers (ODI16/32)");
  EXPECT_EQ(Disk().offered.family, NetDriverFamily::ODI);
  EXPECT_EQ(w.form.LblNDISNote(),
            "You need the NWLAN module and it requirements to make use of the ODI16/32 drivers and load the network "
            "interface.");
  // Both the NDIS and the ODI defaults were loaded.
  EXPECT_EQ(Key("NDIS", "NE2000"), "1");
  EXPECT_EQ(Key("NDIS", "RTL8139"), "0");
  EXPECT_EQ(Key("ODI16", "NE2000"), "0");
  EXPECT_EQ(Key("ODI32", "PCNTNW"), "1");
  // ASPI is not used by this disk: greyed (disabled and unchecked).
  EXPECT_FALSE(w.form.Request.aspi);
  EXPECT_FALSE(Disk().offered.aspi);
}

TEST_F(DriverSettings, UnusedClassesAndMissingFoldersAreGreyed) {
  GetDiskAndDriverSettings(4);  // "plain": no driver class
  EXPECT_EQ(w.form.Request.image, pf.Path("plain.img"));
  EXPECT_FALSE(Disk().offered.aspi);
  EXPECT_FALSE(Disk().offered.network);
  EXPECT_FALSE(w.form.Request.network);
  // No disk has offered a network family yet: no note, the NDIS caption.
  EXPECT_EQ(w.form.LblNDISNote(), "");
  EXPECT_EQ(w.form.NetCaption(), "Network adapters drivers (NDIS)");
  // The texts of the family offered last stay with a disk that offers none.
  GetDiskAndDriverSettings(3);
  GetDiskAndDriverSettings(4);
  EXPECT_FALSE(Disk().offered.network);
  EXPECT_EQ(w.form.NetCaption(), "Network adapters drivers (ODI16/32)");
  EXPECT_NE(w.form.LblNDISNote().find("NWLAN"), std::string::npos);

  std::filesystem::remove_all(pf.Path("drivers"));
  GetDiskAndDriverSettings(2);
  EXPECT_FALSE(Disk().offered.aspi);
  EXPECT_FALSE(w.form.Request.aspi);
  EXPECT_FALSE(Disk().offered.network);
  EXPECT_FALSE(w.form.Request.network);
}

// The batch run writes the entry's image file unasked, so "file=" is kept in
// the program folder as the disk definitions' paths are: a value that is
// absolute, climbs out, or leads out through a symbolic link is refused with
// the catalogue, the entry and the value named, and the build is cancelled.
TEST(DiskCatalogue, ImageFileLeavingTheProgramFolderIsRefused) {
  const TestTempDir outsideDir;
  const std::string outside = outsideDir.Path() + "/notes.txt";
  testing::WriteText(outside, "the user's notes\n");
  for (const std::string& value : {outside, std::string("../x.img"), std::string("out\\..\\..\\x.img"),
                                   std::string("\\x.img"), std::string("C:\\x.img"), std::string("link/x.img")}) {
    SCOPED_TRACE(value);
    ProgramFolder pf;
    pf.SeedBase();
    std::filesystem::create_directory_symlink(outsideDir.Path(), pf.Path("link"));
    pf.Write("files/disklist.ini",
             "[Disks_List]\r\nCount=1\r\n[0]\r\nfile=BootDisk.img\r\n"
             "[1]\r\nName=kivsoftware\r\nfile=" +
                 value + "\r\n");
    pf.Write("files/kivsoftware.ini", "[Copy_Files]\r\nIO.SYS=IO.SYS\r\n");
    Wizard w(pf);
    w.form.InitApp();
    FloppyRequest request;
    request.disk = "kivsoftware";
    request.diskRow = 2;
    EXPECT_EQ(w.builder.Build(request, FloppyPhase::Disk, FloppyPhase::Disk), FloppyEnd::Cancelled);
    ASSERT_EQ(w.prompter.messages.size(), 1u);
    const Message& m = w.prompter.messages[0];
    EXPECT_EQ(m.title, "Invalid Disk Catalogue");
    EXPECT_EQ(m.icon, Icon::Critical);
    EXPECT_EQ(m.text, "The image file \"" + value + "\" of the entry [1] (kivsoftware) in " +
                          pf.Path("files/disklist.ini") +
                          " leaves the program folder.\r\n\r\nThe Kiv Disk Builder Can't Continue !");
    EXPECT_EQ(w.builder.Status().heading, "Operation canceled");

    // Refused before the definition begins, and never taken as the
    // destination.
    EXPECT_EQ(w.builder.Status().section, "");
    EXPECT_EQ(w.builder.Disk().image, pf.Path("BootDisk.img"));
  }
  EXPECT_EQ(testing::ReadText(outside), "the user's notes\n");

  // Paths that stay inside are fine, the custom entry's as well.
  ProgramFolder pf;
  pf.Write("files/disklist.ini",
           "[Disks_List]\r\nCount=1\r\n[0]\r\nfile=BootDisk.img\r\n"
           "[1]\r\nName=kivsoftware\r\nfile=images\\soft.img\r\n");
  pf.Write("files/custom.ini", "");
  pf.Write("files/kivsoftware.ini", "");
  Wizard w(pf);
  w.form.Fill_DiskList();
  for (int row : {1, 2}) {
    FloppyRequest request;
    request.disk = w.form.LV_Disk[row - 1].Name;
    request.diskRow = row;
    EXPECT_EQ(w.builder.Build(request, FloppyPhase::Disk, FloppyPhase::Disk), FloppyEnd::Open) << row;
  }
  EXPECT_EQ(w.builder.Disk().image, pf.Path("images/soft.img"));
  EXPECT_TRUE(w.prompter.messages.empty());
}

}  // namespace
}  // namespace kiv
