// Plugins: an optional preparation program, then the plugin folder's tree
// copied over the image tree.
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/progress_sink.h"
#include "common/prompter.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

std::string FindPluginProgram(const std::string& pluginsFolder, const std::string& PluginName) {
  // Each one found replaces the previous choice; on POSIX a shell script wins
  // over all.
  std::string chosen;
  for (const char* ext : {".bat", ".com", ".exe", ".sh"}) {
    const std::string candidate = ResolvePath(JoinPath(pluginsFolder, PluginName + ext));
    if (FileExists(candidate) && !FolderExists(candidate)) chosen = candidate;
  }
  return chosen;
}

std::vector<std::string> PluginProgramArgv(const std::string& program, ProcessLauncher& tools, std::string* why) {
  if (program.size() >= 3 && EqualsNoCase(program.substr(program.size() - 3), ".sh")) return {"/bin/sh", program};
  std::string bytes;
  if (!ReadWholeFile(program, bytes)) {
    if (why) *why = "it cannot be read";
    return {};
  }
  if (bytes.compare(0, 2, "#!") == 0 || bytes.compare(0, 4,
                                                      "\x7f"
                                                      "ELF") == 0)
    return {program};
  if (bytes.compare(0, 2, "MZ") == 0) {
    const std::string wine = tools.FindProgram("wine");
    if (!wine.empty()) return {wine, program};
    if (why) *why = "it is a Windows program and wine is not installed";
    return {};
  }
  if (why) *why = "it is neither a program nor a script this system can run";
  return {};
}

void FloppyBuilder::InjectPlugin(const std::string& PluginName) {
  const std::string plugins = Resolve("plugins");
  const std::string program = FindPluginProgram(plugins, PluginName);
  if (!program.empty()) {
    std::string why;
    const std::vector<std::string> argv = PluginProgramArgv(program, launcher_, &why);
    if (argv.empty()) {
      prompter_.MsgBox(Message{"The preparation program " + program + " of the plugin " + PluginName +
                                   " was not run: " + why + ".\r\nThe plugin is copied without it.",
                               "Plugin", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
    } else {
      RunOptions options;
      options.pump = [this] { progress_.PumpEvents(); };
      if (!launcher_.ShellAndWait(argv, options)) {
        prompter_.MsgBox(Message{"The preparation program " + program + " of the plugin " + PluginName +
                                     " could not be started.\r\nThe plugin is copied without it.",
                                 "Plugin", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
      }
    }
  }
  std::string error;
  if (!CopyFolder(ResolvePath(JoinPath(plugins, PluginName)), WorkDir, &error)) {
    prompter_.MsgBox(
        Message{"The plugin folder " + JoinPath(plugins, PluginName) + " could not be copied :\r\n" + error,
                "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
  }
}

}  // namespace kiv
