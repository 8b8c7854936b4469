// The build run through the real window (offscreen): Finish on the summary
// page runs it, the progress page shows the step lines while it runs, the
// finish page its result; Cancel clicked during the run stops it.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "cdtool/build/iso_step.h"
#include "cdtool/ui/cd_build_window.h"
#include "cdtool/ui/screenshots.h"
#include "cdtool/wizard/form_build.h"
#include "common/ui/help_window.h"
#include "common/ui/qt_prompter.h"
#include "common/vm_trial.h"
#include "testsupport/build_test_support.h"
#include "testsupport/cdtool_test_support.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/fake_platform.h"

namespace kiv::testing {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "cdtool_ui_tests";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class WindowBuildRun : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    platform.programFolder = folder.dir;
    prompter = std::make_unique<QtPrompter>(folder.dir);
    prompter->BeforeMessageBox = [this](QMessageBox& box) {
      shown.push_back(box.windowTitle().toStdString() + ": " + box.text().toStdString());
      QTimer::singleShot(0, &box, [&box] { box.buttons().front()->click(); });
    };
    AddFakeCdTools(tools, folder.dir);
    form = std::make_unique<FrmCDBuild>(folder.dir, *prompter, BuildContext{tools, platform});
    form->Form_Load();
    form->SetCheck(form->ChkGet_Win2k, 0);
    form->SetCheck(form->ChkGet_Win9x, 0);
    form->SetCheck(form->ChkKivUtils, 0);
    form->SetCheck(form->ChkAddFiles, 0);
    form->TxtISOLoc.Text = folder.P("cd.iso");
    window = std::make_unique<CdBuildWindow>(*form, *prompter);
    window->Vm = vm.Launcher();
    window->show();
    // Walk to the summary page as a user would.
    for (int i = 0; i < 12 && form->Step < FrmCDBuild::kLastWizardPage; ++i) Click("CmdNext");
    ASSERT_EQ(form->Step, FrmCDBuild::kLastWizardPage);
  }
  void TearDown() override {
    window.reset();
    HelpWindow::Instance().hide();
  }
  void Click(const char* name) {
    auto* button = window->control<QAbstractButton>(name);
    ASSERT_NE(button, nullptr) << name;
    ASSERT_TRUE(button->isEnabled()) << name;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
  }
  QString Text(const char* name) { return window->control<QLabel>(name)->text(); }
  bool Shown(const char* name) { return window->control<QWidget>(name)->isVisibleTo(window.get()); }

  ProgramFolder folder;
  FakePlatform platform;
  FakeLauncher tools;
  FakeVm vm;
  std::unique_ptr<QtPrompter> prompter;
  std::unique_ptr<FrmCDBuild> form;
  std::unique_ptr<CdBuildWindow> window;
  std::vector<std::string> shown;
};

TEST_F(WindowBuildRun, FinishRunsTheBuildAndShowsItsSteps) {
  // What the window showed while the run pumped its events.
  bool sawProgressPage = false, sawBoldStep1 = false;
  auto pump = form->OnPumpEvents;
  form->OnPumpEvents = [&] {
    pump();
    sawProgressPage |= window->pages()->currentIndex() == FrmCDBuild::kProgressPage;
    sawBoldStep1 |= window->control<QLabel>("LblMsg1")->font().bold();
  };
  Click("CmdFinish");
  EXPECT_TRUE(shown.empty()) << shown.front();
  EXPECT_TRUE(sawProgressPage);
  EXPECT_TRUE(sawBoldStep1);
  EXPECT_EQ(folder.Read("cd.iso"), "ISO image");
  window->Refresh();
  EXPECT_EQ(window->pages()->currentIndex(), FrmCDBuild::kFinishPage);
  EXPECT_EQ(Text("LblFinish"), "  Operation completed successfully");
  EXPECT_EQ(Text("LblRight1"), QString::fromUtf8("\u2714"));
  EXPECT_EQ(Text("LblRight2"), QString::fromUtf8("\u2718"));
  EXPECT_EQ(Text("LblRight5"), QString::fromUtf8("\u2714"));
  // The second Finish saves the settings and ends.
  Click("CmdFinish");
  EXPECT_TRUE(form->QuitRequested);
  EXPECT_TRUE(folder.Exists("kivcd.ini"));
}

