#include "cdtool/bootmenu/boot_menu_script.h"

#include <cctype>
#include <cstdio>
#include <optional>

#include "common/paths.h"

namespace kiv {

namespace {

// The widest text a menu line shows: 80 columns less the menu's margins
// and frame.
constexpr size_t kMenuTextWidth = 74;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A decimal number within [lo, hi], or nothing.
std::optional<int> Number(const std::string& s, int lo, int hi) {
  if (!AllDigits(s) || s.size() > 6) return std::nullopt;
  int v = std::stoi(s);
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

struct Parser {
  BootMenuScript script;
  const MenuData* data = nullptr;
  // Commented-out "Set ActionN_Macro=..." lines: (N, macro, line).
  struct Dormant {
    int action;
    std::string macro;
    int line;
  };
  std::vector<Dormant> dormant;
  int line = 0;
  ScriptMacro* open = nullptr;  // the macro being read
  ScriptMacro scratch;
  std::map<std::string, int> setLines;           // lower-cased key -> line it was set on
  std::map<std::string, std::string> variables;  // lower-cased WinKeyN -> value
  std::map<std::string, int> macroLines;         // lower-cased name -> line

  void Error(const std::string& text) { ErrorAt(line, text); }
  void ErrorAt(int at, const std::string& text) {
    script.errors.push_back(script.path + ", line " + std::to_string(at) + ": " + text);
  }

  // A value: quoted (first '"' to the last '"' of the line) or bare.
  std::optional<std::string> Value(const std::string& rest, const std::string& what) {
    if (rest.empty() || rest[0] != '"') return rest;
    size_t last = rest.rfind('"');
    if (last == 0) {
      Error(what + ": the closing \" is missing");
      return std::nullopt;
    }
    // Only a line's last quote closes, so nothing can follow it but blanks
    // (Trim has removed those).
    if (last + 1 != rest.size()) {
      Error(what + ": \"" + rest.substr(last + 1) + "\" after the closing \"");
      return std::nullopt;
    }
    return rest.substr(1, last - 1);
  }

  void Line(const std::string& raw) {
    std::string text = Trim(raw);
    if (!text.empty() && text[0] == '#') return Comment(Trim(text.substr(1)));
    if (text.empty()) return;
    if (text[0] == ':') return MacroStart(Trim(text.substr(1)));
    size_t sp = 0;
    while (sp < text.size() && !IsBlank(text[sp])) ++sp;
    const std::string word = ToLower(text.substr(0, sp));
    const std::string rest = Trim(text.substr(sp));
    if (word == "set") {
      if (open) {
        Error("\"Set\" inside the macro \"" + open->name + "\" (line " + std::to_string(open->line) +
              ") before its End or Menu");
        return;
      }
      return Set(rest);
    }
    if (!open) {
      Error("\"" + text.substr(0, sp) + "\" is not a command of the boot menu script outside a macro");
      return;
    }
    MacroCommand(word, text.substr(0, sp), rest);
  }

  // Remembers a commented-out entry macro ("#Set Action3_Macro=..."): the
  // build may switch on the product-key entry the shipped script keeps so.
  void Comment(const std::string& text) {
    if (open || text.size() < 4 || ToLower(text.substr(0, 3)) != "set" || !IsBlank(text[3])) return;
    const std::string rest = Trim(text.substr(4));
    const size_t eq = rest.find('=');
    if (eq == std::string::npos) return;
    const std::string key = ToLower(Trim(rest.substr(0, eq)));
    std::string value = Trim(rest.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    const size_t us = key.find('_');
    if (key.compare(0, 6, "action") != 0 || us == std::string::npos || key.substr(us + 1) != "macro") return;
    const auto n = Number(key.substr(6, us - 6), 1, 99);
    if (n) dormant.push_back({*n, Trim(value), line});
  }

  void MacroStart(const std::string& name) {
    if (open) {
      ErrorAt(open->line, "the macro \"" + open->name + "\" has no End or Menu before the next macro");
      open = nullptr;
    }
    // A macro that cannot be used is still read to its end, into a scratch
    // macro, so its lines give no errors of their own.
    scratch = ScriptMacro{name, line, {}};
    open = &scratch;
    if (name.empty()) return Error("a macro needs a name after \":\"");
    for (char c : name)
      if (IsBlank(c)) return Error("the macro name \"" + name + "\" contains a blank");
    auto [it, fresh] = macroLines.emplace(ToLower(name), line);
    if (!fresh)
      return Error("the macro \"" + name + "\" is defined twice (first on line " + std::to_string(it->second) + ")");
    script.macros.push_back(ScriptMacro{name, line, {}});
    open = &script.macros.back();
  }

  void MacroCommand(const std::string& word, const std::string& spelled, const std::string& rest) {
    using Op = ScriptCommand::Op;
    static const std::map<std::string, Op> kOps = {{"requirefile", Op::RequireFile},
                                                   {"requirefolder", Op::RequireFolder},
                                                   {"initrd", Op::Initrd},
                                                   {"bootfloppyimage", Op::BootFloppyImage},
                                                   {"bootfloppyimage2880", Op::BootFloppyImage2880},
                                                   {"bootsector", Op::BootSector},
                                                   {"bootdrive", Op::BootDrive},
                                                   {"bootkernel", Op::BootKernel},
                                                   {"runmodule", Op::RunModule},
                                                   {"bootefi", Op::BootEfi},
                                                   {"print", Op::Print},
                                                   {"waitkey", Op::WaitKey},
                                                   {"menu", Op::Menu},
                                                   {"end", Op::End}};
    auto found = kOps.find(word);
    if (found == kOps.end()) return Error("unknown command \"" + spelled + "\"");
    ScriptCommand cmd;
    cmd.op = found->second;
    cmd.line = line;
    switch (cmd.op) {
      case Op::WaitKey:
      case Op::Menu:
      case Op::End:
        if (!rest.empty()) return Error("\"" + spelled + "\" takes nothing after it");
        break;
      case Op::BootDrive: {
        std::string v = ToLower(rest);
        int drive = -1;
        if (v.size() == 4 && v.compare(0, 2, "0x") == 0 && std::isxdigit(static_cast<unsigned char>(v[2])) &&
            std::isxdigit(static_cast<unsigned char>(v[3])))
          drive = std::stoi(v.substr(2), nullptr, 16);
        else if (auto n = Number(v, 0, 255)) drive = *n;
        if (drive < 0x80 || drive > 0x8F) return Error("BootDrive \"" + rest + "\" is not a hard disk (0x80 to 0x8F)");
        cmd.drive = drive;
        break;
      }
      case Op::Print: {
        auto v = Value(rest, spelled);
        if (!v) return;
        cmd.arg = *v;
        break;
      }
      case Op::BootKernel:
      case Op::RunModule: {
        // The path, then the command line (optional, quoted).
        std::string path = rest, args;
        if (!rest.empty() && rest[0] == '"') {
          const size_t close = rest.find('"', 1);
          if (close == std::string::npos) return Error(spelled + ": the closing \" of the path is missing");
          path = rest.substr(1, close - 1);
          args = Trim(rest.substr(close + 1));
        } else if (const size_t blank = rest.find_first_of(" \t"); blank != std::string::npos) {
          path = rest.substr(0, blank);
          args = Trim(rest.substr(blank));
        }
        if (!args.empty()) {
          if (args[0] != '"')
            return Error(spelled + ": the command line \"" + args + "\" must stand between double quotes");
          auto v = Value(args, spelled);
          if (!v) return;
          args = *v;
        }
        auto checked = PathOnCd(spelled, path);
        if (!checked || !NamesAFile(spelled, *checked) || !WithoutControls(spelled, "its command line", args)) return;
        cmd.arg = *checked;
        cmd.args = args;
        break;
      }
      default: {  // the path commands
        auto v = Value(rest, spelled);
        if (!v) return;
        auto path = PathOnCd(spelled, *v);
        if (!path || (cmd.op != Op::RequireFolder && !NamesAFile(spelled, *path))) return;
        cmd.arg = *path;
        break;
      }
    }
    if (!MacroOrderOk(cmd, spelled)) return;
    open->commands.push_back(cmd);
    if (cmd.op == Op::End || cmd.op == Op::Menu) {
      CheckFinished(*open);
      open = nullptr;
    }
  }

  // A path on the CD: not empty, no blank, no "..", no control character.
  std::optional<std::string> PathOnCd(const std::string& spelled, const std::string& value) {
    std::string path = Trim(value);
    if (path.empty()) {
      Error(spelled + " needs a path");
      return std::nullopt;
    }
    for (char c : path)
      if (IsBlank(c)) {
        Error(spelled + " \"" + path + "\": a path on the CD cannot contain a blank");
        return std::nullopt;
      }
    if (!WithoutControls(spelled, "its path", path)) return std::nullopt;
    // Checked against the CD tree on this machine, ".." would reach the
    // host's files and give an entry that cannot boot from the CD.
    for (size_t from = 0; from <= path.size();) {
      size_t to = path.find_first_of("\\/", from);
      if (to == std::string::npos) to = path.size();
      if (path.compare(from, to - from, "..") == 0) {
        Error(spelled + " \"" + path + "\": a path on the CD cannot climb out of it (\"..\")");
        return std::nullopt;
      }
      from = to + 1;
    }
    return path;
  }

  // The boot manager's configuration is text read line by line: a control
  // character in a path or command line (a line feed, a NUL, a form feed)
  // could end the entry's line early or bring in a line of its own.
  bool WithoutControls(const std::string& spelled, const std::string& what, const std::string& text) {
    for (char c : text) {
      const auto u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t') || u == 0x7F) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", u);
        Error(spelled + ": " + what + " contains the control character " + code +
              ", which the boot manager's configuration cannot hold");
        return false;
      }
    }
    return true;
  }

  // A file's path does not end in a separator: "\\boot\\images\\" names the
  // folder, which the menu would take for the file and offer an entry that
  // cannot start.
  bool NamesAFile(const std::string& spelled, const std::string& path) {
    if (path.back() != '\\' && path.back() != '/') return true;
    Error(spelled + " \"" + path + "\": names a folder (it ends in " + path.back() + "), not a file");
    return false;
  }

  // A text the menu shows: the boot manager draws it before any system runs,
  // in the PC's own character set, on one line of an 80-column screen.
  bool MenuText(const std::string& spelled, const std::string& text, size_t longest) {
    if (!WithoutControls(spelled, "its text", text)) return false;
    for (char c : text)
      if (static_cast<unsigned char>(c) > 0x7E) {
        Error(spelled + ": the text \"" + text +
              "\" is not plain ASCII; the boot menu shows only ASCII letters, digits, blanks and punctuation");
        return false;
      }
    if (text.size() > longest) {
      Error(spelled + ": the text is " + std::to_string(text.size()) + " characters long; the menu's line holds " +
            std::to_string(longest));
      return false;
    }
    return true;
  }

  static bool Boots(ScriptCommand::Op op) {
    using Op = ScriptCommand::Op;
    return op == Op::BootFloppyImage || op == Op::BootFloppyImage2880 || op == Op::BootSector || op == Op::BootDrive ||
           op == Op::BootKernel || op == Op::RunModule;
  }

  // One boot command per macro, nothing but End after it (or the UEFI
  // menu's BootEfi, then End); Print and WaitKey belong to a macro that goes
  // back to the menu.
  bool MacroOrderOk(const ScriptCommand& cmd, const std::string& spelled) {
    using Op = ScriptCommand::Op;
    bool booted = false, printed = false, waited = false, efi = false;
    for (const ScriptCommand& c : open->commands) {
      booted |= Boots(c.op);
      printed |= c.op == Op::Print;
      waited |= c.op == Op::WaitKey;
      efi |= c.op == Op::BootEfi;
    }
    if (efi && cmd.op != Op::End) {
      Error("\"" + spelled + "\" after BootEfi in the macro \"" + open->name + "\"; only End may follow");
      return false;
    }
    if (cmd.op == Op::BootEfi && (printed || waited)) {
      Error("BootEfi in the macro \"" + open->name + "\", which shows text (Print/WaitKey) and must end with Menu");
      return false;
    }
    if (booted && cmd.op != Op::End && cmd.op != Op::BootEfi) {
      Error("\"" + spelled + "\" after the boot command of the macro \"" + open->name + "\"; only End may follow");
      return false;
    }
    if (Boots(cmd.op) && (printed || waited)) {
      Error("\"" + spelled + "\" in the macro \"" + open->name +
            "\", which shows text (Print/WaitKey) and must end with Menu");
      return false;
    }
    if (cmd.op == Op::Menu && booted) {
      Error("Menu after the boot command of the macro \"" + open->name + "\"");
      return false;
    }
    if (cmd.op == Op::BootKernel || cmd.op == Op::End) {
      // An Initrd belongs to the BootKernel right after it.
      const bool initrd = !open->commands.empty() && open->commands.back().op == Op::Initrd;
      if (initrd && cmd.op != Op::BootKernel) {
        Error("Initrd in the macro \"" + open->name + "\" is not followed by BootKernel");
        return false;
      }
    } else if (!open->commands.empty() && open->commands.back().op == Op::Initrd) {
      Error("\"" + spelled + "\" after Initrd in the macro \"" + open->name + "\"; BootKernel must follow it");
      return false;
    }
    if (cmd.op == Op::Print && waited) {
      Error("Print after WaitKey in the macro \"" + open->name + "\"");
      return false;
    }
    return true;
  }

  void CheckFinished(const ScriptMacro& m) {
    using Op = ScriptCommand::Op;
    bool booted = false, printed = false;
    for (const ScriptCommand& c : m.commands) {
      booted |= Boots(c.op) || c.op == Op::BootEfi;
      printed |= c.op == Op::Print;
    }
    const ScriptCommand& last = m.commands.back();
    if (last.op == Op::End && !booted) {
      if (printed) Error("the macro \"" + m.name + "\" shows text and must end with Menu, not End");
      else
        Error("the macro \"" + m.name +
              "\" ends without a boot command (BootFloppyImage, BootSector, BootDrive, "
              "BootKernel, RunModule, BootEfi)");
    }
    if (last.op == Op::Menu && !printed)
      Error("the macro \"" + m.name + "\" goes back to the menu without showing anything (no Print)");
  }

  void Set(const std::string& rest) {
    size_t eq = rest.find('=');
    if (eq == std::string::npos) return Error("\"Set " + rest + "\" has no \"=\"");
    const std::string key = Trim(rest.substr(0, eq));
    if (key.empty()) return Error("\"Set\" without a name before \"=\"");
    auto value = Value(Trim(rest.substr(eq + 1)), key);
    if (!value) return;
    const std::string lower = ToLower(key);
    auto [it, fresh] = setLines.emplace(lower, line);
    if (!fresh) return Error(key + " is set twice (first on line " + std::to_string(it->second) + ")");
    SetKey(key, lower, *value);
  }

  void SetKey(const std::string& key, const std::string& lower, const std::string& v) {
    auto needNumber = [&](int lo, int hi) -> std::optional<int> {
      auto n = Number(Trim(v), lo, hi);
      if (!n) Error(key + "=" + v + " is not a number from " + std::to_string(lo) + " to " + std::to_string(hi));
      return n;
    };
    if (lower == "menutitle") {
      if (MenuText(key, v, kMenuTextWidth)) script.MenuTitle = v;
    } else if (lower == "menutimeout") {
      if (auto n = needNumber(0, 3599)) script.MenuTimeout = *n;
    } else if (lower == "defaultaction") {
      if (auto n = needNumber(1, 99)) script.DefaultAction = *n;
      defaultLine = line;
    } else if (lower == "passwordrequest") {
      // With the build's data the script's password lines are not used.
      if (data) return;
      if (auto n = needNumber(0, 1)) script.PasswordRequest = *n == 1;
    } else if (lower == "passwordretries") {
      if (auto n = needNumber(1, 255)) script.PasswordRetries = *n;
    } else if (lower == "passwordstring") {
      if (data) return;
      // A hash the builder stored (the CD's own script), or a clear password.
      if (ToLower(v).rfind("sha256:", 0) == 0) {
        if (!ParsePasswordHashText(v))
          return Error("PasswordString=\"" + v +
                       "\" is not a stored password (sha256:<salt, 32 hex digits>:" + "<hash, 64 hex digits>)");
      } else if (auto problem = PasswordProblem(v)) {
        return Error("PasswordString: " + *problem);
      }
      script.PasswordString = v;
    } else if (lower == "serialconsole") {
      const std::string port = ToLower(Trim(v));
      if (port == "com1") script.SerialConsole = 1;
      else if (port == "com2") script.SerialConsole = 2;
      else if (port == "0") script.SerialConsole = 0;
      else return Error(key + "=" + v + " is not COM1, COM2 or 0 (no serial console)");
    } else if (lower == "passwordprompt") {
      if (v.size() > kMaxGateText)
        return Error("PasswordPrompt is " + std::to_string(v.size()) + " bytes long; the CD's loader takes at most " +
                     std::to_string(kMaxGateText));
      script.PasswordPrompt = v;
    } else if (lower.size() == 7 && lower.compare(0, 6, "winkey") == 0 && lower[6] >= '1' && lower[6] <= '5') {
      variables[lower] = v;
    } else if (lower.compare(0, 6, "action") == 0) {
      size_t us = lower.find('_');
      std::string num = us == std::string::npos ? "" : lower.substr(6, us - 6);
      std::string field = us == std::string::npos ? "" : lower.substr(us + 1);
      auto n = (AllDigits(num) && num.size() <= 2) ? Number(num, 1, 99) : std::nullopt;
      if (!n || (field != "text" && field != "macro"))
        return Error("unknown setting \"" + key + "\" (ActionN_Text or ActionN_Macro, N from 1 to 99)");
      ScriptAction& a = script.actions[*n];
      if (field == "text") {
        if (!MenuText(key, v, kMenuTextWidth)) return;
        a.text = v;
        a.textLine = line;
      } else {
        a.macro = Trim(v);
        a.macroLine = line;
        if (a.macro.empty()) Error(key + " names no macro");
      }
    } else {
      Error("unknown setting \"" + key + "\"");
    }
  }

  // %WinKeyN% replaced by its value, "%%" by "%"; any other %Name% is an error.
  std::string Substitute(const std::string& text, int at) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
      size_t end = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
      if (end == std::string::npos) {
        out += text[i++];
        continue;
      }
      std::string name = text.substr(i + 1, end - i - 1);
      bool word = !name.empty();
      for (char c : name) word &= std::isalnum(static_cast<unsigned char>(c)) || c == '_';
      if (name.empty()) {
        out += '%';
        i = end + 1;
      } else if (word) {
        auto v = variables.find(ToLower(name));
        if (v == variables.end()) ErrorAt(at, "unknown variable %" + name + "% (only %WinKey1% to %WinKey5% are set)");
        else out += v->second;
        i = end + 1;
      } else {
        out += text[i++];
      }
    }
    return out;
  }

