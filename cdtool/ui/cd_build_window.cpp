#include "cdtool/ui/cd_build_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QVBoxLayout>

#include "cdtool/build/iso_step.h"
#include "cdtool/ui/info_dialogs.h"
#include "cdtool/ui/usb_write_dialog.h"
#include "cdtool/wizard/frm_cd_build.h"
#include "cdtool/wizard/usb_write_model.h"
#include "common/paths.h"
#include "common/ui/help_window.h"
#include "common/ui/page_scroll.h"
#include "common/ui/password_style.h"
#include "common/ui/qt_prompter.h"
#include "common/ui/widget_caption.h"
#include "common/ui/wizard_keys.h"
#include "common/vm_trial.h"

namespace kiv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QVBoxLayout* Column(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(12, 8, 12, 8);
  return layout;
}

QGroupBox* Frame(QWidget* parent, const Label& caption, const char* name) {
  auto* frame = new QGroupBox(LiteralCaption(caption.Caption), parent);
  frame->setObjectName(name);
  return frame;
}

}  // namespace

CdBuildWindow::CdBuildWindow(FrmCDBuild& form, QtPrompter& prompter) : QWidget(nullptr), f_(form), prompter_(prompter) {
  setObjectName("FrmCDBuild");
  setWindowTitle(Q(f_.Caption));
  prompter_.SetOwner(this);
  prompter_.BeforeAsking = [this] { Refresh(); };
  RunDialog = [](QDialog& d) { return d.exec(); };
  f_.HelpWindowOpen = [] { return HelpWindow::FollowsPages(); };
  f_.OnPumpEvents = [this] {
    Refresh();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  };

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 8);
  auto* body = new QHBoxLayout();
  body->setSpacing(0);
  body->addWidget(MakeSideStrip());
  pages_ = new QStackedWidget(this);
  pages_->setObjectName("FraMain");
  // Each page scrolls on its own when the window is smaller than it (a
  // small screen, a large scale); the buttons below stay in sight.
  for (QWidget* page :
       {Page0(), Page1(), Page2(), Page3(), Page4(), Page5(), Page6(), Page7(), Page8(), Page9(), Page10(), Page11()}) {
    GiveSecondCommandsOwnLetters(page);
    pages_->addWidget(ScrollingPage(page));
  }
  body->addWidget(pages_, 1);
  outer->addLayout(body, 1);

  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  outer->addWidget(rule);
  auto* buttons = new QHBoxLayout();
  buttons->setContentsMargins(10, 0, 10, 0);
  buttons->addWidget(MakeButton(this, f_.CmdHelp, "CmdHelp", [this] { f_.CmdHelp_Click(); }));
  buttons->addStretch();
  buttons->addWidget(MakeButton(this, f_.CmdCancel, "CmdCancel", [this] { f_.CmdCancel_Click(); }));
  buttons->addSpacing(12);
  buttons->addWidget(MakeButton(this, f_.CmdBack, "CmdBack", [this] { f_.CmdBack_Click(); }));
  buttons->addWidget(MakeButton(this, f_.CmdNext, "CmdNext", [this] { f_.CmdNext_Click(); }));
  buttons->addWidget(MakeButton(this, f_.CmdFinish, "CmdFinish", [this] { f_.CmdFinish_Click(); }));
  outer->addLayout(buttons);
  PressOnHelpKey(control<QPushButton>("CmdHelp"));
  // The disk builder's "Please Wait" window opens over this window.
  f_.WindowFrame = [this] {
    const QRect frame = frameGeometry();
    return std::optional<ScreenRect>(ScreenRect{frame.x(), frame.y(), frame.width(), frame.height()});
  };

  resize(660, 470);
  FitOnScreen(this);
  Refresh();
  FocusFirstStop();
}

CdBuildWindow::~CdBuildWindow() {
  prompter_.BeforeAsking = nullptr;
  f_.WindowFrame = nullptr;
}