// The bottom buttons as the user sees them.
struct ButtonRow {
  bool backEnabled, nextVisible, finishVisible, finishEnabled, cancelEnabled;
  bool operator==(const ButtonRow&) const = default;
};
std::ostream& operator<<(std::ostream& out, const ButtonRow& b) {
  return out << "back " << (b.backEnabled ? "on" : "off") << ", next " << (b.nextVisible ? "shown" : "hidden")
             << ", finish " << (b.finishVisible ? "shown" : "hidden") << " " << (b.finishEnabled ? "on" : "off")
             << ", cancel " << (b.cancelEnabled ? "on" : "off");
}
ButtonRow Buttons(CdBuildWindow& w) {
  auto* back = w.control<QAbstractButton>("CmdBack");
  auto* next = w.control<QAbstractButton>("CmdNext");
  auto* finish = w.control<QAbstractButton>("CmdFinish");
  auto* cancel = w.control<QAbstractButton>("CmdCancel");
  return {back->isEnabled(), next->isVisibleTo(&w), finish->isVisibleTo(&w), finish->isEnabled(), cancel->isEnabled()};
}

TEST_F(WindowBuildRun, ScreenshotsShowTheButtonsOfTheRealRun) {
  // The window while the run works (its steps pump events) and after it ...
  std::optional<ButtonRow> during;
  bool overallShown = false;
  auto pump = form->OnPumpEvents;
  form->OnPumpEvents = [&] {
    pump();
    if (window->pages()->currentIndex() != FrmCDBuild::kProgressPage) return;
    if (!during) during = Buttons(*window);
    overallShown |= Shown("BarOverall") && Shown("LblOverall");
  };
  Click("CmdFinish");
  ASSERT_TRUE(during.has_value());
  window->Refresh();
  const ButtonRow after = Buttons(*window);
  EXPECT_FALSE(during->finishEnabled);

  // ... and what the screenshots render for those two pages.
  FrmCDBuild pictured(folder.dir, *prompter, {tools, platform});
  pictured.Form_Load();
  CdBuildWindow picture(pictured, *prompter);
  picture.show();
  ShowScreenshotState(pictured, FrmCDBuild::kProgressPage);
  picture.Refresh();
  EXPECT_EQ(picture.pages()->currentIndex(), FrmCDBuild::kProgressPage);
  EXPECT_EQ(Buttons(picture), *during);
  // The whole build's bar and its caption, part way, as the run shows them.
  ASSERT_TRUE(overallShown);
  auto* overall = picture.control<QProgressBar>("BarOverall");
  EXPECT_TRUE(overall->isVisibleTo(&picture));
  EXPECT_TRUE(picture.control<QLabel>("LblOverall")->isVisibleTo(&picture));
  EXPECT_GT(overall->value(), overall->minimum());
  EXPECT_LT(overall->value(), overall->maximum());
  const QString percent = QString::number(overall->value() * 100 / overall->maximum());
  EXPECT_TRUE(QRegularExpression("^Overall: " + percent + "%, about \\d+ (s|min) left$")
                  .match(picture.control<QLabel>("LblOverall")->text())
                  .hasMatch())
      << picture.control<QLabel>("LblOverall")->text().toStdString();
  ShowScreenshotState(pictured, FrmCDBuild::kFinishPage);
  picture.Refresh();
  EXPECT_EQ(Buttons(picture), after);
  EXPECT_EQ(picture.control<QLabel>("LblFinish")->text(), Text("LblFinish"));
  // The lines and the button the run's finish page shows, the picture shows.
  for (const char* name : {"LblOutcome", "LblBuildLog", "CmdOpenFolder", "CmdOpenLog"}) {
    EXPECT_TRUE(Shown(name)) << name;
    EXPECT_TRUE(picture.control<QWidget>(name)->isVisibleTo(&picture)) << name;
  }
  EXPECT_TRUE(picture.control<QLabel>("LblOutcome")->text().startsWith("The ISO image is "));
  EXPECT_TRUE(picture.control<QLabel>("LblBuildLog")->text().startsWith("The build log is "));
}

