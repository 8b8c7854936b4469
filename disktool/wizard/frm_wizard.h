#pragma once
// The disk builder wizard's form: what its pages chose (the request the
// engine builds), what they show of the build (mirrored from the engine's
// status as it reports it), the disk list, the driver selection window and
// the drivers page's texts, and its four buttons. The Qt window mirrors it;
// WizardFlow moves between its pages and has the engine run the build's
// phases as the pages need them.
#include <functional>
#include <string>
#include <vector>

#include "common/build_context.h"
#include "disktool/engine/floppy_builder.h"
#include "disktool/wizard/frm_drivers.h"

namespace kiv {

// One of the wizard's four buttons, as the window shows it.
struct ButtonModel {
  bool Enabled = true;
  bool Visible = true;
  std::string Caption;
};

class FrmWizard {
 public:
  FrmWizard(std::string programFolder, Prompter& prompter, ProgressSink& progress, const BuildContext& context);
  explicit FrmWizard(const BuilderStart& start);
  FrmWizard(const FrmWizard&) = delete;
  FrmWizard& operator=(const FrmWizard&) = delete;

  FloppyBuilder& Builder() { return builder_; }
  const FloppyBuilder& Builder() const { return builder_; }
  const std::string& ProgramFolder() const { return builder_.ProgramFolder(); }
  Prompter& prompter() const { return builder_.prompter(); }
  const Platform& platform() const { return builder_.platform(); }

  // What the pages chose: the disk (page 1), its driver classes (2), the
  // Windows 98 answers (3), the files left off (4), the output and its
  // destination (5).
  FloppyRequest Request;

  int CurrentPage = 0;
  ButtonModel CmdBack{false, true, "< &Back"};
  ButtonModel CmdNext{true, true, "&Next >"};
  ButtonModel CmdFinish{true, false, "&Finish"};
  ButtonModel CmdCancel{true, true, "&Cancel"};

  std::vector<DiskRow> LV_Disk;  // page 1
  FrmDrivers Drivers;            // the driver selection window of page 2

  // What the pages show of the build.
  std::string LblStatus = "Press Next to load the disk configuration";  // page 1
  std::string LblMsg[4];                                                // page 7: the output's stages
  bool LblRight[4] = {false, false, false, false};                      // check mark shown
  int RunningStage = 0;  // 1..4 while a stage runs (shown set apart), else 0
  std::string LblFinish = "Operation completed successfully";
  // The image the build made, with its size; empty when it made none (a
  // floppy disk, a cancel). The finish page offers Open Folder beside it.
  std::string LblImage;
  // The build made its image or floppy (what the finish page's follow-ups
  // decide from; LblFinish is only its text).
  bool OutputMade = false;
  // A build has run or was cancelled: the next Finish ends the program.
  bool Cancelled() const { return builder_.End() != FloppyEnd::Open; }

  // Called whenever something the view shows changed: it repaints, then
  // events are pumped.
  std::function<void()> Changed;
  // Called once a build has stopped and its work files are gone: the wizard
  // moves to its finish page (help follows it).
  std::function<void()> BuildStopped;

  // The build prepared (work files seeded, the default image), before the
  // wizard shows.
  void InitApp();
  // Page 0's Next: the catalogue's rows, the first (custom) selected.
  void Fill_DiskList();
  // After the disk was read: its image is the destination, the classes it
  // offers are chosen, and the drivers page names the family it offers.
  void TakeDisk();
  std::string SelectedDiskName() const { return Request.disk; }
  // Page 4: the floppy's files, each marked as the user left it.
  std::vector<FileListEntry> FileList() const;
  void SelectFile(size_t index, bool selected);

  // The drivers page's two select buttons, the output page's three options
  // and the finish page's Open Folder.
  void CmdSelASPI_Click() { Drivers.ShowAspiList(); }
  void CmdSelNDIS_Click() { Drivers.ShowNetworkList(NetFamily); }
  void OptImage14_Click() { ChooseOutput(FloppyOutput::Image144); }
  void OptImage28_Click() { ChooseOutput(FloppyOutput::Image288); }
  void OptFloppy_Click() { ChooseOutput(FloppyOutput::Floppy); }
  void CmdOpenFolder_Click() { builder_.Output().OpenFolder(Request.image); }
  // The output the build makes, with the stage texts that name it.
  void ChooseOutput(FloppyOutput output);

  // The drivers page: the two classes' boxes and the note under the network
  // box, which names the modules the family offered last needs (empty until
  // a disk has offered one; a disk that offers none leaves them as they are).
  static constexpr const char* kAspiCaption = "SCSI Host adapters drivers (ASPI)";
  NetDriverFamily NetFamily = NetDriverFamily::NDIS;
  bool NetFamilyOffered = false;
  std::string NetCaption() const {
    return NetFamily == NetDriverFamily::ODI ? "Network adapters drivers (ODI16/32)"
                                             : "Network adapters drivers (NDIS)";
  }
  std::string LblNDISNote() const {
    if (!NetFamilyOffered) return "";
    return NetFamily == NetDriverFamily::ODI
               ? "You need the NWLAN module and it requirements to make use of the ODI16/32 drivers and load the "
                 "network interface."
               : "You only need the MSNET module and it requirements to make use of the NDIS drivers and load the "
                 "network interface.";
  }

 private:
  // The pages' view of the engine's events.
  class Mirror : public FloppyEvents {
   public:
    explicit Mirror(FrmWizard& form) : form_(form) {}
    void Progressed(const FloppyStatus& status) override { form_.Show(status); }
    void BuildStopped() override {
      if (form_.BuildStopped) form_.BuildStopped();
    }

   private:
    FrmWizard& form_;
  };
  void Show(const FloppyStatus& status);
  void ShowStageTitles();

  FloppyBuilder builder_;
  Mirror mirror_{*this};
  FloppyStep shownStep_ = FloppyStep::None;
  std::string shownSection_;
};

}  // namespace kiv
