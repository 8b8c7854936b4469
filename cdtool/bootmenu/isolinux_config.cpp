#include "cdtool/bootmenu/isolinux_config.h"

#include <algorithm>

#include "cdtool/bootmenu/boot_menu_script.h"
#include "cdtool/bootmenu/grub_config.h"
#include "cdtool/bootmenu/kernel_command_line.h"

namespace kiv {

namespace {

using Op = ScriptCommand::Op;

const std::string kDir = kIsolinuxFolder;

// Header lines every configuration file starts with: output also on the
// serial console the script chooses (isolinux counts COM1 as port 0), no
// escape to the boot: prompt and no edited command lines.
std::string Header(const std::string& script, int serialConsole) {
  return "# Written by the CD builder from " + script + "; change the menu there.\n" +
         (serialConsole ? "SERIAL " + std::to_string(serialConsole - 1) + " 115200\n" : "") +
         "NOESCAPE 1\n"
         "ALLOWOPTIONS 0\n";
}

// Where isolinux runs from: the CD, or a USB stick written with the hybrid ISO.
enum class Medium { Cd, Stick };

bool NeedsCd(const ScriptMacro& m) {
  for (const ScriptCommand& c : m.commands)
    if (c.op == Op::BootSector) return true;
  return false;
}

struct Entry {
  int number = 0;
  const ScriptAction* action = nullptr;
  const ScriptMacro* macro = nullptr;
  std::vector<std::string> missing;  // "\I386" (folder) ...
  bool needsCd = false;              // starts a CD boot sector
  Medium medium = Medium::Cd;
  bool Enabled() const { return missing.empty() && !(needsCd && medium == Medium::Stick); }
  // Something the menu's time-out can start (not a text to show).
  bool Starts() const { return Enabled() && !macro->ShowsText(); }
  std::string Label() const { return "action" + std::to_string(number); }
};

std::string BootLines(const ScriptMacro& m, Medium medium, int serialConsole) {
  for (const ScriptCommand& c : m.commands) {
    switch (c.op) {
      case Op::BootFloppyImage:
      case Op::BootFloppyImage2880:
        // memdisk tells 1.44 MB and 2.88 MB images apart by their size.
        return "  KERNEL " + kDir + "/memdisk\n  INITRD " + CdPath(c.arg) + "\n  APPEND floppy\n";
      case Op::BootSector:
        return "  BOOT " + CdPath(c.arg) + "\n";
      case Op::BootKernel: {
        // isolinux's LINUX loads the file by the Linux boot protocol
        // whatever its name ends in.
        const std::string initrd = m.Initrd();
        const std::string cmdline = KernelCommandLine(c.args, serialConsole, !initrd.empty());
        return "  LINUX " + CdPath(c.arg) + "\n" + (initrd.empty() ? "" : "  INITRD " + CdPath(initrd) + "\n") +
               (cmdline.empty() ? "" : "  APPEND " + cmdline + "\n");
      }
      case Op::RunModule:
        return "  COM32 " + CdPath(c.arg) + "\n" + (c.args.empty() ? "" : "  APPEND " + c.args + "\n");
      case Op::BootDrive: {
        // The first hard disk: our own boot sector, which says so when there
        // is none to start (chain.c32 would return to the menu in silence).
        // It finds the disk itself, on the CD and on a stick alike.
        if (c.drive == kFirstHardDisk) return "  BOOT " + kDir + "/" + kHardDiskSector + "\n";
        // The BIOS numbers the disk it started from first: from a stick, the
        // machine's own disks come one later.
        const int disk = c.drive - 0x80 + (medium == Medium::Stick ? 1 : 0);
        return "  COM32 " + kDir + "/chain.c32\n  APPEND hd" + std::to_string(disk) + "\n";
      }
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
      case Op::RequireFile:
        out.emplace_back(c.arg, false);
        break;
      case Op::RequireFolder:
        out.emplace_back(c.arg, true);
        break;
      case Op::BootFloppyImage:
      case Op::BootFloppyImage2880:
        out.emplace_back(c.arg, false);
        out.emplace_back(kDir + "/memdisk", false);
        break;
      case Op::Initrd:
      case Op::BootSector:
      case Op::BootKernel:
      case Op::RunModule:
        out.emplace_back(c.arg, false);
        break;
      case Op::BootDrive:
        out.emplace_back(kDir + "/" + (c.drive == kFirstHardDisk ? kHardDiskSector : "chain.c32"), false);
        break;
      default:
        break;
    }
  }
}

// A text-showing entry is a submenu: its Print lines, then the one entry
// that goes back (Enter, or Esc as in every submenu).
std::string TextMenu(const Entry& e) {
  std::string out =
      "\nMENU BEGIN " + e.Label() + "\n  MENU LABEL " + e.action->text + "\n  MENU TITLE " + e.action->text + "\n";
  int n = 0;
  for (const ScriptCommand& c : e.macro->commands)
    if (c.op == Op::Print)
      out +=
          "  LABEL " + e.Label() + "text" + std::to_string(++n) + "\n    MENU LABEL " + c.arg + "\n    MENU DISABLE\n";
  out += "  MENU SEPARATOR\n  LABEL " + e.Label() +
         "back\n    MENU LABEL Press Enter to return to the boot menu\n"
         "    MENU DEFAULT\n    MENU EXIT\nMENU END\n";
  return out;
}

// One configuration file: the entries as they stand on one medium.
std::string RenderConfig(const BootMenuScript& script, const std::string& scriptName,
                         const std::vector<Entry>& entries) {
  // The default: the one the script names when it can be chosen, otherwise
  // the first entry that can.
  const Entry* def = nullptr;
  for (const Entry& e : entries)
    if (e.number == script.DefaultAction && e.Starts()) def = &e;
  if (!def)
    for (const Entry& e : entries)
      if (e.Starts()) {
        def = &e;
        break;
      }

  std::string cfg = Header(scriptName, script.SerialConsole);
  cfg += "UI menu.c32\nMENU MARGIN 2\n";
  if (!script.MenuTitle.empty()) cfg += "MENU TITLE " + script.MenuTitle + "\n";
  // Never time out into nothing: without an entry to start, the menu waits.
  cfg += "TIMEOUT " + std::to_string(def ? script.MenuTimeout * 10 : 0) + "\n";
  if (def) cfg += "DEFAULT " + def->Label() + "\n";

  for (const Entry& e : entries) {
    if (e.Enabled() && e.macro->ShowsText()) {
      cfg += TextMenu(e);
      continue;
    }
    cfg += "\nLABEL " + e.Label() + "\n";
    std::string label = e.action->text;
    if (!e.missing.empty()) {
      label += " (missing: ";
      for (size_t i = 0; i < e.missing.size(); ++i) label += (i ? ", " : "") + e.missing[i];
      label += ")";
    } else if (!e.Enabled()) {
      label += kNeedsCdNote;
    }
    cfg += "  MENU LABEL " + label + "\n";
    if (!e.Enabled()) {
      // Greyed: shown, never selected, and nothing to start.
      cfg += "  MENU DISABLE\n";
      continue;
    }
    if (&e == def) cfg += "  MENU DEFAULT\n";
    cfg += BootLines(*e.macro, e.medium, script.SerialConsole);
  }
  return cfg;
}

}  // namespace

std::string CdPath(const std::string& scriptPath) {
  std::string p = scriptPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty() || p[0] != '/') p.insert(p.begin(), '/');
  return p;
}