TEST_F(WindowBuildRun, FullDiskShowsTheAbortInRed) {
  WriteText(folder.P("mkisofs.nospace"), "");
  Click("CmdFinish");
  window->Refresh();
  EXPECT_EQ(Text("LblFinish"), "   Operation failed");
  EXPECT_EQ(Text("LblAbort"), "Not enough free space to complete the ISO file !!!");
  EXPECT_TRUE(window->control<QLabel>("LblAbort")->isVisibleTo(window.get()));
  EXPECT_EQ(window->control<QLabel>("LblSub_Step")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(WindowBuildRun, CancelClickedDuringTheRunStopsIt) {
  auto pump = form->OnPumpEvents;
  bool clicked = false;
  form->OnPumpEvents = [&] {
    pump();
    if (!clicked && form->LblSub_Step.Caption == "Creating Kiv Rescue Software Disk (EMM386 Support)") {
      clicked = true;
      Click("CmdCancel");
    }
  };
  Click("CmdFinish");
  ASSERT_TRUE(clicked);
  window->Refresh();
  EXPECT_EQ(Text("LblFinish"), "   Operation canceled");
  EXPECT_EQ(Text("LblRight1"), "");
  EXPECT_TRUE(window->control<QLabel>("LblMsg1")->font().bold());
  EXPECT_FALSE(folder.Exists("cd.iso"));
  // The disk being made is ended and no further one is started; the disk
  // made before stays where it was moved.
  EXPECT_TRUE(folder.Exists("kivcd/boot/images/kivstart.img"));
  EXPECT_FALSE(folder.Exists("kivcd/boot/images/kivnet.img"));
  EXPECT_FALSE(folder.Exists("makecd.sh"));
  EXPECT_TRUE(window->control<QAbstractButton>("CmdFinish")->isEnabled());
}

// Runs `action` once, from the window's event pump, while the disk builder
// makes the second boot disk: that disk waits for the go the helper gives
// after the action, so the action always meets the disk builder at work.
void DuringSecondDisk(FakeLauncher& tools, ProgramFolder& folder, FrmCDBuild& form,
                      const std::function<void()>& action) {
  auto go = std::make_shared<bool>(false);
  tools.Add("bootsmith", [bootsmith = FakeBootsmith(folder.dir), go](const FakeCommand& c) {
    FakeRun run = bootsmith(c);
    if (c.argv.back() == "kivsoftware_emm") run.runningUntil = [go] { return *go; };
    return run;
  });
  auto pump = form.OnPumpEvents;
  auto done = std::make_shared<bool>(false);
  form.OnPumpEvents = [&form, pump, done, go, action] {
    pump();
    if (!*done && form.LblSub_Step.Caption == "Creating Kiv Rescue Software Disk (EMM386 Support)" &&
        form.ActiveBuild && form.ActiveBuild->run.ASyncAppRunning) {
      *done = true;
      action();
      *go = true;
    }
  };
}

// Answers the next question box with `button` and records it.
void AnswerWith(QtPrompter& prompter, std::vector<std::string>& shown, QMessageBox::StandardButton button) {
  prompter.BeforeMessageBox = [&shown, button](QMessageBox& box) {
    shown.push_back(box.windowTitle().toStdString() + ": " + box.text().toStdString());
    QTimer::singleShot(0, &box, [&box, button] {
      if (QAbstractButton* b = box.button(button)) b->click();
      else box.buttons().front()->click();
    });
  };
}

TEST_F(WindowBuildRun, ClosingDuringTheRunAsksAndYesCancelsItThenCloses) {
  AnswerWith(*prompter, shown, QMessageBox::Yes);
  bool closedAtOnce = true;
  DuringSecondDisk(tools, folder, *form, [&] { closedAtOnce = window->close(); });
  Click("CmdFinish");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("Cancel"), std::string::npos) << shown[0];
  // The window stays until the run has stopped, then closes.
  EXPECT_FALSE(closedAtOnce);
  EXPECT_TRUE(form->QuitRequested);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(form->LblFinish.Caption, "   Operation canceled");
  EXPECT_FALSE(folder.Exists("cd.iso"));
  EXPECT_FALSE(folder.Exists("makecd.sh"));
  // The session ended with the build, as Finish would have ended it: the
  // settings are saved.
  EXPECT_TRUE(folder.Exists("kivcd.ini"));
}

TEST_F(WindowBuildRun, ClosingDuringTheRunAndNoKeepsTheWindowAndTheBuild) {
  AnswerWith(*prompter, shown, QMessageBox::No);
  bool closed = true;
  DuringSecondDisk(tools, folder, *form, [&] { closed = window->close(); });
  Click("CmdFinish");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_FALSE(closed);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(form->QuitRequested);
  EXPECT_EQ(folder.Read("cd.iso"), "ISO image");
  EXPECT_EQ(form->LblFinish.Caption, "  Operation completed successfully");
  // Without a build running the close box closes at once.
  EXPECT_TRUE(window->close());
  EXPECT_EQ(shown.size(), 1u);
}

// The ISO is mastered under a temporary name, so its step can be cancelled
// like any other: Cancel ends the mastering tool, the previous ISO stays and
// no piece of the new one is left.
TEST_F(WindowBuildRun, CancelWhileTheIsoIsWrittenEndsTheToolAndKeepsThePreviousIso) {
  WriteText(folder.P("cd.iso"), "the previous CD");
  bool cancelled = false;
  tools.Add("mkisofs", [mkisofs = FakeMkisofs(folder.dir), &cancelled](const FakeCommand& c) {
    FakeRun run = mkisofs(c);
    run.runningUntil = [&cancelled] { return cancelled; };  // at work until then
    return run;
  });
  auto pump = form->OnPumpEvents;
  form->OnPumpEvents = [&] {
    pump();
    if (!cancelled && form->ActiveBuild && form->ActiveBuild->run.MKISOFSRunning) {
      window->Refresh();
      Click("CmdCancel");
      cancelled = true;
    }
  };
  Click("CmdFinish");
  ASSERT_TRUE(cancelled);
  EXPECT_EQ(form->LblFinish.Caption, "   Operation canceled");
  EXPECT_EQ(form->Outcome().kind, BuildOutcome::Kind::Cancelled);
  EXPECT_EQ(folder.Read("cd.iso"), "the previous CD");
  EXPECT_FALSE(std::filesystem::exists(PartialIsoPath(folder.P("cd.iso"))));
  EXPECT_TRUE(shown.empty()) << shown.front();
}

TEST_F(WindowBuildRun, FinishAfterCancelDuringADiskSaysTheProgramEndsWhenTheDiskBuilderHasFinished) {
  // What page 9 said right after the second Finish, while the disk was still made.
  QStringList saidRightAfter;
  DuringSecondDisk(tools, folder, *form, [&] {
    Click("CmdCancel");
    Click("CmdFinish");
    for (QLabel* label : window->pages()->widget(FrmCDBuild::kFinishPage)->findChildren<QLabel*>())
      if (label->isVisibleTo(window.get())) saidRightAfter << label->text();
  });
  Click("CmdFinish");
  EXPECT_TRUE(saidRightAfter.join('\n').contains("The program ends when the disk builder has finished"))
      << saidRightAfter.join(" | ").toStdString();
  // Once the disk builder is done the settings are saved and the program ends.
  EXPECT_TRUE(folder.Exists("kivcd.ini"));
  EXPECT_TRUE(form->QuitRequested);
  EXPECT_FALSE(folder.Exists("cd.iso"));
}

TEST_F(WindowBuildRun, TheWindowIsActiveAgainWhenTheDiskBuilderEnds) {
  // Another window (the disk builder's, in real life) takes the focus.
  QWidget other;
  other.setWindowTitle("Disk builder");
  DuringSecondDisk(tools, folder, *form, [&] {
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  });
  Click("CmdFinish");
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), window.get());
}