  // The password and the product key from the build's data.
  void ApplyData() {
    if (!data) return;
    script.PasswordRequest = data->password.has_value();
    script.PasswordString = data->password ? PasswordHashText(*data->password) : "";
    script.passwordHash = data->password;
    if (data->productKey) {
      for (int i = 0; i < 5; ++i) variables["winkey" + std::to_string(i + 1)] = (*data->productKey)[i];
      if (script.FindMacro(kShowWinKeyMacro)) {
        for (const Dormant& d : dormant) {
          if (!EqualsNoCase(d.macro, kShowWinKeyMacro)) continue;
          auto it = script.actions.find(d.action);
          if (it == script.actions.end() || it->second.textLine == 0) continue;
          ScriptAction& a = it->second;
          if (!a.macro.empty()) continue;
          a.macro = d.macro;
          a.macroLine = d.line;
        }
      }
    } else {
      // No key was stored: nothing to show.
      for (auto& [n, a] : script.actions)
        if (EqualsNoCase(a.macro, kShowWinKeyMacro)) a.macro.clear();
    }
  }

  void Finish() {
    if (open) ErrorAt(open->line, "the macro \"" + open->name + "\" has no End or Menu before the end of the script");
    ApplyData();
    for (ScriptMacro& m : script.macros)
      for (ScriptCommand& c : m.commands)
        if (c.op == ScriptCommand::Op::Print) c.arg = Substitute(c.arg, c.line);
    for (auto& [n, a] : script.actions) {
      const std::string name = "Action" + std::to_string(n);
      if (!a.macro.empty() && a.textLine == 0)
        ErrorAt(a.macroLine, name + "_Macro is set but " + name + "_Text is not");
      if (!a.macro.empty() && !script.FindMacro(a.macro))
        ErrorAt(a.macroLine, name + "_Macro names the macro \"" + a.macro + "\", which the script does not define");
    }
    if (script.DefaultAction != 0 && !script.actions.count(script.DefaultAction))
      ErrorAt(defaultLine, "DefaultAction=" + std::to_string(script.DefaultAction) + " names no entry (no Action" +
                               std::to_string(script.DefaultAction) + "_Text)");
  }

