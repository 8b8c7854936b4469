// RunBatch: the command line's target checked, the options made a floppy job
// for the engine, each of its status lines shown in the wait window.
#include "disktool/batch/batch_run.h"

#include <cstdio>

#include "common/file_ops.h"
#include "common/paths.h"
#include "common/prompter.h"
#include "disktool/drivers/frm_drivers.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/engine/floppy_job.h"
#include "disktool/output/image_target.h"
#include "disktool/workspace/wait_window.h"

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

  FloppyJob job;
  job.DiskName = o.DiskName;
  if (!o.Target.empty()) job.Image = BatchDestination(builder.ProgramFolder(), o.Target);
  job.Image288 = o.ImageType == 2;
  job.AnswersFromKeyFile = o.UseKeyFile;
  job.Plugin = o.Plugin;
  job.SelectDrivers = o.SelectDrivers;
  job.ChooseDrivers = showDrivers;
  switch (RunFloppyJob(builder, job, status)) {
    case FloppyJobEnd::NoSuchDisk:
      wait.Hide();
      prompter.MsgBox(NoSuchDiskMessage(o.DiskName));
      return 1;
    case FloppyJobEnd::Stopped:
      return end(1);
    case FloppyJobEnd::Made:
      break;
  }
  // The last line says where the image went (a relative target is taken
  // from the program folder, which a script may not expect).
  const std::string image = builder.ImageFile();
  status("Image written: " + image + " (" + std::to_string(FileSize(image)) + " bytes)");
  return end(0);
}

}  // namespace kiv