void CdBuildWindow::keyPressEvent(QKeyEvent* event) {
  // Enter on a focused button presses it, anywhere else Next (Finish where
  // that is the way on).
  if (PressButtonOnEnter(this, event)) return;
  QWidget::keyPressEvent(event);
}

void CdBuildWindow::closeEvent(QCloseEvent* event) {
  // The model decides: before Finish is on offer the close box leaves
  // without saving, after it it ends the session as Finish does, during a
  // build it asks whether to cancel first.
  const bool may = f_.Form_QueryUnload();
  Refresh();
  if (!may) {
    event->ignore();
    return;
  }
  if (HelpWindow::IsOpen()) HelpWindow::Instance().close();
  event->accept();
}

void CdBuildWindow::Refresh() {
  for (auto& bind : binds_) bind();
  setWindowTitle(Q(f_.WindowTitle()));
  if (pages_->currentIndex() != f_.VisiblePage) {
    pages_->setCurrentIndex(f_.VisiblePage);
    FocusFirstStop();
  }
  if (f_.RaiseRequested) {
    f_.RaiseRequested = false;
    raise();
    activateWindow();
  }
}

void CdBuildWindow::FocusFirstStop() {
  // A new page starts at its first field, top left; a page without one
  // (welcome, progress, finish) at the button Enter would press, so Enter
  // goes on rather than pressing whatever had the focus before.
  // The whole chain, in Tab order: the page went into its scroll area after
  // its fields were made, so it does not start their part of the chain.
  QWidget* page = pages_->currentWidget();
  for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain()) {
    if (page->isAncestorOf(w) && w->isVisibleTo(this) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  for (QPushButton* button : findChildren<QPushButton*>())
    if (button->isDefault() && button->isVisibleTo(this) && button->isEnabled()) {
      button->setFocus(Qt::TabFocusReason);
      return;
    }
}

void CdBuildWindow::AfterEvent() {
  Refresh();
  if (f_.QuitRequested) {
    close();
    qApp->quit();
  }
}

std::function<void()> CdBuildWindow::Handler(std::function<void()> fn) {
  return [this, fn = std::move(fn)] {
    fn();
    AfterEvent();
  };
}

QLabel* CdBuildWindow::MakeLabel(QWidget* parent, Label& label, const char* name) {
  auto* w = new QLabel(parent);
  w->setObjectName(name);
  w->setWordWrap(true);
  // Captions and file names are shown as they are, never read as markup.
  w->setTextFormat(Qt::PlainText);
  binds_.push_back([w, &label] {
    w->setText(Q(label.Caption));
    w->setEnabled(label.Enabled);
    w->setVisible(label.Visible);
    QFont font = w->font();
    if (font.bold() != label.Bold) {
      font.setBold(label.Bold);
      w->setFont(font);
    }
    if (label.Red != (w->property("kivRed").toBool())) {
      w->setProperty("kivRed", label.Red);
      QPalette palette = w->palette();
      palette.setColor(QPalette::WindowText,
                       label.Red ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::WindowText));
      w->setPalette(palette);
    }
  });
  return w;
}

QLabel* CdBuildWindow::MakeHeadline(QWidget* parent, Label& label, const char* name) {
  QLabel* w = MakeLabel(parent, label, name);
  QFont font = w->font();
  font.setPointSizeF(font.pointSizeF() * 1.35);
  font.setBold(true);
  w->setFont(font);
  label.Bold = true;
  w->setContentsMargins(0, 6, 0, 10);
  return w;
}

QLineEdit* CdBuildWindow::MakeText(QWidget* parent, TextBox& box, const char* name, std::function<void()> changed) {
  auto* w = new QLineEdit(parent);
  w->setObjectName(name);
  connect(w, &QLineEdit::textEdited, this, [this, &box, changed = std::move(changed)](const QString& t) {
    box.Text = t.toStdString();
    if (changed) Handler(changed)();
  });
  binds_.push_back([w, &box] {
    if (w->text() != Q(box.Text)) w->setText(Q(box.Text));
    w->setEnabled(box.Enabled);
    w->setVisible(box.Visible);
  });
  return w;
}

