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

}  // namespace kiv
