#include "cdtool/ui/cd_build_window.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QKeySequence>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "cdtool/ui/info_dialogs.h"
#include "common/ini_file.h"
#include "common/ui/help_window.h"
#include "common/ui/qt_prompter.h"
#include "testsupport/build_test_support.h"
#include "testsupport/cdtool_test_support.h"

namespace kiv::testing {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "cdtool_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class WindowTest : public ProgramFolderTest {
 protected:
  void SetUp() override {
    App();
    ProgramFolderTest::SetUp();
    prompter = std::make_unique<QtPrompter>(dir_.string());
    // Message boxes are answered with their first button and recorded.
    prompter->BeforeMessageBox = [this](QMessageBox& box) {
      shown.push_back(box.windowTitle().toStdString() + ": " + box.text().toStdString());
      QTimer::singleShot(0, &box, [&box] { box.buttons().front()->click(); });
    };
    form = std::make_unique<FrmCDBuild>(dir_.string(), *prompter, BuildContext{SystemLauncher(), platform_});
    form->Form_Load();
    window = std::make_unique<CdBuildWindow>(*form, *prompter);
    window->show();
  }
  void TearDown() override {
    window.reset();
    HelpWindow::Instance().hide();
    ProgramFolderTest::TearDown();
  }
  void Click(const char* name) {
    auto* button = window->control<QAbstractButton>(name);
    ASSERT_NE(button, nullptr) << name;
    ASSERT_TRUE(button->isEnabled()) << name;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
  }
  bool Enabled(const char* name) {
    auto* w = window->control<QWidget>(name);
    EXPECT_NE(w, nullptr) << name;
    return w && w->isEnabled();
  }

  std::unique_ptr<QtPrompter> prompter;
  std::unique_ptr<FrmCDBuild> form;
  std::unique_ptr<CdBuildWindow> window;
  std::vector<std::string> shown;
};

TEST_F(WindowTest, NextAndBackChangePagesAndButtons) {
  EXPECT_EQ(window->pages()->currentIndex(), 0);
  EXPECT_FALSE(Enabled("CmdBack"));
  EXPECT_TRUE(window->control<QWidget>("CmdFinish")->isHidden());
  Click("CmdNext");
  EXPECT_EQ(window->pages()->currentIndex(), 1);
  EXPECT_TRUE(Enabled("CmdBack"));
  // Only the boot disks: Next goes to the utilities page.
  Click("ChkGet_Win2k");
  Click("ChkGet_Win9x");
  std::filesystem::create_directories(dir_ / "kiv_utilities");
  std::filesystem::create_directories(dir_ / "Additional Files");
  Click("CmdNext");
  EXPECT_EQ(window->pages()->currentIndex(), 6);
  EXPECT_EQ(window->control<QLineEdit>("TxtUtils_Loc")->text().toStdString(), P("kiv_utilities"));
  form->TxtISOLoc.Text = P("out/kivcd.iso");
  Click("CmdNext");
  EXPECT_EQ(window->pages()->currentIndex(), 7);
  Click("CmdNext");
  EXPECT_EQ(window->pages()->currentIndex(), 8);
  EXPECT_TRUE(window->control<QWidget>("CmdNext")->isHidden());
  EXPECT_FALSE(window->control<QWidget>("CmdFinish")->isHidden());
  EXPECT_TRUE(window->control<QPlainTextEdit>("TxtSummery")->toPlainText().contains("[ISO File Options]"));
  Click("CmdBack");
  Click("CmdBack");
  Click("CmdBack");
  EXPECT_EQ(window->pages()->currentIndex(), 1);
  EXPECT_TRUE(shown.empty());
}

TEST_F(WindowTest, FailedCheckShowsItsMessageBoxAndStays) {
  Click("CmdNext");
  Click("CmdNext");  // no CD-ROM drive: the source box stays empty
  ASSERT_EQ(window->pages()->currentIndex(), 2);
  EXPECT_EQ(window->control<QLineEdit>("Txt_i386_Loc")->text(), "");
  Click("CmdNext");
  EXPECT_EQ(window->pages()->currentIndex(), 2);
  // One box names both problems of the page: the check says what to choose,
  // and how to do without; the service pack of a first start is not there.
  const std::string servicePack =
      "The selected Service pack file is not correct !\nSelect your Windows Service pack EXE file";
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0],
            "Error: This page has 2 problems:\n\n"
            "1. No folder is chosen for the Windows 2000/XP setup files.\n"
            "Choose the I386 folder of a Windows 2000/XP setup CD (Browse), or untick \"Microsoft Windows "
            "2000/XP/2003 Setup Files\" on the Contents page\n\n"
            "2. " +
                servicePack);
  // A folder that is not a setup folder gets the usual message.
  window->control<QLineEdit>("Txt_i386_Loc")->setFocus();
  QTest::keyClicks(window->control<QLineEdit>("Txt_i386_Loc"), QString::fromStdString(P("files")));
  Click("CmdNext");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1],
            "Error: This page has 2 problems:\n\n"
            "1. The selected folder doesn't contain a Windows 2000/XP installation !\n"
            "Select your Windows setup source Directory\n\n"
            "2. " +
                servicePack);
  // With the service pack off, the one problem left is shown as it is.
  Click("ChkSlipstream");
  Click("CmdNext");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2],
            "Error: The selected folder doesn't contain a Windows 2000/XP installation !\n"
            "Select your Windows setup source Directory");
}

