#include "cdtool/win10/windows_region.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kiv {
namespace {

TEST(WindowsRegion, TimeZonesGetWindowsNames) {
  EXPECT_EQ(WindowsTimeZoneOf("Europe/Berlin"), "W. Europe Standard Time");
  EXPECT_EQ(WindowsTimeZoneOf("America/New_York"), "Eastern Standard Time");
  EXPECT_EQ(WindowsTimeZoneOf("Not/AZone"), "");
  EXPECT_EQ(MachineWindowsTimeZone(Environment().Set("TZ", ":Asia/Tokyo")), "Tokyo Standard Time");
  EXPECT_EQ(MachineWindowsTimeZone(Environment().Set("TZ", "Europe/Paris")), "Romance Standard Time");
  EXPECT_TRUE(IsWindowsTimeZone("Tokyo Standard Time"));
  EXPECT_FALSE(IsWindowsTimeZone("Asia/Tokyo"));
  EXPECT_FALSE(IsWindowsTimeZone(""));
  const std::vector<std::string> all = WindowsTimeZones();
  EXPECT_GT(all.size(), 100u);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  EXPECT_NE(std::find(all.begin(), all.end(), "W. Europe Standard Time"), all.end());
}

TEST(WindowsRegion, LocalesGetWindowsNames) {
  EXPECT_EQ(WindowsLocaleOf("de_DE.UTF-8"), "de-DE");
  EXPECT_EQ(WindowsLocaleOf("fr_CA@euro"), "fr-CA");
  EXPECT_EQ(WindowsLocaleOf("C.UTF-8"), "en-US");
  EXPECT_EQ(WindowsLocaleOf("POSIX"), "en-US");
  // LC_ALL first, then LC_MESSAGES, then LANG.
  EXPECT_EQ(MachineWindowsLocale(Environment().Set("LANG", "pt_BR.UTF-8").Set("LC_MESSAGES", "sv_SE.UTF-8")), "sv-SE");
  EXPECT_EQ(MachineWindowsLocale(Environment()), "en-US");
  for (const char* good : {"en-US", "sr-Latn-RS", "es-419", "de"}) EXPECT_TRUE(IsWindowsLocale(good)) << good;
  for (const char* bad : {"", "english", "en_US", "en-US-x", "xq-ZZ", "e-US", "en US"})
    EXPECT_FALSE(IsWindowsLocale(bad)) << bad;
}

}  // namespace
}  // namespace kiv
