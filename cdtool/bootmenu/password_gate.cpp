#include "cdtool/bootmenu/password_gate.h"

#include <cstring>

#include "cdtool/bootmenu/boot_menu_script.h"

namespace kiv {

long FindGateBlock(const std::string& loader, const std::string& loaderName, std::string* error) {
  const size_t magicLen = std::strlen(kGateMagic);
  long found = -1;
  int count = 0;
  for (size_t at = 0; at + magicLen <= loader.size(); at += 16) {
    if (loader.compare(at, magicLen, kGateMagic) != 0) continue;
    ++count;
    found = static_cast<long>(at);
  }
  auto fail = [&](const std::string& why) {
    if (error) *error = loaderName + ": " + why;
    return -1L;
  };
  if (count == 0) return fail("no password gate block (\"KIVGATE1\"); this loader cannot ask for the password");
  if (count > 1) return fail(std::to_string(count) + " password gate blocks (\"KIVGATE1\"); there must be one");
  if (static_cast<size_t>(found) + kGateBlockSize > loader.size())
    return fail("the password gate block at offset " + std::to_string(found) + " runs past the end of the file");
  return found;
}

bool WritePasswordGate(std::string& loader, const PasswordGate& gate, const std::string& loaderName,
                       std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (gate.password.size() > kMaxGateText)
    return fail("the boot-menu password is " + std::to_string(gate.password.size()) +
                " bytes long; the CD's loader takes at most " + std::to_string(kMaxGateText));
  if (gate.prompt.size() > kMaxGateText)
    return fail("the password prompt \"" + gate.prompt + "\" is " + std::to_string(gate.prompt.size()) +
                " bytes long; the CD's loader takes at most " + std::to_string(kMaxGateText));
  if (gate.retries < 1 || gate.retries > 255)
    return fail("the number of password tries " + std::to_string(gate.retries) + " is not from 1 to 255");
  long at = FindGateBlock(loader, loaderName, error);
  if (at < 0) return false;
  std::string block(kGateBlockSize - 8, '\0');
  block[0] = gate.ask ? 1 : 0;
  block[1] = static_cast<char>(gate.retries);
  block[2] = static_cast<char>(gate.password.size());
  block[3] = static_cast<char>(gate.prompt.size());
  block.replace(4, gate.password.size(), gate.password);
  block.replace(132, gate.prompt.size(), gate.prompt);
  loader.replace(static_cast<size_t>(at) + 8, block.size(), block);
  return true;
}

}  // namespace kiv