// The medium's type follows the folder as it is typed, keystroke by
// keystroke, as it does after Browse.
TEST_F(WindowTest, TheTypeFollowsTheSourceFolderAsItIsTyped) {
  Write("media/I386/setupldr.bin", "");
  Write("media/WIN51IP", "");
  Write("media/WIN51IP.SP2", "");
  Click("CmdNext");
  Click("CmdNext");
  ASSERT_EQ(window->pages()->currentIndex(), 2);
  auto* box = window->control<QLineEdit>("Txt_i386_Loc");
  auto* type = window->control<QLabel>("LblWin2KOSVer");
  EXPECT_EQ(type->text(), "");
  box->setFocus();
  QTest::keyClicks(box, QString::fromStdString(P("media")));
  EXPECT_EQ(type->text(), "Unknown Windows Version");
  QTest::keyClicks(box, "/I386");
  EXPECT_EQ(type->text(), "Microsoft Windows XP Professional Edition SP2");
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Delete);
  EXPECT_EQ(type->text(), "");
}

TEST_F(WindowTest, EnterAndAltLettersPressTheWizardButtons) {
  // The captions carry their letters; names keep their ampersands.
  EXPECT_EQ(window->control<QPushButton>("CmdNext")->text(), "&Next >");
  EXPECT_EQ(window->control<QPushButton>("CmdBack")->text(), "< &Back");
  EXPECT_EQ(window->control<QPushButton>("CmdFinish")->text(), "&Finish");
  EXPECT_EQ(window->control<QPushButton>("CmdHelp")->text(), "&Help");
  EXPECT_EQ(window->control<QPushButton>("CmdBrw_i386_loc")->text(), "B&rowse ...");
  EXPECT_EQ(window->control<QCheckBox>("ChkBCon")->text(), "O&&O BlueCon XXL Pro");
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

  // Enter on the welcome page is Next; Next is marked as the default.
  EXPECT_TRUE(window->control<QPushButton>("CmdNext")->isDefault());
  QTest::keyClick(window.get(), Qt::Key_Return);
  ASSERT_EQ(window->pages()->currentIndex(), 1);
  // Alt+B is Back, Alt+N is Next (a shortcut "animates" the click: it
  // lands a moment later).
  auto pageAfterAWhile = [&](int expected) {
    for (int i = 0; i < 100 && window->pages()->currentIndex() != expected; ++i) QTest::qWait(10);
    return window->pages()->currentIndex();
  };
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::AltModifier);
  ASSERT_EQ(pageAfterAWhile(0), 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
  ASSERT_EQ(pageAfterAWhile(1), 1);

  // Enter on a check box or in a text box moves on too.
  Click("ChkGet_Win2k");
  Click("ChkGet_Win9x");
  std::filesystem::create_directories(dir_ / "kiv_utilities");
  std::filesystem::create_directories(dir_ / "Additional Files");
  window->control<QCheckBox>("ChkGet_Advtools")->setFocus();
  QTest::keyClick(window->control<QCheckBox>("ChkGet_Advtools"), Qt::Key_Return);
  ASSERT_EQ(window->pages()->currentIndex(), 6);
  auto* iso = window->control<QLineEdit>("TxtISOLoc");
  QTest::keyClick(window->control<QLineEdit>("TxtUtils_Loc"), Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_EQ(window->pages()->currentIndex(), 7);
  iso->setFocus();
  iso->selectAll();
  QTest::keyClicks(iso, QString::fromStdString(P("out/kivcd.iso")));
  QTest::keyClick(iso, Qt::Key_Return);
  ASSERT_EQ(window->pages()->currentIndex(), 8);
  // On the summary page Finish is the default; Enter on a focused button
  // presses that button instead.
  EXPECT_TRUE(window->control<QPushButton>("CmdFinish")->isDefault());
  EXPECT_FALSE(window->control<QPushButton>("CmdNext")->isDefault());
  window->control<QPushButton>("CmdBack")->setFocus();
  QTest::keyClick(window->control<QPushButton>("CmdBack"), Qt::Key_Return);
  EXPECT_EQ(window->pages()->currentIndex(), 7);
  EXPECT_TRUE(shown.empty()) << shown.front();
}

TEST_F(WindowTest, TabGoesDownEachPageAndThenAlongTheButtons) {
  window->resize(660, 470);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  form->SetCheck(form->ChkPassProtect, 1);
  form->SetCheck(form->ChkGet_Advtools, 1);
  form->SetCheck(form->ChkERDC, 1);
  for (int page : {1, 2, 5, 6, 7}) {
    form->Step = page;
    form->ShowPage(page);
    window->Refresh();
    QWidget* shownPage = window->pages()->currentWidget();
    // From the first stop on the page, Tab by Tab until the focus leaves it.
    QWidget* first = nullptr;
    for (QWidget* w = shownPage->nextInFocusChain(); w != shownPage; w = w->nextInFocusChain())
      if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && shownPage->isAncestorOf(w)) {
        first = w;
        break;
      }
    ASSERT_NE(first, nullptr) << "page " << page;
    first->setFocus(Qt::TabFocusReason);
    QPoint last(-1, -1);
    int stops = 0;
    for (QWidget* at = first; shownPage->isAncestorOf(at); at = QApplication::focusWidget()) {
      ASSERT_TRUE(at->isVisible()) << "page " << page << ": " << at->objectName().toStdString();
      const QPoint where = at->mapTo(window.get(), QPoint(0, 0));
      // Down the page, and along a row from left to right.
      EXPECT_TRUE(where.y() > last.y() + 2 || (std::abs(where.y() - last.y()) <= 2 && where.x() > last.x()))
          << "page " << page << ": " << at->objectName().toStdString() << " at " << where.x() << "," << where.y()
          << " after " << last.x() << "," << last.y();
      last = where;
      ++stops;
      ASSERT_LT(stops, 30);
      QTest::keyClick(at, Qt::Key_Tab);
    }
    EXPECT_GE(stops, 2) << "page " << page;
    // Then the bottom row, from Help on.
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "CmdHelp") << "page " << page;
  }
}

