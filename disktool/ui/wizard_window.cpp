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

QLabel* Text(const char* text, QWidget* parent, bool wrap = true) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setWordWrap(wrap);
  return label;
}

QLabel* AsHeading(QLabel* label) {
  QFont f = label->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 2);
  label->setFont(f);
  return label;
}

QLabel* Heading(const char* text, QWidget* parent) { return AsHeading(Text(text, parent)); }

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

  back_ = MakeButton(this, form_.CmdBack, "CmdBack", [this] { flow_.CmdBack_Click(); });
  next_ = MakeButton(this, form_.CmdNext, "CmdNext", [this] { flow_.CmdNext_Click(); });
  finish_ = MakeButton(this, form_.CmdFinish, "CmdFinish", [this] { flow_.CmdFinish_Click(); });
  cancel_ = MakeButton(this, form_.CmdCancel, "CmdCancel", [this] { flow_.CmdCancel_Click(); });
  help_ = MakeButton(this, "&Help", "CmdHelp", [this] { flow_.CmdHelp_Click(); });
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

// Each binder below makes a control, hands its clicks or edits to the model
// and adds to binds_ how Refresh mirrors the model onto it.

std::function<void()> WizardWindow::Handler(std::function<void()> fn) {
  return [this, fn = std::move(fn)] {
    fn();
    if (!closing_) Refresh();
  };
}

QLabel* WizardWindow::MakeLabel(QWidget* parent, const std::string& text, const char* name, bool wrap) {
  QLabel* w = Text("", parent, wrap);
  w->setObjectName(name);
  binds_.push_back([w, &text] { w->setText(Q(text)); });
  return w;
}

QLineEdit* WizardWindow::MakeText(QWidget* parent, std::string& text, const char* name) {
  auto* w = new QLineEdit(parent);
  w->setObjectName(name);
  connect(w, &QLineEdit::textEdited, this, [&text](const QString& t) { text = t.toStdString(); });
  // Only a changed text is set, so a box being typed in keeps its cursor.
  binds_.push_back([w, &text] {
    if (w->text() != Q(text)) w->setText(Q(text));
  });
  return w;
}

QCheckBox* WizardWindow::MakeCheck(QWidget* parent, bool& chosen, std::function<bool()> offered,
                                   std::function<std::string()> caption, const char* name) {
  auto* w = new QCheckBox(parent);
  w->setObjectName(name);
  connect(w, &QCheckBox::clicked, this, [this, &chosen](bool on) {
    chosen = on;
    Refresh();
  });
  binds_.push_back([w, &chosen, offered = std::move(offered), caption = std::move(caption)] {
    w->setText(Q(caption()));
    w->setChecked(chosen);
    w->setEnabled(offered());
  });
  return w;
}

QPushButton* WizardWindow::MakeSelectButton(QWidget* parent, const bool& chosen, const char* name,
                                            std::function<void()> click) {
  QPushButton* w = MakeButton(parent, "Select which drivers to include...", name, std::move(click));
  // Drivers are picked for a chosen class only.
  binds_.push_back([w, &chosen] { w->setEnabled(chosen); });
  return w;
}

QRadioButton* WizardWindow::MakeOption(QWidget* parent, const char* caption, const char* name, FloppyOutput output,
                                       void (FrmWizard::*click)()) {
  auto* w = new QRadioButton(QString::fromUtf8(caption), parent);
  w->setObjectName(name);
  connect(w, &QRadioButton::clicked, this, Handler([this, click] { (form_.*click)(); }));
  binds_.push_back([this, w, output] { w->setChecked(form_.Request.output == output); });
  return w;
}

QPushButton* WizardWindow::MakeButton(QWidget* parent, const QString& caption, const char* name,
                                      std::function<void()> click) {
  auto* w = new QPushButton(caption, parent);
  w->setObjectName(name);
  connect(w, &QPushButton::clicked, this, Handler(std::move(click)));
  return w;
}

