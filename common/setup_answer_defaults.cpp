#include "common/setup_answer_defaults.h"

#include <utility>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/platform.h"

namespace kiv {

namespace {

template <typename Info>
Info WithKeyCut(Info info) {
  for (std::string& part : info.ProductKey) part = part.substr(0, kKeyPartLength);
  return info;
}

// The four names both records share.
template <typename Info>
Info WithDefaultNames(Info info) {
  info.OwnerName = kDefaultOwner;
  info.Organization = kDefaultOrg;
  info.ComputerName = kDefaultPCName;
  info.Workgroup = kDefaultWorkgroup;
  return info;
}

}  // namespace

Win9xInfo DefaultWin9xInfo() {
  Win9xInfo info = WithDefaultNames(Win9xInfo());
  info.OptimizedFor = kDefaultOSType;
  return info;
}

Win2KInfo DefaultWin2KInfo() { return WithDefaultNames(Win2KInfo()); }

Win9xInfo LoadedWin9xInfo(const std::string& programFolder, const Platform& platform, Win9xInfo shown) {
  const std::string keyFile2 = JoinPath(programFolder, kKeyFile2);
  const std::string keyFile = JoinPath(programFolder, kKeyFile);
  Win9xInfo read = shown;
  if (FileExists(keyFile2)) {
    if (ReadWin9xKeyFile(keyFile2, read)) return WithKeyCut(std::move(read));
  } else if (FileExists(keyFile)) {
    if (ReadWin9xKeyFile(keyFile, read)) return WithKeyCut(std::move(read));
  } else if (platform.IsWin9x()) {
    return WithKeyCut(ReadWin9xRegistry(platform));
  }
  return shown;
}

Win2KInfo LoadedWin2KInfo(const std::string& programFolder, Win2KInfo shown) {
  if (shown.TemplateFile.empty() || !FileExists(shown.TemplateFile))
    shown.TemplateFile = Win2KTemplatePath(programFolder);
  Win2KInfo read = shown;
  if (FillSetupDataFromUnattend(shown.TemplateFile, read)) return WithKeyCut(std::move(read));
  return shown;
}

}  // namespace kiv