TEST_F(WindowTest, CheckBoxesDriveEnabledStates) {
  EXPECT_FALSE(Enabled("TxtPass1"));
  Click("ChkPassProtect");
  EXPECT_TRUE(Enabled("TxtPass1"));
  EXPECT_TRUE(Enabled("TxtPass2"));
  EXPECT_TRUE(Enabled("LblPass1"));
  EXPECT_TRUE(Enabled("TxtSP_exe"));
  Click("ChkSlipstream");
  EXPECT_FALSE(Enabled("TxtSP_exe"));
  EXPECT_FALSE(Enabled("CmdBrw_spexe"));
  Click("ChkERDC");
  EXPECT_TRUE(Enabled("CmdBrw_ERDC"));
  Click("ChkKivUtils");
  EXPECT_FALSE(Enabled("CmdExp_Utils"));
  Click("ChkWin9xInfo_Assis");
  EXPECT_FALSE(Enabled("CmdSetWin9xInfo"));
  // The boot disks cannot be unchecked.
  Click("ChkGet_kivdisks");
  EXPECT_EQ(window->control<QCheckBox>("ChkGet_kivdisks")->checkState(), Qt::Checked);
  // A greyed value shows as partly checked; a click unchecks it.
  form->SetCheck(form->ChkOptimizeISO, 2);
  window->Refresh();
  EXPECT_EQ(window->control<QCheckBox>("ChkOptimizeISO")->checkState(), Qt::PartiallyChecked);
  Click("ChkOptimizeISO");
  EXPECT_EQ(form->ChkOptimizeISO.Value, 0);
  EXPECT_EQ(window->control<QCheckBox>("ChkOptimizeISO")->checkState(), Qt::Unchecked);
  Click("ChkOptimizeISO");
  EXPECT_EQ(form->ChkOptimizeISO.Value, 1);
}

TEST_F(WindowTest, TypedTextReachesTheModel) {
  auto* iso = window->control<QLineEdit>("TxtISOLoc");
  iso->clear();
  QTest::keyClicks(iso, "/tmp/x.iso");
  EXPECT_EQ(form->TxtISOLoc.Text, "/tmp/x.iso");
}

TEST_F(WindowTest, PasswordBoxesShowAStarForEachCharacter) {
  Click("ChkPassProtect");
  for (const char* name : {"TxtPass1", "TxtPass2"}) {
    auto* box = window->control<QLineEdit>(name);
    QTest::keyClicks(box, "s3cret");
    EXPECT_EQ(box->displayText(), "******") << name;
    EXPECT_EQ(box->text(), "s3cret") << name;
  }
  EXPECT_EQ(form->TxtPass1.Text, "s3cret");
  EXPECT_EQ(form->TxtPass2.Text, "s3cret");
  // Only the password boxes hide what is typed.
  EXPECT_EQ(window->control<QLineEdit>("TxtISOLoc")->echoMode(), QLineEdit::Normal);
}

TEST_F(WindowTest, AmpersandsInCaptionsShowAsWritten) {
  // A caption's "&" is part of the name, not a shortcut mark: Qt must get it doubled.
  auto* bcon = window->control<QCheckBox>("ChkBCon");
  EXPECT_EQ(bcon->text(), "O&&O BlueCon XXL Pro");
  EXPECT_TRUE(QKeySequence::mnemonic(bcon->text()).isEmpty());
  // Every caption of the window and of both dialogs: no check box, option or
  // frame carries a shortcut taken from a caption; only the command buttons
  // have letters, and within a window no two share one (Alt+letter would
  // then only move the focus between them).
  window->Win9xDialog();
  window->Win2KDialog();
  std::vector<QWidget*> roots{window.get(), &window->Win9xDialog(), &window->Win2KDialog()};
  int checked = 0;
  for (QWidget* root : roots) {
    std::map<QString, QString> letters;  // letter -> the caption that has it
    for (auto* button : root->findChildren<QAbstractButton*>()) {
      const QKeySequence letter = QKeySequence::mnemonic(button->text());
      ++checked;
      if (!qobject_cast<QPushButton*>(button)) {
        EXPECT_TRUE(letter.isEmpty()) << button->text().toStdString();
        continue;
      }
      if (letter.isEmpty()) continue;
      // The same command on several pages keeps its letter on each (a
      // page's second one has a letter of its own, see below).
      const QString caption = button->text().remove(QLatin1Char('&')).remove(QLatin1Char(' '));
      auto [at, fresh] = letters.emplace(letter.toString(), caption);
      EXPECT_TRUE(fresh || at->second == caption)
          << letter.toString().toStdString() << " on " << caption.toStdString() << " and " << at->second.toStdString();
    }
    for (auto* frame : root->findChildren<QGroupBox*>())
      EXPECT_TRUE(QKeySequence::mnemonic(frame->title()).isEmpty()) << frame->title().toStdString();
    for (auto* label : root->findChildren<QLabel*>())
      if (label->textFormat() != Qt::RichText) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
      }
  }
  EXPECT_GT(checked, 30);
  // A label takes the caption literally (it has no shortcut).
  form->LblSub_Step.Caption = "Adding O&O BlueCon XXL Files";
  window->Refresh();
  EXPECT_EQ(window->control<QLabel>("LblSub_Step")->text(), "Adding O&O BlueCon XXL Files");
  EXPECT_EQ(window->control<QLabel>("LblSub_Step")->buddy(), nullptr);
}

