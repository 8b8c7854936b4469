#pragma once
// The product keys of Windows 2000/XP/2003 and 98/Me: five groups of five
// letters and digits, stored joined by four dashes. No key at all (five empty
// groups) is allowed too: setup then asks for one. The key boxes of the
// information dialogs, the wizard's pages, `--set` and `--build` all go by
// these functions, so a key one of them refuses is refused by all.
#include <string>

#include "common/setup_answer.h"

namespace kiv {

// Whether `text` may stand in a key box while it is typed or pasted: letters,
// digits, and the dashes and blanks people put between groups (the boxes drop
// those and spread a pasted whole key over the five boxes).
bool IsProductKeyInput(const std::string& text);

// "" when the five boxes hold a whole key or none; otherwise each box that
// does not hold five letters and digits, by its number, joined by "; ":
// `box 3 is empty`, `box 2 holds "AB", 2 characters instead of 5`,
// `box 1 holds "A!B@C", in which "!" and "@" are not letters or digits`.
std::string ProductKeyProblem(const KeyParts& boxes);

// The same for a key as it is stored ("ABCDE-FGHIJ-KLMNO-PQRST-UVWXY"; "" or
// "----" for none), naming groups instead of boxes.
std::string StoredProductKeyProblem(const std::string& key);

// What a dialog's OK or a wizard page says about boxes that fail the rule,
// beginning with `subject` ("The Product Key"); "" when they pass.
std::string ProductKeyMessage(const KeyParts& boxes, const std::string& subject);

// A key as a log shows it: every group but the last hidden, each character
// as '*' ("*****-*****-*****-*****-UVWXY"), so a log that is shared does not
// give the key away and still tells two keys apart.
std::string MaskedProductKey(const KeyParts& boxes);

// The rule in words, for messages that refuse a stored key.
inline constexpr const char* kProductKeyRule =
    "a product key is five groups of five letters and digits joined by dashes, or empty for none";

}  // namespace kiv
