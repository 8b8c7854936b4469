// Plugins: an optional preparation program, then the plugin folder's tree
// copied over the image tree.
#include <string>
#include <vector>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "disktool/floppy/floppy_tree.h"
#include "disktool/workspace/floppy_workspace.h"

namespace kiv {

namespace {

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

}  // namespace

void FloppyTree::InjectPlugin(const std::string& PluginName) {
  const std::string plugins = workspace_.Resolve("plugins");
  const std::string program = FindPluginProgram(plugins, PluginName);
  if (!program.empty()) {
    std::string why;
    const std::vector<std::string> argv = PluginProgramArgv(program, workspace_.launcher(), &why);
    if (argv.empty()) {
      workspace_.prompter().MsgBox(Message{"The preparation program " + program + " of the plugin " + PluginName +
                                               " was not run: " + why + ".\r\nThe plugin is copied without it.",
                                           "Plugin", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
    } else {
      RunOptions options;
      options.pump = [this] { workspace_.Pump(); };
      if (!workspace_.launcher().ShellAndWait(argv, options)) {
        workspace_.prompter().MsgBox(Message{"The preparation program " + program + " of the plugin " + PluginName +
                                                 " could not be started.\r\nThe plugin is copied without it.",
                                             "Plugin", Icon::Exclamation, Buttons::OK, 0, std::nullopt});
      }
    }
  }
  std::string error;
  if (!CopyFolder(ResolvePath(JoinPath(plugins, PluginName)), files_.WorkDir, &error)) {
    workspace_.prompter().MsgBox(
        Message{"The plugin folder " + JoinPath(plugins, PluginName) + " could not be copied :\r\n" + error,
                "Error While Copying", Icon::Critical, Buttons::OK, 0, std::nullopt});
  }
}

}  // namespace kiv