template <typename Dialog>
void TypeKeyAndExpectFocusToMoveOn(Dialog& dialog) {
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.keyBoxes[0]->setFocus();
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(dialog.keyBoxes[i]->hasFocus()) << i;
    QTest::keyClicks(dialog.keyBoxes[i], "ab");
    EXPECT_TRUE(dialog.keyBoxes[i]->hasFocus()) << i;  // not full yet
    QTest::keyClicks(dialog.keyBoxes[i], "cde");
  }
  EXPECT_TRUE(dialog.okButton->hasFocus());
}

// A key as people enter it: typed as printed, dashes and all, keystroke by
// keystroke into whatever box has the focus; or pasted whole into the first
// box, with or without dashes. Either way the five boxes hold the groups,
// in capitals, five characters each, and nothing else.
TEST_F(WindowTest, ProductKeysAsPeopleTypeAndPasteThem) {
  window->RunDialog = [](QDialog&) { return 0; };
  Click("CmdSetWin9xInfo");
  Win9xInfoDialog& dialog = window->Win9xDialog();
  form->Win9xInfo().Show();
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  auto boxes = [&] {
    std::string all;
    for (QLineEdit* box : dialog.keyBoxes) all += (all.empty() ? "" : "|") + box->text().toStdString();
    return all;
  };
  dialog.keyBoxes[0]->setFocus();
  for (const char c : std::string("abcde-FGHIJ-klmno-PQRST-uvwxy")) QTest::keyClick(QApplication::focusWidget(), c);
  EXPECT_EQ(boxes(), "ABCDE|FGHIJ|KLMNO|PQRST|UVWXY");
  EXPECT_EQ(form->Win9xInfo().TxtKeyPart[1].Text, "FGHIJ");

  // Characters a key cannot hold never reach the boxes, typed or pasted; OK
  // on a short key names the boxes at fault and keeps the dialog open.
  for (QLineEdit* box : dialog.keyBoxes) box->clear();
  for (int i = 0; i < 5; ++i) form->Win9xInfo().SetKeyPart(i, "");
  dialog.keyBoxes[0]->setFocus();
  QTest::keyClicks(dialog.keyBoxes[0], "a!b@c");
  for (const char* pasted : {"A!B@C-#D$E%-F--", "AB\"\\;-C---"}) {
    QApplication::clipboard()->setText(QString::fromLatin1(pasted));
    dialog.keyBoxes[1]->setFocus();
    QTest::keyClick(dialog.keyBoxes[1], Qt::Key_V, Qt::ControlModifier);
  }
  EXPECT_EQ(boxes(), "ABC||||");
  QTest::mouseClick(dialog.okButton, Qt::LeftButton);
  EXPECT_TRUE(form->Win9xInfo().Visible);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "keyfile2.txt"));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(
      shown[0].rfind(
          "Error: The Product Key cannot be used: box 1 holds \"ABC\", 3 characters instead of 5; box 2 is empty;", 0),
      0u)
      << shown[0];

  for (const char* pasted : {"bbbbb-ccccc-ddddd-eeeee-fffff", "BBBBBCCCCCDDDDDEEEEEFFFFF"}) {
    for (QLineEdit* box : dialog.keyBoxes) box->clear();
    for (int i = 0; i < 5; ++i) form->Win9xInfo().SetKeyPart(i, "");
    QApplication::clipboard()->setText(QString::fromLatin1(pasted));
    dialog.keyBoxes[0]->setFocus();
    QTest::keyClick(dialog.keyBoxes[0], Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(boxes(), "BBBBB|CCCCC|DDDDD|EEEEE|FFFFF") << pasted;
  }
  QTest::mouseClick(dialog.okButton, Qt::LeftButton);
  EXPECT_EQ(INIFile(P("keyfile2.txt")).GetINIKey("Win9xInfo", "ProductKey"), "BBBBB-CCCCC-DDDDD-EEEEE-FFFFF");
}

