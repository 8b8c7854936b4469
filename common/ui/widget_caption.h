#pragma once
// Captions for Qt buttons, check boxes, option buttons and frames. Those
// widgets read "&" as the mark of a keyboard shortcut; a caption that holds a
// literal ampersand ("O&O BlueCon XXL Pro") must reach them doubled, or the
// ampersand vanishes and the next letter is underlined.
#include <QString>
#include <string>

class QWidget;

namespace kiv {

// `caption` with every "&" doubled: shown exactly as written, no shortcut.
QString LiteralCaption(const std::string& caption);

// A command button's caption with its keyboard letter (Alt+letter) when it
// is one of the wizards' usual commands ("Next >" -> "&Next >", "Browse ..."
// -> "B&rowse ..."); any other caption as LiteralCaption. The letters differ
// from one another, so Alt+letter presses the button rather than cycling
// through several.
QString ButtonCaption(const std::string& caption);

// A command that appears twice on one page (a Browse ... button for each of
// two folders) would share its letter, and Alt+letter would then only move
// the focus between the two. The second of each pair on `page` (in the
// order they were made, which is top to bottom) gets a letter of its own:
// Browse Alt+E, Explore Alt+P.
void GiveSecondCommandsOwnLetters(QWidget* page);

}  // namespace kiv
