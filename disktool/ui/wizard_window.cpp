#include "disktool/ui/wizard_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include "common/links.h"
#include "common/platform.h"
#include "common/prompter.h"
#include "common/ui/help_window.h"
#include "common/ui/page_scroll.h"
#include "common/ui/widget_caption.h"
#include "common/ui/wizard_keys.h"
#include "common/vm_trial.h"
#include "disktool/ui/drivers_dialog.h"
#include "disktool/wizard/frm_wizard.h"

namespace kiv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Only a changed text is set, so a box being typed in keeps its cursor.
void SetText(QLineEdit* edit, const std::string& text) {
  if (edit->text() != Q(text)) edit->setText(Q(text));
}

QLabel* Text(const char* text, QWidget* parent, bool wrap = true) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setWordWrap(wrap);
  return label;
}

QLabel* Heading(const char* text, QWidget* parent) {
  QLabel* label = Text(text, parent);
  QFont f = label->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 2);
  label->setFont(f);
  return label;
}

// The disk list's pictures, by the catalogue's icon number.
QIcon DiskIcon(QStyle* style, int number) {
  static const QStyle::StandardPixmap kIcons[] = {
      QStyle::SP_DriveFDIcon,  QStyle::SP_DriveCDIcon, QStyle::SP_ComputerIcon, QStyle::SP_DriveHDIcon,
      QStyle::SP_DriveNetIcon, QStyle::SP_DesktopIcon, QStyle::SP_DirIcon,      QStyle::SP_FileIcon};
  const int index = number >= 1 && number <= 8 ? number - 1 : 0;
  return style->standardIcon(kIcons[index]);
}

QLabel* LinkLabel(const char* text, QWidget* parent, std::function<void()> open) {
  auto* label = new QLabel(QString("<a href=\"#\">%1</a>").arg(QString::fromUtf8(text)), parent);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  QObject::connect(label, &QLabel::linkActivated, parent, [open = std::move(open)](const QString&) { open(); });
  return label;
}

}  // namespace

WizardWindow::WizardWindow(FrmWizard& form, QWidget* parent) : QWidget(parent), form_(form), flow_(form) {
  setObjectName("FrmWizard");
  setWindowTitle("The Kiv Disk Builder");
  pages_ = new QStackedWidget(this);
  pages_->setObjectName("FraMain");
  // Each page scrolls on its own when the window is smaller than it (a
  // small screen, a large scale); the buttons below stay in sight.
  for (QWidget* page : {BuildPage0(), BuildPage1(), BuildPage2(), BuildPage3(), BuildPage4(), BuildPage5(),
                        BuildPage6(), BuildPage7()}) {
    pages_->addWidget(ScrollingPage(page));
  }

  back_ = new QPushButton("< &Back", this);
  next_ = new QPushButton("&Next >", this);
  finish_ = new QPushButton("&Finish", this);
  cancel_ = new QPushButton("&Cancel", this);
  help_ = new QPushButton("&Help", this);
  back_->setObjectName("CmdBack");
  next_->setObjectName("CmdNext");
  finish_->setObjectName("CmdFinish");
  cancel_->setObjectName("CmdCancel");
  help_->setObjectName("CmdHelp");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(help_);
  buttons->addStretch(1);
  buttons->addWidget(back_);
  buttons->addWidget(next_);
  buttons->addWidget(finish_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addLayout(buttons);
  resize(600, 440);
  FitOnScreen(this);

  connect(next_, &QPushButton::clicked, this, [this] { flow_.CmdNext_Click(); });
  connect(back_, &QPushButton::clicked, this, [this] { flow_.CmdBack_Click(); });
  connect(finish_, &QPushButton::clicked, this, [this] { flow_.CmdFinish_Click(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { flow_.CmdCancel_Click(); });
  connect(help_, &QPushButton::clicked, this, [this] { flow_.CmdHelp_Click(); });
  PressOnHelpKey(help_);
  // The disk builder's help, under its own title.
  flow_.HelpOpen = [] { return HelpWindow::FollowsPages(); };
  flow_.ShowTopic = [folder = form_.ProgramFolder()](int topic) {
    HelpWindow::ShowTopic(folder, topic, kDiskHelpTitle);
  };

  flow_.EndProgram = [this] {
    closing_ = true;
    close();
    if (Ended) Ended();
  };
  previousChanged_ = form_.Changed;
  form_.Changed = [this] {
    if (previousChanged_) previousChanged_();
    Refresh();
  };
  drivers_ = std::make_unique<DriversDialog>(form_.Drivers, this);
  flow_.Form_Load();
  Refresh();
}

WizardWindow::~WizardWindow() { form_.Changed = previousChanged_; }

QWidget* WizardWindow::BuildPage0() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  l->addWidget(Heading("Welcome to The Kiv Disk Builder v1.5", page));
  l->addWidget(
      Text("The wizard will assist you in the process of creating RadIvav-compatible bootable floppy disks.", page));
  l->addWidget(
      Text("It will create either a real floppy disk or a floppy image file that can be used in bootable CDs.", page));
  l->addStretch(1);
  l->addWidget(Text("Press Next to start the wizard", page));
  return page;
}

QWidget* WizardWindow::BuildPage1() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  l->addWidget(Text("Select the disk configuration you want to Build :", page));
  disks_ = new QTreeWidget(page);
  disks_->setObjectName("LV_Disk");
  disks_->setHeaderLabels({"Desc", "bootsmith_file"});
  disks_->setRootIsDecorated(false);
  disks_->setSelectionMode(QAbstractItemView::SingleSelection);
  l->addWidget(disks_, 1);
  lblStatus_ = Text("", page);
  lblStatus_->setObjectName("LblStatus");
  l->addWidget(lblStatus_);
  connect(disks_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (refreshing_) return;
    for (int i = 0; i < disks_->topLevelItemCount() && i < static_cast<int>(form_.LV_Disk.size()); ++i) {
      form_.LV_Disk[i].Selected = disks_->topLevelItem(i)->isSelected();
    }
  });
  return page;
}

