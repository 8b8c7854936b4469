#include "common/setup_answer.h"

#include <cctype>
#include <concepts>
#include <filesystem>
#include <string>
#include <system_error>
#include <type_traits>

#include "common/file_ops.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/windows_1252.h"

namespace kiv {

namespace {

const char* const kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
const char* const kVnetsup = "System\\CurrentControlSet\\Services\\VxD\\VNETSUP";

std::string Part(const std::string& s, size_t from) { return from < s.size() ? s.substr(from, 5) : std::string(); }

// Removes a file if it is there; true when it is gone afterwards.
bool RemoveIfPresent(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p(ResolvePath(path));
  std::filesystem::remove(p, ec);
  return !std::filesystem::exists(p, ec);
}

std::string QuoteName(const std::string& value) { return Quote(value, /*force=*/true, /*trimFirst=*/true); }

// Writes answer-file keys in the code page setup reads them in. A value it
// cannot hold is not written: the first such value is named in `error`.
struct AnswerWriter {
  const INIFile& out;
  std::string& error;
  bool ok = true;
  void Set(const char* section, const char* key, const std::string& value) {
    std::string bad;
    const std::optional<std::string> ansi = ToWindows1252(value, &bad);
    if (!ansi) {
      if (error.empty())
        error = std::string(key) + " \"" + value + "\" holds \"" + bad +
                "\", which Windows setup cannot read (it reads the answer file as Windows-1252)";
      ok = false;
      return;
    }
    ok &= out.SetINIKey(section, key, *ansi);
  }
};

}  // namespace

std::string JoinProductKey(const KeyParts& parts) {
  return parts[0] + "-" + parts[1] + "-" + parts[2] + "-" + parts[3] + "-" + parts[4];
}

KeyParts SplitProductKey(const std::string& key) {
  KeyParts parts;
  // Five groups separated by dashes, each short enough for its box.
  size_t start = 0;
  int groups = 0;
  bool fits = true;
  for (;;) {
    const size_t dash = key.find('-', start);
    const std::string group = key.substr(start, dash == std::string::npos ? std::string::npos : dash - start);
    if (groups < 5) parts[groups] = group;
    ++groups;
    if (group.size() > 5) fits = false;
    if (dash == std::string::npos) break;
    start = dash + 1;
  }
  if (groups == 5 && fits) return parts;
  for (int i = 0; i < 5; ++i) parts[i] = Part(key, static_cast<size_t>(i) * 6);
  return parts;
}

int EnterProductKeyText(KeyParts& parts, int box, const std::string& text) {
  if (box < 0 || box > 4) return box;
  std::string clean;
  for (char c : text) {
    if (c == '-' || c == ' ' || c == '\t') continue;
    clean += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  if (clean.size() <= 5) {
    parts[box] = clean;
    return clean.size() == 5 ? box + 1 : box;
  }
  int b = box;
  for (size_t pos = 0; b < 5 && pos < clean.size(); pos += 5, ++b) parts[b] = clean.substr(pos, 5);
  return parts[b - 1].size() == 5 ? b : b - 1;
}

double LenientNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) number += text[i++];
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      number += c;
      digits = true;
    } else if (c == '.' && !point) {
      number += c;
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  try {
    return std::stod(number);
  } catch (...) {
    return 0.0;
  }
}

std::string AnswerTextProblem(const std::string& field, const std::string& value) {
  std::string bad;
  if (ToWindows1252(value, &bad)) return "";
  return "The " + field + " holds \"" + bad +
         "\", which Windows setup cannot read: its answers are written in the Western European character set "
         "(Windows-1252). Change it and press OK again.";
}

bool IsTrueText(const std::string& text) {
  const std::string t = Trim(text);
  if (EqualsNoCase(t, "True")) return true;
  return LenientNumber(t) != 0.0;
}

