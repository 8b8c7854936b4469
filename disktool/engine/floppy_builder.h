#pragma once
// The disk builder's engine: the state of one bootsmith build (the chosen
// disk, its drivers, answers and output, with the status texts a view shows)
// and every step of it. It knows no window: batch mode drives it directly,
// and the wizard's page model (wizard/frm_wizard.h) adds its pages on top.
// Every operation is a member named after the step it performs, so a
// behaviour leads to its code in one search.
//
// One build, as the batch run and the wizard drive it:
//   InitApp; Fill_DiskList; SelectedDisk = row; Init_Lists(name + ".ini");
//   GetDiskAndDriverSettings; [FillSetupDataFromKeyFile | FillSetupDataFromReg;
//   CreateSetupInf]; [CreateSetupNT]; FillInitialList; Opt*_Click; TxtDest;
//   [LoadDriverLists / CmdSel*_Click + Drivers.CmdOK_Click]; FinishApp(plugin).
// A step that fails has shown its message and called CancelApp, which sets
// BuildCancelled; FinishApp returns true only when the image or floppy was made.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/build_context.h"
#include "common/environment.h"
#include "common/process_runner.h"
#include "disktool/catalogue/disk_catalogue.h"
#include "disktool/drivers/frm_drivers.h"

namespace kiv {

class Platform;
class Prompter;
class ProgressSink;
class FloppyDrive;
struct Win9xInfo;

struct ButtonModel {
  bool Enabled = true;
  bool Visible = true;
  std::string Caption;
};

// One file of the floppy, relative to cabs\ and written with '\' (as the data
// files and the original list show it), with its selected flag.
struct FileListEntry {
  std::string Path;
  bool Selected = true;
};

enum class NetDriverFamily { NDIS, ODI };

// A driver class of the drivers page: SCSI host adapters (ASPI) or network
// adapters (NDIS or ODI). Offered: the disk loads it and the program folder
// holds its drivers; only an offered class can be chosen.
struct DriverClass {
  bool Offered = false;
  bool Chosen = false;
};

struct BuilderSession {
  int SelectedDisk = 1;  // 1-based row of LV_Disk; row 1 is "custom"
  bool NeedSetupWin = false;
  bool NeedSetupNT = false;
  bool Cancelled = false;  // a build has run or was cancelled
  std::string WorkDir;     // <program folder>/Temp/bootsmith<n>
  std::string WindowsDir;  // with trailing separator; "" on POSIX
  std::string SystemDir;

  std::vector<DiskRow> LV_Disk;
  std::string TxtDest;
  bool OptImage14 = true;
  bool OptImage28 = false;
  bool OptFloppy = false;
  DriverClass Aspi;
  DriverClass Net;
  NetDriverFamily NetFamily = NetDriverFamily::NDIS;
  bool NetFamilyOffered = false;        // a disk has offered a network family
  std::vector<FileListEntry> FileList;  // LstFiles
  std::deque<std::string> LstDirs;      // folders still to be listed
};

// The engine. Derives from the session so callers write builder.TxtDest as
// the wizard's form does.
class FloppyBuilder : public BuilderSession {
 public:
  // Every outside program of a build (cabarc, bfi, plugin preparation
  // programs) is started through the context's launcher, fixed for the
  // builder's life; its platform opens folders and holds the Windows 98
  // answers' registry; its environment is the builder's `environment`.
  FloppyBuilder(std::string programFolder, Prompter& prompter, ProgressSink& progress, const BuildContext& context);
  virtual ~FloppyBuilder();
  FloppyBuilder(const FloppyBuilder&) = delete;
  FloppyBuilder& operator=(const FloppyBuilder&) = delete;

  const std::string& ProgramFolder() const { return programFolder_; }
  Prompter& prompter() { return prompter_; }
  ProgressSink& progress() { return progress_; }
  ProcessLauncher& Launcher() { return launcher_; }

  // The variables the program was started with (the context's): the
  // floppy device (KIV_FLOPPY_DEVICE) and the fixed date of a reproducible
  // build (SOURCE_DATE_EPOCH).
  Environment environment;

  // Floppy mode writes to this drive; by default the device of
  // KIV_FLOPPY_DEVICE, else /dev/fd0.
  void SetFloppyDrive(std::unique_ptr<FloppyDrive> drive);
  FloppyDrive& Floppy();

  // ---- what a view shows of the build (status texts, driver choices) ----
  std::string LblStatus = "Press Next to load the disk configuration";  // page 1
  // Windows setup page (answer data of the SetupWin module); the defaults
  // also stand in for answers that come empty (ShowSetupData).
  static constexpr const char* kDefaultOSType = "Microsoft Windows 98";
  static constexpr const char* kDefaultOwner = "kivUser";
  static constexpr const char* kDefaultOrg = "VANTO LTD.";
  static constexpr const char* kDefaultPCName = "kivPC";
  static constexpr const char* kDefaultWorkgroup = "VANTO_LTD";
  std::string LblOSType = kDefaultOSType;
  std::string TxtKeyPart[5];
  std::string TxtOwner = kDefaultOwner;
  std::string TxtOrg = kDefaultOrg;
  std::string TxtPCName = kDefaultPCName;
  std::string TxtWorkgroup = kDefaultWorkgroup;
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