QWidget* WizardWindow::BuildPage2() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  l->addWidget(
      Text("Select the drivers you want in the disk, remember that you need extra modules to make use of "
           "these drivers",
           page));
  chkAspi_ = new QCheckBox(page);
  chkAspi_->setObjectName("ChkASPI");
  selAspi_ = new QPushButton("Select which drivers to include...", page);
  selAspi_->setObjectName("CmdSelASPI");
  auto* aspiRow = new QHBoxLayout;
  aspiRow->addWidget(chkAspi_, 1);
  aspiRow->addWidget(selAspi_);
  l->addLayout(aspiRow);
  l->addWidget(
      Text("You need at least the ASPI module to load the ASPI drivers, for SCSI CDROM Drives you also "
           "need ASPI CD and CDROM which have their own requirements.",
           page));
  chkNdis_ = new QCheckBox(page);
  chkNdis_->setObjectName("ChkNDIS");
  selNdis_ = new QPushButton("Select which drivers to include...", page);
  selNdis_->setObjectName("CmdSelNDIS");
  auto* ndisRow = new QHBoxLayout;
  ndisRow->addWidget(chkNdis_, 1);
  ndisRow->addWidget(selNdis_);
  l->addLayout(ndisRow);
  ndisNote_ = Text("", page);
  ndisNote_->setObjectName("LblNDISNote");
  l->addWidget(ndisNote_);
  l->addStretch(1);

  connect(chkAspi_, &QCheckBox::clicked, this, [this](bool on) {
    form_.ChkASPI.Value = on ? 1 : 0;
    form_.ChkASPI_Click();
    Refresh();
  });
  connect(chkNdis_, &QCheckBox::clicked, this, [this](bool on) {
    form_.ChkNDIS.Value = on ? 1 : 0;
    form_.ChkNDIS_Click();
    Refresh();
  });
  connect(selAspi_, &QPushButton::clicked, this, [this] {
    drivers_->show();  // shown first, then filled, as the form does
    form_.CmdSelASPI_Click();
    ShowDrivers();
  });
  connect(selNdis_, &QPushButton::clicked, this, [this] {
    drivers_->show();
    form_.CmdSelNDIS_Click();
    ShowDrivers();
  });
  return page;
}

void WizardWindow::ShowDrivers() { drivers_->ShowAsModel(); }