namespace {

// The keys of each record's section in the key file, in the order they are
// written; reading and writing both walk this one list. Info is the record or
// the record const. Both records start alike; Windows 2000/XP's names its
// answer template first and ends with the domain choice.
template <class Info, class Visit>
void VisitKeyFileFields(Info& info, Visit&& visit) {
  constexpr bool kWin2K = std::same_as<std::remove_const_t<Info>, Win2KInfo>;
  if constexpr (kWin2K) visit("TemplateFile", info.TemplateFile);
  visit("OwnerName", info.OwnerName);
  visit("Organization", info.Organization);
  if constexpr (kWin2K) {
    visit("ProductKey", info.ProductKey);
    visit("ComputerName", info.ComputerName);
    visit("Workgroup", info.Workgroup);
    visit("JoinDomain", info.JoinDomain);
  } else {
    visit("OptimizedFor", info.OptimizedFor);
    visit("ComputerName", info.ComputerName);
    visit("Workgroup", info.Workgroup);
    visit("ProductKey", info.ProductKey);
  }
}

// An answer file starts as a copy of its template. False, with the result
// naming the template that is missing or the file that could not be written.
bool StartFromTemplate(const std::string& tmpl, const std::string& target, AnswerFileResult& result) {
  if (!FileExists(tmpl)) {
    result.status = AnswerFileResult::TemplateMissing;
    result.path = tmpl;
    return false;
  }
  if (!CopyOneFile(tmpl, target, &result.error)) {
    result.status = AnswerFileResult::WriteFailed;
    result.path = target;
    return false;
  }
  return true;
}

void FromKeyFileText(std::string& field, const std::string& text) { field = text; }
void FromKeyFileText(KeyParts& field, const std::string& text) { field = SplitProductKey(text); }
void FromKeyFileText(bool& field, const std::string& text) { field = IsTrueText(text); }

std::string KeyFileText(const std::string& field, bool /*upperCaseKey*/) { return field; }
std::string KeyFileText(const KeyParts& field, bool upperCaseKey) {
  const std::string key = JoinProductKey(field);
  return upperCaseKey ? ToUpper(key) : key;
}
std::string KeyFileText(bool field, bool /*upperCaseKey*/) { return field ? "True" : "False"; }

template <class Info>
bool ReadKeyFile(const std::string& keyFile, const char* section, Info& info) {
  if (!FileExists(keyFile)) return false;
  const INIFile ini(ResolvePath(keyFile));
  VisitKeyFileFields(info, [&](const char* key, auto& field) { FromKeyFileText(field, ini.GetINIKey(section, key)); });
  return true;
}

template <class Info>
bool WriteKeyFile(const std::string& keyFile, const char* section, const Info& info, bool upperCaseKey) {
  // The answer files are edited in place: a link at their name would have
  // its target rewritten, so it is replaced by a file of their own.
  DropLinkAt(keyFile);
  const INIFile ini(ResolvePath(keyFile));
  bool ok = true;
  VisitKeyFileFields(info, [&](const char* key, const auto& field) {
    ok &= ini.SetINIKey(section, key, KeyFileText(field, upperCaseKey));
  });
  return ok;
}

}  // namespace

bool ReadWin9xKeyFile(const std::string& keyFile, Win9xInfo& info) { return ReadKeyFile(keyFile, kWin9xSection, info); }

bool ReadWin2KKeyFile(const std::string& keyFile, Win2KInfo& info) { return ReadKeyFile(keyFile, kWin2KSection, info); }

bool WriteWin9xKeyFile(const std::string& keyFile, const Win9xInfo& info, bool upperCaseKey) {
  return WriteKeyFile(keyFile, kWin9xSection, info, upperCaseKey);
}

bool WriteWin2KKeyFile(const std::string& keyFile, const Win2KInfo& info, bool upperCaseKey) {
  return WriteKeyFile(keyFile, kWin2KSection, info, upperCaseKey);
}

Win9xInfo ReadWin9xRegistry(const Platform& platform) {
  Win9xInfo info;
  info.OwnerName = platform.RegString(kCurrentVersion, "RegisteredOwner");
  info.Organization = platform.RegString(kCurrentVersion, "RegisteredOrganization");
  info.OptimizedFor = platform.RegString(kCurrentVersion, "ProductName");
  info.ComputerName = platform.RegString(kVnetsup, "ComputerName");
  info.Workgroup = platform.RegString(kVnetsup, "Workgroup");
  info.ProductKey = SplitProductKey(platform.RegString(kCurrentVersion, "ProductKey"));
  return info;
}

