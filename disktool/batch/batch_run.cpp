// RunBatch: the batch sequence, step by step, with its FrmWait status lines.
#include "disktool/batch/batch_run.h"

#include <cstdio>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/dosimport/freedos_import.h"
#include "disktool/drivers/frm_drivers.h"
#include "disktool/output/image_target.h"
#include "disktool/wizard/builder_session.h"
#include "disktool/wizard/frm_wait.h"

namespace kiv {

std::string BatchSummaryText(const BatchOptions& o) {
  auto yes = [](bool b) { return std::string(b ? "True" : "False"); };
  return "There has been an invalid parameter,\r\n"
         "check your settings before starting the batch mode :\r\n"
         "\r\n"
         "Disk Name : " +
         o.DiskName + "\r\n" + "Target : " + o.Target + "\r\n" +
         "Plugin to Apply : " + (o.Plugin.empty() ? std::string("None") : o.Plugin) + "\r\n" +
         "Image Type : " + (o.ImageType == 2 ? "2.88 MB" : "1.44 MB") + "\r\n" +
         "Select Drivers : " + yes(o.SelectDrivers) + "\r\n" +
         "Load Product key from keyfile.txt : " + yes(o.UseKeyFile) + "\r\n";
}

std::string BatchDestination(const std::string& programFolder, const std::string& target) {
  return IsAbsolutePath(target) ? target : JoinPath(programFolder, NativePath(target));
}

int RunBatch(FrmWizard& wizard, BatchOptions& o, WaitWindow& wait, const ShowDriversModal& showDrivers) {
  Prompter& prompter = wizard.prompter();
  if (o.HadError) {
    const Answer a = prompter.MsgBox(Message{BatchSummaryText(o), "Check your Command Line Parameters",
                                             Icon::Exclamation, Buttons::OKCancel, 0, Answer::Cancel});
    if (a != Answer::OK) return 1;
  }

  // A target that the build would destroy or lose is refused before
  // anything is prepared.
  if (!o.Target.empty()) {
    const std::string& folder = wizard.ProgramFolder();
    const std::string problem = ImageTargetProblem(folder, BatchDestination(folder, o.Target));
    if (!problem.empty()) {
      prompter.MsgBox(Message{problem, kInvalidTargetTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
      return 1;
    }
    // A file that is not an earlier image of this kind (a document, an image
    // of the other size) is replaced only when the user says so; where nobody
    // can be asked, it is kept and the run refused.
    bool folderThere = false;
    const std::string there = ExistingTargetText(BatchDestination(folder, o.Target), o.ImageType == 2, &folderThere);
    if (!there.empty()) {
      const std::string again = "\r\n\r\nChoose another target for the image.";
      if (folderThere || !prompter.CanAsk()) {
        prompter.MsgBox(Message{there + (folderThere ? "" : " It is not replaced without asking.") + again,
                                kInvalidTargetTitle, Icon::Critical, Buttons::OK, 0, std::nullopt});
        return 1;
      }
      const Answer a = prompter.MsgBox(Message{there + "\r\n\r\nReplace it with the floppy image?", kReplaceTargetTitle,
                                               Icon::Exclamation, Buttons::YesNo, 0, Answer::No});
      if (a != Answer::Yes) return 1;
    }
  }

  // Whatever the engine puts on the wait window's line (its build stages,
  // the driver list step) is shown as soon as it changes.
  std::string shown;
  auto forward = [&] {
    if (wizard.WaitStatus != shown) {
      shown = wizard.WaitStatus;
      wait.SetStatus(shown);
    }
    wait.Pump();
  };
  auto status = [&](const std::string& text) {
    wizard.WaitStatus = text;
    forward();
  };
  auto previous = wizard.Changed;
  wizard.Changed = [&] {
    if (previous) previous();
    forward();
  };
  struct Restore {
    FrmWizard& w;
    std::function<void()> changed;
    ~Restore() { w.Changed = changed; }
  } restore{wizard, previous};
  auto end = [&](int code) {
    wait.Hide();
    return code;
  };

  wait.Show();
  shown = wizard.WaitStatus;
  wait.SetStatus(shown);

  wizard.InitApp();
  if (wizard.BuildCancelled) return end(1);

  status("Getting a list of Disks Configuration ...");
  wizard.Fill_DiskList();

  status("Getting Disk Configuration INI file ...");
  int row = 0;
  for (size_t i = 0; i < wizard.LV_Disk.size(); ++i) {
    if (wizard.LV_Disk[i].Name == o.DiskName) row = static_cast<int>(i) + 1;
  }
  if (row == 0) {
    wait.Hide();
    prompter.MsgBox(Message{"The disk \"" + o.DiskName + "\" doesn't exist", "Critical error", Icon::Critical,
                            Buttons::OK, 0, std::nullopt});
    wizard.RemoveWorkFiles();
    return 1;
  }
  wizard.SelectedDisk = row;

  // The entry's image file must stay in the program folder, even when the
  // command line names the target: the catalogue is refused as a whole
  // before the disk definition copies anything.
  if (wizard.RefuseCatalogueFile()) return end(1);

  const std::string lower = ToLower(o.DiskName);
  status("Processing " + lower + ".ini file ...");
  if (!wizard.Init_Lists(lower + ".ini") || wizard.BuildCancelled) return end(1);

  status("Getting Drivers Settings ...");
  wizard.GetDiskAndDriverSettings();
  if (wizard.BuildCancelled) return end(1);

  if (wizard.NeedSetupWin) {
    status("Creating the SetupWin module ...");
    if (FileExists(wizard.Resolve("keyfile.txt")) || o.UseKeyFile) wizard.FillSetupDataFromKeyFile();
    else wizard.FillSetupDataFromReg();
    if (!wizard.CreateSetupInf() || wizard.BuildCancelled) return end(1);
  }
  if (wizard.NeedSetupNT) {
    status("Creating the SetupNT module ...");
    if (!wizard.CreateSetupNT() || wizard.BuildCancelled) return end(1);
  }

  status("Getting files list to be copied to the floppy image ...");
  wizard.FillInitialList();

  if (o.ImageType == 2) wizard.OptImage28_Click();
  else wizard.OptImage14_Click();

  if (!o.Target.empty()) {
    wizard.TxtDest = BatchDestination(wizard.ProgramFolder(), o.Target);
  }

  if (o.SelectDrivers) {
    wizard.LoadDriverLists();
    forward();
    if (showDrivers) showDrivers(wizard.Drivers);
  }

  // Which DOS the floppy starts: the import's record tells FreeDOS from the
  // files of Windows 98.
  const std::string dos = DosKind(ResolvePath(JoinPath(wizard.ProgramFolder(), "dos")));
  status(dos == "stand-ins" ? std::string("The floppy's DOS: the stand-ins (no real DOS imported)")
                            : "The floppy's DOS: " + dos);
  status("Creating the floppy image file ...");
  const bool made = wizard.FinishApp(o.Plugin);
  const std::string image = ResolvePath(NativePath(wizard.TxtDest));
  if (!made || wizard.BuildCancelled || !FileExists(image)) return end(1);
  // The last line says where the image went (a relative target is taken
  // from the program folder, which a script may not expect).
  status("Image written: " + image + " (" + std::to_string(FileSize(image)) + " bytes)");
  return end(0);
}

}  // namespace kiv