TEST_F(WindowBuildRun, TryAndUsbButtonsAppearOnlyAfterTheIsoIsMade) {
  EXPECT_FALSE(Shown("CmdTryInVm"));
  EXPECT_FALSE(Shown("CmdWriteUsb"));
  bool shownDuringTheRun = false;
  auto pump = form->OnPumpEvents;
  form->OnPumpEvents = [&] {
    pump();
    shownDuringTheRun |= Shown("CmdTryInVm") || Shown("CmdWriteUsb");
  };
  Click("CmdFinish");
  ASSERT_EQ(form->LblFinish.Caption, "  Operation completed successfully");
  EXPECT_FALSE(shownDuringTheRun);
  window->Refresh();
  // The finish page and the title say where the CD is.
  EXPECT_TRUE(Shown("LblOutcome"));
  EXPECT_EQ(Text("LblOutcome").toStdString(), "The ISO image is " + folder.P("cd.iso") + " (0.0 MB)");
  EXPECT_EQ(window->windowTitle().toStdString(), "The kiv CD Builder - ISO image made");
  EXPECT_TRUE(Shown("CmdTryInVm"));
  EXPECT_TRUE(window->control<QPushButton>("CmdTryInVm")->isEnabled());
  EXPECT_FALSE(Shown("LblTryInVmNote"));
  EXPECT_TRUE(Shown("CmdWriteUsb"));
  EXPECT_EQ(window->control<QPushButton>("CmdWriteUsb")->text(), "&Write to a USB stick...");
  // Without QEMU the button stays in sight, disabled, and the page says what
  // to install; installed later, it works again.
  vm.installed = false;
  window->Refresh();
  EXPECT_TRUE(Shown("CmdTryInVm"));
  EXPECT_FALSE(window->control<QPushButton>("CmdTryInVm")->isEnabled());
  EXPECT_TRUE(Shown("LblTryInVmNote"));
  EXPECT_NE(Text("LblTryInVmNote").indexOf("install the package qemu-system-x86"), -1)
      << Text("LblTryInVmNote").toStdString();
  EXPECT_TRUE(Shown("CmdWriteUsb"));
  vm.installed = true;
  window->Refresh();
  EXPECT_TRUE(window->control<QPushButton>("CmdTryInVm")->isEnabled());
  EXPECT_FALSE(Shown("LblTryInVmNote"));
}