bool FillKeyFile(const std::string& programFolder, bool win9x, bool win2k) {
  const std::string from = JoinPath(programFolder, kKeyFile2);
  if (!FileExists(from)) return true;
  const INIFile source(ResolvePath(from));
  DropLinkAt(JoinPath(programFolder, kKeyFile));
  const INIFile target(ResolvePath(JoinPath(programFolder, kKeyFile)));
  bool ok = true;
  auto copy = [&](const char* section, const char* key) {
    ok &= target.SetINIKey(section, key, source.GetINIKey(section, key));
  };
  if (win9x) {
    for (const char* key : {"ProductKey", "OwnerName", "Organization", "OptimizedFor", "ComputerName", "Workgroup"})
      copy(kWin9xSection, key);
  }
  if (win2k) {
    for (const char* key :
         {"TemplateFile", "OwnerName", "Organization", "ProductKey", "ComputerName", "Workgroup", "JoinDomain"})
      copy(kWin2KSection, key);
  }
  return ok;
}

std::string Win98TemplatePath(const std::string& programFolder) {
  return ResolvePath(JoinPath(programFolder, NativePath("files\\inf_files\\win98_template.inf")));
}
std::string WinMeTemplatePath(const std::string& programFolder) {
  return ResolvePath(JoinPath(programFolder, NativePath("files\\inf_files\\winme_template.inf")));
}
std::string Win2KTemplatePath(const std::string& programFolder) {
  return ResolvePath(JoinPath(programFolder, NativePath("files\\inf_files\\win2k_template.inf")));
}

AnswerFileResult FillSetupDataFromKeyFileToMSBatch(const std::string& programFolder, const std::string& keyFile,
                                                   const std::string& msbatchFile) {
  AnswerFileResult result;
  if (!FileExists(keyFile)) return result;
  const INIFile keys(ResolvePath(keyFile));
  const std::string target = ResolvePath(msbatchFile);
  if (!RemoveIfPresent(target)) {
    result.status = AnswerFileResult::WriteFailed;
    result.path = target;
    return result;
  }
  const bool is98 = keys.GetINIKey(kWin9xSection, "OptimizedFor").find("98") != std::string::npos;
  const std::string tmpl = is98 ? Win98TemplatePath(programFolder) : WinMeTemplatePath(programFolder);
  if (!StartFromTemplate(tmpl, target, result)) return result;
  const INIFile out(target);
  AnswerWriter w{out, result.error};
  w.Set("Setup", "ProductKey", keys.GetINIKey(kWin9xSection, "ProductKey"));
  w.Set("NameAndOrg", "Name", keys.GetINIKey(kWin9xSection, "OwnerName"));
  w.Set("NameAndOrg", "Org", keys.GetINIKey(kWin9xSection, "Organization"));
  w.Set("Network", "ComputerName", keys.GetINIKey(kWin9xSection, "ComputerName"));
  w.Set("Network", "Workgroup", keys.GetINIKey(kWin9xSection, "Workgroup"));
  const bool ok = w.ok;
  result.status = ok ? AnswerFileResult::Written : AnswerFileResult::WriteFailed;
  if (!ok) {
    // Half an answer file would answer setup wrongly: none is better.
    result.path = target;
    RemoveIfPresent(target);
  }
  return result;
}

