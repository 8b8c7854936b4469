// The wizard window walked by clicking its buttons (offscreen).
#include "disktool/ui/wizard_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <map>

#include "common/links.h"
#include "common/ui/help_window.h"
#include "common/vm_trial.h"
#include "disktool/output/floppy_drive.h"
#include "disktool/ui/drivers_dialog.h"
#include "disktool/wizard/frm_wizard.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/fake_platform.h"
#include "testsupport/qt_test_app.h"
#include "testsupport/wizard_test_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

struct Window {
  ProgramFolder pf;
  std::unique_ptr<Wizard> w;
  std::unique_ptr<WizardWindow> window;
  std::vector<int> topics;
  bool helpOpen = false;
  int ended = 0;
  testing::FakeVm vm;

  // With `ownHelp`, Help opens the window's own help window; otherwise the
  // topics asked for are recorded.
  explicit Window(bool ownHelp = false) {
    test::TestApp();
    test::SeedWizardDisks(pf);
    w = std::make_unique<Wizard>(pf);
    w->form.InitApp();
    window = std::make_unique<WizardWindow>(w->form);
    window->Vm = vm.Launcher();
    if (!ownHelp) {
      window->Flow().HelpOpen = [this] { return helpOpen; };
      window->Flow().ShowTopic = [this](int t) { topics.push_back(t); };
    }
    window->Ended = [this] { ++ended; };
    window->show();
  }
  int Page() const { return window->FraMain()->currentIndex(); }
  // Next until Finish shows, choosing `row` of the disk list on page 1.
  std::vector<int> NextToFinish(int row) {
    std::vector<int> pages{Page()};
    window->CmdNext()->click();
    pages.push_back(Page());
    window->LV_Disk()->topLevelItem(row - 1)->setSelected(true);
    while (window->CmdNext()->isVisible() && pages.size() < 10) {
      window->CmdNext()->click();
      pages.push_back(Page());
    }
    return pages;
  }
  std::vector<int> BackToStart() {
    std::vector<int> pages;
    while (Page() > 0 && pages.size() < 10) {
      window->CmdBack()->click();
      pages.push_back(Page());
    }
    return pages;
  }
};

using Pages = std::vector<int>;

TEST(WizardWindow, CustomConfigurationWithoutSetupWin) {
  Window t;
  EXPECT_EQ(t.Page(), 0);
  EXPECT_FALSE(t.window->CmdBack()->isEnabled());
  EXPECT_FALSE(t.window->CmdFinish()->isVisible());
  EXPECT_EQ(t.NextToFinish(1), (Pages{0, 1, 2, 4, 5}));
  EXPECT_TRUE(t.window->CmdFinish()->isVisible());
  EXPECT_FALSE(t.window->CmdNext()->isVisible());
  EXPECT_EQ(t.BackToStart(), (Pages{4, 2, 1, 0}));
  EXPECT_FALSE(t.window->CmdBack()->isEnabled());
}

TEST(WizardWindow, CatalogueDiskWithSetupWin) {
  Window t;
  EXPECT_EQ(t.NextToFinish(3), (Pages{0, 1, 2, 3, 5}));
  EXPECT_EQ(t.BackToStart(), (Pages{3, 2, 1, 0}));
}

TEST(WizardWindow, CatalogueDiskWithoutSetupWin) {
  Window t;
  EXPECT_EQ(t.NextToFinish(2), (Pages{0, 1, 2, 5}));
  t.window->CmdBack()->click();
  EXPECT_EQ(t.Page(), 2);
}

TEST(WizardWindow, HelpFollowsOnlyAnOpenHelpWindow) {
  Window t;
  t.window->CmdNext()->click();
  EXPECT_TRUE(t.topics.empty());
  t.window->CmdHelp()->click();
  EXPECT_EQ(t.topics, (std::vector<int>{1320}));
  t.helpOpen = true;
  t.window->CmdNext()->click();
  EXPECT_EQ(t.topics.back(), 1330);
}

TEST(WizardWindow, HelpIsTheDiskBuildersOwn) {
  Window t(true);
  HelpWindow::Instance().hide();
  t.window->CmdNext()->click();
  EXPECT_FALSE(HelpWindow::IsOpen());
  t.window->CmdHelp()->click();
  ASSERT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().windowTitle(), "The Kiv Disk Builder Help");
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1320);
  t.window->CmdNext()->click();  // the open help follows the wizard
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1330);
  HelpWindow::Instance().hide();
}