TEST_F(WindowBuildRun, AFailedBuildOffersNeitherTryNorUsb) {
  WriteText(folder.P("mkisofs.nospace"), "");
  Click("CmdFinish");
  ASSERT_EQ(Text("LblFinish"), "   Operation failed");
  EXPECT_EQ(
      Text("LblOutcome")
          .toStdString()
          .rfind("Step 5 (Creating Final ISO File) failed: Not enough free space to complete the ISO file !!!; the "
                 "mastering tool said: ",
                 0),
      0u)
      << Text("LblOutcome").toStdString();
  EXPECT_EQ(window->windowTitle().toStdString(), "The kiv CD Builder - build failed");
  // An ISO file at the place (one of an earlier build) is not offered either.
  WriteText(folder.P("cd.iso"), "ISO image of an earlier build");
  window->Refresh();
  EXPECT_FALSE(Shown("CmdTryInVm"));
  EXPECT_FALSE(Shown("CmdWriteUsb"));
}

TEST_F(WindowBuildRun, TryStartsQemuWithTheIsoAsACd) {
  std::filesystem::create_directories(folder.P("my isos"));
  const std::string iso = folder.P("my isos/kiv cd.iso");
  form->TxtISOLoc.Text = iso;
  Click("CmdFinish");
  ASSERT_EQ(folder.Read("my isos/kiv cd.iso"), "ISO image");
  window->Refresh();
  Click("CmdTryInVm");
  ASSERT_EQ(vm.starts.size(), 1u) << "QEMU was not started";
  const std::vector<std::string>* args = &vm.starts[0];
  EXPECT_EQ(*args, QemuArguments("/usr/bin/qemu-system-i386", VmMedium::Cd, iso));
  // The path with its blanks is one word of one -drive option.
  EXPECT_NE(std::find(args->begin(), args->end(), "file=" + iso + ",format=raw,media=cdrom,if=ide,index=2,readonly=on"),
            args->end());
  EXPECT_TRUE(shown.empty()) << shown.front();
}