AnswerFileResult FillSetupDataFromKeyFileToUnattend(const std::string& programFolder, const std::string& keyFile,
                                                    const std::string& answerFile, UnattendStyle style,
                                                    WindowsFamily family) {
  AnswerFileResult result;
  if (!FileExists(keyFile)) return result;
  const INIFile keys(ResolvePath(keyFile));
  const std::string target = ResolvePath(answerFile);
  if (!RemoveIfPresent(target)) {
    result.status = AnswerFileResult::WriteFailed;
    result.path = target;
    return result;
  }
  const std::string named = keys.GetINIKey(kWin2KSection, "TemplateFile");
  std::string tmpl = named.empty() ? std::string() : ResolvePath(NativePath(named));
  if (named.empty() || !FileExists(tmpl)) tmpl = Win2KTemplatePath(programFolder);
  if (!StartFromTemplate(tmpl, target, result)) return result;

  // The disk builder's file quotes every name; the CD's those with blanks,
  // which setup would otherwise cut at the first blank.
  const bool quote = style == UnattendStyle::DiskBuilder;
  auto name = [&](const std::string& v) {
    if (quote) return QuoteName(v);
    return v.find_first_of(" \t") == std::string::npos ? v : Quote(v);
  };
  const INIFile out(target);
  bool ok = true;
  if (style == UnattendStyle::CdBuilder) {
    ok &= out.SetINIKey("Data", "MsDosInitiated", "0");
    ok &= out.SetINIKey("Data", "UnattendedInstall", "Yes");
  } else {
    // [Data] is for a setup started from the product CD; the floppy's file
    // is for winnt.exe, which must not read it.
    ok &= out.DeleteINISection("Data");
  }
  AnswerWriter w{out, result.error};
  w.Set("UserData", "FullName", name(keys.GetINIKey(kWin2KSection, "OwnerName")));
  w.Set("UserData", "OrgName", name(keys.GetINIKey(kWin2KSection, "Organization")));
  // Windows 2000 reads its key as ProductID, XP and Server 2003 as ProductKey;
  // both in quotes, with the dashes. An empty key leaves setup to ask.
  const std::string key = keys.GetINIKey(kWin2KSection, "ProductKey");
  const bool typed = key.find_first_not_of("- ") != std::string::npos;
  const std::string keyValue = typed ? Quote(key) : std::string();
  const bool win2000 = family != WindowsFamily::XpOr2003, xp = family != WindowsFamily::Windows2000;
  ok &= win2000 ? out.SetINIKey("UserData", "ProductID", keyValue) : out.DeleteINIKey("UserData", "ProductID");
  ok &= xp ? out.SetINIKey("UserData", "ProductKey", keyValue) : out.DeleteINIKey("UserData", "ProductKey");
  w.Set("UserData", "ComputerName", name(keys.GetINIKey(kWin2KSection, "ComputerName")));
  const std::string group = name(keys.GetINIKey(kWin2KSection, "Workgroup"));
  if (IsTrueText(keys.GetINIKey(kWin2KSection, "JoinDomain"))) {
    w.Set("Identification", "JoinDomain", group);
    ok &= out.SetINIKey("Identification", "JoinWorkgroup", "");
  } else {
    // An empty JoinDomain line asks setup to join a domain without a name.
    w.Set("Identification", "JoinWorkgroup", group);
    ok &= out.DeleteINIKey("Identification", "JoinDomain");
  }
  ok &= w.ok;
  result.status = ok ? AnswerFileResult::Written : AnswerFileResult::WriteFailed;
  if (!ok) {
    // Half an answer file would answer setup wrongly: none is better.
    result.path = target;
    RemoveIfPresent(target);
  }
  return result;
}

bool FillSetupDataFromUnattend(const std::string& answerFile, Win2KInfo& info) {
  if (!FileExists(answerFile)) return false;
  const INIFile ini(ResolvePath(answerFile));
  info.OwnerName = ini.GetINIKey("UserData", "FullName");
  info.Organization = ini.GetINIKey("UserData", "OrgName");
  info.ComputerName = ini.GetINIKey("UserData", "ComputerName");
  // XP's name for the key first, then Windows 2000's.
  const std::string xpKey = ini.GetINIKey("UserData", "ProductKey");
  info.ProductKey = SplitProductKey(xpKey.empty() ? ini.GetINIKey("UserData", "ProductID") : xpKey);
  const std::string workgroup = ini.GetINIKey("Identification", "JoinWorkgroup");
  const std::string domain = ini.GetINIKey("Identification", "JoinDomain");
  if (domain.empty()) {
    info.JoinDomain = false;
    info.Workgroup = workgroup;
  }
  if (workgroup.empty()) {
    info.JoinDomain = true;
    info.Workgroup = domain;
  }
  return true;
}

}  // namespace kiv
