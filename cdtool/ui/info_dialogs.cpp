#include "cdtool/ui/info_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "cdtool/wizard/frm_win10_info.h"
#include "cdtool/wizard/frm_win2k_info.h"
#include "cdtool/wizard/frm_win9x_info.h"
#include "common/product_key.h"
#include "common/ui/widget_caption.h"

namespace kiv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A label that shows its caption as written (never as markup).
QLabel* PlainLabel(const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// A line edit mirroring a model text box; user edits go back to the model.
QLineEdit* BindText(QWidget* parent, TextBox& box, const char* name, std::vector<std::function<void()>>& binds) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  QObject::connect(edit, &QLineEdit::textEdited, edit, [&box](const QString& t) { box.Text = t.toStdString(); });
  binds.push_back([edit, &box] {
    if (edit->text() != Q(box.Text)) {
      edit->setText(Q(box.Text));
      edit->setCursorPosition(0);
    }
    edit->setEnabled(box.Enabled);
  });
  return edit;
}

// Lets into a key box only what a product key is typed or pasted with: a
// character that cannot be in a key never appears.
class ProductKeyValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    return IsProductKeyInput(input.toStdString()) ? Acceptable : Invalid;
  }
};

// The five key boxes; `setPart` keys a text into the model (which asks for
// the focus to move on), `focus` then moves it.
QWidget* KeyRow(QWidget* parent, AnswerDialog& m, std::array<QLineEdit*, 5>& boxes, QPushButton*& ok,
                std::vector<std::function<void()>>& binds) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (int i = 0; i < 5; ++i) {
    auto* box = new QLineEdit(row);
    box->setObjectName(QStringLiteral("TxtKeyPart%1").arg(i));
    // No length limit here: a pasted whole key is spread over the boxes by
    // the model, which keeps each to five characters.
    box->setValidator(new ProductKeyValidator(box));
    box->setFont(fixed);
    box->setFixedWidth(QFontMetrics(fixed).horizontalAdvance(QStringLiteral("WWWWW")) + 14);
    boxes[i] = box;
    if (i) layout->addWidget(PlainLabel(QStringLiteral("-"), row));
    layout->addWidget(box);
    QObject::connect(box, &QLineEdit::textEdited, box, [&m, &boxes, &ok, i](const QString& t) {
      m.TypeKeyText(i, t.toStdString());
      for (int k = 0; k < 5; ++k)
        if (boxes[k]->text() != Q(m.TxtKeyPart[k].Text)) boxes[k]->setText(Q(m.TxtKeyPart[k].Text));
      if (m.FocusRequest) {
        const int next = *m.FocusRequest;
        m.FocusRequest.reset();
        if (next < 5) boxes[next]->setFocus(Qt::OtherFocusReason);
        else if (ok) ok->setFocus(Qt::OtherFocusReason);
      }
    });
    binds.push_back([box, &m, i] {
      if (box->text() != Q(m.TxtKeyPart[i].Text)) box->setText(Q(m.TxtKeyPart[i].Text));
    });
  }
  layout->addStretch();
  return row;
}

}  // namespace

AnswerDialogView::AnswerDialogView(AnswerDialog& model, const char* name, QWidget* parent)
    : QDialog(parent), grid_(new QGridLayout(this)), model_(model) {
  setObjectName(name);
  setWindowTitle(Q(model_.Caption));
  setModal(true);
  okButton = new QPushButton(LiteralCaption(model_.CmdOK.Caption), this);
  okButton->setObjectName("CmdOK");
}

void AnswerDialogView::Refresh() {
  for (auto& b : binds_) b();
  Refreshed();
}

void AnswerDialogView::AddKeyRow() {
  grid_->addWidget(PlainLabel(QStringLiteral("Product Key :"), this), row_, 0);
  grid_->addWidget(KeyRow(this, model_, keyBoxes, okButton, binds_), row_++, 1);
}

QLineEdit* AnswerDialogView::AddLine(const char* caption, TextBox& box, const char* name) {
  grid_->addWidget(PlainLabel(QString::fromUtf8(caption), this), row_, 0);
  QLineEdit* edit = BindText(this, box, name, binds_);
  grid_->addWidget(edit, row_++, 1);
  return edit;
}

