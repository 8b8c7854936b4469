#pragma once
// The checks of the Windows 10/11 answers and medium, made where Windows
// itself would refuse them later: the information dialog's OK, the wizard
// page's Next, `--set` and `--build`.
#include <string>
#include <vector>

#include "cdtool/settings/page_checks.h"

namespace kiv {

// Why Windows would not take `name` as a computer name, after the words
// naming it ("is 16 characters long; ..."); "" when it would, or for none
// (Setup then makes one up). As for Windows 2000/XP: at most 15 characters,
// none of the blanks and punctuation NetBIOS names cannot hold, not digits
// alone.
std::string ComputerNameProblem(const std::string& name);

// Why Windows would not take `name` as the user name of a local account
// ("" when it would, or for none): none of \ / [ ] : ; | = , + * ? < > ",
// at most 20 characters, not a name Windows keeps for itself
// (Administrator, Guest, ...), not only dots and blanks.
std::string AccountNameProblem(const std::string& name);

// Why Windows does not know the time zone or the locale `name` (words that
// follow its name); "" for one it knows, or for none.
std::string TimeZoneProblem(const std::string& name);
std::string LocaleProblem(const std::string& name);

// What the dialog's fields hold that no answer file can carry: a control
// character; "" when none does. `fields` pairs each field's caption with its
// text.
std::string AnswerControlProblem(const std::vector<std::pair<std::string, std::string>>& fields);

// `--set Win10_Info.<key>=<value>`: why the value cannot be right whatever
// the medium (a computer or account name Windows refuses, a time zone or
// locale it does not know), naming the setting and the value; "" otherwise.
std::string Win10SettingProblem(const std::string& key, const std::string& value);

// The Windows 10/11 page, when its part of the CD is chosen: the medium is
// one (what it lacks named), the edition is on it, and the answers pass the
// rules above. The medium is read with the context's tools.
std::vector<PageProblem> CheckWin10Page(const SessionSettings& settings, const PageContext& context);

}  // namespace kiv
