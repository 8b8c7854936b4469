#pragma once
// The keyboard of the wizard windows, as in other wizards: Enter presses the
// focused button, or else the window's default button (Next, or Finish where
// that is the way on); F1 presses Help; a page opens with the focus on its
// first field. The windows are plain widgets, not dialogs, so none of this
// comes from Qt by itself.
class QAbstractButton;
class QKeyEvent;
class QWidget;

namespace kiv {

// For a window's keyPressEvent: true when `event` was Enter (Return or the
// keypad's Enter, no other modifier) and a button of `window` was pressed.
// Line edits, lists and check boxes pass Enter up to their window.
bool PressButtonOnEnter(QWidget* window, QKeyEvent* event);

// F1 anywhere in the window of `help` presses `help` while it is shown and
// enabled, whatever has the focus.
void PressOnHelpKey(QAbstractButton* help);

// Gives the focus to the first field of `page` in Tab order: a box, a list,
// a check box, the chosen option of a group. Command buttons and links are no
// fields; a page without a field gives the focus to `window`'s default
// button, so Enter goes on rather than pressing whatever had it before.
void FocusFirstField(QWidget* window, QWidget* page);

}  // namespace kiv