QCheckBox* CdBuildWindow::MakeCheck(QWidget* parent, CheckBox& box, const char* name) {
  auto* w = new QCheckBox(LiteralCaption(box.Caption), parent);
  w->setObjectName(name);
  // Tri-state to show the stored 2 (greyed); a click goes to the model, which
  // decides the new state.
  w->setTristate(true);
  connect(w, &QCheckBox::clicked, this, Handler([this, &box] { f_.ClickCheck(box); }));
  binds_.push_back([w, &box] {
    const Qt::CheckState state = box.Value == 0 ? Qt::Unchecked : (box.Value == 2 ? Qt::PartiallyChecked : Qt::Checked);
    if (w->checkState() != state) w->setCheckState(state);
    w->setEnabled(box.Enabled);
    w->setVisible(box.Visible);
  });
  return w;
}

QPushButton* CdBuildWindow::MakeButton(QWidget* parent, Button& button, const char* name, std::function<void()> click) {
  auto* w = new QPushButton(ButtonCaption(button.Caption), parent);
  w->setObjectName(name);
  connect(w, &QPushButton::clicked, this, Handler(std::move(click)));
  binds_.push_back([this, w, &button] {
    w->setEnabled(button.Enabled);
    w->setVisible(button.Visible);
    // Enter presses the model's default button (see keyPressEvent); the
    // style marks it.
    w->setDefault(&button == f_.DefaultButton());
  });
  return w;
}

QWidget* CdBuildWindow::MakeSideStrip() {
  auto* strip = new QLabel(this);
  strip->setObjectName("PicSideImage");
  strip->setTextFormat(Qt::PlainText);
  const int w = 150, h = 420;
  QPixmap pix(w, h);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, h);
  sky.setColorAt(0, QColor(18, 42, 92));
  sky.setColorAt(1, QColor(20, 128, 140));
  p.fillRect(pix.rect(), sky);
  // A disc.
  const QPointF c(w / 2.0, 120);
  QRadialGradient shine(c, 58);
  shine.setColorAt(0, QColor(235, 240, 250));
  shine.setColorAt(0.6, QColor(170, 190, 215));
  shine.setColorAt(1, QColor(120, 140, 180));
  p.setBrush(shine);
  p.setPen(QPen(QColor(255, 255, 255, 160), 1.5));
  p.drawEllipse(c, 58, 58);
  p.setBrush(sky);
  p.drawEllipse(c, 12, 12);
  p.setPen(QColor(255, 255, 255, 220));
  QFont font = p.font();
  font.setBold(true);
  font.setPointSize(17);
  p.setFont(font);
  p.drawText(QRect(0, 200, w, 40), Qt::AlignCenter, QStringLiteral("kiv"));
  font.setPointSize(11);
  font.setBold(false);
  p.setFont(font);
  p.drawText(QRect(0, 236, w, 30), Qt::AlignCenter, QStringLiteral("Rescue CD Builder"));
  p.end();
  strip->setPixmap(pix);
  strip->setFixedWidth(w);
  // The picture is cut at the bottom in a window lower than it.
  strip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
  strip->setAlignment(Qt::AlignTop);
  strip->setStyleSheet(QStringLiteral("background: rgb(20,128,140);"));
  return strip;
}

QWidget* CdBuildWindow::Page0() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label12, "Label12"));
  col->addWidget(MakeLabel(page, f_.Label11, "Label11"));
  col->addSpacing(10);
  col->addWidget(MakeLabel(page, f_.Label9, "Label9"));
  col->addStretch();
  col->addWidget(MakeLabel(page, f_.Label18, "Label18"));
  return page;
}

