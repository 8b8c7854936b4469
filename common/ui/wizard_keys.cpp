#include "common/ui/wizard_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

namespace kiv {

namespace {

QPushButton* DefaultButton(QWidget* window) {
  for (QPushButton* button : window->findChildren<QPushButton*>())
    if (button->isDefault() && button->isVisibleTo(window) && button->isEnabled()) return button;
  return nullptr;
}

// An option that is not the chosen one of its group: Tab reaches the group
// at its chosen option.
bool UnchosenOption(QWidget* w) {
  auto* option = qobject_cast<QRadioButton*>(w);
  if (!option || !option->autoExclusive() || option->isChecked()) return false;
  for (QRadioButton* other : option->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
    if (other->isChecked()) return true;
  return false;
}

bool IsField(QWidget* w) { return !qobject_cast<QPushButton*>(w) && !qobject_cast<QLabel*>(w) && !UnchosenOption(w); }

}  // namespace

bool PressButtonOnEnter(QWidget* window, QKeyEvent* event) {
  if ((event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) ||
      (event->modifiers() & ~Qt::KeypadModifier) != 0)
    return false;
  if (auto* focused = qobject_cast<QPushButton*>(window->focusWidget()); focused && focused->isEnabled()) {
    focused->click();
    return true;
  }
  if (QPushButton* button = DefaultButton(window)) {
    button->click();
    return true;
  }
  return false;
}

void PressOnHelpKey(QAbstractButton* help) {
  auto* key = new QShortcut(QKeySequence(Qt::Key_F1), help->window());
  QObject::connect(key, &QShortcut::activated, help, [help] {
    if (help->isVisible() && help->isEnabled()) help->click();
  });
}

void FocusFirstField(QWidget* window, QWidget* page) {
  // The whole chain, in Tab order: a page put into a scroll area after its
  // fields were made does not start their part of the chain.
  for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
    if (page->isAncestorOf(w) && w->isVisibleTo(window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
        IsField(w)) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  if (QPushButton* button = DefaultButton(window)) button->setFocus(Qt::TabFocusReason);
}

}  // namespace kiv