  int defaultLine = 0;
};

}  // namespace

bool ScriptMacro::ShowsText() const {
  for (const ScriptCommand& c : commands)
    if (c.op == ScriptCommand::Op::Print) return true;
  return false;
}

std::string ScriptMacro::Initrd() const {
  for (const ScriptCommand& c : commands)
    if (c.op == ScriptCommand::Op::Initrd) return c.arg;
  return "";
}

std::string ScriptMacro::EfiProgram() const {
  for (const ScriptCommand& c : commands)
    if (c.op == ScriptCommand::Op::BootEfi) return c.arg;
  return "";
}

bool ScriptMacro::StartsInBios() const {
  for (const ScriptCommand& c : commands)
    if (c.op != ScriptCommand::Op::BootEfi && c.op != ScriptCommand::Op::End &&
        c.op != ScriptCommand::Op::RequireFile && c.op != ScriptCommand::Op::RequireFolder)
      return true;
  return false;
}

const ScriptMacro* BootMenuScript::FindMacro(const std::string& name) const {
  for (const ScriptMacro& m : macros)
    if (EqualsNoCase(m.name, name)) return &m;
  return nullptr;
}

BootMenuScript ParseBootMenuScript(const std::string& raw, const std::string& path, const MenuData* data) {
  Parser p;
  p.data = data;
  // As a Windows editor may save it: a UTF-8 byte-order mark first, and CR LF
  // (or a lone CR) at the line ends.
  std::string text = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? raw.substr(3) : raw;
  std::string unified;
  unified.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      unified += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      unified += '\n';
    }
  }
  text.swap(unified);
  p.script.path = path;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    const std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    ++p.line;
    p.Line(line);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  p.Finish();
  return std::move(p.script);
}

}  // namespace kiv