TEST_F(WindowTest, Win9xDialogKeyFocusAndOK) {
  QDialog* ran = nullptr;
  window->RunDialog = [&](QDialog& d) {
    ran = &d;
    return 0;
  };
  Click("CmdSetWin9xInfo");
  ASSERT_NE(ran, nullptr);
  Win9xInfoDialog& dialog = window->Win9xDialog();
  EXPECT_EQ(dialog.windowTitle(), "Windows 9x Installation Info");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("TxtOwner")->text(), "kivUser");
  // RunDialog returned, so the model was hidden again: show it as the real run would.
  form->Win9xInfo().Show();
  TypeKeyAndExpectFocusToMoveOn(dialog);
  QTest::mouseClick(dialog.okButton, Qt::LeftButton);
  EXPECT_FALSE(form->Win9xInfo().Visible);
  EXPECT_EQ(INIFile(P("keyfile2.txt")).GetINIKey("Win9xInfo", "ProductKey"), "ABCDE-ABCDE-ABCDE-ABCDE-ABCDE");
}

TEST_F(WindowTest, Win9xDialogReopenedAfterACancelWithEditsShowsTheyAreInUse) {
  // Run modally as the program does; each opening types, then presses Esc.
  std::vector<QRect> noteAt, okAt;
  int openings = 0;
  window->RunDialog = [&](QDialog& d) {
    QTimer::singleShot(0, &d, [&] {
      auto* note = d.findChild<QLabel*>("LblKeptEdits");
      noteAt.push_back(note->isVisible() ? note->geometry() : QRect());
      okAt.push_back(d.findChild<QPushButton*>("CmdOK")->geometry());
      if (openings++ == 0) {
        QTest::keyClick(d.findChild<QLineEdit*>("TxtOwner"), Qt::Key_End);
        QTest::keyClicks(d.findChild<QLineEdit*>("TxtOwner"), " and Co");
      }
      QTest::keyClick(&d, Qt::Key_Escape);
    });
    return d.exec();
  };
  Click("CmdNext");
  Click("ChkGet_Win2k");
  Click("CmdNext");
  ASSERT_EQ(window->pages()->currentIndex(), 4);
  Click("CmdSetWin9xInfo");
  Click("CmdSetWin9xInfo");
  ASSERT_EQ(openings, 2);
  EXPECT_EQ(form->Win9xInfo().TxtOwner.Text, "kivUser and Co");
  EXPECT_TRUE(noteAt[0].isNull());
  // Shown whole, between the fields and the buttons.
  ASSERT_FALSE(noteAt[1].isNull());
  EXPECT_GE(noteAt[1].height(), window->Win9xDialog().fontMetrics().height());
  EXPECT_LE(noteAt[1].bottom(), okAt[1].top());
}

TEST_F(WindowTest, Win2KDialogKeyFocusOptionsAndCancel) {
  window->RunDialog = [](QDialog&) { return 0; };
  Click("CmdNext");
  Click("CmdNext");
  Click("CmdSetWin2KInfo");
  Win2KInfoDialog& dialog = window->Win2KDialog();
  EXPECT_EQ(dialog.windowTitle(), "Windows 2K/XP/2003 Installation Info");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("TxtTemplate")->text().toStdString(), P("files/inf_files/win2k_template.inf"));
  EXPECT_EQ(dialog.findChild<QLineEdit*>("TxtOwner")->text(), "Template Owner");
  form->Win2KInfo().Show();
  TypeKeyAndExpectFocusToMoveOn(dialog);
  QTest::mouseClick(dialog.findChild<QRadioButton*>("OptJoinDomain"), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_TRUE(form->Win2KInfo().OptJoinDomain.Value);
  EXPECT_FALSE(form->Win2KInfo().OptJoinWorkgroup.Value);
  QTest::mouseClick(dialog.findChild<QPushButton*>("CmdCancel"), Qt::LeftButton);
  EXPECT_FALSE(form->Win2KInfo().Visible);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "keyfile2.txt"));
  // The edits stay for the next opening, which says they are in use.
  EXPECT_EQ(form->Win2KInfo().ProductKey(), "ABCDE-ABCDE-ABCDE-ABCDE-ABCDE");
  auto* kept = dialog.findChild<QLabel*>("LblKeptEdits");
  ASSERT_NE(kept, nullptr);
  EXPECT_FALSE(kept->isVisibleTo(&dialog));
  Click("CmdSetWin2KInfo");
  dialog.Refresh();
  EXPECT_TRUE(kept->isVisibleTo(&dialog));
  EXPECT_NE(kept->text().indexOf("still in use"), -1) << kept->text().toStdString();
  // OK stores them: from then on there is nothing kept to speak of.
  form->Win2KInfo().Show();
  dialog.show();
  QTest::mouseClick(dialog.okButton, Qt::LeftButton);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "keyfile2.txt"));
  Click("CmdSetWin2KInfo");
  dialog.Refresh();
  EXPECT_FALSE(kept->isVisibleTo(&dialog));
}

