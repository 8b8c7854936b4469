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

// Written: autoexec.net made from the template. Removed: a blank answer or
// Cancel took it away. Kept: nobody could be asked, so it stays as it is.
// Failed: nothing changed, `message` says why.
enum class KivmaxResult { Written, Removed, Kept, Failed };

struct KivmaxOutcome {
  KivmaxResult result = KivmaxResult::Failed;
  std::string message;  // what went wrong, naming the file or folder; "" otherwise
};

// The answer with white space (blanks, tabs, line breaks) removed at both
// ends, as a name pasted with its line end comes out of the box.
std::string CleanServerAnswer(const std::string& answer);
// Why `name` cannot be the server's NetBIOS name ("" when it can): a control
// character (each line of autoexec.net is a DOS command, so a line break
// would add commands of its own: kKivmaxRefusal), more than 15 characters, or
// a character NetBIOS names cannot hold (blank, \ / : * ? " < > |). Said
// first in the box when an answer was refused.
std::string ServerNameProblem(const std::string& name);
bool ServerNameAcceptable(const std::string& name);
inline constexpr size_t kNetBiosNameLength = 15;
// Said first in the box when an answer was refused.
inline constexpr const char* kKivmaxRefusal =
    "The server name must be one line without control characters (line breaks, tabs); type it again.";

// Applies an answer of the prompt in `folder`. An empty answer (nullopt for
// Cancel, or blanks only) removes an autoexec.net left by an earlier run -
// when a person gave it; where nobody could be asked (`personAsked` false)
// the file is kept. A name with a control character inside is refused and
// nothing changes. Otherwise the template must exist and kivmax/etc must be a
// folder; the file is written under a temporary name and renamed into place.
KivmaxOutcome ApplyServerName(const std::string& folder, const std::optional<std::string>& answer,
                              bool personAsked = true);

// The whole program: prompt (again, saying why, while the answer holds a
// control character), apply, report a failure through `prompter`.
// Returns the process exit status (0 done, 1 failed).
int RunKivmax(const std::string& folder, Prompter& prompter);

}  // namespace kiv
