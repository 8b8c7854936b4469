#pragma once
// The disk builder wizard's form: the engine's build state and status texts,
// plus what only the wizard has, its pages and its four buttons, and the
// drivers page's texts as the engine's driver classes decide them. The Qt
// window mirrors it; WizardFlow moves between its pages.
#include <string>

#include "disktool/engine/floppy_builder.h"

namespace kiv {

// One of the wizard's four buttons, as the window shows it.
struct ButtonModel {
  bool Enabled = true;
  bool Visible = true;
  std::string Caption;
};

class FrmWizard : public FloppyBuilder {
 public:
  using FloppyBuilder::FloppyBuilder;

  int CurrentPage = 0;
  ButtonModel CmdBack{false, true, "< &Back"};
  ButtonModel CmdNext{true, true, "&Next >"};
  ButtonModel CmdFinish{true, false, "&Finish"};
  ButtonModel CmdCancel{true, true, "&Cancel"};

  // The drivers page's two select buttons, the output page's three options
  // and the finish page's Open Folder.
  void CmdSelASPI_Click() { ShowAspiList(); }
  void CmdSelNDIS_Click() { ShowNetworkList(); }
  void OptImage14_Click() { ChooseOutput(FloppyOutput::Image144); }
  void OptImage28_Click() { ChooseOutput(FloppyOutput::Image288); }
  void OptFloppy_Click() { ChooseOutput(FloppyOutput::Floppy); }
  void CmdOpenFolder_Click() { OpenImageFolder(); }

  // The drivers page: the two classes' boxes and the note under the
  // network box, which names the modules the family chosen last needs
  // (empty until a disk has offered one).
  static constexpr const char* kAspiCaption = "SCSI Host adapters drivers (ASPI)";
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
};

}  // namespace kiv