TEST(WizardWindow, FileSelectionAndBuild) {
  Window t;
  // Before the list is filled it asks to go back.
  EXPECT_EQ(t.window->LstFiles()->item(0)->text(), "Return to Previous step to Populate the list");
  t.NextToFinish(1);
  ASSERT_FALSE(t.w->form.FileList().empty());
  // Leave IO.SYS's neighbour MSDOS.SYS off the disk.
  QListWidget* files = t.window->LstFiles();
  ASSERT_EQ(files->item(1)->text(), "MSDOS.SYS");
  files->item(1)->setSelected(false);
  EXPECT_FALSE(t.w->form.FileList()[1].Selected);
  t.window->CmdFinish()->click();
  EXPECT_EQ(t.Page(), 6);
  EXPECT_EQ(t.window->LblFinish()->text(), "Operation completed successfully");
  EXPECT_TRUE(t.pf.Exists("BootDisk.img"));
  EXPECT_FALSE(t.window->CmdCancel()->isEnabled());
  EXPECT_EQ(t.ended, 0);
  t.window->CmdFinish()->click();  // a second Finish ends the program
  EXPECT_EQ(t.ended, 1);
}

TEST(WizardWindow, DriverClassBoxesAndOutputOptions) {
  Window t;
  t.window->CmdNext()->click();
  t.window->CmdNext()->click();  // custom: ASPI and NDIS offered
  ASSERT_EQ(t.Page(), 2);
  EXPECT_TRUE(t.window->ChkASPI()->isChecked());
  EXPECT_TRUE(t.window->CmdSelASPI()->isEnabled());
  t.window->ChkASPI()->click();
  EXPECT_FALSE(t.w->form.Request.aspi);
  EXPECT_FALSE(t.window->CmdSelASPI()->isEnabled());
  t.window->CmdSelNDIS()->click();
  ASSERT_TRUE(t.window->Drivers()->isVisible());
  EXPECT_EQ(t.window->Drivers()->LV()->topLevelItem(0)->text(0), "NE2000");
  t.window->Drivers()->CmdCancel()->click();

  t.window->CmdNext()->click();
  t.window->CmdNext()->click();
  ASSERT_EQ(t.Page(), 5);
  t.window->OptFloppy()->click();
  EXPECT_EQ(t.w->form.Request.output, FloppyOutput::Floppy);
  EXPECT_FALSE(t.window->TxtDest()->isEnabled());
  EXPECT_EQ(t.w->form.LblMsg[2], "Formating Floppy Disk");
}

TEST(WizardWindow, CancelThenCloseCleansUp) {
  Window t;
  t.NextToFinish(2);
  t.w->prompter.answers = {Answer::Yes};  // the choices may go
  t.window->CmdCancel()->click();
  EXPECT_EQ(t.Page(), 6);
  EXPECT_EQ(t.window->LblFinish()->text(), "Operation canceled");
  EXPECT_FALSE(t.pf.Exists("cabs"));

  Window c;
  c.NextToFinish(2);
  c.w->prompter.answers = {Answer::Yes};
  c.window->close();
  EXPECT_EQ(c.ended, 1);
  EXPECT_FALSE(c.pf.Exists("Drivers.ini"));
  EXPECT_FALSE(c.pf.Exists("cabs"));
}

TEST(WizardWindow, FloppyDiskWithoutADriveLeavesTheOutputPageOpenForAnImage) {
  Window t;
  t.w->builder.Output().SetFloppyDrive(
      MakeFat12FloppyDrive(t.pf.Path("no/such/device"), std::nullopt, t.w->builder.platform()));
  t.NextToFinish(2);
  t.window->OptFloppy()->click();
  t.window->CmdFinish()->click();
  // The message names the missing drive; the wizard stays where an image can
  // be chosen, with Back and Cancel as they were, and nothing is built.
  ASSERT_EQ(t.w->prompter.messages.size(), 1u);
  EXPECT_EQ(t.w->prompter.messages[0].title, "No Floppy Drive");
  EXPECT_EQ(t.Page(), 5);
  EXPECT_TRUE(t.window->CmdBack()->isEnabled());
  EXPECT_TRUE(t.window->CmdCancel()->isEnabled());
  EXPECT_TRUE(t.window->CmdFinish()->isVisible());
  EXPECT_FALSE(t.w->form.Cancelled());
  EXPECT_TRUE(t.pf.Exists("cabs")) << "the disk definition's work was thrown away";

  t.window->findChild<QAbstractButton*>("OptImage14")->click();
  t.window->CmdFinish()->click();
  EXPECT_EQ(t.Page(), 6);
  EXPECT_EQ(t.window->LblFinish()->text(), "Operation completed successfully");
  EXPECT_TRUE(t.pf.Exists("plain.img"));
  EXPECT_EQ(t.w->prompter.messages.size(), 1u);
}