QWidget* WizardWindow::BuildPage3() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  l->addWidget(Heading("Customize the Windows Setup Assistant", page));
  auto* grid = new QGridLayout;
  auto* keyRow = new QHBoxLayout;
  for (int i = 0; i < 5; ++i) {
    keyPart_[i] = new QLineEdit(page);
    keyPart_[i]->setObjectName(QString("TxtKeyPart%1").arg(i + 1));
    keyPart_[i]->setMaxLength(5);
    keyRow->addWidget(keyPart_[i]);
    connect(keyPart_[i], &QLineEdit::textEdited, this,
            [this, i](const QString& t) { form_.TxtKeyPart[i] = t.toStdString(); });
  }
  auto field = [&](int row, const char* caption, QLineEdit*& edit, const char* name, std::string FrmWizard::*member) {
    grid->addWidget(Text(caption, page, false), row, 0);
    edit = new QLineEdit(page);
    edit->setObjectName(name);
    grid->addWidget(edit, row, 1);
    connect(edit, &QLineEdit::textEdited, this, [this, member](const QString& t) { form_.*member = t.toStdString(); });
  };
  grid->addWidget(Text("Product Key :", page, false), 0, 0);
  grid->addLayout(keyRow, 0, 1);
  field(1, "Owner Name :", owner_, "TxtOwner", &FrmWizard::TxtOwner);
  field(2, "Organization :", org_, "TxtOrg", &FrmWizard::TxtOrg);
  field(3, "Computer Name :", pcName_, "TxtPCName", &FrmWizard::TxtPCName);
  field(4, "Workgroup :", workgroup_, "TxtWorkgroup", &FrmWizard::TxtWorkgroup);
  grid->addWidget(Text("Optimized for :", page, false), 5, 0);
  osType_ = Text("", page, false);
  osType_->setObjectName("LblOSType");
  grid->addWidget(osType_, 5, 1);
  l->addLayout(grid);
  l->addStretch(1);
  return page;
}

QWidget* WizardWindow::BuildPage4() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  l->addWidget(
      Text("The files listed below are all the files that will be included in the floppy disk generated at "
           "the end, Select which files you want to include :",
           page));
  files_ = new QListWidget(page);
  files_->setObjectName("LstFiles");
  files_->setSelectionMode(QAbstractItemView::MultiSelection);
  l->addWidget(files_, 1);
  dirs_ = new QListWidget(page);  // the folder work queue; not shown
  dirs_->setObjectName("LstDirs");
  dirs_->hide();
  connect(files_, &QListWidget::itemSelectionChanged, this, [this] {
    if (refreshing_ || form_.FileList.empty()) return;
    for (int i = 0; i < files_->count() && i < static_cast<int>(form_.FileList.size()); ++i) {
      form_.FileList[i].Selected = files_->item(i)->isSelected();
    }
  });
  return page;
}

QWidget* WizardWindow::BuildPage5() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  l->addWidget(Text("Choose how to save your generated floppy disk :", page));
  auto* how = new QGroupBox("  How to save your RadIvav Disk ? ", page);
  auto* hl = new QVBoxLayout(how);
  opt14_ = new QRadioButton("&1.44 MB Floppy Image", how);
  opt28_ = new QRadioButton("&2.88 MB Floppy Image", how);
  // Alt+F is Finish's and Alt+B Back's on this page: each control has a key
  // of its own.
  optFloppy_ = new QRadioButton("1.44 MB Floppy &Disk", how);
  opt14_->setObjectName("OptImage14");
  opt28_->setObjectName("OptImage28");
  optFloppy_->setObjectName("OptFloppy");
  hl->addWidget(opt14_);
  hl->addWidget(opt28_);
  hl->addWidget(optFloppy_);
  l->addWidget(how);
  auto* destBox = new QGroupBox(" Destination ", page);
  auto* dl = new QHBoxLayout(destBox);
  dest_ = new QLineEdit(destBox);
  dest_->setObjectName("TxtDest");
  browse_ = new QPushButton("B&rowse...", destBox);
  browse_->setObjectName("CmdBrowse");
  dl->addWidget(dest_, 1);
  dl->addWidget(browse_);
  l->addWidget(destBox);
  l->addStretch(1);

  connect(opt14_, &QRadioButton::clicked, this, [this] {
    form_.OptImage14_Click();
    Refresh();
  });
  connect(opt28_, &QRadioButton::clicked, this, [this] {
    form_.OptImage28_Click();
    Refresh();
  });
  connect(optFloppy_, &QRadioButton::clicked, this, [this] {
    form_.OptFloppy_Click();
    Refresh();
  });
  connect(dest_, &QLineEdit::textEdited, this, [this](const QString& t) { form_.TxtDest = t.toStdString(); });
  connect(browse_, &QPushButton::clicked, this, [this] {
    const std::string chosen = form_.prompter().SaveFileDialog("", {}, form_.TxtDest);
    if (!chosen.empty()) form_.TxtDest = chosen;
    Refresh();
  });
  return page;
}