TEST_F(WindowTest, Win2KTemplateBoxShowsTheWholeDefaultPath) {
  // A program folder with a path of everyday length (the fixture's is long).
  ProgramFolder installed;
  kiv::testing::FakePlatform platform;
  platform.programFolder = installed.dir;
  FrmCDBuild model(installed.dir, *prompter, {SystemLauncher(), platform});
  model.Form_Load();
  CdBuildWindow view(model, *prompter);
  view.RunDialog = [](QDialog& d) {
    d.show();
    return 0;
  };
  view.show();
  view.control<QPushButton>("CmdSetWin2KInfo")->click();
  auto* box = view.Win2KDialog().findChild<QLineEdit*>("TxtTemplate");
  ASSERT_EQ(box->text().toStdString(), installed.P("files/inf_files/win2k_template.inf"));
  QCoreApplication::processEvents();
  // The text area of a line edit is its width less the frame and margins,
  // and within it the text keeps 2 pixels from either side.
  QStyleOptionFrame option;
  option.initFrom(box);
  const QRect area = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
  EXPECT_GE(area.width() - 4, box->fontMetrics().horizontalAdvance(box->text())) << "box " << box->width() << " px";
}

TEST_F(WindowTest, AfterTheDemoSettingsBothDialogsShowTheirDefaults) {
  // The demo writes its settings into the program folder; the wizard opened
  // afterwards loads them.
  ProgramFolder installed;
  // The program folder's answer-file template, as installed.
  std::filesystem::copy_file(std::string(KIV_SOURCE_DIR) + "/data/files/inf_files/win2k_template.inf",
                             installed.P("files/inf_files/win2k_template.inf"),
                             std::filesystem::copy_options::overwrite_existing);
  // The demo sets them through the program folder's own discsmith.
  std::filesystem::copy_file(std::string(KIV_BUILD_DIR) + "/cdtool/ui/discsmith", installed.P("discsmith"),
                             std::filesystem::copy_options::overwrite_existing);
  const std::string script = std::string(KIV_SOURCE_DIR) + "/scripts/demo-settings.sh";
  ASSERT_EQ(std::system(("bash '" + script + "' '" + installed.dir + "'").c_str()), 0);
  window.reset();
  platform_.programFolder = installed.dir;
  form = std::make_unique<FrmCDBuild>(installed.dir, *prompter, BuildContext{SystemLauncher(), platform_});
  form->Form_Load();
  window = std::make_unique<CdBuildWindow>(*form, *prompter);
  window->RunDialog = [](QDialog&) { return 0; };
  window->show();
  EXPECT_EQ(form->TxtISOLoc.Text, installed.P("kivcd-demo.iso"));

  Click("CmdSetWin9xInfo");
  Win9xInfoDialog& d9 = window->Win9xDialog();
  auto text = [](QDialog& d, const char* name) { return d.findChild<QLineEdit*>(name)->text().toStdString(); };
  EXPECT_EQ(text(d9, "TxtOwner"), "kivUser");
  EXPECT_EQ(text(d9, "TxtOrg"), "VANTO LTD.");
  EXPECT_EQ(text(d9, "TxtPCName"), "kivPC");
  EXPECT_EQ(text(d9, "TxtWorkgroup"), "VANTO_LTD");
  EXPECT_EQ(text(d9, "TxtOSType"), "Microsoft Windows 98");
  for (QLineEdit* box : d9.keyBoxes) EXPECT_TRUE(box->text().isEmpty());

  Click("CmdSetWin2KInfo");
  Win2KInfoDialog& d2 = window->Win2KDialog();
  EXPECT_EQ(text(d2, "TxtTemplate"), installed.P("files/inf_files/win2k_template.inf"));
  EXPECT_EQ(text(d2, "TxtOwner"), "kivUser");
  EXPECT_EQ(text(d2, "TxtOrg"), "VANTO LTD.");
  EXPECT_EQ(text(d2, "TxtPCName"), "kivPC");
  EXPECT_EQ(text(d2, "TxtWorkgroup"), "VANTO_LTD");
  EXPECT_TRUE(d2.findChild<QRadioButton*>("OptJoinWorkgroup")->isChecked());
  for (QLineEdit* box : d2.keyBoxes) EXPECT_TRUE(box->text().isEmpty());
}

TEST_F(WindowTest, HelpWindowFollowsPagesOnlyWhileOpen) {
  Write("help/1110.html", "<html><body><h1>Welcome page</h1></body></html>");
  HelpWindow::Instance().hide();
  Click("CmdNext");
  EXPECT_FALSE(HelpWindow::IsOpen());
  Click("CmdHelp");
  EXPECT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().windowTitle(), "The Kiv Rescue CD Help");
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1120);
  Click("CmdBack");
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1110);
  EXPECT_TRUE(HelpWindow::Instance().Browser()->toPlainText().contains("Welcome page"));
  HelpWindow::Instance().hide();
  Click("CmdNext");
  EXPECT_FALSE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1110);
}

