// The settings a session starts from, without a wizard window: the saved
// file, or the defaults of a first run.
#include "cdtool/settings/session_defaults.h"

#include "cdtool/win10/windows_region.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/setup_answer_defaults.h"

namespace kiv {

SessionSettings::Win10Section DefaultWin10Answers(const Environment& environment) {
  SessionSettings::Win10Section answers;
  answers.TimeZone = MachineWindowsTimeZone(environment);
  answers.Locale = MachineWindowsLocale(environment);
  return answers;
}

SessionSettings DefaultSessionSettings(const std::string& programFolder, const Platform& platform,
                                       const Environment& environment) {
  SessionSettings s;
  const std::string home = HomeFolder(environment);
  s.Main.ISOLocation = JoinPath(home, "kivcd.iso");
  s.Win2K_Info.SP_exe = JoinPath(home, JoinPath("SP", "xpsp1_en_x86.exe"));
  // The answer records as their dialogs fill them when they load.
  static_cast<Win2KInfo&>(s.Win2K_Info) = LoadedWin2KInfo(programFolder, DefaultWin2KInfo());
  static_cast<Win9xInfo&>(s.Win9x_Info) = LoadedWin9xInfo(programFolder, platform, DefaultWin9xInfo());
  s.Win10_Info = DefaultWin10Answers(environment);
  return s;
}

SessionSettings LoadSessionSettings(const std::string& programFolder, const Platform& platform,
                                    const Environment& environment, std::string* problem) {
  const std::string path = SettingsPath(programFolder);
  std::string why = FileExists(path) ? SettingsFileProblem(path) : "";
  if (problem) *problem = why;
  SessionSettings s = FileExists(path) && why.empty() ? ReadKivCdIni(path)
                                                      : DefaultSessionSettings(programFolder, platform, environment);
  if (FileExists(path) && why.empty() && !StoresSection(path, "Win10_Info"))
    s.Win10_Info = DefaultWin10Answers(environment);
  NormaliseSettings(s);
  return s;
}

}  // namespace kiv