QWidget* WizardWindow::BuildPage6() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  lblFinish_ = Heading("", page);
  lblFinish_->setObjectName("LblFinish");
  l->addWidget(lblFinish_);
  lblImage_ = Text("", page);
  lblImage_->setObjectName("LblImage");
  lblImage_->setTextFormat(Qt::PlainText);  // a file name, never markup
  lblImage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  l->addWidget(lblImage_);
  l->addSpacing(8);
  l->addWidget(Text("Visit the Kiv Rescue CD homepage for updated versions of the Kiv Disk Builder at :", page));
  const std::string folder = form_.ProgramFolder();
  QLabel* home = LinkLabel("The Kiv Rescue CD home page", page,
                           [folder] { CurrentPlatform().OpenLink(LinkTarget(Link::Home, folder)); });
  home->setObjectName("LblLink_Home");
  l->addWidget(home);
  l->addWidget(Text("To stay in-touch with the latest RadIvav modules and disks visit the official website :", page));
  QLabel* tools = LinkLabel("The floppy image tool", page,
                            [folder] { CurrentPlatform().OpenLink(LinkTarget(Link::Tools, folder)); });
  tools->setObjectName("LblLink_Tools");
  l->addWidget(tools);
  // The image's folder in the file manager.
  openFolder_ = new QPushButton(ButtonCaption("Open Folder"), page);
  openFolder_->setObjectName("CmdOpenFolder");
  connect(openFolder_, &QPushButton::clicked, this, [this] { form_.CmdOpenFolder_Click(); });
  // The finished image in QEMU, as floppy A:, when QEMU is installed.
  tryVm_ = new QPushButton(QString::fromUtf8(kTryInVmCaption), page);
  tryVm_->setObjectName("CmdTryInVm");
  connect(tryVm_, &QPushButton::clicked, this, [this] { TryInVm(form_.TxtDest, VmMedium::Floppy, Vm); });
  auto* actions = new QHBoxLayout;
  actions->addWidget(openFolder_);
  actions->addWidget(tryVm_);
  actions->addStretch(1);
  l->addSpacing(12);
  l->addLayout(actions);
  l->addStretch(1);
  return page;
}

QWidget* WizardWindow::BuildPage7() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  auto* grid = new QGridLayout;
  for (int i = 0; i < 4; ++i) {
    right_[i] = new QLabel(page);
    right_[i]->setObjectName(QString("LblRight%1").arg(i + 1));
    right_[i]->setFixedWidth(24);
    msg_[i] = new QLabel(page);
    msg_[i]->setObjectName(QString("LblMsg%1").arg(i + 1));
    grid->addWidget(right_[i], i, 0);
    grid->addWidget(msg_[i], i, 1);
  }
  l->addLayout(grid);
  progress_ = new QProgressBar(page);
  progress_->setObjectName("WorkProgress");
  l->addWidget(progress_);
  QLabel* wait = Text("Please Wait", page);
  wait->setObjectName("LblWait");
  l->addWidget(wait);
  l->addStretch(1);
  return page;
}