// Closing the window (Alt+F4, the close box) and Cancel ask before edits
// are lost, with the answers editors give: Stay, Discard, Save.
TEST_F(WindowTest, ClosingOrCancellingWithEditsAsksSaveDiscardOrStay) {
  std::vector<QString> captions;
  QMessageBox::StandardButton press = QMessageBox::Cancel;
  prompter->BeforeMessageBox = [&](QMessageBox& box) {
    shown.push_back(box.windowTitle().toStdString() + ": " + box.text().toStdString());
    captions.clear();
    for (QAbstractButton* b : box.buttons()) captions.push_back(b->text());
    std::sort(captions.begin(), captions.end());
    QTimer::singleShot(0, &box, [&box, &press] { box.button(press)->click(); });
  };
  Click("CmdNext");
  Click("CmdNext");
  ASSERT_EQ(window->pages()->currentIndex(), 2);
  auto* source = window->control<QLineEdit>("Txt_i386_Loc");
  source->setFocus();
  QTest::keyClicks(source, "/media/cdrom/I386");

  press = QMessageBox::Cancel;  // Stay
  EXPECT_FALSE(window->close());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Unsaved Settings: The settings have been changed since they were last saved.", 0), 0u)
      << shown[0];
  EXPECT_EQ(captions, (std::vector<QString>{"&Discard", "&Save", "S&tay"}));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(source->text(), "/media/cdrom/I386");

  Click("CmdCancel");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(window->isVisible());
  // Not the page of a cancelled build: the wizard is where it was.
  EXPECT_EQ(window->pages()->currentIndex(), 2);
  EXPECT_TRUE(Enabled("CmdBack"));

  press = QMessageBox::Save;
  Click("CmdCancel");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_TRUE(form->QuitRequested);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(INIFile((dir_ / "kivcd.ini").string()).GetINIKey("Win2K_Info", "SourceDir"), "/media/cdrom/I386");
}

TEST_F(WindowTest, DiscardLeavesTheSettingsFileAsItWasAndNoEditsLeaveAtOnce) {
  prompter->BeforeMessageBox = [this](QMessageBox& box) {
    shown.push_back(box.windowTitle().toStdString());
    QTimer::singleShot(0, &box, [&box] { box.button(QMessageBox::Discard)->click(); });
  };
  Click("CmdNext");
  Click("ChkGet_Advtools");
  EXPECT_TRUE(window->close());
  EXPECT_EQ(shown, (std::vector<std::string>{"Unsaved Settings"}));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "kivcd.ini"));

  // Ticked and unticked again: nothing to ask about.
  window->show();
  Click("ChkGet_Advtools");
  Click("CmdCancel");
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_TRUE(form->QuitRequested);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "kivcd.ini"));
}

// Help asked for in a message box shows over the box and stays on the box's
// topic after it is answered: the wizard's page changes do not take it
// away until the wizard's own Help is pressed.
TEST_F(WindowTest, HelpFromAMessageBoxKeepsItsTopicAfterTheBox) {
  Write("help/1410.html", "<html><body><h1>Why a boot disk fails</h1></body></html>");
  bool overTheBox = false;
  prompter->BeforeMessageBox = [&](QMessageBox& box) {
    QTimer::singleShot(0, &box, [&box, &overTheBox] {
      box.button(QMessageBox::Help)->click();
      overTheBox = HelpWindow::IsOpen() && HelpWindow::Instance().Over() == &box && box.isVisible();
      box.button(QMessageBox::Ok)->click();
    });
  };
  Click("CmdHelp");
  ASSERT_EQ(HelpWindow::Instance().CurrentTopic(), 1110);
  prompter->MsgBox(Message{"The creation the Boot image kivsoftware_emm failed, operation halted", "Fatal Error",
                           Icon::Critical, Buttons::OK, 1410, std::nullopt});
  EXPECT_TRUE(overTheBox);
  ASSERT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().Over(), nullptr);
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1410);
  Click("CmdNext");
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1410);
  EXPECT_TRUE(HelpWindow::Instance().Browser()->toPlainText().contains("Why a boot disk fails"));
  Click("CmdHelp");
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1120);
  Click("CmdBack");
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1110);
}

// At twice the scale a 1280x900 screen has 640x450 pixels: the window can be
// made smaller than its pages, which then scroll, the buttons staying in
// sight, and the field that takes the focus scrolled into view.
TEST_F(WindowTest, PagesScrollInAWindowSmallerThanThemWithTheButtonsInSight) {
  window->resize(600, 320);
  QApplication::processEvents();
  EXPECT_LE(window->width(), 600);
  EXPECT_LE(window->height(), 320);
  form->SetCheck(form->ChkPassProtect, 1);
  for (int page = 0; page < FrmCDBuild::kPageCount; ++page) {
    form->Step = std::min(page, FrmCDBuild::kLastWizardPage);
    form->ShowPage(page);
    window->Refresh();
    QApplication::processEvents();
    for (const char* name : {"CmdHelp", "CmdCancel", "CmdBack", "CmdNext", "CmdFinish"}) {
      auto* button = window->control<QPushButton>(name);
      if (button->isVisibleTo(window.get())) {
        EXPECT_TRUE(window->rect().contains(button->geometry())) << name << " on page " << page;
      }
    }
  }
  // The ISO page is taller than the window: its last box is scrolled to
  // when it gets the focus.
  form->Step = 7;
  form->ShowPage(7);
  window->Refresh();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  auto* area = qobject_cast<QScrollArea*>(window->pages()->currentWidget());
  ASSERT_NE(area, nullptr);
  EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
  auto* last = window->control<QLineEdit>("TxtPass2");
  last->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  const QRect inView(last->mapTo(area->viewport(), QPoint(0, 0)), last->size());
  EXPECT_TRUE(area->viewport()->rect().contains(inView))
      << "box at " << inView.x() << "," << inView.y() << " " << inView.width() << "x" << inView.height() << " in "
      << area->viewport()->width() << "x" << area->viewport()->height();
}