// The letter after a single "&" of a caption, upper-cased; 0 when none.
QChar Mnemonic(const QString& caption) {
  for (int i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return caption[i + 1].toUpper();
  }
  return QChar();
}

TEST(WizardWindow, EveryControlOfTheDestinationPageHasItsOwnKey) {
  Window t;
  t.NextToFinish(2);
  ASSERT_EQ(t.Page(), 5);
  std::map<QChar, QStringList> byKey;
  for (QAbstractButton* b : t.window->findChildren<QAbstractButton*>()) {
    if (!b->isVisible()) continue;  // other pages' controls, Next
    const QChar key = Mnemonic(b->text());
    if (!key.isNull()) byKey[key] << b->text();
  }
  for (const auto& [key, captions] : byKey)
    EXPECT_EQ(captions.size(), 1) << "Alt+" << QString(key).toStdString() << ": " << captions.join(", ").toStdString();
  EXPECT_EQ(byKey['F'], QStringList{"&Finish"});
  EXPECT_EQ(byKey['D'], QStringList{"1.44 MB Floppy &Disk"});
}

TEST(WizardWindow, FinishClosesTheDriverWindow) {
  Window t;
  t.window->CmdNext()->click();
  t.window->LV_Disk()->topLevelItem(0)->setSelected(true);
  t.window->CmdNext()->click();
  ASSERT_EQ(t.Page(), 2);
  t.window->CmdSelNDIS()->click();
  ASSERT_TRUE(t.window->Drivers()->isVisible());
  while (t.window->CmdNext()->isVisible()) t.window->CmdNext()->click();
  t.window->CmdFinish()->click();
  EXPECT_EQ(t.window->LblFinish()->text(), "Operation completed successfully");
  EXPECT_FALSE(t.window->Drivers()->isVisible());
  t.window->Drivers()->CmdOK()->click();  // had it stayed, this is what a user would press
  EXPECT_FALSE(t.pf.Exists("Drivers.ini"));
  t.window->CmdFinish()->click();
  EXPECT_EQ(t.ended, 1);
  EXPECT_FALSE(t.pf.Exists("Drivers.ini"));
}

TEST(WizardWindow, TryInAVirtualMachineStartsQemuWithTheImageAsFloppyA) {
  Window t;
  auto* tryVm = t.window->findChild<QAbstractButton*>("CmdTryInVm");
  ASSERT_NE(tryVm, nullptr);
  auto shown = [&] { return tryVm->isVisibleTo(t.window.get()); };
  t.NextToFinish(1);
  EXPECT_FALSE(shown());
  // An image path with blanks, typed into the destination box.
  const std::string image = t.pf.Path("my disks/Boot Disk.img");
  std::filesystem::create_directories(t.pf.Path("my disks"));
  t.window->TxtDest()->clear();
  QTest::keyClicks(t.window->TxtDest(), QString::fromStdString(image));
  ASSERT_EQ(t.w->form.Request.image, image);
  t.window->CmdFinish()->click();
  ASSERT_EQ(t.window->LblFinish()->text(), "Operation completed successfully");
  ASSERT_TRUE(t.pf.Exists("my disks/Boot Disk.img"));
  EXPECT_TRUE(shown());
  tryVm->click();
  ASSERT_EQ(t.vm.starts.size(), 1u) << "QEMU was not started";
  const std::vector<std::string>* args = &t.vm.starts[0];
  EXPECT_EQ(*args, QemuArguments("/usr/bin/qemu-system-i386", VmMedium::Floppy, image));
  EXPECT_NE(std::find(args->begin(), args->end(), "file=" + image + ",format=raw,if=floppy,index=0,snapshot=on"),
            args->end());
}