void WizardWindow::Refresh() {
  refreshing_ = true;
  const int page = std::clamp(form_.CurrentPage, 0, 7);
  const bool pageChanged = pages_->currentIndex() != page || !focusSet_;
  pages_->setCurrentIndex(page);

  // Page 1: the disk list.
  if (disks_->topLevelItemCount() != static_cast<int>(form_.LV_Disk.size())) {
    disks_->clear();
    for (const DiskRow& row : form_.LV_Disk) {
      auto* item = new QTreeWidgetItem(disks_, {Q(row.Text), Q(row.Name)});
      item->setIcon(0, DiskIcon(style(), row.SmallIcon));
    }
    disks_->resizeColumnToContents(0);
  }
  for (int i = 0; i < disks_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = disks_->topLevelItem(i);
    item->setSelected(form_.LV_Disk[i].Selected);
    // The arrow keys move on from the chosen row.
    if (form_.LV_Disk[i].Selected && disks_->currentItem() != item) disks_->setCurrentItem(item);
  }
  lblStatus_->setText(Q(form_.LblStatus));

  // Page 2: driver classes.
  chkAspi_->setText(Q(form_.ChkASPI.Caption));
  chkAspi_->setChecked(form_.ChkASPI.Value == 1);
  chkAspi_->setEnabled(form_.ChkASPI.Enabled);
  chkNdis_->setText(Q(form_.ChkNDIS.Caption));
  chkNdis_->setChecked(form_.ChkNDIS.Value == 1);
  chkNdis_->setEnabled(form_.ChkNDIS.Enabled);
  selAspi_->setEnabled(form_.CmdSelASPI.Enabled);
  selNdis_->setEnabled(form_.CmdSelNDIS.Enabled);
  ndisNote_->setText(Q(form_.LblNDISNote));

  // Page 3: setup answers.
  osType_->setText(Q(form_.LblOSType));
  for (int i = 0; i < 5; ++i) SetText(keyPart_[i], form_.TxtKeyPart[i]);
  SetText(owner_, form_.TxtOwner);
  SetText(org_, form_.TxtOrg);
  SetText(pcName_, form_.TxtPCName);
  SetText(workgroup_, form_.TxtWorkgroup);

  // Page 4: the file list.
  files_->clear();
  if (form_.FileList.empty()) {
    files_->addItem("Return to Previous step to Populate the list");
  } else {
    for (const FileListEntry& e : form_.FileList) {
      auto* item = new QListWidgetItem(Q(e.Path), files_);
      item->setSelected(e.Selected);
    }
  }
  dirs_->clear();
  for (const std::string& d : form_.LstDirs) dirs_->addItem(Q(d));

  // Page 5: output.
  opt14_->setChecked(form_.OptImage14);
  opt28_->setChecked(form_.OptImage28);
  optFloppy_->setChecked(form_.OptFloppy);
  SetText(dest_, form_.TxtDest);
  dest_->setEnabled(!form_.OptFloppy);
  browse_->setEnabled(!form_.OptFloppy);

  // Pages 6 and 7.
  lblFinish_->setText(Q(form_.LblFinish));
  lblImage_->setText(Q(form_.LblImage));
  lblImage_->setVisible(!form_.LblImage.empty());
  openFolder_->setVisible(!form_.LblImage.empty());
  tryVm_->setVisible(form_.CurrentPage == 6 && form_.OutputMade && !form_.OptFloppy && CanTryInVm(form_.TxtDest, Vm));
  for (int i = 0; i < 4; ++i) {
    msg_[i]->setText(Q(form_.LblMsg[i]));
    QFont f = msg_[i]->font();
    f.setBold(form_.RunningStage == i + 1);
    msg_[i]->setFont(f);
    right_[i]->setText(form_.LblRight[i] ? QString::fromUtf8("\u2714") : QString());
  }

  // The driver selection window goes when its model is hidden (the build
  // closes it).
  if (!form_.Drivers.Visible && drivers_ && drivers_->isVisible()) drivers_->hide();

  // Buttons.
  back_->setEnabled(form_.CmdBack.Enabled);
  back_->setVisible(form_.CmdBack.Visible);
  next_->setEnabled(form_.CmdNext.Enabled);
  next_->setVisible(form_.CmdNext.Visible);
  finish_->setEnabled(form_.CmdFinish.Enabled);
  finish_->setVisible(form_.CmdFinish.Visible);
  cancel_->setEnabled(form_.CmdCancel.Enabled);
  const ButtonModel* enterPresses = flow_.DefaultButton();
  next_->setDefault(enterPresses == &form_.CmdNext);
  finish_->setDefault(enterPresses == &form_.CmdFinish);
  // A new page starts at its first field.
  if (pageChanged) {
    FocusFirstField(this, pages_->currentWidget());
    focusSet_ = true;
  }
  refreshing_ = false;
}

void WizardWindow::keyPressEvent(QKeyEvent* event) {
  // Enter on a focused button presses it, anywhere else Next (Finish on the
  // output page and after the build).
  if (PressButtonOnEnter(this, event)) return;
  QWidget::keyPressEvent(event);
}

void WizardWindow::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  if (!flow_.Form_Unload()) {  // a build is running: it finishes first
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace kiv
