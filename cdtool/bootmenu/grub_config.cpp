#include "cdtool/bootmenu/grub_config.h"

#include <openssl/evp.h>

#include <algorithm>

#include "cdtool/bootmenu/boot_menu_script.h"
#include "cdtool/bootmenu/grub_password.h"
#include "cdtool/bootmenu/isolinux_config.h"
#include "cdtool/bootmenu/kernel_command_line.h"
#include "cdtool/bootmenu/menu_data.h"
#include "cdtool/bootmenu/password_hash.h"

namespace kiv {

namespace {

// How long a text entry waits for Esc before it goes back to the menu.
constexpr int kTextWaitSeconds = 600;

std::string Echo(const std::string& line) { return "  echo " + GrubQuote(line) + "\n"; }

// A kernel command line as GRUB words, each quoted, so that GRUB expands
// nothing in it ('$', ';') and passes it on as written.
std::string QuotedWords(const std::string& line) {
  std::string out;
  for (size_t from = line.find_first_not_of(" \t"); from != std::string::npos;
       from = line.find_first_not_of(" \t", from)) {
    const size_t to = std::min(line.find_first_of(" \t", from), line.size());
    out += " " + GrubQuote(line.substr(from, to - from));
    from = to;
  }
  return out;
}

std::string WaitForEsc() {
  return Echo("") + Echo("Press Esc to return to the menu.") + "  sleep --interruptible " +
         std::to_string(kTextWaitSeconds) + "\n";
}

// An entry; `open`: it starts nothing, so the password does not guard it.
std::string Entry(const std::string& label, const std::string& id, bool open, const std::string& body) {
  return "\nmenuentry " + GrubQuote(label) + (open ? " --unrestricted" : "") + " --id=" + id + " {\n" + body + "}\n";
}

std::string BiosNote(const std::string& title) {
  return Entry(
      (title.empty() ? std::string() : title + ": ") + "DOS floppies and XP/98 setup need BIOS mode (Enter: how)",
      "bios-note", true,
      (title.empty() ? std::string() : Echo(title) + Echo("")) +
          Echo("The DOS rescue floppies and the Windows 2000/XP and 98/Me setups start only") +
          Echo("when the PC starts this CD in BIOS mode (\"Legacy\", \"CSM\" or \"BIOS\" boot).") +
          Echo("Windows 10/11 Setup starts from this menu too. To use the others:") +
          Echo("open the firmware setup (the entry \"Firmware setup\" below, or") +
          Echo("F2, Del or Esc at power-on), switch Secure Boot off and Legacy/CSM boot on,") +
          Echo("and start the CD again; its BIOS menu then shows every entry.") + WaitForEsc());
}

// memtest86+ is not signed: under Secure Boot (GRUB's lockdown) it could not
// start, so the entry is left out there. Its screen also goes to the menu's
// serial console.
std::string MemtestEntry(bool open, int serialConsole) {
  const std::string console =
      serialConsole ? " console=ttyS" + std::to_string(serialConsole - 1) + ",115200" : std::string();
  return "\nif [ \"$lockdown\" != y ]; then" +
         Entry("Memory test (memtest86+, UEFI)", "memtest", open,
               "  if chainloader ($kivcd)" + std::string(kMemtestEfi) + console + "; then boot; fi\n" +
                   Echo("memtest86+ did not start. With Secure Boot on, the firmware starts only") +
                   Echo("signed programs: switch Secure Boot off in the firmware setup to run it.") + WaitForEsc()) +
         "fi\n";
}

// An EFI program of the script's (Windows 10/11 Setup): chainloaded, its
// refusal explained; one the CD lacks says so and starts nothing.
std::string EfiProgramEntry(const GrubMenuInput::EfiEntry& e, bool open) {
  if (!e.missing.empty()) {
    std::string missing;
    for (const std::string& m : e.missing) missing += (missing.empty() ? "" : ", ") + m;
    return Entry(e.label + " (missing: " + missing + ")", e.id, true,
                 Echo(e.label + " is not on this CD: it lacks " + missing + ".") +
                     Echo("Build the CD with its setup files to start it from here.") + WaitForEsc());
  }
  return Entry(e.label, e.id, open,
               Echo("Starting " + e.label + " (" + e.program + ") ...") +
                   Echo("Under Secure Boot the firmware starts it only with a signature it trusts:") +
                   Echo("Windows' own boot program carries Microsoft's.") + "  if chainloader ($kivcd)" + e.program +
                   "; then boot; fi\n" +
                   Echo(e.label + " did not start. With Secure Boot on, the firmware starts only") +
                   Echo("signed programs: this one's signature was refused, or it has none.") + WaitForEsc());
}

// The first disk that is not the medium this menu came from and holds
// Windows' boot manager or the default UEFI boot loader: its loader.
std::string HardDiskEntry(bool open) {
  return Entry("Boot from the first hard disk", "harddisk", open,
               "  regexp --set=1:kiv_medium '^([^,]+)' \"$kivcd\"\n"
               "  for kiv_disk in hd0 hd1 hd2 hd3 hd4 hd5 hd6 hd7; do\n"
               "    if [ \"$kiv_disk\" = \"$kiv_medium\" ]; then continue; fi\n"
               "    for kiv_part in gpt1 gpt2 gpt3 gpt4 gpt5 msdos1 msdos2 msdos3 msdos4; do\n"
               "      for kiv_loader in /EFI/Microsoft/Boot/bootmgfw.efi /EFI/BOOT/BOOTX64.EFI; do\n"
               "        if [ -f ($kiv_disk,$kiv_part)$kiv_loader ]; then\n"
               "          echo \"Starting ($kiv_disk,$kiv_part)$kiv_loader\"\n"
               "          chainloader ($kiv_disk,$kiv_part)$kiv_loader\n"
               "          boot\n"
               "        fi\n"
               "      done\n"
               "    done\n"
               "  done\n" +
                   Echo("No hard disk with a UEFI boot loader (\\EFI\\BOOT\\BOOTX64.EFI or Windows'") +
                   Echo("\\EFI\\Microsoft\\Boot\\bootmgfw.efi) was found, or it did not start.") + WaitForEsc());
}

}  // namespace

std::string GrubMarkerName(const std::string& grubConfig) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(grubConfig.data(), grubConfig.size(), digest, &size, EVP_sha256(), nullptr);
  return "kivcd-" + HexDigits(digest, std::min(size, 8u)) + ".id";
}

