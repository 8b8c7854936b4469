#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

class Drivers : public ::testing::Test {
 protected:
  void SetUp() override {
    pf.MakeDriverCab("drivers/ndis/ne2000.cab", {{"ndis.txt", "ne2000       NE2000 compatible\r\nsecond\r\n"},
                                                 {"ndis.pci", "10EC:8029 ne2000\r\n1050:0940 ne2000\r\n"}});
    pf.MakeDriverCab("drivers/ndis/RTL8139.CAB",
                     {{"ndis.txt", "rtl8139      Realtek 8139\r\n"}, {"ndis.pci", "10EC:8139 rtl8139\r\n"}});
    pf.MakeDriverCab("drivers/ndis/empty.cab", {{"ndis.txt", ""}});
    pf.MakeDriverCab("drivers/ndis/nodesc.cab", {{"other.txt", "x"}});
    pf.MakeDriverCab("drivers/ndis/short.cab", {{"ndis.txt", "tiny\r\n"}});
    pf.MakeDriverCab("drivers/odi16/ne2000.cab", {{"odi.txt", "ne2000       ODI 16 card\r\n"}});
    pf.MakeDriverCab("drivers/odi32/pcnt.cab", {{"odi.txt", "pcnt         ODI 32 card\r\n"}});
    pf.Write("cabs/IO.SYS", "io");
  }
  std::string Key(const std::string& section, const std::string& key) {
    return INIFile(pf.Path("Drivers.ini")).GetINIKey(section, key);
  }
  ProgramFolder pf;
  Wizard w{pf};
};

TEST_F(Drivers, MenuFileAndPciMapForTwoNdisDrivers) {
  pf.Write("Drivers.ini", "[NDIS]\r\nRTL8139=1\r\nEMPTY=0\r\nNE2000=1\r\n");
  const DriverClasses ndis{.aspi = false, .network = true, .family = NetDriverFamily::NDIS};
  std::vector<FileListEntry>& files = w.builder.Tree().Files().FileList;
  ASSERT_TRUE(w.builder.DriverFiles().PrepareDrivers(files, ndis));
  EXPECT_TRUE(pf.Read("cabs/lib/ndis/rtl8139.cab") == pf.Read("drivers/ndis/RTL8139.CAB"));  // found in any case
  EXPECT_TRUE(pf.Exists("cabs/lib/ndis/ne2000.cab"));
  EXPECT_FALSE(pf.Exists("cabs/lib/ndis/empty.cab"));
  w.builder.DriverFiles().CreatePrebuiltFiles(files, ndis);
  EXPECT_EQ(pf.Read("cabs/etc/_msnet.nic"),
            "; This file is used to manual\r\n; select a network driver\r\n"
            ":_ndis \"Select Network driver...\" [x]\r\n"
            "rtl8139      Realtek 8139\r\nne2000       NE2000 compatible\r\n");
  EXPECT_EQ(
      pf.Read("cabs/etc/_msnet.pci"),
      "; PCI map file (build from ndis.pci files)\r\n10EC:8139 rtl8139\r\n10EC:8029 ne2000\r\n1050:0940 ne2000\r\n");
  EXPECT_FALSE(pf.Exists("cabs/_ndis.txt"));
  EXPECT_FALSE(pf.Exists("ndis.txt"));  // extracted descriptors are cleaned up
  std::vector<std::string> selected;
  for (const auto& e : files)
    if (e.Selected) selected.push_back(e.Path);
  EXPECT_EQ(selected, (std::vector<std::string>{"lib\\ndis\\rtl8139.cab", "lib\\ndis\\ne2000.cab", "etc\\_msnet.nic",
                                                "etc\\_msnet.pci"}));
  // The extraction command line, run in the program folder.
  EXPECT_EQ(w.tools.Ran("cabarc"), (std::vector<std::string>{"cabarc -o x drivers/ndis/RTL8139.CAB ndis.*",
                                                             "cabarc -o x drivers/ndis/ne2000.cab ndis.*"}));
  for (const auto& call : w.tools.commands_ran) EXPECT_EQ(call.workingDir, pf.root);
}

