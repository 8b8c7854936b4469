#pragma once
// In-place edits of the CD's boot-menu script (and of the advanced tools' boot
// files): text replacement, same-length byte patches, the password switch and
// the product-key placeholders. A missing file makes every edit a silent
// no-op; read or write errors show "Patching Error" and the caller goes on.
#include <optional>
#include <string>

#include "cdtool/bootmenu/password_hash.h"

namespace kiv {

class Prompter;

// Every occurrence of `find`, compared without regard to ASCII letter case,
// replaced by `replacement` (non-overlapping, inserted text not searched
// again); the file is written back followed by one CR LF.
void ReplaceTextInFile(const std::string& path, const std::string& find, const std::string& replacement,
                       Prompter& prompter);

// Byte patch, case-sensitive, every occurrence; overwrites the bytes of each
// match with `replacement` (callers pass one no longer than `find`, so the
// length never changes). A match that would run past the end of the file is
// an error and the file is left as it was.
void PatchBinaryFile(const std::string& path, const std::string& find, const std::string& replacement,
                     Prompter& prompter);

// `text` (a script) with every "Set <name>=..." line, however it is spelt
// (blanks, letter case), saying "Set <name>=<value>" instead; each line keeps
// its own line end. A script without such a line stays as it is.
std::string WithScriptSetting(const std::string& text, const std::string& name, const std::string& value);

// WithScriptSetting, and every other line that names `name` anywhere in it
// (in any letter case: a commented-out "#Set <name>=...", a Print of it)
// emptied, its line end kept (so the script's line numbers stay).
std::string WithOnlyScriptSetting(const std::string& text, const std::string& name, const std::string& value);

// The password switch: on matching texts the script asks for `password`,
// which it stores hashed with a new salt (see password_hash.h; seeded by
// `epoch` in a reproducible build, else bytes of `random`), and the hash is
// returned; otherwise a message, the script stays unchanged (nothing).
std::optional<PasswordHash> SetBootPassword(const std::string& scriptPath, const std::string& password,
                                            const std::string& confirmation, std::optional<int64_t> epoch,
                                            const RandomSource& random, Prompter& prompter);

// Writes the 29-character key (five groups joined by '-') over the five key
// placeholders and enables the menu action "ShowWinKey".
void InjectProductKey(const std::string& scriptPath, const std::string& productKey, Prompter& prompter);

}  // namespace kiv
