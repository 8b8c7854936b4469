#pragma once
// Captions for Qt buttons, check boxes, option buttons and frames. Those
// widgets read "&" as the mark of a keyboard shortcut; a caption that holds a
// literal ampersand ("O&O BlueCon XXL Pro") must reach them doubled, or the
// ampersand vanishes and the next letter is underlined.
#include <QString>
#include <string>

namespace kiv {

// `caption` with every "&" doubled: shown exactly as written, no shortcut.
QString LiteralCaption(const std::string& caption);

}  // namespace kiv
