#pragma once
#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "common/platform.h"
#include "testsupport/seeded_random.h"

namespace kiv {

// A platform for tests: every answer is a public member to set; OpenLink and
// OpenFolder record their argument and answer `openResult`. Its clock stands
// at `now`; its random bytes are `random`'s, the same on every run (another
// seed gives others).
class FakePlatform : public Platform {
 public:
  std::string ProgramFolder() const override { return programFolder; }
  std::string WindowsFolder() const override { return windowsFolder; }
  std::string SystemFolder() const override { return systemFolder; }
  // The value `registry` holds under "<key>\\<name>", "" when none.
  std::string RegString(const std::string& key, const std::string& name) const override {
    const auto it = registry.find(key + "\\" + name);
    return it == registry.end() ? std::string() : it->second;
  }
  bool IsWinNT() const override { return winNT; }
  bool IsWin9x() const override { return win9x; }
  std::string FirstCdRomDrive() const override { return cdRom; }
  int64_t FreeSpace(const std::string&) const override { return freeSpace; }
  std::time_t Now() const override { return now; }
  void FillRandom(uint8_t* bytes, size_t size) const override { random.FillRandom(bytes, size); }
  bool OpenLink(const std::string& target) const override {
    opened.push_back(target);
    return openResult;
  }
  bool OpenFolder(const std::string& folder) const override {
    opened.push_back(folder);
    return openResult;
  }

  std::string programFolder, windowsFolder, systemFolder, cdRom;
  std::map<std::string, std::string> registry;
  bool winNT = false, win9x = false, openResult = true;
  int64_t freeSpace = -1;
  std::time_t now = 1700000000;  // 2023-11-14 22:13:20 UTC
  testing::SeededRandom random;
  mutable std::vector<std::string> opened;
};

}  // namespace kiv