QWidget* CdBuildWindow::Page1() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label20, "Label20"));
  col->addWidget(MakeCheck(page, f_.ChkGet_kivdisks, "ChkGet_kivdisks"));
  auto* sub = new QVBoxLayout();
  sub->setContentsMargins(24, 0, 0, 0);
  sub->addWidget(MakeCheck(page, f_.ChkGet_kivnetplus, "ChkGet_kivnetplus"));
  sub->addWidget(MakeCheck(page, f_.ChkSelectDrivers, "ChkSelectDrivers"));
  col->addLayout(sub);
  col->addWidget(MakeCheck(page, f_.ChkGet_Win2k, "ChkGet_Win2k"));
  col->addWidget(MakeCheck(page, f_.ChkGet_Win9x, "ChkGet_Win9x"));
  col->addWidget(MakeCheck(page, f_.ChkGet_Win10, "ChkGet_Win10"));
  col->addWidget(MakeCheck(page, f_.ChkGet_Advtools, "ChkGet_Advtools"));
  col->addWidget(MakeCheck(page, f_.ChkGet_LinuxRescue, "ChkGet_LinuxRescue"));
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page2() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label4, "Label4"));
  col->addWidget(MakeLabel(page, f_.Label2, "Label2"));
  auto* src = new QHBoxLayout();
  src->addWidget(MakeText(page, f_.Txt_i386_Loc, "Txt_i386_Loc", [this] { f_.Txt_i386_Loc_Change(); }), 1);
  src->addWidget(MakeButton(page, f_.CmdBrw_i386_loc, "CmdBrw_i386_loc", [this] { f_.CmdBrw_i386_loc_Click(); }));
  col->addLayout(src);
  auto* type = new QHBoxLayout();
  type->addWidget(MakeLabel(page, f_.Label17, "Label17"));
  QLabel* ver = MakeLabel(page, f_.LblWin2KOSVer, "LblWin2KOSVer");
  type->addWidget(ver, 1);
  col->addLayout(type);
  col->addSpacing(8);
  col->addWidget(MakeCheck(page, f_.ChkSlipstream, "ChkSlipstream"));
  QGroupBox* sp = Frame(page, Label{}, "FraSP_Loc");
  auto* spCol = new QVBoxLayout(sp);
  spCol->addWidget(MakeLabel(sp, f_.LblSP, "LblSP"));
  auto* spRow = new QHBoxLayout();
  spRow->addWidget(MakeText(sp, f_.TxtSP_exe, "TxtSP_exe"), 1);
  spRow->addWidget(MakeButton(sp, f_.CmdBrw_spexe, "CmdBrw_spexe", [this] { f_.CmdBrw_spexe_Click(); }));
  spCol->addLayout(spRow);
  col->addWidget(sp);
  // The hotfix controls are switched off for good (never shown, no
  // function): the model keeps them, the page has no widgets for them.
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page3() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label5, "Label5"));
  QGroupBox* misc = Frame(page, f_.Frame5, "Frame5");
  auto* miscCol = new QVBoxLayout(misc);
  miscCol->addWidget(MakeCheck(misc, f_.ChkDelTree_Lang, "ChkDelTree_Lang"));
  miscCol->addWidget(MakeLabel(misc, f_.Label6, "Label6"));
  col->addWidget(misc);
  QGroupBox* info = Frame(page, f_.Frame1, "Frame1");
  auto* infoCol = new QVBoxLayout(info);
  auto* btnRow = new QHBoxLayout();
  btnRow->addWidget(MakeButton(info, f_.CmdSetWin2KInfo, "CmdSetWin2KInfo", [this] {
    FrmWin2KInfo& model = f_.CmdSetWin2KInfo_Click();
    Win2KInfoDialog& dialog = Win2KDialog();
    dialog.Refresh();
    RunDialog(dialog);
    if (model.Visible) model.CmdCancel_Click();
  }));
  btnRow->addStretch();
  infoCol->addLayout(btnRow);
  infoCol->addWidget(MakeCheck(info, f_.ChkWin2KInfo_Assis, "ChkWin2KInfo_Assis"));
  infoCol->addWidget(MakeCheck(info, f_.ChkWin2KInfo_Unattend, "ChkWin2KInfo_Unattend"));
  col->addWidget(info);
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page4() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label7, "Label7"));
  col->addWidget(MakeLabel(page, f_.Label10, "Label10"));
  auto* src = new QHBoxLayout();
  src->addWidget(MakeText(page, f_.TxtWin9x_Loc, "TxtWin9x_Loc"), 1);
  src->addWidget(MakeButton(page, f_.CmdBrw_Win9xLoc, "CmdBrw_Win9xLoc", [this] { f_.CmdBrw_Win9xLoc_Click(); }));
  col->addLayout(src);
  col->addSpacing(8);
  QGroupBox* info = Frame(page, f_.Frame3, "Frame3");
  auto* infoCol = new QVBoxLayout(info);
  infoCol->addWidget(MakeCheck(info, f_.ChkWin9xInfo_MSBatch, "ChkWin9xInfo_MSBatch"));
  infoCol->addWidget(MakeCheck(info, f_.ChkWin9xInfo_Assis, "ChkWin9xInfo_Assis"));
  auto* btnRow = new QHBoxLayout();
  btnRow->addWidget(MakeButton(info, f_.CmdSetWin9xInfo, "CmdSetWin9xInfo", [this] {
    FrmWin9xInfo& model = f_.CmdSetWin9xInfo_Click();
    Win9xInfoDialog& dialog = Win9xDialog();
    dialog.Refresh();
    RunDialog(dialog);
    if (model.Visible) model.CmdCancel_Click();
  }));
  btnRow->addStretch();
  infoCol->addLayout(btnRow);
  col->addWidget(info);
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page5() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label120, "Label120"));
  col->addWidget(MakeCheck(page, f_.ChkERDC, "ChkERDC"));
  col->addWidget(MakeLabel(page, f_.LblERDC, "LblERDC"));
  auto* erd = new QHBoxLayout();
  erd->addWidget(MakeText(page, f_.TxtERDC, "TxtERDC"), 1);
  erd->addWidget(MakeButton(page, f_.CmdBrw_ERDC, "CmdBrw_ERDC", [this] { f_.CmdBrw_ERDC_Click(); }));
  col->addLayout(erd);
  col->addSpacing(12);
  col->addWidget(MakeCheck(page, f_.ChkBCon, "ChkBCon"));
  col->addWidget(MakeLabel(page, f_.LblBCon, "LblBCon"));
  auto* bcon = new QHBoxLayout();
  bcon->addWidget(MakeText(page, f_.TxtBCon, "TxtBCon"), 1);
  bcon->addWidget(MakeButton(page, f_.CmdBrw_BCon, "CmdBrw_BCon", [this] { f_.CmdBrw_BCon_Click(); }));
  col->addLayout(bcon);
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page6() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label1, "Label1"));
  col->addWidget(MakeCheck(page, f_.ChkKivUtils, "ChkKivUtils"));
  col->addWidget(MakeLabel(page, f_.LblUtils, "LblUtils"));
  auto* utils = new QHBoxLayout();
  utils->addWidget(MakeText(page, f_.TxtUtils_Loc, "TxtUtils_Loc"), 1);
  utils->addWidget(MakeButton(page, f_.CmdBrw_Utils, "CmdBrw_Utils", [this] { f_.CmdBrw_Utils_Click(); }));
  utils->addWidget(MakeButton(page, f_.CmdExp_Utils, "CmdExp_Utils", [this] { f_.CmdExp_Utils_Click(); }));
  col->addLayout(utils);
  col->addSpacing(12);
  col->addWidget(MakeCheck(page, f_.ChkAddFiles, "ChkAddFiles"));
  col->addWidget(MakeLabel(page, f_.LblAddFiles, "LblAddFiles"));
  auto* add = new QHBoxLayout();
  add->addWidget(MakeText(page, f_.TxtAddFiles_Loc, "TxtAddFiles_Loc"), 1);
  add->addWidget(MakeButton(page, f_.CmdBrw_AddFiles, "CmdBrw_AddFiles", [this] { f_.CmdBrw_AddFiles_Click(); }));
  add->addWidget(MakeButton(page, f_.CmdExp_AddFiles, "CmdExp_AddFiles", [this] { f_.CmdExp_AddFiles_Click(); }));
  col->addLayout(add);
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page7() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label21, "Label21"));
  QGroupBox* iso = Frame(page, f_.Frame9, "Frame9");
  auto* isoCol = new QVBoxLayout(iso);
  isoCol->addWidget(MakeLabel(iso, f_.Label3, "Label3"));
  auto* dest = new QHBoxLayout();
  dest->addWidget(MakeText(iso, f_.TxtISOLoc, "TxtISOLoc"), 1);
  dest->addWidget(MakeButton(iso, f_.CmdBrw_ISOfile, "CmdBrw_ISOfile", [this] { f_.CmdBrw_ISOfile_Click(); }));
  isoCol->addLayout(dest);
  isoCol->addWidget(MakeCheck(iso, f_.ChkOptimizeISO, "ChkOptimizeISO"));
  isoCol->addWidget(MakeCheck(iso, f_.ChkCleanSession, "ChkCleanSession"));
  col->addWidget(iso);
  QGroupBox* pass = Frame(page, Label{}, "Frame6");
  auto* grid = new QGridLayout(pass);
  grid->addWidget(MakeCheck(pass, f_.ChkPassProtect, "ChkPassProtect"), 0, 0, 1, 2);
  grid->addWidget(MakeLabel(pass, f_.LblPass1, "LblPass1"), 1, 0);
  QLineEdit* p1 = MakeText(pass, f_.TxtPass1, "TxtPass1");
  MaskWithStars(p1);
  grid->addWidget(p1, 1, 1);
  grid->addWidget(MakeLabel(pass, f_.LblPass2, "LblPass2"), 2, 0);
  QLineEdit* p2 = MakeText(pass, f_.TxtPass2, "TxtPass2");
  MaskWithStars(p2);
  grid->addWidget(p2, 2, 1);
  col->addWidget(pass);
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page8() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.Label123, "Label123"));
  auto* summary = new QPlainTextEdit(page);
  summary->setObjectName("TxtSummery");
  summary->setReadOnly(true);
  summary->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  summary->setLineWrapMode(QPlainTextEdit::NoWrap);
  summary->setTabChangesFocus(true);
  binds_.push_back([this, summary] {
    QString text = Q(f_.TxtSummery.Text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (summary->toPlainText() != text) summary->setPlainText(text);
  });
  col->addWidget(summary, 1);
  return page;
}

