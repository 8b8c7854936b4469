#pragma once
// kivmax: asks for the Kiv server name and writes the kivmax plugin's network
// start-up file from its template. All paths are relative to the folder that
// holds the kivmax program:
//   kivmax.net                 template with $$servername$$ and $$share_name$$
//   kivmax/etc/autoexec.net    the file written (removed on an empty answer)
#include <optional>
#include <string>

#include "common/prompter.h"
#include "preparer/placeholders.h"

namespace kiv {

inline constexpr const char* kKivmaxTitle = "Specify Kiv Server Name";
inline constexpr const char* kKivmaxShareName = "kivutils";

// The prompt's three lines, CR LF between them.
std::string KivmaxPromptText();

// "$$servername$$" -> server, "$$share_name$$" -> "kivutils", in this order.
PlaceholderTable KivmaxPlaceholders(const std::string& server);

// Every line of `templ` (LF or CR LF ends; a last line without one counts)
// with the placeholders replaced, each ended by CR LF. Empty in, empty out.
std::string RenderKivmaxTemplate(const std::string& templ, const std::string& server);

enum class KivmaxResult { Written, Removed, Failed };

struct KivmaxOutcome {
  KivmaxResult result = KivmaxResult::Failed;
  std::string message;  // what went wrong, naming the file or folder; "" otherwise
};

// Applies an answer of the prompt in `folder`. An empty answer (nullopt for
// Cancel, or blanks only) removes an autoexec.net left by an earlier run.
// Otherwise the template must exist and kivmax/etc must be a folder; the file
// is written under a temporary name and renamed into place. The answer is used
// with surrounding blanks removed.
KivmaxOutcome ApplyServerName(const std::string& folder, const std::optional<std::string>& answer);

// The whole program: prompt, apply, report a failure through `prompter`.
// Returns the process exit status (0 done, 1 failed).
int RunKivmax(const std::string& folder, Prompter& prompter);

}  // namespace kiv
