#include "cdtool/bootmenu/password_gate.h"

#include <algorithm>
#include <tuple>

namespace kiv {

// What the writer puts into the block has to fit the table's fields.
static_assert(kGateSalt.size == std::tuple_size_v<PasswordSalt>);
static_assert(kGateHash.size == std::tuple_size_v<decltype(PasswordHash::digest)>);
static_assert(kGateHash.size % 4 == 0, "the hash is stored in dwords");
static_assert(kGateSerialPort.size == 2);
static_assert(kMaxGateText < kGatePrompt.size, "the prompt keeps its terminating zero");
static_assert(kGateTag.offset == 0, "the block is found by its tag at its start");

long FindGateBlock(const std::string& loader, const std::string& loaderName, std::string* error) {
  long found = -1;
  int count = 0;
  for (size_t at = 0; at + kGateTag.size <= loader.size(); at += kGateAlign) {
    if (loader.compare(at, kGateTag.size, kGateMagic) != 0) continue;
    ++count;
    found = static_cast<long>(at);
  }
  auto fail = [&](const std::string& why) {
    if (error) *error = loaderName + ": " + why;
    return -1L;
  };
  const std::string tag = std::string("(\"") + kGateMagic + "\")";
  if (count == 0) return fail("no password gate block " + tag + "; this loader cannot ask for the password");
  if (count > 1) return fail(std::to_string(count) + " password gate blocks " + tag + "; there must be one");
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
  if (gate.prompt.size() > kMaxGateText)
    return fail("the password prompt \"" + gate.prompt + "\" is " + std::to_string(gate.prompt.size()) +
                " bytes long; the CD's loader takes at most " + std::to_string(kMaxGateText));
  if (gate.prompt.find('\0') != std::string::npos) return fail("the password prompt holds a zero byte");
  if (gate.retries < 1 || gate.retries > 255)
    return fail("the number of password tries " + std::to_string(gate.retries) + " is not from 1 to 255");
  static const int kPorts[] = {0, 0x3F8, 0x2F8};
  if (gate.serialConsole < 0 || gate.serialConsole > 2)
    return fail("the serial console " + std::to_string(gate.serialConsole) + " is not COM1, COM2 or 0 (none)");
  long at = FindGateBlock(loader, loaderName, error);
  if (at < 0) return false;
  // The whole block, written anew: what the gate leaves out is zero.
  std::string block(kGateBlockSize, '\0');
  block.replace(kGateTag.offset, kGateTag.size, kGateMagic);
  block[kGateAsk.offset] = gate.ask ? 1 : 0;
  block[kGateRetries.offset] = static_cast<char>(gate.retries);
  const int port = kPorts[gate.serialConsole];
  block[kGateSerialPort.offset] = static_cast<char>(port & 0xFF);
  block[kGateSerialPort.offset + 1] = static_cast<char>(port >> 8);
  std::copy(gate.password.salt.begin(), gate.password.salt.end(), block.begin() + kGateSalt.offset);
  for (size_t i = 0; i < gate.password.digest.size(); ++i)
    block[kGateHash.offset + i] = static_cast<char>(gate.password.digest[i ^ 3]);
  block.replace(kGatePrompt.offset, gate.prompt.size(), gate.prompt);
  loader.replace(static_cast<size_t>(at), block.size(), block);
  return true;
}

bool WriteHardDiskPort(std::string& image, int serialConsole, const std::string& imageName, std::string* error) {
  static const int kPorts[] = {0, 0x3F8, 0x2F8};
  const size_t at = image.find(kHardDiskPortMagic);
  const size_t tag = sizeof kHardDiskPortMagic - 1;
  std::string why;
  if (serialConsole < 0 || serialConsole > 2)
    why = "the serial console " + std::to_string(serialConsole) + " is not COM1, COM2 or 0 (none)";
  else if (at == std::string::npos || image.find(kHardDiskPortMagic, at + 1) != std::string::npos ||
           at + tag + 2 > image.size())
    why = imageName + " has no single serial-port block (" + kHardDiskPortMagic + ")";
  if (!why.empty()) {
    if (error) *error = why;
    return false;
  }
  const int port = kPorts[serialConsole];
  image[at + tag] = static_cast<char>(port & 0xFF);
  image[at + tag + 1] = static_cast<char>(port >> 8);
  return true;
}

}  // namespace kiv