QWidget* CdBuildWindow::Page9() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.LblFinish, "LblFinish"));
  QLabel* abort = MakeLabel(page, f_.LblAbort, "LblAbort");
  abort->setStyleSheet(QStringLiteral("color: #b00000;"));
  col->addWidget(abort);
  col->addWidget(MakeLabel(page, f_.LblEnding, "LblEnding"));
  QLabel* outcome = MakeLabel(page, f_.LblOutcome, "LblOutcome");
  outcome->setWordWrap(true);
  outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
  col->addWidget(outcome);
  QLabel* log = MakeLabel(page, f_.LblBuildLog, "LblBuildLog");
  log->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* logRow = new QHBoxLayout();
  logRow->addWidget(log, 1);
  logRow->addWidget(MakeButton(page, f_.CmdOpenLog, "CmdOpenLog", [this] { f_.CmdOpenLog_Click(); }));
  col->addLayout(logRow);
  col->addSpacing(16);
  auto link = [&](Label& label, const char* name, std::function<void()> click) {
    auto* w = new QLabel(page);
    w->setObjectName(name);
    w->setTextFormat(Qt::RichText);
    w->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(w, &QLabel::linkActivated, this, Handler(std::move(click)));
    binds_.push_back([w, &label] {
      w->setText(QStringLiteral("<a href=\"#\">%1</a>").arg(Q(label.Caption).toHtmlEscaped()));
      w->setVisible(label.Visible);
    });
    col->addWidget(w);
  };
  link(f_.LblLink_Home, "LblLink_Home", [this] { f_.LblLink_Home_Click(); });
  link(f_.LblLink_Tools, "LblLink_Tools", [this] { f_.LblLink_Tools_Click(); });
  link(f_.LblLink_BootMenu, "LblLink_BootMenu", [this] { f_.LblLink_BootMenu_Click(); });
  // The finished ISO in QEMU; without QEMU the button stays in sight,
  // disabled, with a note below the row on what to install.
  QPushButton* openFolder = MakeButton(page, f_.CmdOpenFolder, "CmdOpenFolder", [this] { f_.CmdOpenFolder_Click(); });
  auto* tryVm = new QPushButton(ButtonCaption(kTryInVmCaption), page);
  tryVm->setObjectName("CmdTryInVm");
  connect(tryVm, &QPushButton::clicked, this, Handler([this] { TryInVm(f_.IsoFile(), VmMedium::Cd, Vm); }));
  auto* vmNote = new QLabel(page);
  vmNote->setObjectName("LblTryInVmNote");
  vmNote->setTextFormat(Qt::PlainText);
  vmNote->setWordWrap(true);
  vmNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
  binds_.push_back([this, tryVm, vmNote] {
    const VmTrialOffer offer = f_.IsoMade() ? TryInVmOffer(f_.IsoFile(), Vm) : VmTrialOffer{};
    tryVm->setVisible(offer.shown);
    tryVm->setEnabled(offer.enabled);
    tryVm->setToolTip(Q(offer.note));
    vmNote->setText(Q(offer.note));
    vmNote->setVisible(offer.shown && !offer.note.empty());
  });
  // The finished ISO onto a USB stick, in a dialog of its own.
  auto* writeUsb = new QPushButton(ButtonCaption(kWriteUsbCaption), page);
  writeUsb->setObjectName("CmdWriteUsb");
  connect(writeUsb, &QPushButton::clicked, this, Handler([this] {
            UsbWriteModel model(f_.IsoFile(), UsbDeviceSettingFromEnvironment(f_.environment), prompter_);
            UsbWriteDialog dialog(model, this);
            RunDialog(dialog);
          }));
  binds_.push_back([this, writeUsb] { writeUsb->setVisible(f_.IsoMade()); });
  col->addSpacing(12);
  auto* actions = new QHBoxLayout();
  actions->addWidget(openFolder);
  actions->addWidget(tryVm);
  actions->addWidget(writeUsb);
  actions->addStretch();
  col->addLayout(actions);
  col->addWidget(vmNote);
  col->addStretch();
  return page;
}