QPushButton* WizardWindow::MakeButton(QWidget* parent, ButtonModel& button, const char* name,
                                      std::function<void()> click) {
  QPushButton* w = MakeButton(parent, Q(button.Caption), name, std::move(click));
  binds_.push_back([this, w, &button] {
    w->setEnabled(button.Enabled);
    w->setVisible(button.Visible);
    // Enter presses the flow's default button (see keyPressEvent); the
    // style marks it.
    w->setDefault(&button == flow_.DefaultButton());
  });
  return w;
}

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
  l->addWidget(MakeLabel(page, form_.LblStatus, "LblStatus"));
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
  const FloppyDisk& disk = form_.Builder().Disk();
  chkAspi_ = MakeCheck(
      page, form_.Request.aspi, [&disk] { return disk.offered.aspi; },
      [] { return std::string(FrmWizard::kAspiCaption); }, "ChkASPI");
  // The selection window is shown first, then filled, as the form does.
  selAspi_ = MakeSelectButton(page, form_.Request.aspi, "CmdSelASPI", [this] {
    drivers_->show();
    form_.CmdSelASPI_Click();
    ShowDrivers();
  });
  auto* aspiRow = new QHBoxLayout;
  aspiRow->addWidget(chkAspi_, 1);
  aspiRow->addWidget(selAspi_);
  l->addLayout(aspiRow);
  l->addWidget(
      Text("You need at least the ASPI module to load the ASPI drivers, for SCSI CDROM Drives you also "
           "need ASPI CD and CDROM which have their own requirements.",
           page));
  chkNdis_ = MakeCheck(
      page, form_.Request.network, [&disk] { return disk.offered.network; }, [this] { return form_.NetCaption(); },
      "ChkNDIS");
  selNdis_ = MakeSelectButton(page, form_.Request.network, "CmdSelNDIS", [this] {
    drivers_->show();
    form_.CmdSelNDIS_Click();
    ShowDrivers();
  });
  auto* ndisRow = new QHBoxLayout;
  ndisRow->addWidget(chkNdis_, 1);
  ndisRow->addWidget(selNdis_);
  l->addLayout(ndisRow);
  QLabel* note = Text("", page);
  note->setObjectName("LblNDISNote");
  binds_.push_back([this, note] { note->setText(Q(form_.LblNDISNote())); });
  l->addWidget(note);
  l->addStretch(1);
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
    const std::string name = "TxtKeyPart" + std::to_string(i + 1);
    QLineEdit* part = MakeText(page, form_.Request.answers.ProductKey[i], name.c_str());
    part->setMaxLength(5);
    keyRow->addWidget(part);
  }
  grid->addWidget(Text("Product Key :", page, false), 0, 0);
  grid->addLayout(keyRow, 0, 1);
  // The answers below the key: caption, control name, the model's text.
  const struct {
    const char* caption;
    const char* name;
    std::string& text;
  } fields[] = {{"Owner Name :", "TxtOwner", form_.Request.answers.OwnerName},
                {"Organization :", "TxtOrg", form_.Request.answers.Organization},
                {"Computer Name :", "TxtPCName", form_.Request.answers.ComputerName},
                {"Workgroup :", "TxtWorkgroup", form_.Request.answers.Workgroup}};
  int row = 1;
  for (const auto& field : fields) {
    grid->addWidget(Text(field.caption, page, false), row, 0);
    grid->addWidget(MakeText(page, field.text, field.name), row, 1);
    ++row;
  }
  grid->addWidget(Text("Optimized for :", page, false), row, 0);
  grid->addWidget(MakeLabel(page, form_.Request.answers.OptimizedFor, "LblOSType", false), row, 1);
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
    const size_t listed = form_.Builder().Tree().Files().FileList.size();
    if (refreshing_ || listed == 0) return;
    for (int i = 0; i < files_->count() && i < static_cast<int>(listed); ++i) {
      form_.SelectFile(static_cast<size_t>(i), files_->item(i)->isSelected());
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
  hl->addWidget(
      MakeOption(how, "&1.44 MB Floppy Image", "OptImage14", FloppyOutput::Image144, &FrmWizard::OptImage14_Click));
  hl->addWidget(
      MakeOption(how, "&2.88 MB Floppy Image", "OptImage28", FloppyOutput::Image288, &FrmWizard::OptImage28_Click));
  // Alt+F is Finish's and Alt+B Back's on this page: each control has a key
  // of its own.
  optFloppy_ = MakeOption(how, "1.44 MB Floppy &Disk", "OptFloppy", FloppyOutput::Floppy, &FrmWizard::OptFloppy_Click);
  hl->addWidget(optFloppy_);
  l->addWidget(how);
  auto* destBox = new QGroupBox(" Destination ", page);
  auto* dl = new QHBoxLayout(destBox);
  dest_ = MakeText(destBox, form_.Request.image, "TxtDest");
  QPushButton* browse = MakeButton(destBox, "B&rowse...", "CmdBrowse", [this] {
    const std::string chosen = form_.prompter().SaveFileDialog("", {}, form_.Request.image);
    if (!chosen.empty()) form_.Request.image = chosen;
  });
  // A real floppy has no file name to give.
  binds_.push_back([this, browse] {
    dest_->setEnabled(IsImage(form_.Request.output));
    browse->setEnabled(IsImage(form_.Request.output));
  });
  dl->addWidget(dest_, 1);
  dl->addWidget(browse);
  l->addWidget(destBox);
  l->addStretch(1);
  return page;
}

