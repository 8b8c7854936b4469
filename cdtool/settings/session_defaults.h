#pragma once
#include <string>

#include "cdtool/settings/session_settings.h"

namespace kiv {

class Platform;

// The settings of a first run (no kivcd.ini): the wizard's design defaults,
// with the ISO and the service pack in the user's home folder, and the two
// answer records as their dialogs fill them on load (the Windows 2000/XP
// template; keyfile2.txt, keyfile.txt or the registry for 98/Me).
SessionSettings DefaultSessionSettings(const std::string& programFolder, const Platform& platform,
                                       const Environment& environment);

// The Windows 10/11 answers of a first run: the options people want set, the
// time zone and the locale this machine's, in Windows' names.
SessionSettings::Win10Section DefaultWin10Answers(const Environment& environment);

// The program folder's kivcd.ini when there is one, the defaults otherwise;
// normalised either way. A file that cannot be taken as settings gives the
// defaults too, with the reason in `problem` (else ""); one written before
// the Windows 10/11 answers existed gets their defaults.
SessionSettings LoadSessionSettings(const std::string& programFolder, const Platform& platform,
                                    const Environment& environment, std::string* problem = nullptr);

}  // namespace kiv