  // ---- floppy tree ----
  void InitApp();
  bool PrepareDosFiles();
  // How a copy meets a missing or uncopyable source: by asking (Abort, Retry,
  // Ignore), or silently as a success.
  struct CopyOptions {
    bool silent = false;
  };
  bool CopyFilesToFolder(const std::string& Source, std::string& Dest, CopyOptions options);
  void FillInitialList();
  bool CreateDiskAsDir();
  bool InjectFilesToDir(const std::string& DestDir);

  // ---- drivers ----
  void AddDriversToIni(const std::string& iniName, const std::string& kind, int value);
  void GetDefaultDriversOptions(const std::string& diskIni, const std::string& kind);
  bool PrepareDrivers();
  void CreatePrebuiltFiles();
  void CreateCacheFile(const std::string& baseName, const std::string& kind);
  // The driver list step of -sel: loads the lists the disk uses into Drivers.
  void LoadDriverLists();
  void CmdSelASPI_Click();
  void CmdSelNDIS_Click();

  // ---- cabinets and plugins ----
  bool MakeCab(std::string& Name, std::string& SourceFolder, std::string& CabFolder);
  void InjectPlugin(const std::string& PluginName);

  // ---- output ----
  // True when the image (or the floppy) was made.
  bool FinishApp(const std::string& Plugin);
  void CancelApp();
  void FloppyImageLabels(bool EnableImageLabels);
  bool CreateImageFromDir(const std::string& ImgFile);
  bool FormatFloppy();
  // True when there is a floppy drive at the drive's device; otherwise shows
  // the no-drive message and returns false.
  bool FloppyDriveThere();
  // True when the image may be written to TxtDest: nothing is there, an
  // earlier image of this size is, or the user agreed to replace what is
  // (asked as batch mode asks). False keeps the wizard on its output page.
  bool ImageTargetAgreed();
  void OptImage14_Click();
  void OptImage28_Click();
  void OptFloppy_Click();
  // The full path of the image TxtDest names (a relative one lies in the
  // program folder, where the image tool runs).
  std::string ImageFile() const;
  void CmdOpenFolder_Click();
  // Another platform (a test's stand-in) from now on.
  void SetPlatform(const Platform& platform) { platform_ = &platform; }
  // The system's services this build uses, its clock and random bytes too.
  const Platform& platform() const { return *platform_; }

  // ---- setup modules and answer data ----
  void FillSetupDataFromKeyFile();
  void FillSetupDataFromReg();
  // Puts answer data on the Windows-setup page, each empty answer replaced by
  // the page's default.
  void ShowSetupData(const Win9xInfo& info);
  bool CreateSetupInf();
  bool ProcessSetupInfFile(const std::string& relativeFile, int mode);
  bool CreateSetupNT();

  // Native full path of a program-folder-relative data path ("files\x" ->
  // <program folder>/files/x), existing components found in any letter case.
  std::string Resolve(const std::string& relative) const;
  // The program folder path of an outside tool ("cabarc", "bfi").
  std::string ToolPath(const std::string& tool) const;
  // Removes Drivers.ini, cabs and Temp (each only if present).
  void RemoveWorkFiles();

 private:
  void Notify();
  void SetStatus(const std::string& text);
  bool RunStage(int stage, const std::function<bool()>& step);
  bool RefuseOutside(const std::string& value, const std::string& root, const std::string& file, int line);
  void ListFolderIntoLists(const std::string& folder);
  void LoadNetworkDriverList();

  std::string programFolder_;
  Prompter& prompter_;
  ProgressSink& progress_;
  ProcessLauncher& launcher_;
  CabinetTool cabarc_;
  std::unique_ptr<FloppyDrive> floppy_;
  const Platform* platform_;
};

// The image tool's call (cabarc's are in cabinet_tool.h): the argv that runs
// (paths inside the program folder relative to it, native separators), and
// the Windows command-line text of the same call. Nothing here calls the
// latter: a Windows back end starts the tool with that one line (a Windows
// process takes a single command line), so it stays, tested against its text.
std::vector<std::string> BfiArgv(const std::string& bfi, const std::string& programFolder, const std::string& image,
                                 const std::string& tree, bool image144);
std::string BfiCommandLine(const std::string& programFolder, const std::string& image, const std::string& tree,
                           bool image144);

// Leading-number conversion of the data files: "12abc" -> 12, "" -> 0.
long LeadingNumber(const std::string& text);
// True when a data-file path stays inside the folder it is joined to: not
// absolute (no leading separator, no drive letter) and no ".." component.
bool StaysInside(const std::string& relative);
// Counts the entries of one section (see disk_definition.cpp).
int CountSectionEntries(const std::string& FileName, const std::string& Section, bool UseSuffix,
                        const std::string& Suffix);
// Lines of a text file, line ends (LF or CR LF) removed; false if unreadable.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);

}  // namespace kiv
