#include "common/product_key.h"

#include <algorithm>
#include <vector>

namespace kiv {

namespace {

constexpr size_t kGroups = 5;
constexpr size_t kGroupLength = 5;

bool IsLetterOrDigit(const std::string& character) {
  if (character.size() != 1) return false;
  const char c = character[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The characters of a UTF-8 text, each with its continuation bytes, so a
// character outside ASCII is named whole.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> characters;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80 && !characters.empty()) characters.back() += c;
    else characters.emplace_back(1, c);
  }
  return characters;
}

// "\"!\"", "\"!\" and \"@\"", "\"!\", \"@\" and \"#\"".
std::string QuotedList(const std::vector<std::string>& items) {
  std::string list;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) list += i + 1 == items.size() ? " and " : ", ";
    list += "\"" + items[i] + "\"";
  }
  return list;
}

// What keeps one box or group from being five letters and digits; "" when
// it is.
std::string GroupProblem(const char* unit, size_t number, const std::string& group) {
  const std::string name = std::string(unit) + " " + std::to_string(number);
  const std::vector<std::string> characters = Characters(group);
  if (characters.empty()) return name + " is empty";
  std::vector<std::string> bad;
  for (const std::string& c : characters)
    if (!IsLetterOrDigit(c) && std::find(bad.begin(), bad.end(), c) == bad.end()) bad.push_back(c);
  const bool wrongLength = characters.size() != kGroupLength;
  if (!wrongLength && bad.empty()) return "";
  std::string text = name + " holds \"" + group + "\"";
  if (wrongLength)
    text += ", " + std::to_string(characters.size()) + (characters.size() == 1 ? " character" : " characters") +
            " instead of " + std::to_string(kGroupLength);
  if (!bad.empty())
    text += std::string(wrongLength ? ", and " : ", in which ") + QuotedList(bad) +
            (bad.size() == 1 ? " is not a letter or digit" : " are not letters or digits");
  return text;
}

std::string GroupsProblem(const char* unit, const std::vector<std::string>& groups) {
  std::string problems;
  for (size_t i = 0; i < groups.size(); ++i)
    if (const std::string why = GroupProblem(unit, i + 1, groups[i]); !why.empty())
      problems += (problems.empty() ? "" : "; ") + why;
  return problems;
}

}  // namespace

bool IsProductKeyInput(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return IsLetterOrDigit(std::string(1, c)) || c == '-' || c == ' ' || c == '\t'; });
}

std::string ProductKeyProblem(const KeyParts& boxes) {
  if (std::all_of(boxes.begin(), boxes.end(), [](const std::string& box) { return box.empty(); })) return "";
  return GroupsProblem("box", std::vector<std::string>(boxes.begin(), boxes.end()));
}

std::string StoredProductKeyProblem(const std::string& key) {
  if (key.empty() || key == std::string(kGroups - 1, '-')) return "";
  std::vector<std::string> groups;
  size_t start = 0;
  for (size_t dash = key.find('-'); dash != std::string::npos; dash = key.find('-', start)) {
    groups.push_back(key.substr(start, dash - start));
    start = dash + 1;
  }
  groups.push_back(key.substr(start));
  if (groups.size() != kGroups)
    return "it has " + std::to_string(groups.size()) + (groups.size() == 1 ? " group" : " groups") + " instead of " +
           std::to_string(kGroups);
  return GroupsProblem("group", groups);
}

std::string ProductKeyMessage(const KeyParts& boxes, const std::string& subject) {
  const std::string problem = ProductKeyProblem(boxes);
  if (problem.empty()) return "";
  return subject + " cannot be used: " + problem +
         ".\nEach of its five boxes takes five letters or digits: fill all five, or empty all five for no key.";
}

std::string MaskedProductKey(const KeyParts& boxes) {
  KeyParts masked = boxes;
  for (size_t i = 0; i + 1 < masked.size(); ++i) masked[i].assign(masked[i].size(), '*');
  return JoinProductKey(masked);
}

}  // namespace kiv