TEST_F(WindowBuildRun, UsbButtonOpensTheWriteDialogOnTheBuiltIso) {
  // One stick in a sysfs of the test's own.
  const std::string sys = folder.P("sys"), dev = folder.P("dev");
  WriteText(sys + "/class/block/sdb/removable", "1\n");
  WriteText(sys + "/class/block/sdb/size", "8192\n");
  WriteText(sys + "/class/block/sdb/device/model", "Test Stick\n");
  WriteText(dev + "/sdb", std::string(8192 * 512, 'x'));
  WriteText(folder.P("mounts"), "");
  form->environment.Set("KIV_SYSFS_ROOT", sys).Set("KIV_MOUNTS_FILE", folder.P("mounts")).Set("KIV_DEV_DIR", dev);
  Click("CmdFinish");
  window->Refresh();
  bool ran = false;
  window->RunDialog = [&](QDialog& d) {
    ran = true;
    d.show();
    EXPECT_EQ(d.windowTitle(), "Write to a USB stick");
    auto* list = d.findChild<QComboBox*>("CboDevice");
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0).toStdString(), dev + "/sdb  -  Test Stick, 4.2 MB");
    EXPECT_FALSE(d.findChild<QPushButton*>("CmdWrite")->isEnabled());
    EXPECT_EQ(d.findChild<QPushButton*>("CmdWrite")->text(), "Write");
    emit list->activated(0);
    EXPECT_EQ(list->currentText().toStdString(), dev + "/sdb");
    EXPECT_EQ(d.findChild<QLabel*>("LblDevice")->text().toStdString(), dev + "/sdb: Test Stick, 4.2 MB");
    // The fake build's ISO is no hybrid image: refused, with the reason.
    d.findChild<QPushButton*>("CmdWrite")->click();
    EXPECT_TRUE(d.findChild<QLabel*>("LblStatus")
                    ->text()
                    .startsWith("Not written: " + QString::fromStdString(folder.P("cd.iso"))));
    d.findChild<QPushButton*>("CmdClose")->click();
    EXPECT_FALSE(d.isVisible());
    return 0;
  };
  Click("CmdWriteUsb");
  EXPECT_TRUE(ran);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("cannot start from a USB stick"), std::string::npos) << shown[0];
  EXPECT_EQ(folder.Read("dev/sdb"), std::string(8192 * 512, 'x'));
}

TEST_F(WindowBuildRun, TheFinishPageNamesTheIsoAndTheLogAndOpensTheIsoFolder) {
  EXPECT_FALSE(Shown("CmdOpenFolder"));
  Click("CmdFinish");
  ASSERT_EQ(folder.Read("cd.iso"), "ISO image");
  window->Refresh();
  EXPECT_EQ(Text("LblBuildLog").toStdString(), "The build log is " + folder.P("kivcd-build.log"));
  EXPECT_NE(folder.Read("kivcd-build.log").find("ISO image made: " + folder.P("cd.iso")), std::string::npos);
  ASSERT_TRUE(Shown("CmdOpenFolder"));
  EXPECT_EQ(window->control<QPushButton>("CmdOpenFolder")->text(), "&Open Folder");
  Click("CmdOpenFolder");
  ASSERT_EQ(platform.opened, std::vector<std::string>{folder.dir});
  EXPECT_TRUE(shown.empty()) << shown.front();
  // Without a file manager the user is told where the folder is.
  platform.openResult = false;
  Click("CmdOpenFolder");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find(folder.dir), std::string::npos) << shown[0];
  // The log, beside its path.
  platform.openResult = true;
  platform.opened.clear();
  ASSERT_TRUE(Shown("CmdOpenLog"));
  Click("CmdOpenLog");
  EXPECT_EQ(platform.opened, std::vector<std::string>{folder.P("kivcd-build.log")});
}

