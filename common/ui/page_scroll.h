#pragma once
// Windows that fit small screens: a wizard's pages scroll inside the window
// while the buttons under them stay in sight, and a window opens no larger
// than the free area of its screen (at twice the scale a 1280x900 screen
// has 640x450 pixels to lay a window out in).
class QScrollArea;
class QWidget;

namespace kiv {

// `page` inside a frameless scroll area that is laid out at the page's own
// size when there is room and scrolls when there is not. The field that
// takes the focus (Tab, Alt with a letter, a new page's first field) is
// scrolled into sight. The scroll area itself takes no focus.
QScrollArea* ScrollingPage(QWidget* page);

// Makes `window`, not yet shown, no larger than the free area of its
// screen, room left for the title bar and borders a window manager adds;
// a window placed by the program (moved) is moved inside that area.
void FitOnScreen(QWidget* window);

}  // namespace kiv