std::string GrubQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string MissingName(const std::string& cdPath, bool folder) {
  std::string shown = folder ? cdPath : cdPath.substr(cdPath.rfind('/') + 1);
  for (char& c : shown)
    if (c == '/') c = '\\';
  return shown;
}

GrubMenuInput GrubInputFromScript(const BootMenuScript& script, const MenuData* data, const CdPathExists& exists,
                                  const RandomSource& random) {
  GrubMenuInput input;
  input.title = script.MenuTitle;
  input.timeoutSeconds = script.MenuTimeout;
  input.serialConsole = script.SerialConsole;
  input.memtest = exists(kMemtestEfi, false);
  for (const auto& [n, action] : script.actions) {
    const ScriptMacro* macro = action.macro.empty() ? nullptr : script.FindMacro(action.macro);
    if (!macro) continue;
    if (const std::string program = macro->EfiProgram(); !program.empty()) {
      GrubMenuInput::EfiEntry efi{action.text, "action" + std::to_string(n), CdPath(program), {}};
      auto need = [&](const std::string& path, bool folder) {
        const std::string cd = CdPath(path);
        const std::string name = MissingName(cd, folder);
        if (!exists(cd, folder) && std::find(efi.missing.begin(), efi.missing.end(), name) == efi.missing.end())
          efi.missing.push_back(name);
      };
      for (const ScriptCommand& c : macro->commands)
        if (c.op == ScriptCommand::Op::RequireFile || c.op == ScriptCommand::Op::RequireFolder)
          need(c.arg, c.op == ScriptCommand::Op::RequireFolder);
      need(program, false);
      input.efiPrograms.push_back(efi);
      continue;
    }
    GrubMenuInput::LinuxEntry entry;
    entry.label = action.text;
    entry.id = "action" + std::to_string(n);
    if (!macro->Initrd().empty()) entry.initrd = CdPath(macro->Initrd());
    bool present = true;
    for (const ScriptCommand& c : macro->commands) {
      if (c.op == ScriptCommand::Op::RequireFile || c.op == ScriptCommand::Op::RequireFolder)
        present = present && exists(CdPath(c.arg), c.op == ScriptCommand::Op::RequireFolder);
      if (c.op != ScriptCommand::Op::BootKernel) continue;
      entry.kernel = CdPath(c.arg);
      entry.cmdline = KernelCommandLine(c.args, script.SerialConsole, true);
    }
    if (entry.kernel.empty()) continue;  // nothing GRUB can start (a floppy, a module, the hard disk)
    // A UEFI menu has no room for greyed entries: one whose files are not on
    // this CD is left out.
    if (!present || !exists(entry.kernel, false) || (!entry.initrd.empty() && !exists(entry.initrd, false))) continue;
    // GRUB starts a kernel here only when it is an EFI program (a Linux
    // kernel with its EFI stub); a BIOS-only one (memtest86+'s .bin) is left
    // out and said. Without the build's look at the files, a kernel with an
    // initial RAM disk is taken for a Linux one, and one without is left out.
    const bool looked = data && data->isEfiProgram;
    if (looked ? !data->isEfiProgram(entry.kernel) : entry.initrd.empty()) {
      // memtest86+ has an entry of its own here, from its EFI program.
      const bool memtest = input.memtest && entry.kernel.rfind("/boot/tools/memtest86+", 0) == 0;
      if (looked && !memtest)
        input.leftOut.push_back("the UEFI menu leaves out \"" + action.text + "\": " + entry.kernel +
                                " is no EFI program, it starts in BIOS mode only");
      continue;
    }
    if (n == script.DefaultAction) input.defaultId = entry.id;
    input.linuxSystems.push_back(entry);
  }
  if (!script.PasswordRequest) return input;
  if (data && data->grubPassword) {
    input.passwordHash = *data->grubPassword;
  } else if (!ParsePasswordHashText(script.PasswordString)) {
    input.passwordHash =
        GrubPasswordHash(script.PasswordString, NewGrubSalt(data ? data->epoch : std::nullopt, random));
  } else {
    input.locked = true;
  }
  return input;
}

