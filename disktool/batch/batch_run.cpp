// RunBatch: the batch sequence, step by step, with its FrmWait status lines.
#include "disktool/batch/batch_run.h"

#include <cstdio>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/dosimport/freedos_import.h"
#include "disktool/drivers/frm_drivers.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/engine/wait_window.h"
#include "disktool/output/image_target.h"

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

int RunBatch(FloppyBuilder& builder, BatchOptions& o, WaitWindow& wait, const ShowDriversModal& showDrivers) {
  Prompter& prompter = builder.prompter();
  if (o.HadError) {
    const Answer a = prompter.MsgBox(Message{BatchSummaryText(o), "Check your Command Line Parameters",
                                             Icon::Exclamation, Buttons::OKCancel, 0, Answer::Cancel});
    if (a != Answer::OK) return 1;
  }

  // A target that the build would destroy or lose is refused before
  // anything is prepared.
  if (!o.Target.empty()) {
    const std::string& folder = builder.ProgramFolder();
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
    if (builder.WaitStatus != shown) {
      shown = builder.WaitStatus;
      wait.SetStatus(shown);
    }
    wait.Pump();
  };
  auto status = [&](const std::string& text) {
    builder.WaitStatus = text;
    forward();
  };
  auto previous = builder.Changed;
  builder.Changed = [&] {
    if (previous) previous();
    forward();
  };
  struct Restore {
    FloppyBuilder& w;
    std::function<void()> changed;
    ~Restore() { w.Changed = changed; }
  } restore{builder, previous};
  auto end = [&](int code) {
    wait.Hide();
    return code;
  };

  wait.Show();
  shown = builder.WaitStatus;
  wait.SetStatus(shown);

  builder.InitApp();
  if (builder.BuildCancelled) return end(1);

  status("Getting a list of Disks Configuration ...");
  builder.Fill_DiskList();

  status("Getting Disk Configuration INI file ...");
  int row = 0;
  for (size_t i = 0; i < builder.LV_Disk.size(); ++i) {
    if (builder.LV_Disk[i].Name == o.DiskName) row = static_cast<int>(i) + 1;
  }
  if (row == 0) {
    wait.Hide();
    prompter.MsgBox(Message{"The disk \"" + o.DiskName + "\" doesn't exist", "Critical error", Icon::Critical,
                            Buttons::OK, 0, std::nullopt});
    builder.RemoveWorkFiles();
    return 1;
  }
  builder.SelectedDisk = row;

  // The entry's image file must stay in the program folder, even when the
  // command line names the target: the catalogue is refused as a whole
  // before the disk definition copies anything.
  if (builder.RefuseCatalogueFile()) return end(1);

  const std::string lower = ToLower(o.DiskName);
  status("Processing " + lower + ".ini file ...");
  if (!builder.Init_Lists(lower + ".ini") || builder.BuildCancelled) return end(1);

  status("Getting Drivers Settings ...");
  builder.GetDiskAndDriverSettings();
  if (builder.BuildCancelled) return end(1);

  if (builder.NeedSetupWin) {
    status("Creating the SetupWin module ...");
    if (FileExists(builder.Resolve("keyfile.txt")) || o.UseKeyFile) builder.FillSetupDataFromKeyFile();
    else builder.FillSetupDataFromReg();
    if (!builder.CreateSetupInf() || builder.BuildCancelled) return end(1);
  }
  if (builder.NeedSetupNT) {
    status("Creating the SetupNT module ...");
    if (!builder.CreateSetupNT() || builder.BuildCancelled) return end(1);
  }

  status("Getting files list to be copied to the floppy image ...");
  builder.FillInitialList();

  if (o.ImageType == 2) builder.OptImage28_Click();
  else builder.OptImage14_Click();

  if (!o.Target.empty()) {
    builder.TxtDest = BatchDestination(builder.ProgramFolder(), o.Target);
  }

  if (o.SelectDrivers) {
    builder.LoadDriverLists();
    forward();
    if (showDrivers) showDrivers(builder.Drivers);
  }

  // Which DOS the floppy starts: the import's record tells FreeDOS from the
  // files of Windows 98.
  const std::string dos = DosKind(ResolvePath(JoinPath(builder.ProgramFolder(), "dos")));
  status(dos == "stand-ins" ? std::string("The floppy's DOS: the stand-ins (no real DOS imported)")
                            : "The floppy's DOS: " + dos);
  status("Creating the floppy image file ...");
  const bool made = builder.FinishApp(o.Plugin);
  const std::string image = ResolvePath(NativePath(builder.TxtDest));
  if (!made || builder.BuildCancelled || !FileExists(image)) return end(1);
  // The last line says where the image went (a relative target is taken
  // from the program folder, which a script may not expect).
  status("Image written: " + image + " (" + std::to_string(FileSize(image)) + " bytes)");
  return end(0);
}

}  // namespace kiv
