#include "preparer/server_name_preparer.h"

#include <filesystem>

#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

std::string KivmaxPromptText() {
  return std::string("Enter your Kiv Server name :\r\n") + "The server must include a share named " +
         ToUpper(kKivmaxShareName) + "\r\n" +
         "Leave it blank if you have no machines that have that network share";
}

PlaceholderTable KivmaxPlaceholders(const std::string& server) {
  return {{"$$servername$$", server}, {"$$share_name$$", kKivmaxShareName}};
}

std::string RenderKivmaxTemplate(const std::string& templ, const std::string& server) {
  const PlaceholderTable table = KivmaxPlaceholders(server);
  std::string out;
  size_t start = 0;
  while (start < templ.size()) {
    size_t end = templ.find('\n', start);
    const size_t next = end == std::string::npos ? templ.size() : end + 1;
    if (end == std::string::npos) end = templ.size();
    std::string line = templ.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += ReplacePlaceholders(line, table);
    out += "\r\n";
    start = next;
  }
  return out;
}

KivmaxOutcome ApplyServerName(const std::string& folder, const std::optional<std::string>& answer) {
  const std::string server = answer ? Trim(*answer) : std::string();
  const std::string etc = ResolvePath(JoinPath(folder, "kivmax/etc"));
  const std::string output = ResolvePath(JoinPath(etc, "autoexec.net"));

  if (server.empty()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(output, ec) && !std::filesystem::remove(output, ec))
      return {KivmaxResult::Failed, "Cannot remove " + output + ": " + ec.message()};
    return {KivmaxResult::Removed, ""};
  }

  const std::string templ = ResolvePath(JoinPath(folder, "kivmax.net"));
  std::string text;
  if (!FileExists(templ) || !ReadWholeFile(templ, text))
    return {KivmaxResult::Failed,
            "The template " + templ + " is missing or cannot be read; the server name was not stored."};
  if (!FolderExists(etc))
    return {KivmaxResult::Failed,
            "The folder " + etc + " is missing; the server name was not stored."};
  if (!WriteFileAtomic(output, RenderKivmaxTemplate(text, server)))
    return {KivmaxResult::Failed, "Cannot write " + output + "; the server name was not stored."};
  return {KivmaxResult::Written, ""};
}

int RunKivmax(const std::string& folder, Prompter& prompter) {
  const std::optional<std::string> answer = prompter.InputBox(KivmaxPromptText(), kKivmaxTitle, "");
  const KivmaxOutcome outcome = ApplyServerName(folder, answer);
  if (outcome.result == KivmaxResult::Failed) {
    prompter.Inform(outcome.message, kKivmaxTitle, Icon::Critical);
    return 1;
  }
  return 0;
}

}  // namespace kiv