std::string RenderGrubConfig(const GrubMenuInput& in) {
  std::string cfg =
      "# Written by the CD builder from /boot/scripts/main.cds; change the menu there.\n"
      "# The UEFI boot menu (GRUB); the BIOS menu is isolinux's, in /boot/isolinux.\n"
      "set kivcd=$root\n"
      "export kivcd\n";
  if (in.serialConsole) {
    cfg += "serial --unit=" + std::to_string(in.serialConsole - 1) +
           " --speed=115200\n"
           "terminal_input console serial\n"
           "terminal_output console serial\n";
  }
  cfg += "set default=" + in.defaultId + "\n";
  cfg += "set timeout=" + std::to_string(in.timeoutSeconds > 0 ? in.timeoutSeconds : -1) + "\n";
  // A superuser always, so that GRUB's command line and entry editor ('c',
  // 'e') open only to the password, as the BIOS menu has neither; without a
  // password every entry is open.
  cfg += "set superusers=" + GrubQuote(kGrubUser) + "\n";
  if (in.passwordHash) cfg += "password_pbkdf2 " + std::string(kGrubUser) + " " + *in.passwordHash + "\n";
  const bool open = !in.passwordHash && !in.locked;
  cfg += BiosNote(in.title);
  for (const GrubMenuInput::LinuxEntry& e : in.linuxSystems)
    cfg += Entry(e.label, e.id, open,
                 Echo("Starting " + e.label + " ...") + "  linux ($kivcd)" + e.kernel + QuotedWords(e.cmdline) + "\n" +
                     (e.initrd.empty() ? "" : "  initrd ($kivcd)" + e.initrd + "\n"));
  for (const GrubMenuInput::EfiEntry& e : in.efiPrograms) cfg += EfiProgramEntry(e, open);
  if (in.memtest) cfg += MemtestEntry(open, in.serialConsole);
  cfg += HardDiskEntry(open);
  cfg += Entry("Firmware setup", "fwsetup", open, "  fwsetup\n");
  cfg += Entry("Reboot", "reboot", true, "  reboot\n");
  cfg += Entry("Power off", "poweroff", true, "  halt\n");
  return cfg;
}

std::string RenderGrubStarter(const std::string& markerCdPath) {
  return "# Written by the CD builder: finds the CD (or the USB stick made from it)\n"
         "# and shows its UEFI boot menu.\n"
         "search --no-floppy --file --set=root " +
         markerCdPath +
         "\n"
         "set prefix=($root)" +
         kGrubFolder +
         "\n"
         "if [ -f " +
         markerCdPath +
         " ]; then\n"
         "  source $prefix/" +
         kGrubConfigName +
         "\n"
         "else\n"
         "  # Never GRUB's command line instead: it would pass by the password.\n"
         "  echo 'The menu of this CD was not found. Restarting in 30 seconds.'\n"
         "  sleep 30\n"
         "  reboot\n"
         "fi\n";
}

}  // namespace kiv
