#include "cdtool/settings/win10_checks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "cdtool/win10/win10_medium.h"
#include "cdtool/win10/windows_region.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/product_key.h"

namespace kiv {

namespace {

// The characters Windows Setup's ComputerName cannot hold (Microsoft's
// answer-file reference), blank included.
constexpr const char* kComputerNameCharacters = "{|}~[\\]^':;<=>?@!\"#$%`()+/.,*& ";
// And those of a user name.
constexpr const char* kAccountNameCharacters = "\\/[]:;|=,+*?<>\"";
constexpr size_t kComputerNameLength = 15;
constexpr size_t kAccountNameLength = 20;

// The names Windows keeps for its own accounts and groups, and the device
// names a profile folder cannot take.
const char* const kReservedAccounts[] = {"Administrator",
                                         "Guest",
                                         "DefaultAccount",
                                         "WDAGUtilityAccount",
                                         "defaultuser0",
                                         "Administrators",
                                         "Users",
                                         "Guests",
                                         "Everyone",
                                         "System",
                                         "LocalSystem",
                                         "LocalService",
                                         "NetworkService",
                                         "None",
                                         "CON",
                                         "PRN",
                                         "AUX",
                                         "NUL",
                                         "COM1",
                                         "COM2",
                                         "COM3",
                                         "COM4",
                                         "COM5",
                                         "COM6",
                                         "COM7",
                                         "COM8",
                                         "COM9",
                                         "LPT1",
                                         "LPT2",
                                         "LPT3",
                                         "LPT4",
                                         "LPT5",
                                         "LPT6",
                                         "LPT7",
                                         "LPT8",
                                         "LPT9"};

// The characters of `name` found in `set`, each once, quoted: "\"!\" and \"#\"".
std::string Found(const std::string& name, const std::string& set) {
  std::string found, seen;
  for (char c : name)
    if (set.find(c) != std::string::npos && seen.find(c) == std::string::npos) seen += c;
  for (size_t i = 0; i < seen.size(); ++i)
    found += std::string(i == 0 ? "" : i + 1 == seen.size() ? " and " : ", ") + "\"" + seen[i] + "\"";
  return found;
}

std::string Plural(size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

// The first control character of `text`, as "0x09"; "" for none.
std::string ControlCharacter(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
      return code;
    }
  return "";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// UTF-8 characters, not bytes: Windows counts characters.
size_t Characters(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

const char* const kDialog = "\"Set Windows Installation Info...\"";
const char* const kUnknownTimeZone =
    "is not a time zone Windows knows (Windows' names, for example \"W. Europe Standard Time\")";
const char* const kUnknownLocale = "is not a locale Windows knows (Windows' names, for example \"en-US\" or \"de-DE\")";

}  // namespace

std::string ComputerNameProblem(const std::string& raw) {
  const std::string name = Trim(raw);
  if (name.empty()) return "";
  if (const std::string code = ControlCharacter(name); !code.empty())
    return "holds the control character " + code + ", which a computer name cannot hold";
  if (const std::string bad = Found(name, kComputerNameCharacters); !bad.empty())
    return "holds " + bad +
           ", which a computer name cannot hold (blanks and { | } ~ [ \\ ] ^ ' : ; < = > ? @ ! \" # $ % ` ( ) + / . , "
           "* &)";
  if (Characters(name) > kComputerNameLength)
    return "is " + Plural(Characters(name), "character") + " long; a computer name holds at most 15";
  if (std::all_of(name.begin(), name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return "is only digits, which a computer name cannot be";
  return "";
}

std::string AccountNameProblem(const std::string& raw) {
  const std::string name = Trim(raw);
  if (name.empty()) return "";
  if (const std::string code = ControlCharacter(name); !code.empty())
    return "holds the control character " + code + ", which a user name cannot hold";
  if (const std::string bad = Found(name, kAccountNameCharacters); !bad.empty())
    return "holds " + bad + ", which a user name cannot hold (\\ / [ ] : ; | = , + * ? < > \")";
  if (Characters(name) > kAccountNameLength)
    return "is " + Plural(Characters(name), "character") + " long; a user name holds at most 20";
  if (name.find_first_not_of(". ") == std::string::npos) return "is only dots and blanks, which a user name cannot be";
  for (const char* reserved : kReservedAccounts)
    if (EqualsNoCase(name, reserved)) return "is a name Windows keeps for itself";
  return "";
}

std::string TimeZoneProblem(const std::string& name) {
  return Trim(name).empty() || IsWindowsTimeZone(Trim(name)) ? "" : kUnknownTimeZone;
}

std::string LocaleProblem(const std::string& name) {
  return Trim(name).empty() || IsWindowsLocale(Trim(name)) ? "" : kUnknownLocale;
}

std::string AnswerControlProblem(const std::vector<std::pair<std::string, std::string>>& fields) {
  for (const auto& [caption, text] : fields)
    if (const std::string code = ControlCharacter(text); !code.empty())
      return "The " + caption + " holds the control character " + code + ", which an answer file cannot hold.";
  return "";
}

std::string Win10SettingProblem(const std::string& key, const std::string& raw) {
  const std::string value = Trim(raw);
  const std::string name = "Win10_Info." + key + " " + Quoted(value);
  if (EqualsNoCase(key, "ComputerName")) {
    if (const std::string why = ComputerNameProblem(value); !why.empty()) return name + " " + why;
  } else if (EqualsNoCase(key, "LocalAccount")) {
    if (const std::string why = AccountNameProblem(value); !why.empty()) return name + " " + why;
  } else if (EqualsNoCase(key, "TimeZone")) {
    if (const std::string why = TimeZoneProblem(value); !why.empty()) return name + " " + why;
  } else if (EqualsNoCase(key, "Locale")) {
    if (const std::string why = LocaleProblem(value); !why.empty()) return name + " " + why;
  }
  return "";
}

std::vector<PageProblem> CheckWin10Page(const SessionSettings& s, const PageContext& c) {
  std::vector<PageProblem> problems;
  if (!On(s.Main.Windows10)) return problems;
  auto fail = [&](const std::string& text) { problems.push_back({text, Icon::Critical}); };
  const SessionSettings::Win10Section& w = s.Win10_Info;
  if (Trim(w.SourceDir).empty()) {
    fail(
        "No ISO image or folder is chosen for the Windows 10/11 setup files.\n"
        "Choose a Windows 10 or 11 ISO image, or the folder of its files (Browse), or untick \"Microsoft Windows "
        "10/11 Setup Files\" on the Contents page");
  } else {
    const Win10Medium medium = ReadWin10Medium(c.tools ? *c.tools : SystemLauncher(), w.SourceDir);
    if (!medium.Usable())
      fail("The selected ISO image or folder doesn't contain a Windows 10/11 installation !\n" + Quoted(medium.source) +
           ": " + Win10MediumProblem(medium) +
           "\nSelect your Windows setup source (an ISO image or the folder of its files)");
    else if (!Trim(w.Edition).empty() && !medium.HasEdition(w.Edition))
      fail("The edition " + Quoted(Trim(w.Edition)) + " of " + kDialog + " is not on this medium, which holds " +
           Win10MediumCaption(medium) + ".\nChoose one of its editions, or none to let Setup ask");
  }
  if (std::string why = ProductKeyMessage(w.ProductKey, std::string("The Product Key of ") + kDialog); !why.empty())
    fail(why);
  if (const std::string why = ComputerNameProblem(w.ComputerName); !why.empty())
    fail("The Computer Name " + Quoted(Trim(w.ComputerName)) + " of " + kDialog + " " + why);
  if (const std::string why = AccountNameProblem(w.LocalAccount); !why.empty())
    fail("The Local Account " + Quoted(Trim(w.LocalAccount)) + " of " + kDialog + " " + why);
  else if (!Trim(w.LocalAccount).empty() && EqualsNoCase(Trim(w.LocalAccount), Trim(w.ComputerName)))
    fail("The Local Account " + Quoted(Trim(w.LocalAccount)) + " of " + kDialog +
         " has the computer's name, which Windows refuses for a user");
  if (const std::string why = TimeZoneProblem(w.TimeZone); !why.empty())
    fail("The Time Zone " + Quoted(Trim(w.TimeZone)) + " of " + kDialog + " " + why);
  if (const std::string why = LocaleProblem(w.Locale); !why.empty())
    fail("The Locale " + Quoted(Trim(w.Locale)) + " of " + kDialog + " " + why);
  if (const std::string why =
          AnswerControlProblem({{"Owner Name", w.OwnerName}, {"Organization", w.Organization}, {"Edition", w.Edition}});
      !why.empty())
    fail(why);
  return problems;
}

}  // namespace kiv
