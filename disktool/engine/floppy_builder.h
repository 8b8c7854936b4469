#pragma once
// The disk builder's engine: one floppy built from a request (floppy_request.h)
// in its fixed order of steps, its status (floppy_status.h) told to its events
// (floppy_events.h). It knows no window: the wizard and batch mode fill the
// request and show what the status says.
//
// The steps fall into four phases, which the wizard runs one by one as its
// pages need them (Prepare before it shows, Disk and Files as Next leaves the
// pages that choose them, Output at Finish) and batch mode all at once. A
// phase runs every step of it again when asked again: Next on a page the user
// came back to does that page's work anew, as it always did.
//
// The work itself is done by the parts, each knowing only the workspace
// (program folder, user, progress, programs, system): the catalogue, the
// floppy tree, the cabinet maker, the driver set, the setup modules and the
// image output. The builder reads the disk the request names, orders the
// steps, shows the stages and ends the build when a part fails.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/build_context.h"
#include "common/setup_answer.h"
#include "disktool/catalogue/disk_catalogue.h"
#include "disktool/drivers/cabinet_maker.h"
#include "disktool/drivers/driver_set.h"
#include "disktool/engine/floppy_events.h"
#include "disktool/engine/floppy_request.h"
#include "disktool/engine/floppy_status.h"
#include "disktool/floppy/floppy_tree.h"
#include "disktool/modules/setup_modules.h"
#include "disktool/output/image_output.h"
#include "disktool/workspace/floppy_workspace.h"

namespace kiv {

class Platform;
class Prompter;
class ProgressSink;

// What a builder is made from when the program starts: the program folder,
// the user and progress views, the outside world, and the Windows and system
// folders the platform names (none on POSIX; the DOS import reads them).
struct BuilderStart {
  const std::string& programFolder;
  Prompter& prompter;
  ProgressSink& progress;
  const BuildContext& context;
  std::string windowsDir;
  std::string systemDir;
};

// The phases of a build, in their order.
enum class FloppyPhase {
  Prepare,  // the work files seeded
  Disk,     // the disk found, its definition executed, its destination and driver classes taken
  Files,    // its setup modules made and its file list
  Output,   // the driver choice (-sel), then the image or the floppy
};

// The disk a build reads: what the pages after the disk page show of it.
struct FloppyDisk {
  std::string name;           // as the catalogue lists it
  int row = 0;                // its row of the disk list (1 is "custom"); 0 before a disk was read
  DriverClasses offered;      // the driver classes it offers (no class without its drivers)
  bool needSetupWin = false;  // its definition asks for the SetupWin module
  bool needSetupNT = false;   // ... and for the SetupNT module
  // Where its image goes unless the request names another: the catalogue
  // entry's file, or BootDisk.img in the program folder before a disk was read.
  std::string image;
};

class FloppyBuilder {
 public:
  // Every outside program of a build (cabarc, bfi, plugin preparation
  // programs) is started through the context's launcher, fixed for the
  // builder's life; its platform opens folders and holds the Windows 98
  // answers' registry; its environment names the floppy device and the date
  // of a reproducible build.
  FloppyBuilder(std::string programFolder, Prompter& prompter, ProgressSink& progress, const BuildContext& context);
  explicit FloppyBuilder(const BuilderStart& start);
  ~FloppyBuilder();
  FloppyBuilder(const FloppyBuilder&) = delete;
  FloppyBuilder& operator=(const FloppyBuilder&) = delete;

  // Who hears of the build from now on (nobody by default, or after
  // nullptr); answers who heard of it until now.
  FloppyEvents* SetEvents(FloppyEvents* events) {
    FloppyEvents* before = events_ == &none_ ? nullptr : events_;
    events_ = events ? events : &none_;
    return before;
  }

  // Runs the phases `first` to `last` of the build of `request`, in their
  // order; the phases before `first` are taken as they stand (from the first
  // phase, a new build begins). Returns where the build stands: Open (it
  // goes on at the next call), or its end, after which it runs no phase but
  // from the first again.
  FloppyEnd Build(const FloppyRequest& request, FloppyPhase first = FloppyPhase::Prepare,
                  FloppyPhase last = FloppyPhase::Output);
  // Ends the build as cancelled: the work files removed, "Operation
  // canceled", the events told.
  void CancelApp();
  FloppyEnd End() const { return status_.end; }

  const FloppyStatus& Status() const { return status_; }
  const FloppyDisk& Disk() const { return disk_; }
  // What the Windows-setup page shows from `source` (keyfile.txt, or this
  // system's registry): `shown` itself when the source cannot be read, or is
  // the request's own answers.
  Win9xInfo AnswersFor(AnswerSource source, const Win9xInfo& shown) const;
  // The image file the request's output goes to (absolute).
  std::string ImageFile(const FloppyRequest& request) const;
  // Removes Drivers.ini, cabs and Temp (each only if present).
  void RemoveWorkFiles();

  const std::string& ProgramFolder() const { return workspace_.ProgramFolder(); }
  Prompter& prompter() const { return workspace_.prompter(); }
  const Platform& platform() const { return workspace_.platform(); }
  // Another platform (a test's stand-in) from now on.
  void SetPlatform(const Platform& platform) { workspace_.SetPlatform(platform); }

  // The parts, which the pages ask (the catalogue's rows, the file list, the
  // output's checks) and tests drive one by one.
  const DiskCatalogue& Catalogue() const { return catalogue_; }
  FloppyTree& Tree() { return tree_; }
  const FloppyTree& Tree() const { return tree_; }
  CabinetMaker& Cabinets() { return cabinets_; }
  DriverSet& DriverFiles() { return drivers_; }
  SetupModules& Modules() { return modules_; }
  ImageOutput& Output() { return output_; }

 private:
  // The steps: false when one failed (its message shown), which ends the
  // build.
  bool InitApp();
  bool FindDisk(const FloppyRequest& request, const std::vector<DiskRow>& rows);
  bool RefuseCatalogueFile();
  bool DefaultImageAgreed(const FloppyRequest& request);
  bool Init_Lists();
  void GetDiskAndDriverSettings();
  bool FinishApp(const FloppyRequest& request);
  // The classes the request takes of those the disk offers.
  DriverClasses Chosen(const FloppyRequest& request) const;
  std::string DosLine() const;

  void Announce(FloppyStep step, const std::string& line);
  bool RunStage(int stage, const std::function<bool()>& work);
  void Changed();

  FloppyWorkspace workspace_;
  FloppyEvents none_;
  FloppyEvents* events_ = &none_;
  FloppyStatus status_;
  FloppyDisk disk_;
  DiskCatalogue catalogue_;
  CabinetMaker cabinets_;
  FloppyTree tree_;
  DriverSet drivers_;
  SetupModules modules_;
  ImageOutput output_;
};

}  // namespace kiv
