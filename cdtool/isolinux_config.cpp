#include "cdtool/isolinux_config.h"

#include <algorithm>

#include "cdtool/boot_menu_script.h"

namespace kiv {

namespace {

using Op = ScriptCommand::Op;

const std::string kDir = kIsolinuxFolder;

// Header lines every configuration file starts with: output also on COM1,
// no escape to the boot: prompt and no edited command lines.
std::string Header(const std::string& script) {
  return "# Written by the CD builder from " + script +
         "; change the menu there.\n"
         "SERIAL 0 115200\n"
         "NOESCAPE 1\n"
         "ALLOWOPTIONS 0\n";
}

struct Entry {
  int number = 0;
  const ScriptAction* action = nullptr;
  const ScriptMacro* macro = nullptr;
  std::vector<std::string> missing;  // "\I386" (folder) ...
  bool Enabled() const { return missing.empty(); }
  std::string Label() const { return "action" + std::to_string(number); }
};

std::string BootLines(const ScriptMacro& m) {
  for (const ScriptCommand& c : m.commands) {
    switch (c.op) {
      case Op::BootFloppyImage:
      case Op::BootFloppyImage2880:
        // memdisk tells 1.44 MB and 2.88 MB images apart by their size.
        return "  KERNEL " + kDir + "/memdisk\n  INITRD " + CdPath(c.arg) + "\n  APPEND floppy\n";
      case Op::BootSector:
        return "  BOOT " + CdPath(c.arg) + "\n";
      case Op::BootDrive:
        return "  COM32 " + kDir + "/chain.c32\n  APPEND hd" + std::to_string(c.drive - 0x80) + "\n";
      default:
        break;
    }
  }
  return "";
}

// What the entry needs beyond its own Require lines: the isolinux module
// that starts it.
void Needs(const ScriptMacro& m, std::vector<std::pair<std::string, bool>>& out) {
  for (const ScriptCommand& c : m.commands) {
    switch (c.op) {
      case Op::RequireFile: out.emplace_back(c.arg, false); break;
      case Op::RequireFolder: out.emplace_back(c.arg, true); break;
      case Op::BootFloppyImage:
      case Op::BootFloppyImage2880:
        out.emplace_back(c.arg, false);
        out.emplace_back(kDir + "/memdisk", false);
        break;
      case Op::BootSector: out.emplace_back(c.arg, false); break;
      case Op::BootDrive: out.emplace_back(kDir + "/chain.c32", false); break;
      default: break;
    }
  }
}

std::string TextFile(const Entry& e, const std::string& scriptName) {
  std::string out = Header(scriptName);
  out += "PROMPT 1\nTIMEOUT 0\nSAY\n";
  for (const ScriptCommand& c : e.macro->commands)
    if (c.op == Op::Print) out += "SAY " + c.arg + "\n";
  out += "SAY\nSAY Press Enter to return to the boot menu.\n";
  out += "DEFAULT menu\nLABEL menu\n  CONFIG " + kDir + "/isolinux.cfg\n";
  return out;
}

}  // namespace

std::string CdPath(const std::string& scriptPath) {
  std::string p = scriptPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty() || p[0] != '/') p.insert(p.begin(), '/');
  return p;
}

BootMenu RenderBootMenu(const BootMenuScript& script, const CdPathExists& exists) {
  BootMenu menu;
  menu.gate = PasswordGate{script.PasswordRequest, script.PasswordRetries, script.PasswordString,
                           script.PasswordPrompt};
  const std::string scriptName = "/boot/scripts/main.cds";

  std::vector<Entry> entries;
  for (const auto& [n, action] : script.actions) {
    if (action.macro.empty()) continue;  // no macro: not shown
    Entry e;
    e.number = n;
    e.action = &action;
    e.macro = script.FindMacro(action.macro);
    if (!e.macro) continue;  // reported by the parser
    std::vector<std::pair<std::string, bool>> needs;
    Needs(*e.macro, needs);
    for (const auto& [path, folder] : needs) {
      const std::string cd = CdPath(path);
      if (exists(cd, folder)) continue;
      std::string shown = cd;
      for (char& c : shown)
        if (c == '/') c = '\\';
      if (std::find(e.missing.begin(), e.missing.end(), shown) == e.missing.end()) e.missing.push_back(shown);
    }
    entries.push_back(e);
  }

  // The default: the one the script names when it can be chosen, otherwise
  // the first entry that can.
  const Entry* def = nullptr;
  for (const Entry& e : entries)
    if (e.number == script.DefaultAction && e.Enabled()) def = &e;
  if (!def)
    for (const Entry& e : entries)
      if (e.Enabled()) {
        def = &e;
        break;
      }

  std::string cfg = Header(scriptName);
  cfg += "UI menu.c32\n";
  if (!script.MenuTitle.empty()) cfg += "MENU TITLE " + script.MenuTitle + "\n";
  // Never time out into nothing: without an entry to start, the menu waits.
  cfg += "TIMEOUT " + std::to_string(def ? script.MenuTimeout * 10 : 0) + "\n";
  if (def) cfg += "DEFAULT " + def->Label() + "\n";

  std::vector<IsolinuxFile> extra;
  for (const Entry& e : entries) {
    cfg += "\nLABEL " + e.Label() + "\n";
    std::string label = e.action->text;
    if (!e.Enabled()) {
      label += " (not on this CD: ";
      for (size_t i = 0; i < e.missing.size(); ++i) label += (i ? ", " : "") + e.missing[i];
      label += ")";
    }
    cfg += "  MENU LABEL " + label + "\n";
    if (!e.Enabled()) {
      cfg += "  MENU DISABLE\n  TEXT HELP\n  Not on this CD, so this entry cannot start:\n";
      for (const std::string& m : e.missing) cfg += "  " + m + "\n";
      cfg += "  ENDTEXT\n";
      continue;  // nothing to start
    }
    if (&e == def) cfg += "  MENU DEFAULT\n";
    if (e.macro->ShowsText()) {
      const std::string name = e.Label() + ".cfg";
      cfg += "  CONFIG " + kDir + "/" + name + "\n";
      extra.push_back(IsolinuxFile{name, TextFile(e, scriptName)});
    } else {
      cfg += BootLines(*e.macro);
    }
  }
  menu.files.push_back(IsolinuxFile{"isolinux.cfg", cfg});
  for (IsolinuxFile& f : extra) menu.files.push_back(std::move(f));
  return menu;
}

BootMenu TranslateBootMenu(const std::string& text, const std::string& scriptPath, const CdPathExists& exists) {
  BootMenuScript script = ParseBootMenuScript(text, scriptPath);
  if (!script.errors.empty()) {
    BootMenu menu;
    menu.errors = std::move(script.errors);
    return menu;
  }
  return RenderBootMenu(script, exists);
}

}  // namespace kiv
