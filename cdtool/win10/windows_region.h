#pragma once
// Time zones and locales as Windows names them ("W. Europe Standard Time",
// "de-DE"), and this machine's, for the answers of Windows 10/11 Setup.
// Qt's time-zone tables give the Windows names of the IANA zones Linux uses.
#include <string>
#include <vector>

#include "common/environment.h"

namespace kiv {

// Windows' name of an IANA time zone ("Europe/Berlin" -> "W. Europe Standard
// Time"); "" for one Windows has no name for.
std::string WindowsTimeZoneOf(const std::string& ianaId);
// This machine's time zone in Windows' name ("" when Windows has none for
// it): the zone TZ names when the program was started with one, else the
// system's.
std::string MachineWindowsTimeZone(const Environment& environment);
// Every time zone Windows knows, by name, sorted.
std::vector<std::string> WindowsTimeZones();
bool IsWindowsTimeZone(const std::string& name);

// Windows' name of a POSIX locale ("de_DE.UTF-8@euro" -> "de-DE"); "en-US"
// for C and POSIX, which name no language.
std::string WindowsLocaleOf(const std::string& posixLocale);
// This machine's locale (LC_ALL, LC_MESSAGES, LANG, the first one set, as
// the C library takes them) in Windows' name.
std::string MachineWindowsLocale(const Environment& environment);
// Whether `name` is a locale name Windows takes ("en-US", "sr-Latn-RS",
// "es-419"): a language Qt knows and, when given, its script and region.
bool IsWindowsLocale(const std::string& name);

}  // namespace kiv