// While the build runs the page shows the whole build's bar under the step
// lines; it only goes forward and is full when the ISO is made.
TEST_F(WindowBuildRun, TheProgressPageShowsTheWholeBuildGoingForward) {
  std::vector<int> values;
  std::vector<QString> captions;
  auto* bar = window->control<QProgressBar>("BarOverall");
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(Shown("BarOverall"));
  bar->connect(bar, &QProgressBar::valueChanged, [&](int value) {
    values.push_back(value);
    captions.push_back(Text("LblOverall"));
  });
  Click("CmdFinish");
  ASSERT_EQ(folder.Read("cd.iso"), "ISO image");
  ASSERT_GE(values.size(), 3u);
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_EQ(values.back(), 1000);
  for (const QString& caption : captions) EXPECT_TRUE(caption.startsWith("Overall: ")) << caption.toStdString();
  EXPECT_EQ(captions.back().left(13), "Overall: 100%");
}

TEST_F(WindowBuildRun, EachDiskBuilderIsToldWhereTheWindowIsForItsPleaseWaitWindow) {
  window->move(40, 30);
  Click("CmdFinish");
  ASSERT_EQ(folder.Read("cd.iso"), "ISO image");
  const QRect frame = window->frameGeometry();
  const std::string over =
      QString::asprintf("--over-window=%d,%d,%d,%d", frame.x(), frame.y(), frame.width(), frame.height()).toStdString();
  const std::vector<std::string> ran = tools.Ran("bootsmith");
  ASSERT_EQ(ran.size(), 3u);
  // First, before the switches of the disk builder's own command line.
  for (const std::string& line : ran) EXPECT_EQ(line.rfind("bootsmith " + over + " -t ", 0), 0u) << line;
}

TEST_F(WindowBuildRun, AfterAFailedIsoStepBackLeadsToTheIsoPageAndTheNextFinishMakesTheCd) {
  WriteText(folder.P("mkisofs.nospace"), "");
  Click("CmdFinish");
  ASSERT_EQ(form->Outcome().kind, BuildOutcome::Kind::Failed);
  window->Refresh();
  EXPECT_TRUE(Shown("LblBuildLog"));
  EXPECT_FALSE(Shown("CmdOpenFolder"));
  // Back is the way to mend it, Finish still ends the program.
  EXPECT_EQ(Buttons(*window), (ButtonRow{true, false, true, true, false}));
  Click("CmdBack");
  EXPECT_EQ(window->pages()->currentIndex(), 7);
  EXPECT_EQ(form->Step, 7);
  EXPECT_EQ(Buttons(*window), (ButtonRow{true, true, false, true, true}));
  EXPECT_EQ(window->windowTitle().toStdString(), "The kiv CD Builder");
  EXPECT_FALSE(Shown("LblOutcome"));

  // The user makes room, goes on and builds again.
  std::remove(folder.P("mkisofs.nospace").c_str());
  Click("CmdNext");
  ASSERT_EQ(form->Step, 8);
  Click("CmdFinish");
  ASSERT_TRUE(form->Outcome().Made());
  EXPECT_EQ(folder.Read("cd.iso"), "ISO image");
  window->Refresh();
  EXPECT_EQ(Text("LblFinish"), "  Operation completed successfully");
  // The pages of the second run look as those of a first.
  EXPECT_TRUE(window->control<QLabel>("LblFinish")->font().bold());
  EXPECT_TRUE(window->control<QLabel>("LblWait")->font().bold());
  for (const char* mark : {"LblRight1", "LblRight4", "LblRight5"})
    EXPECT_EQ(Text(mark), QString::fromUtf8("\u2714")) << mark;
  EXPECT_EQ(Buttons(*window), (ButtonRow{false, false, true, true, false}));
  // A made CD has nothing to go back to.
  EXPECT_FALSE(window->control<QAbstractButton>("CmdBack")->isEnabled());
}

TEST_F(WindowBuildRun, ABuildThatFailsAtOnceShowsItsMessageOverTheProgressPage) {
  tools.Remove("bootsmith");  // cannot be started: the first program of the run
  std::vector<int> pagesUnderMessages;
  auto answer = prompter->BeforeMessageBox;
  prompter->BeforeMessageBox = [&](QMessageBox& box) {
    pagesUnderMessages.push_back(window->pages()->currentIndex());
    answer(box);
  };
  Click("CmdFinish");
  ASSERT_EQ(pagesUnderMessages.size(), 1u) << shown.front();
  EXPECT_EQ(pagesUnderMessages[0], FrmCDBuild::kProgressPage);
  EXPECT_TRUE(window->control<QLabel>("LblMsg1")->font().bold());
}