void AnswerDialogView::AddNameLines() {
  AddLine("Owner Name :", model_.TxtOwner, "TxtOwner");
  AddLine("Organization :", model_.TxtOrg, "TxtOrg");
  AddLine("Computer Name :", model_.TxtPCName, "TxtPCName");
}

// The OK / Cancel row at the foot of both dialogs. OK runs the model's OK
// handler; Cancel, Esc and the close box hide the dialog without writing
// (the edits stay in its fields, and in use).
// Above it, the note that edits kept by an earlier Cancel are in use.
void AnswerDialogView::AddOkCancelRow() {
  QLabel* kept = PlainLabel(Q(model_.LblKeptEdits.Caption), this);
  kept->setObjectName("LblKeptEdits");
  kept->setWordWrap(true);
  kept->setStyleSheet(QStringLiteral("color: #7a4a00;"));
  grid_->addWidget(kept, row_++, 0, 1, 2);
  binds_.push_back([kept, this] { kept->setVisible(model_.LblKeptEdits.Visible); });
  auto* buttons = new QHBoxLayout();
  auto* cancel = new QPushButton(LiteralCaption(model_.CmdCancel.Caption), this);
  cancel->setObjectName("CmdCancel");
  buttons->addStretch();
  buttons->addWidget(okButton);
  buttons->addWidget(cancel);
  grid_->addLayout(buttons, row_, 0, 1, 2);
  okButton->setDefault(true);
  QObject::connect(okButton, &QPushButton::clicked, this, [this] {
    model_.CmdOK_Click();
    // A refused field keeps the dialog open for the user to mend.
    if (!model_.Visible) accept();
  });
  QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  QObject::connect(this, &QDialog::rejected, this, [this] { model_.CmdCancel_Click(); });
}

Win9xInfoDialog::Win9xInfoDialog(FrmWin9xInfo& model, QWidget* parent)
    : AnswerDialogView(model, "FrmWin9xInfo", parent) {
  AddKeyRow();
  AddNameLines();
  AddLine("Workgroup :", model.TxtWorkgroup, "TxtWorkgroup");
  AddLine("Optimized for :", model.TxtOSType, "TxtOSType");
  AddOkCancelRow();
  Refresh();
}

Win2KInfoDialog::Win2KInfoDialog(FrmWin2KInfo& model, QWidget* parent)
    : AnswerDialogView(model, "FrmWin2KInfo", parent), m_(model) {
  grid_->addWidget(PlainLabel(Q(m_.LblTemplate.Caption), this), row_, 0);
  auto* templateRow = new QHBoxLayout();
  templateBox_ = BindText(this, m_.TxtTemplate, "TxtTemplate", binds_);
  templateRow->addWidget(templateBox_, 1);
  auto* browse = new QPushButton(LiteralCaption(m_.CmdBrwUnattend.Caption), this);
  browse->setObjectName("CmdBrwUnattend");
  browse->setFixedWidth(32);
  templateRow->addWidget(browse);
  grid_->addLayout(templateRow, row_++, 1);
  connect(browse, &QPushButton::clicked, this, [this] {
    m_.CmdBrwUnattend_Click();
    m_.FocusRequest.reset();
    Refresh();
  });
  AddKeyRow();
  AddNameLines();

  auto* workgroup = new QRadioButton(LiteralCaption(m_.OptJoinWorkgroup.Caption), this);
  workgroup->setObjectName("OptJoinWorkgroup");
  auto* domain = new QRadioButton(LiteralCaption(m_.OptJoinDomain.Caption), this);
  domain->setObjectName("OptJoinDomain");
  auto* options = new QVBoxLayout();
  options->addWidget(workgroup);
  options->addWidget(domain);
  grid_->addLayout(options, row_, 0);
  grid_->addWidget(BindText(this, m_.TxtWorkgroup, "TxtWorkgroup", binds_), row_++, 1, Qt::AlignVCenter);
  connect(domain, &QRadioButton::clicked, this, [this] { m_.SelectJoinDomain(true); });
  connect(workgroup, &QRadioButton::clicked, this, [this] { m_.SelectJoinDomain(false); });
  binds_.push_back([this, workgroup, domain] {
    workgroup->setChecked(m_.OptJoinWorkgroup.Value);
    domain->setChecked(m_.OptJoinDomain.Value);
  });

  AddOkCancelRow();
  resize(520, sizeHint().height());
  Refresh();
}

