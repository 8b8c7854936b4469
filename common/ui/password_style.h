#pragma once
// Password boxes that show one "*" for each character typed, whatever the
// platform style would use (often a bullet).
#include <QLineEdit>

namespace kiv {

// Puts `box` in password mode with "*" as its mask character.
void MaskWithStars(QLineEdit* box);

}  // namespace kiv
