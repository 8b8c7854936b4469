#include "cdtool/build/boot_menu_step.h"

#include <fstream>

#include "cdtool/bootmenu/boot_menu_edits.h"
#include "cdtool/bootmenu/efi_boot_image.h"
#include "cdtool/bootmenu/grub_config.h"
#include "cdtool/bootmenu/grub_password.h"
#include "cdtool/bootmenu/isolinux_config.h"
#include "cdtool/build/build_run.h"
#include "common/failure_cause.h"
#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"

namespace kiv {

namespace {

void Halt(BuildRun& run, const std::string& cause) {
  // A stop ends the tools the step runs, which then fail: that is a cancel.
  run.CheckStopRequest();
  if (run.CancelCopy) {
    run.Diagnostic(cause);
    return;
  }
  run.prompter().MsgBox(Message{"A fatal Error occured while writing the boot menu, operation halted\n\n" + cause,
                                "Fatal Error", Icon::Critical, Buttons::OK, 0, std::nullopt});
  run.Fail(cause);
}

// The UEFI menu: GRUB's configuration and the marker it finds the CD by in
// boot/grub, and the EFI boot image the firmware starts.
// False when the build was halted.
bool WriteUefiMenu(BuildRun& run, const std::string& tree, const std::string& grubConfig) {
  const std::string missing = MissingEfiLoader(run.efiLoaders);
  if (!missing.empty()) {
    run.Diagnostic("No UEFI boot menu on this CD: " + missing +
                   " is not installed (scripts/setup.sh installs shim-signed and grub-efi-amd64-signed)");
    return true;
  }
  const std::string grubFolder = ResolvePathPrefix(tree + kGrubFolder);
  const std::string efiFolder = ResolvePathPrefix(tree + "/boot/efi");
  if (!MakePath(grubFolder) || !MakePath(efiFolder)) {
    Halt(run, "the folder " + grubFolder + " or " + efiFolder + " cannot be created");
    return false;
  }
  const std::string marker = GrubMarkerName(grubConfig);
  for (const auto& [name, text] :
       {std::pair<std::string, std::string>{kGrubConfigName, grubConfig},
        std::pair<std::string, std::string>{
            marker, "This CD's UEFI menu is " + std::string(kGrubFolder) + "/" + kGrubConfigName + ".\n"}}) {
    const std::string path = JoinPath(grubFolder, name);
    std::error_code error;
    if (!WriteFileAtomic(path, text, &error)) {
      Halt(run, CannotWriteText(path, error));
      return false;
    }
  }
  const std::string image = ResolvePathPrefix(tree + kEfiImageOnCd);
  const std::string error = WriteEfiBootImage(
      run.Launcher(), run.efiLoaders, RenderGrubStarter(std::string(kGrubFolder) + "/" + marker), image, run.Epoch());
  if (error.empty()) return true;
  Halt(run, "cannot make the UEFI boot image " + image + ": " + error);
  return false;
}

}  // namespace

void WriteBootMenu(BuildRun& run) {
  run.SetSubStep("Writing the boot menu");
  const std::string tree = run.InProgram("kivcd");
  const std::string script = ResolvePath(JoinPath(tree, NativePath("boot\\scripts\\main.cds")));
  std::string text;
  if (!FileExists(script) || !ReadWholeFile(script, text)) {
    Halt(run, "the boot menu script " + script + " is missing or cannot be read");
    return;
  }

  // The CD's files: the work tree's and those mapped from the sources.
  const CdPathExists exists = [&tree, &run](const std::string& cdPath, bool folder) {
    const std::string real = ResolvePath(tree + NativePath(cdPath));
    return folder ? FolderExists(real) : FileExists(real) || run.grafts.DiskFile(cdPath).has_value();
  };
  // Messages name the script the user edits (the template's), not this work
  // copy, which the next build replaces; the lines are the same.
  const std::string userScript = ResolvePath(run.InProgram("files\\kivcd\\boot\\scripts\\main.cds"));
  run.menuData.epoch = run.Epoch();
  // An EFI program is a PE image: "MZ" first (a Linux kernel's EFI stub
  // starts so; a BIOS-only kernel or memtest86+'s .bin does not).
  run.menuData.isEfiProgram = [&run](const std::string& cdPath) {
    std::ifstream in(run.grafts.DiskFile(cdPath).value_or(""), std::ios::binary);
    char magic[2] = {};
    return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
  };
  BootMenu menu =
      TranslateBootMenu(text, FileExists(userScript) ? userScript : script, exists, run.platform(), &run.menuData);
  if (!menu.errors.empty()) {
    std::string all;
    for (const std::string& e : menu.errors) all += (all.empty() ? "" : "\n") + e;
    Halt(run, all);
    return;
  }

  for (const std::string& note : menu.notes) run.Diagnostic(note);

  const std::string loaderPath = ResolvePath(JoinPath(tree, NativePath("boot\\loader.bin")));
  std::string loader;
  if (!FileExists(loaderPath) || !ReadWholeFile(loaderPath, loader)) {
    Halt(run, "the CD's boot loader " + loaderPath + " is missing or cannot be read");
    return;
  }
  std::string error;
  if (!WritePasswordGate(loader, menu.gate, loaderPath, &error)) {
    Halt(run, error);
    return;
  }
  // The UEFI boot image first: of everything here it is the likeliest to fail.
  if (!WriteUefiMenu(run, tree, menu.grubConfig)) return;

  // The script on the CD says what the gate does: this CD's hash when it
  // asks, no password when it does not. A password the template spells out
  // in clear (in a commented-out line too), or a hash copied from another
  // CD, never reaches the CD.
  const std::string onCd = WithScriptSetting(
      WithOnlyScriptSetting(text, "PasswordString",
                            "\"" + (menu.gate.ask ? PasswordHashText(menu.gate.password) : std::string()) + "\""),
      "PasswordRequest", menu.gate.ask ? "1" : "0");
  std::error_code writeError;
  if (onCd != text && !WriteFileAtomic(script, onCd, &writeError)) {
    Halt(run, CannotWriteText(script, writeError));
    return;
  }

  const std::string folder = ResolvePathPrefix(JoinPath(tree, NativePath("boot\\isolinux")));
  if (!MakePath(folder)) {
    Halt(run, "the folder " + folder + " cannot be created");
    return;
  }
  for (const IsolinuxFile& f : menu.files) {
    const std::string path = JoinPath(folder, f.name);
    if (!WriteFileAtomic(path, f.text, &writeError)) {
      Halt(run, CannotWriteText(path, writeError));
      return;
    }
  }
  if (!WriteFileAtomic(loaderPath, loader, &writeError)) {
    Halt(run, CannotWriteText(loaderPath, writeError));
    return;
  }
  // The hard-disk entry's key wait listens where the menu does (a serial
  // mouse on an unused COM1 must not answer it).
  const std::string hardDisk = JoinPath(folder, "harddisk.bin");
  std::string image;
  if (FileExists(hardDisk) && ReadWholeFile(hardDisk, image) &&
      (!WriteHardDiskPort(image, menu.gate.serialConsole, hardDisk, &error) ||
       !WriteFileAtomic(hardDisk, image, &writeError))) {
    Halt(run, error.empty() ? CannotWriteText(hardDisk, writeError) : error);
  }
}

void AddBootPassword(BuildRun& run, const std::string& TxtPass1, const std::string& TxtPass2) {
  run.SetSubStep("Adding Password Protection to the Boot Script");
  run.menuData.password = SetBootPassword(run.InProgram("kivcd\\boot\\scripts\\main.cds"), TxtPass1, TxtPass2,
                                          run.Epoch(), run.platform(), run.prompter());
  // The UEFI menu's hash is made now, while the clear password is at hand.
  run.menuData.grubPassword.reset();
  if (run.menuData.password)
    run.menuData.grubPassword = GrubPasswordHash(TxtPass1, NewGrubSalt(run.Epoch(), run.platform()));
}

}  // namespace kiv