QWidget* CdBuildWindow::Page10() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.LblWait, "LblWait"));
  auto* grid = new QGridLayout();
  for (int i = 0; i < 5; ++i) {
    const std::string msg = "LblMsg" + std::to_string(i + 1);
    const std::string right = "LblRight" + std::to_string(i + 1);
    QLabel* mark = MakeLabel(page, f_.LblRight[i], "");
    mark->setObjectName(Q(right));
    mark->setFixedWidth(24);
    mark->setAlignment(Qt::AlignCenter);
    QLabel* line = MakeLabel(page, f_.LblMsg[i], "");
    line->setObjectName(Q(msg));
    grid->addWidget(mark, i, 0);
    grid->addWidget(line, i, 1);
  }
  col->addLayout(grid);
  col->addSpacing(16);
  col->addWidget(MakeLabel(page, f_.LblSub_Step, "LblSub_Step"));
  auto* bar = new QProgressBar(page);
  bar->setObjectName("BarSub_Step");
  binds_.push_back([this, bar] {
    const ProgressBar& b = f_.BarSub_Step;
    // Byte counts exceed an int: the bar shows them in 1/10000 steps.
    constexpr int64_t kScale = 10000;
    const int64_t span = b.Max - b.Min;
    if (span <= 0) {
      bar->setRange(0, 1);
      bar->setValue(0);
    } else if (span <= kScale) {
      bar->setRange(0, static_cast<int>(span));
      bar->setValue(static_cast<int>(std::clamp<int64_t>(b.Value - b.Min, 0, span)));
    } else {
      bar->setRange(0, static_cast<int>(kScale));
      bar->setValue(static_cast<int>(std::clamp<int64_t>(b.Value - b.Min, 0, span) * kScale / span));
    }
    bar->setVisible(b.Visible);
  });
  col->addWidget(bar);
  // The whole build, with the time it still takes.
  col->addSpacing(12);
  col->addWidget(MakeLabel(page, f_.LblOverall, "LblOverall"));
  auto* overall = new QProgressBar(page);
  overall->setObjectName("BarOverall");
  overall->setRange(0, 1000);
  binds_.push_back([this, overall] {
    const ProgressBar& b = f_.BarOverall;
    overall->setValue(static_cast<int>(std::clamp<int64_t>(b.Value, 0, 1000)));
    overall->setVisible(b.Visible);
  });
  col->addWidget(overall);
  col->addStretch();
  return page;
}

