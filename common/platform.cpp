#include "common/platform.h"

namespace kiv {

namespace {
std::unique_ptr<Platform>& Slot() {
  static std::unique_ptr<Platform> current;
  return current;
}
}  // namespace

Platform& CurrentPlatform() {
  auto& slot = Slot();
  if (!slot) slot = MakeSystemPlatform();
  return *slot;
}

void SetCurrentPlatform(std::unique_ptr<Platform> platform) { Slot() = std::move(platform); }

std::string ProgramFolderNotWritableText(const std::string& folder, const std::string& reason) {
  return "The program folder " + folder + " cannot be written (" + reason + ").\r\n\r\n" +
         "The program keeps its work files there. Run it as a user who may write to that folder, or copy the "
         "program folder to a place you can write.";
}

}  // namespace kiv
