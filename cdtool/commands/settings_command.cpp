#include "cdtool/commands/settings_command.h"

#include <filesystem>

#include "cdtool/settings/session_defaults.h"
#include "cdtool/settings/session_settings.h"
#include "common/environment.h"
#include "common/paths.h"
#include "common/platform.h"

namespace kiv {

int RunSetCommand(const std::vector<std::string>& assignments, const std::string& programFolder,
                  const Platform& platform, const Environment& environment, std::FILE* out, std::FILE* err) {
  const std::string path = SettingsPath(programFolder);
  std::string unreadable;
  SessionSettings settings = LoadSessionSettings(programFolder, platform, environment, &unreadable);
  // A file that is not the builder's own is neither shown as if it were nor
  // replaced by defaults: the same refusal --build gives, and it stays.
  if (!unreadable.empty()) {
    std::fprintf(err, "discsmith: the settings file \"%s\" cannot be read as settings (%s); nothing %s\n", path.c_str(),
                 unreadable.c_str(), assignments.empty() ? "shown" : "written");
    return 1;
  }
  std::error_code ec;
  if (!assignments.empty() && std::filesystem::is_symlink(ResolvePath(path), ec)) {
    std::fprintf(err,
                 "discsmith: the settings file \"%s\" is a symbolic link; --set writes only a file of its own "
                 "there (remove the link, or copy its target in its place); nothing written\n",
                 path.c_str());
    return 1;
  }
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
  if (std::string why; !WriteKivCdIni(path, settings, &why)) {
    std::fprintf(err, "discsmith: the settings could not be saved to \"%s\"%s\n", path.c_str(),
                 why.empty() ? "" : (": " + why).c_str());
    return 1;
  }
  // Said, so a script's log shows what the next build starts from.
  std::fprintf(out, "discsmith: saved to \"%s\":\n", path.c_str());
  for (const std::string& a : assignments) std::fprintf(out, "  %s\n", a.c_str());
  return 0;
}

std::string PasswordNote(const Environment& environment) {
  return std::string(
             "; The boot-menu password is no setting: discsmith --build protects the CD with the password "
             "in KIVCD_PASSWORD, and only when it is set and not empty (") +
         (environment.IsSet("KIVCD_PASSWORD") ? "it is set now: the next build asks for it"
                                              : "it is not set now: the next build asks for none") +
         ").\n";
}

int RunSetCommandLine(int argc, char** argv, const Environment& environment) {
  const Platform& platform = CurrentPlatform();
  const std::vector<std::string> assignments(argv + 2, argv + argc);
  const int status = RunSetCommand(assignments, platform.ProgramFolder(), platform, environment, stdout, stderr);
  if (status == 0 && assignments.empty()) std::fputs(PasswordNote(environment).c_str(), stdout);
  return status;
}

}  // namespace kiv