// Windows 10/11 (after page 4): the medium, an ISO image or a folder, its
// type, and the answers' dialog, laid out as the Windows 2000/XP pages.
QWidget* CdBuildWindow::Page11() {
  auto* page = new QWidget(this);
  auto* col = Column(page);
  col->addWidget(MakeHeadline(page, f_.LblWin10Head, "LblWin10Head"));
  col->addWidget(MakeLabel(page, f_.LblWin10Loc, "LblWin10Loc"));
  auto* src = new QHBoxLayout();
  src->addWidget(MakeText(page, f_.TxtWin10_Loc, "TxtWin10_Loc", [this] { f_.TxtWin10_Loc_Change(); }), 1);
  src->addWidget(MakeButton(page, f_.CmdBrw_Win10Iso, "CmdBrw_Win10Iso", [this] { f_.CmdBrw_Win10Iso_Click(); }));
  src->addWidget(MakeButton(page, f_.CmdBrw_Win10Loc, "CmdBrw_Win10Loc", [this] { f_.CmdBrw_Win10Loc_Click(); }));
  col->addLayout(src);
  QLabel* hint = MakeLabel(page, f_.LblWin10Hint, "LblWin10Hint");
  hint->setStyleSheet(QStringLiteral("color: palette(mid);"));
  col->addWidget(hint);
  auto* type = new QHBoxLayout();
  type->addWidget(MakeLabel(page, f_.LblWin10Type, "LblWin10Type"));
  type->addWidget(MakeLabel(page, f_.LblWin10OSVer, "LblWin10OSVer"), 1);
  col->addLayout(type);
  col->addSpacing(8);
  QGroupBox* info = Frame(page, f_.FraWin10Info, "FraWin10Info");
  auto* infoCol = new QVBoxLayout(info);
  auto* btnRow = new QHBoxLayout();
  btnRow->addWidget(MakeButton(info, f_.CmdSetWin10Info, "CmdSetWin10Info", [this] {
    FrmWin10Info& model = f_.CmdSetWin10Info_Click();
    Win10InfoDialog& dialog = Win10Dialog();
    dialog.Refresh();
    RunDialog(dialog);
    if (model.Visible) model.CmdCancel_Click();
    f_.ShowWin10Answers();
  }));
  btnRow->addStretch();
  infoCol->addLayout(btnRow);
  infoCol->addWidget(MakeLabel(info, f_.LblWin10Answers, "LblWin10Answers"));
  col->addWidget(info);
  col->addStretch();
  return page;
}

Win10InfoDialog& CdBuildWindow::Win10Dialog() {
  if (!win10Dialog_) win10Dialog_ = std::make_unique<Win10InfoDialog>(f_.Win10Info(), this);
  return *win10Dialog_;
}

Win9xInfoDialog& CdBuildWindow::Win9xDialog() {
  if (!win9xDialog_) win9xDialog_ = std::make_unique<Win9xInfoDialog>(f_.Win9xInfo(), this);
  return *win9xDialog_;
}

Win2KInfoDialog& CdBuildWindow::Win2KDialog() {
  if (!win2kDialog_) win2kDialog_ = std::make_unique<Win2KInfoDialog>(f_.Win2KInfo(), this);
  return *win2kDialog_;
}

}  // namespace kiv
