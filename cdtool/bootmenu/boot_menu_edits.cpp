#include "cdtool/bootmenu/boot_menu_edits.h"

#include <filesystem>
#include <functional>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"

namespace kiv {
namespace fs = std::filesystem;

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The real file behind `path`, or "" when there is none.
std::string ExistingFile(const std::string& path) {
  std::string real = ResolvePath(path);
  std::error_code ec;
  if (!fs::is_regular_file(real, ec)) return "";
  return real;
}

// Clears the "read-only attribute" (adds owner write permission) and returns
// the permissions to give the rewritten file, so the others are kept.
fs::perms MakeWritable(const std::string& file) {
  std::error_code ec;
  fs::perms p = fs::status(file, ec).permissions();
  if (ec) return fs::perms::owner_read | fs::perms::owner_write;
  p |= fs::perms::owner_write;
  fs::permissions(file, p, ec);
  return p;
}

bool WriteBack(const std::string& file, const std::string& bytes, fs::perms perms) {
  if (!WriteFileAtomic(file, bytes)) return false;
  std::error_code ec;
  fs::permissions(file, perms, ec);
  return true;
}

void PatchError(Prompter& prompter, const std::string& text) {
  prompter.MsgBox(Message{text, "Patching Error", Icon::None, Buttons::OK, 0, std::nullopt});
}

}  // namespace

void ReplaceTextInFile(const std::string& path, const std::string& find, const std::string& replacement,
                       Prompter& prompter) {
  std::string file = ExistingFile(path);
  if (file.empty()) return;
  fs::perms perms = MakeWritable(file);
  std::string text;
  if (!ReadWholeFile(file, text)) {
    PatchError(prompter, "Error while patching " + path);
    return;
  }
  std::string out;
  if (find.empty()) {
    out = text;
  } else {
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
      bool match = i + find.size() <= text.size();
      for (size_t k = 0; match && k < find.size(); ++k) match = Lower(text[i + k]) == Lower(find[k]);
      if (match) {
        out += replacement;
        i += find.size();
      } else {
        out += text[i++];
      }
    }
  }
  out += "\r\n";
  if (!WriteBack(file, out, perms)) PatchError(prompter, "Error while patching " + path);
}

void PatchBinaryFile(const std::string& path, const std::string& find, const std::string& replacement,
                     Prompter& prompter) {
  std::string file = ExistingFile(path);
  if (file.empty()) return;
  fs::perms perms = MakeWritable(file);
  std::string bytes;
  const std::string failure = "Error while patching " + path + " in Hex mode";
  if (!ReadWholeFile(file, bytes)) {
    PatchError(prompter, failure);
    return;
  }
  if (bytes.empty() || find.empty()) return;
  const size_t n = bytes.size();
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] != find[0]) continue;
    // Compare byte by byte; running out of file while everything so far
    // matched means the comparison would reach past the last byte.
    bool match = true;
    for (size_t k = 1; k < find.size(); ++k) {
      if (i + k >= n) {
        PatchError(prompter, failure);
        return;
      }
      if (bytes[i + k] != find[k]) {
        match = false;
        break;
      }
    }
    if (!match) continue;
    if (i + replacement.size() > n) {
      PatchError(prompter, failure);
      return;
    }
    bytes.replace(i, replacement.size(), replacement);
  }
  if (!WriteBack(file, bytes, perms)) PatchError(prompter, failure);
}

namespace {

// `text` with each line (its text without the line end, the line end) as
// `edit` has it; an edit keeps or drops the line end it is given.
std::string EachLine(const std::string& text,
                     const std::function<std::string(const std::string& body, const std::string& end)>& edit) {
  std::string out;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    end = end == std::string::npos ? text.size() : end + 1;
    size_t body = end;
    while (body > from && (text[body - 1] == '\n' || text[body - 1] == '\r')) --body;
    out += edit(text.substr(from, body - from), text.substr(body, end - body));
    from = end;
  }
  return out;
}

}  // namespace

std::string WithScriptSetting(const std::string& text, const std::string& name, const std::string& value) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  auto word = [&](const std::string& line, size_t& at, const std::string& w) {
    if (at + w.size() > line.size()) return false;
    for (size_t k = 0; k < w.size(); ++k)
      if (Lower(line[at + k]) != Lower(w[k])) return false;
    at += w.size();
    return true;
  };
  return EachLine(text, [&](const std::string& line, const std::string& lineEnd) {
    const size_t body = line.size();
    size_t at = 0;
    while (at < body && blank(line[at])) ++at;
    bool match = word(line, at, "set") && at < body && blank(line[at]);
    while (match && at < body && blank(line[at])) ++at;
    match = match && word(line, at, name);
    while (match && at < body && blank(line[at])) ++at;
    match = match && at < body && line[at] == '=';
    return (match ? "Set " + name + "=" + value : line) + lineEnd;
  });
}

std::string WithOnlyScriptSetting(const std::string& text, const std::string& name, const std::string& value) {
  const std::string written = "Set " + name + "=" + value;
  const std::string lowerName = ToLower(name);
  return EachLine(WithScriptSetting(text, name, value), [&](const std::string& line, const std::string& lineEnd) {
    const bool names = ToLower(line).find(lowerName) != std::string::npos;
    return (names && line != written ? std::string() : line) + lineEnd;
  });
}

std::optional<PasswordHash> SetBootPassword(const std::string& scriptPath, const std::string& password,
                                            const std::string& confirmation, std::optional<int64_t> epoch,
                                            const RandomSource& random, Prompter& prompter) {
  if (confirmation != password) {
    prompter.MsgBox(Message{"Entered Passwords doesn't match, password protection will be disabled",
                            "Password Protection disabled", Icon::Critical, Buttons::OK, 0, std::nullopt});
    return std::nullopt;
  }
  const PasswordHash hash = HashPassword(password, NewPasswordSalt(epoch, random));
  ReplaceTextInFile(scriptPath, "Set PasswordRequest=0", "Set PasswordRequest=1", prompter);
  ReplaceTextInFile(scriptPath, "Set PasswordString=\"\"", "Set PasswordString=\"" + PasswordHashText(hash) + "\"",
                    prompter);
  return hash;
}

void InjectProductKey(const std::string& scriptPath, const std::string& productKey, Prompter& prompter) {
  static const char* const kMarkers[5] = {"Store", "your_", "Produ", "ctKey", "here_"};
  for (int i = 0; i < 5; ++i) {
    size_t start = static_cast<size_t>(i) * 6;  // key characters 1, 7, 13, 19, 25
    std::string piece = start < productKey.size() ? productKey.substr(start, 5) : std::string();
    PatchBinaryFile(scriptPath, std::string("\"") + kMarkers[i], "\"" + piece, prompter);
  }
  ReplaceTextInFile(scriptPath, "#Set Action3_Macro=\"ShowWinKey\"", "Set Action3_Macro=\"ShowWinKey\"", prompter);
}

}  // namespace kiv
