#pragma once
// The disk builder's engine: the state of one bootsmith build (the chosen
// disk, its drivers, answers and output, with the status texts a view shows)
// and the order of its steps. It knows no window: batch mode drives it
// through a FloppyJob, and the wizard's page model (wizard/frm_wizard.h)
// adds its pages and their handlers on top.
//
// One build, as the batch run and the wizard drive it:
//   InitApp; Fill_DiskList; SelectedDisk = row; Init_Lists(name + ".ini");
//   GetDiskAndDriverSettings; [FillSetupDataFromKeyFile | FillSetupDataFromReg;
//   CreateSetupInf]; [CreateSetupNT]; FillInitialList; ChooseOutput; TxtDest;
//   [LoadDriverLists + Drivers.CmdOK_Click]; FinishApp(plugin).
// A step that fails has shown its message and called CancelApp, which sets
// BuildCancelled; FinishApp returns true only when the image or floppy was made.
//
// The work itself is done by one part per concept, each knowing only the
// workspace (program folder, user, progress, programs, system) and its own
// piece of the session: the floppy tree (floppy/floppy_tree.h), the driver
// set (drivers/driver_set.h), the setup modules (modules/setup_modules.h) and
// the image output (output/image_output.h). The builder reads the catalogue
// and the disk definitions, orders the steps, shows the stages and ends the
// build when a part fails.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/build_context.h"
#include "common/environment.h"
#include "common/process_runner.h"
#include "disktool/catalogue/disk_catalogue.h"
#include "disktool/drivers/cabinet_maker.h"
#include "disktool/drivers/driver_set.h"
#include "disktool/drivers/frm_drivers.h"
#include "disktool/floppy/floppy_tree.h"
#include "disktool/modules/setup_modules.h"
#include "disktool/output/image_output.h"
#include "disktool/workspace/floppy_workspace.h"

namespace kiv {

class Platform;
class Prompter;
class ProgressSink;
class FloppyDrive;
struct Win9xInfo;

// The plain values of one build. The parts' own pieces are bases, so the
// page model and batch mode name each value as the pages do (TxtDest,
// FileList, Aspi, TxtOwner).
struct BuilderSession : OutputChoice, DriverChoice, FloppyFiles, SetupAnswers {
  int SelectedDisk = 1;  // 1-based row of LV_Disk; row 1 is "custom"
  bool NeedSetupWin = false;
  bool NeedSetupNT = false;
  bool Cancelled = false;  // a build has run or was cancelled
  std::string WindowsDir;  // with trailing separator; "" on POSIX
  std::string SystemDir;
  std::vector<DiskRow> LV_Disk;
};

// What a builder is made from when the program starts: the program folder,
// the user and progress views, the outside world, and the Windows and system
// folders the platform names (none on POSIX).
struct BuilderStart {
  const std::string& programFolder;
  Prompter& prompter;
  ProgressSink& progress;
  const BuildContext& context;
  std::string windowsDir;
  std::string systemDir;
};

// The engine. Derives from the session so callers write builder.TxtDest as
// the wizard's form does.
class FloppyBuilder : public BuilderSession {
 public:
  // Every outside program of a build (cabarc, bfi, plugin preparation
  // programs) is started through the context's launcher, fixed for the
  // builder's life; its platform opens folders and holds the Windows 98
  // answers' registry; its environment names the floppy device and the date
  // of a reproducible build.
  FloppyBuilder(std::string programFolder, Prompter& prompter, ProgressSink& progress, const BuildContext& context);
  explicit FloppyBuilder(const BuilderStart& start);
  virtual ~FloppyBuilder();
  FloppyBuilder(const FloppyBuilder&) = delete;
  FloppyBuilder& operator=(const FloppyBuilder&) = delete;

  const std::string& ProgramFolder() const { return workspace_.ProgramFolder(); }
  Prompter& prompter() { return workspace_.prompter(); }
  ProgressSink& progress() { return workspace_.progress(); }
  ProcessLauncher& Launcher() { return workspace_.launcher(); }
  // Another platform (a test's stand-in) from now on.
  void SetPlatform(const Platform& platform) { workspace_.SetPlatform(platform); }
  const Platform& platform() const { return workspace_.platform(); }

  // Floppy mode writes to this drive; by default the device of
  // KIV_FLOPPY_DEVICE, else /dev/fd0.
  void SetFloppyDrive(std::unique_ptr<FloppyDrive> drive);
  FloppyDrive& Floppy() { return output_.Floppy(); }

