#include "cdtool/win10/windows_region.h"

#include <QByteArray>
#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <cctype>
#include <set>

namespace kiv {

std::string WindowsTimeZoneOf(const std::string& ianaId) {
  if (ianaId.empty()) return "";
  return QTimeZone::ianaIdToWindowsId(QByteArray::fromStdString(ianaId)).toStdString();
}

std::string MachineWindowsTimeZone(const Environment& environment) {
  // TZ=":Europe/Berlin" or "Europe/Berlin"; a POSIX rule ("CET-1CEST") names
  // no zone Windows knows, and the system's is taken instead.
  std::string zone = environment.Get("TZ");
  if (!zone.empty() && zone[0] == ':') zone.erase(0, 1);
  if (std::string name = WindowsTimeZoneOf(zone); !name.empty()) return name;
  return WindowsTimeZoneOf(QTimeZone::systemTimeZoneId().toStdString());
}

std::vector<std::string> WindowsTimeZones() {
  std::set<std::string> names;
  for (const QByteArray& iana : QTimeZone::availableTimeZoneIds())
    if (std::string name = QTimeZone::ianaIdToWindowsId(iana).toStdString(); !name.empty()) names.insert(name);
  return {names.begin(), names.end()};
}

bool IsWindowsTimeZone(const std::string& name) {
  return !name.empty() && !QTimeZone::windowsIdToDefaultIanaId(QByteArray::fromStdString(name)).isEmpty();
}

std::string WindowsLocaleOf(const std::string& posixLocale) {
  std::string name = posixLocale.substr(0, posixLocale.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return "en-US";
  std::replace(name.begin(), name.end(), '_', '-');
  return IsWindowsLocale(name) ? name : "en-US";
}

std::string MachineWindowsLocale(const Environment& environment) {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const std::string value = environment.Get(variable); !value.empty()) return WindowsLocaleOf(value);
  return "en-US";
}

bool IsWindowsLocale(const std::string& name) {
  // language[-Script][-REGION]: 2-3 letters, 4 letters, 2 letters or 3 digits.
  size_t part = 0, from = 0;
  while (from <= name.size()) {
    const size_t to = std::min(name.find('-', from), name.size());
    const std::string piece = name.substr(from, to - from);
    const bool letters = !piece.empty() && std::all_of(piece.begin(), piece.end(), [](char c) {
      return std::isalpha(static_cast<unsigned char>(c));
    });
    const bool digits = piece.size() == 3 && std::all_of(piece.begin(), piece.end(), [](char c) {
                          return std::isdigit(static_cast<unsigned char>(c));
                        });
    const bool ok = part == 0   ? letters && piece.size() >= 2 && piece.size() <= 3
                    : part == 1 ? (letters && (piece.size() == 4 || piece.size() == 2)) || digits
                                : (letters && piece.size() == 2) || digits;
    if (!ok || part > 2) return false;
    ++part;
    from = to + 1;
  }
  const QLocale locale(QString::fromStdString(name));
  return locale.language() != QLocale::C && locale.language() != QLocale::AnyLanguage;
}

}  // namespace kiv