void Win2KInfoDialog::FitTemplateBox() {
  QStyleOptionFrame option;
  option.initFrom(templateBox_);
  const QRect box = templateBox_->rect();
  const QRect text = templateBox_->style()->subElementRect(QStyle::SE_LineEditContents, &option, templateBox_);
  // Frame and margins around the text area, the line edit's own margin of
  // 2 pixels either side within it, and room for the cursor.
  const int chrome = box.width() - text.width() + 2 * 2 + 4;
  int wanted = templateBox_->fontMetrics().horizontalAdvance(templateBox_->text()) + chrome;
  const QScreen* screen = this->screen();
  const int limit = screen ? screen->availableGeometry().width() * 3 / 4 : 900;
  templateBox_->setMinimumWidth(std::min(wanted, limit));
}

Win10InfoDialog::Win10InfoDialog(FrmWin10Info& model, QWidget* parent)
    : AnswerDialogView(model, "FrmWin10Info", parent) {
  AddKeyRow();
  AddCombo("Edition :", model.CboEdition, "CboEdition", "(Setup asks)");
  AddNameLines();
  AddLine("Local Account :", model.TxtAccount, "TxtAccount")->setPlaceholderText(QStringLiteral("(Setup asks)"));
  AddCheck(model.ChkSkipHardwareChecks, "ChkSkipHardwareChecks");
  AddCheck(model.ChkNoOnlineAccount, "ChkNoOnlineAccount");
  AddCheck(model.ChkSkipPrivacy, "ChkSkipPrivacy");
  AddCheck(model.ChkNoAutoEncryption, "ChkNoAutoEncryption");
  AddCombo("Time Zone :", model.CboTimeZone, "CboTimeZone", "(Setup asks)");
  AddLine("Locale :", model.TxtLocale, "TxtLocale")->setPlaceholderText(QStringLiteral("(Setup asks)"));
  AddOkCancelRow();
  // Shown as the model has it first (the note on kept edits hidden), then
  // sized: no row gets the hidden note's room.
  Refresh();
  resize(560, sizeHint().height());
}

void Win10InfoDialog::AddCheck(CheckBox& box, const char* name) {
  auto* check = new QCheckBox(LiteralCaption(box.Caption), this);
  check->setObjectName(name);
  connect(check, &QCheckBox::toggled, this, [&box](bool on) { box.Value = on ? 1 : 0; });
  binds_.push_back([check, &box] {
    if (check->isChecked() != box.Checked()) check->setChecked(box.Checked());
  });
  grid_->addWidget(check, row_++, 0, 1, 2);
}

void Win10InfoDialog::AddCombo(const char* caption, ComboBox& box, const char* name, const char* empty) {
  grid_->addWidget(PlainLabel(QString::fromUtf8(caption), this), row_, 0);
  auto* combo = new QComboBox(this);
  combo->setObjectName(name);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->lineEdit()->setPlaceholderText(QString::fromUtf8(empty));
  connect(combo, &QComboBox::currentTextChanged, this, [&box](const QString& t) { box.Text = t.toStdString(); });
  binds_.push_back([combo, &box] {
    QStringList items;
    for (const std::string& item : box.Items) items << Q(item);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
    if (shown != items) {
      const QSignalBlocker quiet(combo);
      combo->clear();
      combo->addItems(items);
    }
    if (combo->currentText() != Q(box.Text)) {
      const QSignalBlocker quiet(combo);
      combo->setEditText(Q(box.Text));
    }
  });
  grid_->addWidget(combo, row_++, 1);
}

}  // namespace kiv
