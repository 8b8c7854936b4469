#include "disktool/ui/drivers_dialog.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>

#include "common/ini_file.h"
#include "testsupport/qt_test_app.h"
#include "testsupport/test_program_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;

struct OdiFolder {
  ProgramFolder pf;
  testing::FakeLauncher tools;
  FrmDrivers model{pf.root, tools};
  OdiFolder() {
    test::TestApp();
    testing::AddFakeDiskTools(tools);
    pf.MakeDriverCab("drivers/odi16/ne2k16.cab", {{"odi.txt", "NE2K16       B 16-bit ODI\r\n"}});
    pf.MakeDriverCab("drivers/odi16/smc16.cab", {{"odi.txt", "SMC16        C 16-bit ODI\r\n"}});
    pf.MakeDriverCab("drivers/odi32/ne2k32.cab", {{"odi.txt", "NE2K32       A 32-bit ODI\r\n"}});
    pf.Write("Drivers.ini", "[ODI16]\r\nNE2K16=1\r\nSMC16=0\r\n[ODI32]\r\nNE2K32=1\r\n");
    // As the network button loads the ODI pair.
    model.CreateIndex({.descriptor = "odi.txt", .folder = "odi16", .kindHeader = "NIC", .append = false});
    model.CreateIndex({.descriptor = "odi.txt", .folder = "odi32", .kindHeader = "NIC", .append = true});
  }
  std::string Value(const std::string& section, const std::string& key) {
    return INIFile(pf.Path("Drivers.ini")).GetINIKey(section, key);
  }
};

int Row(QTreeWidget* list, const QString& name) {
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (list->topLevelItem(i)->text(0) == name) return i;
  }
  return -1;
}

QStringList Names(QTreeWidget* list) {
  QStringList names;
  for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(0);
  return names;
}

TEST(DriversDialog, OkWritesEachOdiDriverToItsOwnKind) {
  OdiFolder f;
  DriversDialog dialog(f.model);
  dialog.show();
  QTreeWidget* lv = dialog.LV();
  EXPECT_EQ(dialog.windowTitle(), "Select Drivers");
  EXPECT_EQ(lv->headerItem()->text(0), "NIC");
  EXPECT_EQ(lv->headerItem()->text(1), "Description");
  // Sorted by description: A (32-bit), B, C.
  EXPECT_EQ(Names(lv), (QStringList{"NE2K32", "NE2K16", "SMC16"}));
  EXPECT_EQ(lv->topLevelItem(Row(lv, "SMC16"))->checkState(0), Qt::Unchecked);

  lv->topLevelItem(Row(lv, "NE2K16"))->setCheckState(0, Qt::Unchecked);
  lv->topLevelItem(Row(lv, "SMC16"))->setCheckState(0, Qt::Checked);
  dialog.CmdOK()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(f.Value("ODI16", "NE2K16"), "0");
  EXPECT_EQ(f.Value("ODI16", "SMC16"), "1");
  EXPECT_EQ(f.Value("ODI32", "NE2K32"), "1");
  EXPECT_EQ(f.Value("ODI32", "NE2K16"), "");  // never written to the other kind
  EXPECT_EQ(f.Value("ODI32", "SMC16"), "");
}

TEST(DriversDialog, CancelWritesNothing) {
  OdiFolder f;
  DriversDialog dialog(f.model);
  dialog.show();
  dialog.LV()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  dialog.CmdCancel()->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(f.Value("ODI32", "NE2K32"), "1");
  EXPECT_EQ(f.Value("ODI16", "NE2K16"), "1");
}

TEST(DriversDialog, SortingSelectAllAndResizing) {
  OdiFolder f;
  DriversDialog dialog(f.model);
  dialog.show();
  QTreeWidget* lv = dialog.LV();
  // A mark set before sorting stays with its driver.
  lv->topLevelItem(Row(lv, "NE2K32"))->setCheckState(0, Qt::Unchecked);
  lv->header()->sectionClicked(0);
  EXPECT_EQ(Names(lv), (QStringList{"NE2K16", "NE2K32", "SMC16"}));
  lv->header()->sectionClicked(0);  // the same column again reverses
  EXPECT_EQ(Names(lv), (QStringList{"SMC16", "NE2K32", "NE2K16"}));
  EXPECT_EQ(lv->topLevelItem(Row(lv, "NE2K32"))->checkState(0), Qt::Unchecked);

  EXPECT_EQ(dialog.CmdSelAll()->text(), "Unselect All");
  dialog.CmdSelAll()->click();
  EXPECT_EQ(dialog.CmdSelAll()->text(), "Select All");
  for (int i = 0; i < lv->topLevelItemCount(); ++i) EXPECT_EQ(lv->topLevelItem(i)->checkState(0), Qt::Unchecked);
  dialog.CmdSelAll()->click();
  EXPECT_EQ(dialog.CmdSelAll()->text(), "Unselect All");
  for (int i = 0; i < lv->topLevelItemCount(); ++i) EXPECT_EQ(lv->topLevelItem(i)->checkState(0), Qt::Checked);

  dialog.resize(400, 300);
  QApplication::processEvents();
  const int small = lv->height();
  dialog.resize(700, 600);
  QApplication::processEvents();
  EXPECT_GT(lv->height(), small + 200);
  EXPECT_GT(lv->width(), 600);
  EXPECT_LT(lv->geometry().bottom(), dialog.CmdOK()->geometry().top());
}

}  // namespace
}  // namespace kiv