TEST_F(Drivers, OdiFamilyIgnoresNdisEntries) {
  pf.Write("Drivers.ini", "[NDIS]\r\nNE2000=1\r\n[ODI16]\r\nNE2000=1\r\n[ODI32]\r\nPCNT=0\r\n[ASPI]\r\nX=1\r\n");
  const DriverClasses odi{.aspi = false, .network = true, .family = NetDriverFamily::ODI};
  std::vector<FileListEntry>& files = w.builder.Tree().Files().FileList;
  ASSERT_TRUE(w.builder.DriverFiles().PrepareDrivers(files, odi));
  w.builder.DriverFiles().CreatePrebuiltFiles(files, odi);
  EXPECT_TRUE(pf.Exists("cabs/lib/odi16/ne2000.cab"));
  EXPECT_FALSE(pf.Exists("cabs/lib/ndis"));
  EXPECT_FALSE(pf.Exists("cabs/lib/odi32"));
  EXPECT_FALSE(pf.Exists("cabs/lib/aspi"));  // ASPI not chosen
  EXPECT_FALSE(pf.Exists("cabs/etc/_msnet.nic"));
  EXPECT_FALSE(pf.Exists("cabs/etc/_msnet.pci"));
  EXPECT_EQ(w.progress.Maximum(), 8);
}

TEST_F(Drivers, AMissingSelectedCabinetCancelsTheRun) {
  pf.Write("Drivers.ini", "[NDIS]\r\nGONE=1\r\n");
  // A disk that takes the network drivers.
  pf.Write("files/disklist.ini", "[Disks_List]\r\nCount=0\r\n[0]\r\nfile=BootDisk.img\r\nndis=1\r\n");
  pf.Write("files/custom.ini", "");
  FloppyRequest request;
  request.disk = "custom";
  request.diskRow = 1;
  EXPECT_EQ(w.builder.Build(request, FloppyPhase::Disk), FloppyEnd::Cancelled);
  EXPECT_FALSE(w.builder.Status().stages[0].done);
  EXPECT_FALSE(pf.Exists("Drivers.ini"));
  ASSERT_EQ(w.prompter.messages.size(), 1u);
  EXPECT_NE(w.prompter.messages[0].text.find("gone.cab"), std::string::npos);
}

TEST_F(Drivers, SelectionWindowIndex) {
  pf.Write("Drivers.ini", "[NDIS]\r\nNE2000=0\r\nRTL8139=1\r\nEMPTY=1\r\nNODESC=1\r\nSHORT=1\r\n");
  w.form.NetFamily = NetDriverFamily::NDIS;
  w.form.CmdSelNDIS_Click();
  FrmDrivers& d = w.form.Drivers;
  EXPECT_TRUE(d.Visible);
  EXPECT_EQ(d.ColumnHeader[0], "NIC");
  EXPECT_EQ(d.CurrentList, "ndis");
  ASSERT_EQ(d.LV.size(), 5u);
  // Sorted by description, ascending.
  EXPECT_EQ(d.LV[0].Description, "");  // first line shorter than 14 characters
  EXPECT_EQ(d.LV[0].Name, "SHORT");
  EXPECT_EQ(d.LV[1].Description, "Description not available (NDIS Driver)");
  EXPECT_EQ(d.LV[2].Description, "NE2000 compatible");
  EXPECT_FALSE(d.LV[2].Checked);  // "0" in Drivers.ini
  EXPECT_EQ(d.LV[3].Description, "Realtek 8139");
  EXPECT_TRUE(d.LV[3].Checked);
  EXPECT_EQ(d.LV[4].Description, "The Driver file is corrupted");
  EXPECT_FALSE(d.LV[4].Checked);  // corrupted starts unchecked
  ASSERT_EQ(w.tools.Ran("cabarc").size(), 5u);
  EXPECT_EQ(w.tools.Ran("cabarc")[0], "cabarc -o x drivers/ndis/empty.cab ndis.txt");
  EXPECT_EQ(w.tools.commands_ran[0].workingDir, pf.root);

  d.ColumnClick(1);  // same column again: reversed
  EXPECT_EQ(d.LV[0].Name, "EMPTY");
  d.ColumnClick(0);
  EXPECT_EQ(d.LV[0].Name, "EMPTY");
  EXPECT_EQ(d.LV[4].Name, "SHORT");

  d.CmdSelAll_Click();
  EXPECT_EQ(d.CmdSelAllCaption(), "Select All");
  for (const auto& item : d.LV) EXPECT_FALSE(item.Checked);
  d.CmdOK_Click();
  EXPECT_FALSE(d.Visible);
  EXPECT_EQ(Key("NDIS", "RTL8139"), "0");
  EXPECT_EQ(Key("NDIS", "NE2000"), "0");
  d.CmdSelAll_Click();
  EXPECT_EQ(d.CmdSelAllCaption(), "Unselect All");
  for (const auto& item : d.LV) EXPECT_TRUE(item.Checked);
}

