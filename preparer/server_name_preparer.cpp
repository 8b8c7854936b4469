#include "preparer/server_name_preparer.h"

#include <filesystem>

#include "common/file_ops.h"
#include "common/paths.h"

namespace kiv {

std::string KivmaxPromptText() {
  return std::string("Enter your Kiv Server name :\r\n") + "The server must include a share named " +
         ToUpper(kKivmaxShareName) + "\r\n" + "Leave it blank if you have no machines that have that network share";
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

std::string CleanServerAnswer(const std::string& answer) {
  const char* const space = " \t\r\n\v\f";
  const size_t first = answer.find_first_not_of(space);
  if (first == std::string::npos) return "";
  return answer.substr(first, answer.find_last_not_of(space) - first + 1);
}

std::string ServerNameProblem(const std::string& name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return kKivmaxRefusal;
  }
  if (name.size() > kNetBiosNameLength)
    return "The server name \"" + name + "\" is " + std::to_string(name.size()) +
           " characters long; a NetBIOS name holds at most 15. Type it again.";
  const size_t bad = name.find_first_of(" \\/:*?\"<>|");
  if (bad != std::string::npos)
    return "The server name \"" + name + "\" holds \"" + name[bad] +
           "\", which a NetBIOS name cannot hold (blanks, \\ / : * ? \" < > |). Type it again.";
  return "";
}

bool ServerNameAcceptable(const std::string& name) { return ServerNameProblem(name).empty(); }

KivmaxOutcome ApplyServerName(const std::string& folder, const std::optional<std::string>& answer, bool personAsked) {
  const std::string server = answer ? CleanServerAnswer(*answer) : std::string();
  const std::string etc = ResolvePath(JoinPath(folder, "kivmax/etc"));
  const std::string output = ResolvePath(JoinPath(etc, "autoexec.net"));

  if (const std::string why = ServerNameProblem(server); !why.empty())
    return {KivmaxResult::Failed,
            (why == kKivmaxRefusal ? std::string("The server name holds a line break or another control character")
                                   : why.substr(0, why.size() - std::string(". Type it again.").size())) +
                "; " + output + " was not changed."};
  if (server.empty() && !personAsked) return {KivmaxResult::Kept, ""};
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
    return {KivmaxResult::Failed, "The folder " + etc + " is missing; the server name was not stored."};
  if (!WriteFileAtomic(output, RenderKivmaxTemplate(text, server)))
    return {KivmaxResult::Failed, "Cannot write " + output + "; the server name was not stored."};
  return {KivmaxResult::Written, ""};
}

int RunKivmax(const std::string& folder, Prompter& prompter) {
  std::optional<std::string> answer = prompter.InputBox(KivmaxPromptText(), kKivmaxTitle, "");
  for (std::string why; answer && !(why = ServerNameProblem(CleanServerAnswer(*answer))).empty();)
    answer = prompter.InputBox(why + "\r\n" + KivmaxPromptText(), kKivmaxTitle, "");
  const KivmaxOutcome outcome = ApplyServerName(folder, answer, prompter.CanAsk());
  if (outcome.result == KivmaxResult::Failed) {
    prompter.Inform(outcome.message, kKivmaxTitle, Icon::Critical);
    return 1;
  }
  if (outcome.result == KivmaxResult::Kept) {
    prompter.Inform("No server name was given and nobody could be asked; " +
                        ResolvePath(JoinPath(folder, "kivmax/etc/autoexec.net")) + " is kept as it is.",
                    kKivmaxTitle, Icon::Information);
  }
  return 0;
}

}  // namespace kiv