TEST(WizardWindow, TryInAVirtualMachineIsHiddenAfterACancelAndWithoutQemu) {
  Window t;
  auto* tryVm = t.window->findChild<QAbstractButton*>("CmdTryInVm");
  t.NextToFinish(2);
  t.w->prompter.answers = {Answer::Yes};
  t.window->CmdCancel()->click();
  ASSERT_EQ(t.window->LblFinish()->text(), "Operation canceled");
  EXPECT_FALSE(tryVm->isVisibleTo(t.window.get()));

  Window built;
  built.NextToFinish(1);
  built.window->CmdFinish()->click();
  ASSERT_EQ(built.window->LblFinish()->text(), "Operation completed successfully");
  ASSERT_TRUE(built.pf.Exists("BootDisk.img"));
  auto* builtTry = built.window->findChild<QAbstractButton*>("CmdTryInVm");
  EXPECT_TRUE(builtTry->isVisibleTo(built.window.get()));
  built.vm.installed = false;
  built.window->Refresh();
  EXPECT_FALSE(built.window->findChild<QAbstractButton*>("CmdTryInVm")->isVisibleTo(built.window.get()));
}

// The window made active, as a user's window is, so shortcuts reach it.
void Activate(QWidget* window) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

TEST(WizardWindow, EnterGoesOnAndEachPageStartsAtItsFirstField) {
  Window t;
  Activate(t.window.get());
  // The welcome page has no field: Enter is Next.
  EXPECT_TRUE(t.window->CmdNext()->isDefault());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(t.Page(), 1);
  // The disk list has the focus, on the chosen row: Down chooses the next
  // one, and that is the disk built.
  ASSERT_EQ(QApplication::focusWidget(), t.window->LV_Disk());
  QTest::keyClick(t.window->LV_Disk(), Qt::Key_Down);
  EXPECT_FALSE(t.w->form.LV_Disk[0].Selected);
  EXPECT_TRUE(t.w->form.LV_Disk[1].Selected);
  QTest::keyClick(t.window->LV_Disk(), Qt::Key_Return);
  ASSERT_EQ(t.Page(), 2);
  EXPECT_EQ(t.w->form.SelectedDiskName(), "plain");
  // The drivers page starts at its first box; the keypad's Enter goes on too.
  EXPECT_EQ(QApplication::focusWidget(), t.window->ChkASPI());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_EQ(t.Page(), 5);
  // The output page starts at the chosen option; Enter, in the destination
  // box too, is Finish, which builds the disk.
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "OptImage14");
  EXPECT_TRUE(t.window->CmdFinish()->isDefault());
  EXPECT_FALSE(t.window->CmdNext()->isDefault());
  t.window->TxtDest()->setFocus();
  QTest::keyClick(t.window->TxtDest(), Qt::Key_Return);
  ASSERT_EQ(t.Page(), 6);
  EXPECT_TRUE(t.pf.Exists("plain.img"));
  // The finish page: Enter is Finish (not a link, not Open Folder), which ends.
  EXPECT_EQ(QApplication::focusWidget(), t.window->CmdFinish());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(t.ended, 1);
}

TEST(WizardWindow, EnterOnAFocusedButtonPressesThatButton) {
  Window t;
  Activate(t.window.get());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(t.Page(), 1);
  // Down twice: the disk with the setup page, which starts at the key.
  QTest::keyClick(t.window->LV_Disk(), Qt::Key_Down);
  QTest::keyClick(t.window->LV_Disk(), Qt::Key_Down);
  QTest::keyClick(t.window->LV_Disk(), Qt::Key_Return);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_EQ(t.Page(), 3);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "TxtKeyPart1");
  t.window->CmdBack()->setFocus();
  QTest::keyClick(t.window->CmdBack(), Qt::Key_Return);
  EXPECT_EQ(t.Page(), 2);
}

TEST(WizardWindow, F1OpensTheHelpOfThePageWhateverHasTheFocus) {
  Window t;
  Activate(t.window.get());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
  EXPECT_EQ(t.topics, (std::vector<int>{1310}));
  t.NextToFinish(2);
  ASSERT_EQ(t.Page(), 5);
  t.window->TxtDest()->setFocus();
  QTest::keyClick(t.window->TxtDest(), Qt::Key_F1);
  EXPECT_EQ(t.topics, (std::vector<int>{1310, 1360}));
}