// Select/Unselect All alternates from the button's state, whatever the marks
// set by hand in between, and its caption names what the next click does.
TEST(DriverSelection, SelectAllAlternatesWhateverWasCheckedByHand) {
  testing::FakeLauncher nothingRuns;
  FrmDrivers d("/nonexistent", nothingRuns);
  d.LV = {{"A", "a", true}, {"B", "b", true}, {"C", "c", true}};
  auto checked = [&d] {
    std::string marks;
    for (const DriverItem& item : d.LV) marks += item.Checked ? 'x' : '-';
    return marks;
  };
  EXPECT_FALSE(d.SelectsAllNext());
  EXPECT_EQ(d.CmdSelAllCaption(), "Unselect All");
  d.LV[1].Checked = false;  // mixed marks: the button still unselects first
  d.CmdSelAll_Click();
  EXPECT_EQ(checked(), "---");
  EXPECT_TRUE(d.SelectsAllNext());
  EXPECT_EQ(d.CmdSelAllCaption(), "Select All");
  d.LV[0].Checked = true;
  d.CmdSelAll_Click();
  EXPECT_EQ(checked(), "xxx");
  EXPECT_EQ(d.CmdSelAllCaption(), "Unselect All");
  // Unselecting an all-unchecked list still flips the button.
  d.LV = {{"A", "a", false}};
  d.CmdSelAll_Click();
  EXPECT_EQ(checked(), "-");
  EXPECT_EQ(d.CmdSelAllCaption(), "Select All");
}

TEST_F(Drivers, BatchDriverListShowsTheNetworkListWhenBothKindsAreUsed) {
  pf.MakeDriverCab("drivers/aspi/aspigen.cab", {{"scsi.txt", "aspigen      Generic ASPI\r\n"}});
  w.form.Drivers.LoadDriverLists({.aspi = true, .network = true, .family = NetDriverFamily::NDIS});
  EXPECT_TRUE(w.form.Drivers.Visible);
  EXPECT_TRUE(w.form.Drivers.Modal);
  EXPECT_EQ(w.form.Drivers.CurrentList, "ndis");
  EXPECT_EQ(w.form.Drivers.ColumnHeader[0], "NIC");
  ASSERT_EQ(w.form.Drivers.LV.size(), 5u);
  for (const auto& item : w.form.Drivers.LV) EXPECT_NE(item.Name, "ASPIGEN");

  w.form.CmdSelASPI_Click();
  EXPECT_EQ(w.form.Drivers.ColumnHeader[0], "ASPI");
  ASSERT_EQ(w.form.Drivers.LV.size(), 1u);
  EXPECT_EQ(w.form.Drivers.LV[0].Description, "Generic ASPI");
}

TEST_F(Drivers, WithoutDriversIniEverythingStartsCheckedAndOdiItemsGoToTheirKind) {
  w.form.NetFamily = NetDriverFamily::ODI;
  w.form.CmdSelNDIS_Click();
  FrmDrivers& d = w.form.Drivers;
  ASSERT_EQ(d.LV.size(), 2u);  // both ODI lists in one
  EXPECT_EQ(d.CurrentList, "odi32");
  for (const auto& item : d.LV) EXPECT_TRUE(item.Checked);
  d.LV[0].Checked = false;  // "ODI 16 card" sorts first
  d.CmdOK_Click();
  EXPECT_EQ(Key("ODI16", "NE2000"), "0");
  EXPECT_EQ(Key("ODI32", "PCNT"), "1");
  EXPECT_EQ(Key("ODI32", "NE2000"), "");
}

}  // namespace
}  // namespace kiv