QWidget* WizardWindow::BuildPage6() {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  lblFinish_ = AsHeading(MakeLabel(page, form_.LblFinish, "LblFinish"));
  l->addWidget(lblFinish_);
  lblImage_ = MakeLabel(page, form_.LblImage, "LblImage");
  lblImage_->setTextFormat(Qt::PlainText);  // a file name, never markup
  lblImage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  l->addWidget(lblImage_);
  l->addSpacing(8);
  l->addWidget(Text("Visit the Kiv Rescue CD homepage for updated versions of the Kiv Disk Builder at :", page));
  const std::string folder = form_.ProgramFolder();
  QLabel* home = LinkLabel("The Kiv Rescue CD home page", page,
                           [this, folder] { form_.platform().OpenLink(LinkTarget(Link::Home, folder)); });
  home->setObjectName("LblLink_Home");
  l->addWidget(home);
  l->addWidget(Text("To stay in-touch with the latest RadIvav modules and disks visit the official website :", page));
  QLabel* tools = LinkLabel("The floppy image tool", page,
                            [this, folder] { form_.platform().OpenLink(LinkTarget(Link::Tools, folder)); });
  tools->setObjectName("LblLink_Tools");
  l->addWidget(tools);
  // The image's folder in the file manager.
  openFolder_ =
      MakeButton(page, ButtonCaption("Open Folder"), "CmdOpenFolder", [this] { form_.CmdOpenFolder_Click(); });
  // The finished image in QEMU, as floppy A:, when QEMU is installed.
  QPushButton* tryVm = MakeButton(page, QString::fromUtf8(kTryInVmCaption), "CmdTryInVm",
                                  [this] { TryInVm(form_.Request.image, VmMedium::Floppy, Vm); });
  // The image's name, its folder and its trial go with the image.
  binds_.push_back([this, tryVm] {
    lblImage_->setVisible(!form_.LblImage.empty());
    openFolder_->setVisible(!form_.LblImage.empty());
    tryVm->setVisible(form_.CurrentPage == 6 && form_.OutputMade && IsImage(form_.Request.output) &&
                      CanTryInVm(form_.Request.image, Vm));
  });
  auto* actions = new QHBoxLayout;
  actions->addWidget(openFolder_);
  actions->addWidget(tryVm);
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

  // Page 4: the file list.
  files_->clear();
  const std::vector<FileListEntry> fileList = form_.FileList();
  if (fileList.empty()) {
    files_->addItem("Return to Previous step to Populate the list");
  } else {
    for (const FileListEntry& e : fileList) {
      auto* item = new QListWidgetItem(Q(e.Path), files_);
      item->setSelected(e.Selected);
    }
  }
  dirs_->clear();
  for (const std::string& d : form_.Builder().Tree().Files().FoldersToList) dirs_->addItem(Q(d));

  // Page 7: the stages of the build.
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

  // The controls bound to a model member: texts, boxes, options, buttons.
  for (const std::function<void()>& bind : binds_) bind();
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