TEST_F(WindowTest, ProgressPageMirrorsTheModel) {
  // The build run drives these members; the page only mirrors them.
  form->ShowPage(FrmCDBuild::kProgressPage);
  form->LblMsg[0].Bold = true;
  form->LblRight[1].Caption = "\u2718";
  form->LblSub_Step.Caption = "Copying : I386";
  form->BarSub_Step.Max = int64_t{5} << 32;  // beyond an int
  form->BarSub_Step.Value = int64_t{5} << 31;
  form->BarSub_Step.Visible = true;
  form->PumpEvents();
  EXPECT_EQ(window->pages()->currentIndex(), FrmCDBuild::kProgressPage);
  EXPECT_TRUE(window->control<QLabel>("LblMsg1")->font().bold());
  EXPECT_EQ(window->control<QLabel>("LblRight2")->text(), QString::fromUtf8("\u2718"));
  EXPECT_EQ(window->control<QLabel>("LblSub_Step")->text(), "Copying : I386");
  auto* bar = window->control<QProgressBar>("BarSub_Step");
  EXPECT_EQ(bar->value() * 2, bar->maximum());
}

TEST_F(WindowTest, F1OpensTheHelpOfThePageWhateverHasTheFocus) {
  HelpWindow::Instance().hide();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  Click("CmdNext");
  auto* win2k = window->control<QCheckBox>("ChkGet_Win2k");
  win2k->setFocus();
  QTest::keyClick(win2k, Qt::Key_F1);
  ASSERT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1120);
  HelpWindow::Instance().hide();

  form->Step = 7;
  form->ShowPage(7);
  window->Refresh();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  auto* iso = window->control<QLineEdit>("TxtISOLoc");
  iso->setFocus();
  QTest::keyClick(iso, Qt::Key_F1);
  ASSERT_TRUE(HelpWindow::IsOpen());
  EXPECT_EQ(HelpWindow::Instance().CurrentTopic(), 1180);
}

// The title of the dialog a key pressed in the active `window` opens (closed
// again at once); "" when none opens within a second.
std::string DialogOpenedBy(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return "(window not active)";
  QWidget* at = QApplication::focusWidget() ? QApplication::focusWidget() : window;
  std::string title;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&title] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      title = dialog->windowTitle().toStdString();
      dialog->close();
    }
  });
  poll.start(10);
  QTest::keyClick(at, key, modifiers);
  for (int i = 0; i < 100 && title.empty(); ++i) QTest::qWait(10);
  return title;
}

// Pages with two folders (or files) have two Browse buttons, the utilities
// page two Explore buttons as well: Alt with the letter each one shows
// presses that one, not only moves the focus between look-alikes.
TEST_F(WindowTest, EachBrowseAndExploreOfAPageHasALetterOfItsOwnThatPressesIt) {
  form->SetCheck(form->ChkSlipstream, 1);
  form->SetCheck(form->ChkGet_Advtools, 1);
  form->SetCheck(form->ChkERDC, 1);
  form->SetCheck(form->ChkBCon, 1);
  form->TxtUtils_Loc.Text = P("tools");
  form->TxtAddFiles_Loc.Text = P("extra");
  struct PageKeys {
    int page;
    std::vector<std::pair<Qt::Key, std::string>> dialogs;  // Alt+key -> the dialog's title
  };
  const std::vector<PageKeys> pages = {
      {2, {{Qt::Key_R, "Select Windows 2000/XP Location"}, {Qt::Key_E, "Specify the Windows Service pack file"}}},
      {5, {{Qt::Key_R, "Select ERD Commander CD Root"}, {Qt::Key_E, "Select BlueCon CD Root"}}},
      {6,
       {{Qt::Key_R, "Select 'kiv_utilities' folder location"},
        {Qt::Key_E, "Select 'Additional Files' folder location"}}},
  };
  for (const PageKeys& keys : pages) {
    form->Step = keys.page;
    form->ShowPage(keys.page);
    window->Refresh();
    std::map<QString, QString> letters;  // letter -> the button that shows it
    for (auto* button : window->findChildren<QPushButton*>()) {
      const QString letter = QKeySequence::mnemonic(button->text()).toString();
      if (!button->isVisibleTo(window.get()) || letter.isEmpty()) continue;
      const auto [at, fresh] = letters.emplace(letter, button->objectName());
      EXPECT_TRUE(fresh) << "page " << keys.page << ": " << letter.toStdString() << " on " << at->second.toStdString()
                         << " and " << button->objectName().toStdString();
    }
    for (const auto& [key, title] : keys.dialogs)
      EXPECT_EQ(DialogOpenedBy(window.get(), key, Qt::AltModifier), title) << "page " << keys.page;
  }
  // The utilities page's Explore buttons show each its own folder.
  EXPECT_EQ(DialogOpenedBy(window.get(), Qt::Key_X, Qt::AltModifier), "");
  EXPECT_EQ(DialogOpenedBy(window.get(), Qt::Key_P, Qt::AltModifier), "");
  EXPECT_EQ(platform_.opened, (std::vector<std::string>{P("tools"), P("extra")}));
}

}  // namespace
}  // namespace kiv::testing
