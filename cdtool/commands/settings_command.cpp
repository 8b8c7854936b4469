#include "cdtool/commands/settings_command.h"

#include "cdtool/settings/session_settings.h"
#include "cdtool/wizard/session_defaults.h"
#include "common/platform.h"

namespace kiv {

int RunSetCommand(const std::vector<std::string>& assignments, const std::string& programFolder,
                  const Platform& platform, std::FILE* out, std::FILE* err) {
  SessionSettings settings = LoadSessionSettings(programFolder, platform);
  if (assignments.empty()) {
    const std::string text = KivCdIniText(settings);
    std::fwrite(text.data(), 1, text.size(), out);
    return 0;
  }
  for (const std::string& a : assignments) {
    const size_t eq = a.find('=');
    std::string error;
    if (eq == std::string::npos) {
      error = "\"" + a + "\" is not Section.Key=value";
    } else if (SetSetting(settings, a.substr(0, eq), a.substr(eq + 1), &error)) {
      continue;
    }
    std::fprintf(err, "discsmith: %s; nothing written\n", error.c_str());
    return 2;
  }
  NormaliseSettings(settings);
  const std::string path = SettingsPath(programFolder);
  if (!WriteKivCdIni(path, settings)) {
    std::fprintf(err, "discsmith: the settings could not be saved to \"%s\"\n", path.c_str());
    return 1;
  }
  return 0;
}

int RunSetCommandLine(int argc, char** argv) {
  const Platform& platform = CurrentPlatform();
  return RunSetCommand(std::vector<std::string>(argv + 2, argv + argc), platform.ProgramFolder(), platform, stdout,
                       stderr);
}

}  // namespace kiv
