// RunFloppyJob: the steps of one build in the order the disk definitions
// expect them, each announced by its status line.
#include "disktool/engine/floppy_job.h"

#include "common/file_ops.h"
#include "common/paths.h"
#include "disktool/dosimport/freedos_import.h"
#include "disktool/engine/floppy_builder.h"

namespace kiv {

namespace {

// The row of the catalogue's list that holds `name` (1-based, as the list
// counts), or 0 when no entry has that name.
int RowOfDisk(const FloppyBuilder& builder, const std::string& name) {
  int row = 0;
  for (size_t i = 0; i < builder.LV_Disk.size(); ++i) {
    if (builder.LV_Disk[i].Name == name) row = static_cast<int>(i) + 1;
  }
  return row;
}

}  // namespace

Message NoSuchDiskMessage(const std::string& name) {
  return Message{
      "The disk \"" + name + "\" doesn't exist", "Critical error", Icon::Critical, Buttons::OK, 0, std::nullopt};
}

FloppyJobEnd RunFloppyJob(FloppyBuilder& builder, const FloppyJob& job, const JobStatus& status) {
  constexpr FloppyJobEnd kStopped = FloppyJobEnd::Stopped;
  builder.InitApp();
  if (builder.BuildCancelled) return kStopped;

  status("Getting a list of Disks Configuration ...");
  builder.Fill_DiskList();

  status("Getting Disk Configuration INI file ...");
  const int row = RowOfDisk(builder, job.DiskName);
  if (row == 0) {
    builder.RemoveWorkFiles();
    return FloppyJobEnd::NoSuchDisk;
  }
  builder.SelectedDisk = row;

  // The entry's image file must stay in the program folder, even when the
  // job names another image: the catalogue is refused as a whole before the
  // disk definition copies anything.
  if (builder.RefuseCatalogueFile()) return kStopped;

  const std::string lower = ToLower(job.DiskName);
  status("Processing " + lower + ".ini file ...");
  if (!builder.Init_Lists(lower + ".ini") || builder.BuildCancelled) return kStopped;

  status("Getting Drivers Settings ...");
  builder.GetDiskAndDriverSettings();
  if (builder.BuildCancelled) return kStopped;

  if (builder.NeedSetupWin) {
    status("Creating the SetupWin module ...");
    if (job.AnswersFromKeyFile || FileExists(builder.Resolve("keyfile.txt"))) builder.FillSetupDataFromKeyFile();
    else builder.FillSetupDataFromReg();
    if (!builder.CreateSetupInf() || builder.BuildCancelled) return kStopped;
  }
  if (builder.NeedSetupNT) {
    status("Creating the SetupNT module ...");
    if (!builder.CreateSetupNT() || builder.BuildCancelled) return kStopped;
  }

  status("Getting files list to be copied to the floppy image ...");
  builder.FillInitialList();

  builder.ChooseOutput(job.Image288 ? FloppyOutput::Image288 : FloppyOutput::Image144);
  if (!job.Image.empty()) builder.TxtDest = job.Image;

  if (job.SelectDrivers) {
    builder.LoadDriverLists();
    status(builder.WaitStatus);  // the line the driver lists left
    if (job.ChooseDrivers) job.ChooseDrivers(builder.Drivers);
  }

  // Which DOS the floppy starts: the import's record tells FreeDOS from the
  // files of Windows 98.
  const std::string dos = DosKind(ResolvePath(JoinPath(builder.ProgramFolder(), "dos")));
  status(dos == "stand-ins" ? std::string("The floppy's DOS: the stand-ins (no real DOS imported)")
                            : "The floppy's DOS: " + dos);
  status("Creating the floppy image file ...");
  const bool made = builder.FinishApp(job.Plugin);
  return made && !builder.BuildCancelled && FileExists(builder.ImageFile()) ? FloppyJobEnd::Made : kStopped;
}

}  // namespace kiv