BootMenu RenderBootMenu(const BootMenuScript& script, const CdPathExists& exists, std::optional<int64_t> epoch,
                        const RandomSource& random) {
  BootMenu menu;
  // The build's password comes as its hash; a script of one's own carries
  // the hash as text, or a clear password, which gets this build's salt.
  const std::optional<PasswordHash> stored =
      script.passwordHash ? script.passwordHash : ParsePasswordHashText(script.PasswordString);
  menu.gate = PasswordGate{script.PasswordRequest, script.PasswordRetries, script.SerialConsole,
                           stored ? *stored : HashPassword(script.PasswordString, NewPasswordSalt(epoch, random)),
                           script.PasswordPrompt};
  const std::string scriptName = "/boot/scripts/main.cds";

  std::vector<Entry> entries;
  for (const auto& [n, action] : script.actions) {
    if (action.macro.empty()) continue;  // no macro: not shown
    Entry e;
    e.number = n;
    e.action = &action;
    e.macro = script.FindMacro(action.macro);
    if (!e.macro) continue;                  // reported by the parser
    if (!e.macro->StartsInBios()) continue;  // an entry of the UEFI menu alone
    e.needsCd = NeedsCd(*e.macro);
    std::vector<std::pair<std::string, bool>> needs;
    Needs(*e.macro, needs);
    for (const auto& [path, folder] : needs) {
      const std::string cd = CdPath(path);
      if (exists(cd, folder)) continue;
      // Folders by their path on the CD, files by their name: the menu line
      // is narrow.
      std::string shown = folder ? cd : cd.substr(cd.rfind('/') + 1);
      for (char& c : shown)
        if (c == '/') c = '\\';
      if (std::find(e.missing.begin(), e.missing.end(), shown) == e.missing.end()) e.missing.push_back(shown);
    }
    entries.push_back(e);
  }

  // A default the CD cannot start gives way to the first entry that can;
  // said, so the person who chose it learns why the menu starts another.
  if (script.DefaultAction != 0) {
    const auto chosen =
        std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.number == script.DefaultAction; });
    const auto first = std::find_if(entries.begin(), entries.end(), [](const Entry& e) { return e.Starts(); });
    if (chosen == entries.end() || !chosen->Starts()) {
      std::string why = chosen == entries.end() ? "an entry without a macro"
                                                : "\"" + chosen->action->text + "\", which cannot start from this CD";
      if (chosen != entries.end() && !chosen->missing.empty()) {
        why += " (missing:";
        for (const std::string& m : chosen->missing) why += " " + m;
        why += ")";
      }
      menu.notes.push_back(
          "DefaultAction=" + std::to_string(script.DefaultAction) + " names " + why + "; the menu starts " +
          (first == entries.end() ? "nothing by itself" : "\"" + first->action->text + "\"") + " by default instead");
    }
  }

  for (Medium medium : {Medium::Cd, Medium::Stick}) {
    for (Entry& e : entries) e.medium = medium;
    menu.files.push_back(IsolinuxFile{medium == Medium::Cd ? "isolinux.cfg" : kStickConfigName,
                                      RenderConfig(script, scriptName, entries)});
  }
  return menu;
}

BootMenu TranslateBootMenu(const std::string& text, const std::string& scriptPath, const CdPathExists& exists,
                           const RandomSource& random, const MenuData* data) {
  BootMenuScript script = ParseBootMenuScript(text, scriptPath, data);
  if (!script.errors.empty()) {
    BootMenu menu;
    menu.errors = std::move(script.errors);
    return menu;
  }
  BootMenu menu = RenderBootMenu(script, exists, data ? data->epoch : std::nullopt, random);
  const GrubMenuInput grub = GrubInputFromScript(script, data, exists, random);
  menu.notes.insert(menu.notes.end(), grub.leftOut.begin(), grub.leftOut.end());
  menu.grubConfig = RenderGrubConfig(grub);
  return menu;
}

}  // namespace kiv