TEST_F(WindowBuildRun, AFailureOfAnEarlierStepLeadsBackToItsOwnPage) {
  // A disk that cannot be made: the boot disks are chosen on the contents page.
  WriteText(folder.P("fail.kivsoftware_emm"), "");
  Click("CmdFinish");
  ASSERT_EQ(form->Outcome().step, 1);
  window->Refresh();
  Click("CmdBack");
  EXPECT_EQ(form->Step, 1);
  EXPECT_EQ(window->pages()->currentIndex(), 1);
}

// Step 2's Windows 10/11 part is mended on its own page, after page 4.
TEST_F(WindowBuildRun, AWindows10FailureLeadsBackToItsPage) {
  form->SetCheck(form->ChkGet_Win10, 1);
  form->TxtWin10_Loc.Text = folder.P("no-medium");
  Click("CmdFinish");
  ASSERT_EQ(form->Outcome().step, 2);
  EXPECT_TRUE(form->Outcome().windows10);
  EXPECT_NE(form->LblOutcome.Caption.find("Step 2 (Inserting Windows 10/11 Setup Files) failed"), std::string::npos)
      << form->LblOutcome.Caption;
  window->Refresh();
  Click("CmdBack");
  EXPECT_EQ(form->Step, FrmCDBuild::kWin10Page);
  EXPECT_EQ(window->pages()->currentIndex(), FrmCDBuild::kWin10Page);
}

TEST_F(WindowBuildRun, ClosingTheWindowAfterTheBuildSavesTheSettingsAsFinishDoes) {
  form->TxtISOLoc.Text = folder.P("kept.iso");
  Click("CmdFinish");
  ASSERT_TRUE(form->Outcome().Made());
  ASSERT_FALSE(folder.Exists("kivcd.ini"));
  EXPECT_TRUE(window->close());
  ASSERT_TRUE(folder.Exists("kivcd.ini"));
  EXPECT_NE(folder.Read("kivcd.ini").find("ISOLocation    = kept.iso\r\n"), std::string::npos);
}

// A disk that fails says so in a box with a Help button. F1 there opens its
// topic over the box; the run then cancels and shows its finish page, and
// Back leads to the page to mend, but the help stays on the box's topic
// until the wizard's Help asks for the page's.
TEST_F(WindowBuildRun, HelpFromTheFailureBoxStaysOnItsTopicWhileTheRunEnds) {
  WriteText(folder.P("help/1410.html"), "<html><body><h1>When a boot disk cannot be made</h1></body></html>");
  WriteText(folder.P("fail.kivsoftware_emm"), "");
  bool helpOverTheBox = false;
  prompter->BeforeMessageBox = [&](QMessageBox& box) {
    shown.push_back(box.windowTitle().toStdString());
    QTimer::singleShot(0, &box, [&box, &helpOverTheBox] {
      if (QTest::qWaitFor([&box] { return QApplication::activeWindow() == &box; })) QTest::keyClick(&box, Qt::Key_F1);
      helpOverTheBox = HelpWindow::IsOpen() && HelpWindow::Instance().Over() == &box;
      box.button(QMessageBox::Ok)->click();
    });
  };
  Click("CmdFinish");
  ASSERT_EQ(shown, (std::vector<std::string>{"Fatal Error"}));
  EXPECT_TRUE(helpOverTheBox);
  window->Refresh();
  ASSERT_EQ(window->pages()->currentIndex(), FrmCDBuild::kFinishPage);
  ASSERT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1410);
  EXPECT_TRUE(HelpWindow::Instance().Browser()->toPlainText().contains("When a boot disk cannot be made"));
  Click("CmdBack");
  ASSERT_EQ(window->pages()->currentIndex(), 1);
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1410);
  Click("CmdHelp");
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1120);
}

}  // namespace
}  // namespace kiv::testing