TEST(WizardWindow, TheFinishPageNamesTheImageWithItsSizeAndOpensItsFolder) {
  Window t;
  FakePlatform platform;
  t.w->builder.SetPlatform(platform);
  t.NextToFinish(2);
  EXPECT_FALSE(t.window->CmdOpenFolder()->isVisibleTo(t.window.get()));
  // A 2.88 MB image under a name without a folder: it lies in the program
  // folder, where the image tool runs.
  t.window->findChild<QAbstractButton*>("OptImage28")->click();
  t.window->TxtDest()->clear();
  QTest::keyClicks(t.window->TxtDest(), "Rescue.img");
  t.window->CmdFinish()->click();
  ASSERT_EQ(t.window->LblFinish()->text(), "Operation completed successfully");
  ASSERT_TRUE(t.pf.Exists("Rescue.img"));
  EXPECT_TRUE(t.window->LblImage()->isVisibleTo(t.window.get()));
  EXPECT_EQ(t.window->LblImage()->text().toStdString(),
            "The floppy image is " + t.pf.Path("Rescue.img") + " (2880 KB)");
  ASSERT_TRUE(t.window->CmdOpenFolder()->isVisibleTo(t.window.get()));
  EXPECT_EQ(t.window->CmdOpenFolder()->text(), "&Open Folder");
  t.window->CmdOpenFolder()->click();
  EXPECT_EQ(platform.opened, std::vector<std::string>{t.pf.root});
  EXPECT_TRUE(t.w->prompter.messages.empty());
  // Without a file manager the user is told which folder to open.
  platform.openResult = false;
  t.window->CmdOpenFolder()->click();
  ASSERT_EQ(t.w->prompter.messages.size(), 1u);
  EXPECT_NE(t.w->prompter.messages[0].text.find(t.pf.root), std::string::npos) << t.w->prompter.messages[0].text;
  // The page's links open through the same platform.
  platform.opened.clear();
  for (const char* name : {"LblLink_Home", "LblLink_Tools"}) {
    auto* link = t.window->findChild<QLabel*>(name);
    ASSERT_NE(link, nullptr) << name;
    emit link->linkActivated("#");
  }
  EXPECT_EQ(platform.opened,
            (std::vector<std::string>{LinkTarget(Link::Home, t.pf.root), LinkTarget(Link::Tools, t.pf.root)}));

  // A 1.44 MB image at the catalogue's file.
  Window small;
  small.NextToFinish(2);
  small.window->CmdFinish()->click();
  EXPECT_EQ(small.window->LblImage()->text().toStdString(),
            "The floppy image is " + small.pf.Path("plain.img") + " (1440 KB)");

  // Cancelled: no image named, nothing to open.
  Window cancelled;
  cancelled.NextToFinish(2);
  cancelled.w->prompter.answers = {Answer::Yes};
  cancelled.window->CmdCancel()->click();
  ASSERT_EQ(cancelled.window->LblFinish()->text(), "Operation canceled");
  EXPECT_FALSE(cancelled.window->LblImage()->isVisibleTo(cancelled.window.get()));
  EXPECT_FALSE(cancelled.window->CmdOpenFolder()->isVisibleTo(cancelled.window.get()));
}

// The window can be made smaller than its pages (the setup answers, the
// finish page), which then scroll, with the buttons in sight.
TEST(WizardWindow, PagesScrollInAWindowSmallerThanThemWithTheButtonsInSight) {
  Window t;
  t.window->resize(560, 220);
  QApplication::processEvents();
  EXPECT_LE(t.window->width(), 560);
  EXPECT_LE(t.window->height(), 220);
  for (int page = 0; page <= 7; ++page) {
    t.w->form.CurrentPage = page;
    t.window->Refresh();
    QApplication::processEvents();
    for (QPushButton* button : {t.window->CmdHelp(), t.window->CmdBack(), t.window->CmdNext(), t.window->CmdCancel(),
                                t.window->CmdFinish()}) {
      if (button->isVisibleTo(t.window.get())) {
        EXPECT_TRUE(t.window->rect().contains(button->geometry()))
            << button->objectName().toStdString() << " on page " << page;
      }
    }
  }
  // The setup page's boxes are more than the window shows at once.
  t.w->form.CurrentPage = 3;
  t.window->Refresh();
  QApplication::processEvents();
  auto* area = qobject_cast<QScrollArea*>(t.window->FraMain()->currentWidget());
  ASSERT_NE(area, nullptr);
  EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
}

}  // namespace
}  // namespace kiv