  // ---- what a view shows of the build (status texts, stages) ----
  std::string LblStatus = "Press Next to load the disk configuration";  // page 1
  // Progress and finish pages.
  std::string LblMsg[4] = {"Preparing selected Drivers", "Preparing pre-built drivers cache",
                           "Preparing new floppy image", "Copying files to floppy image"};
  bool LblRight[4] = {false, false, false, false};  // check mark shown
  int RunningStage = 0;                             // 1..4 while a stage runs (shown set apart), else 0
  std::string LblFinish = "Operation completed successfully";
  // The last FinishApp made its image or floppy (what the finish page's
  // follow-ups decide from; LblFinish is only its text).
  bool OutputMade = false;
  // The image the last FinishApp made, with its size; empty when it made
  // none (a floppy disk, a cancel). The finish page offers Open Folder, which
  // shows its folder, only beside it.
  std::string LblImage;
  // The "Please Wait" window of batch mode: its status line.
  std::string WaitStatus = "Copying Files ... Please wait, this should take only few seconds";
  // True once CancelApp ran during this build (Cancelled is also set by the
  // wizard's Finish after a good build).
  bool BuildCancelled = false;
  // Called whenever the model changed in a way a view shows at once (status
  // texts, stage marks, page): the view repaints, then events are pumped.
  std::function<void()> Changed;
  // Called by CancelApp once the build has stopped and its work files are
  // gone: the wizard moves to its finish page (help follows it).
  std::function<void()> BuildStopped;

  FrmDrivers Drivers;       // the driver selection window's model
  DiskCatalogue Catalogue;  // files\disklist.ini

  // ---- catalogue and definitions ----
  void Fill_DiskList();
  // The selected entry's image file ("file=") must lead into the program
  // folder, as a disk definition's paths must: the batch run writes the image
  // there unasked. True when it does not (the message names the catalogue, the
  // entry and the value, and the build is cancelled). Checked before the
  // build's first step writes anything, and again where the value is used.
  bool RefuseCatalogueFile();
  // The selected entry's destination and driver classes; the build is
  // cancelled when its image file leads out of the program folder.
  void GetDiskAndDriverSettings();
  // Executes files/<InitFile>; false when the build was cancelled.
  bool Init_Lists(const std::string& InitFile);
  // Row name of SelectedDisk ("" when out of range).
  std::string SelectedDiskName() const;

  // ---- the steps, each ending the build (CancelApp) where its part fails ----
  // Drivers.ini seeded, the default image, files\dos and cabs staged.
  void InitApp();
  bool CopyFilesToFolder(const std::string& Source, std::string& Dest, FloppyTree::CopyOptions options) {
    return tree_.CopyFilesToFolder(Source, Dest, options);
  }
  void FillInitialList() { tree_.FillInitialList(); }
  bool CreateDiskAsDir();
  bool InjectFilesToDir(const std::string& DestDir);
  bool MakeCab(std::string& Name, std::string& SourceFolder, std::string& CabFolder) {
    return cabinets_.MakeCab(Name, SourceFolder, CabFolder);
  }
  void InjectPlugin(const std::string& PluginName) { tree_.InjectPlugin(PluginName); }

  bool PrepareDrivers();
  void CreatePrebuiltFiles() { drivers_.CreatePrebuiltFiles(FileList); }
  // The driver list step of -sel: loads the lists the disk uses into Drivers.
  void LoadDriverLists();
  // The selection window over the SCSI drivers, or the network family's.
  void ShowAspiList() { drivers_.ShowAspiList(); }
  void ShowNetworkList() { drivers_.ShowNetworkList(); }

  void FillSetupDataFromKeyFile() { modules_.FillSetupDataFromKeyFile(); }
  void FillSetupDataFromReg() { modules_.FillSetupDataFromReg(); }
  bool CreateSetupInf();
  bool CreateSetupNT();

  // True when the image (or the floppy) was made.
  bool FinishApp(const std::string& Plugin);
  void CancelApp();
  void FloppyImageLabels(bool EnableImageLabels);
  bool CreateImageFromDir(const std::string& ImgFile) { return output_.CreateImageFromDir(ImgFile, WorkDir); }
  bool FormatFloppy() { return output_.FormatFloppy(); }
  bool FloppyDriveThere() { return output_.FloppyDriveThere(); }
  bool ImageTargetAgreed() { return output_.ImageTargetAgreed(); }
  // The output the build makes (OptImage14, OptImage28, OptFloppy), with the
  // stage texts that name it.
  void ChooseOutput(FloppyOutput output);
  std::string ImageFile() const { return output_.ImageFile(); }
  // Shows the image's folder.
  void OpenImageFolder() { output_.OpenFolder(); }

  std::string Resolve(const std::string& relative) const { return workspace_.Resolve(relative); }
  // Removes Drivers.ini, cabs and Temp (each only if present).
  void RemoveWorkFiles();

 private:
  void Notify() { workspace_.Notify(); }
  // A part's step that failed (its message shown) ends the build here.
  bool EndUnless(bool done);
  void SetStatus(const std::string& text);
  bool RunStage(int stage, const std::function<bool()>& step);

  FloppyWorkspace workspace_;
  CabinetMaker cabinets_;
  FloppyTree tree_;
  DriverSet drivers_;
  SetupModules modules_;
  ImageOutput output_;
};

}  // namespace kiv
