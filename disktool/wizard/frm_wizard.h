#pragma once
// The disk builder wizard's form: the engine's build state and status texts,
// plus what only the wizard has, its pages and its four buttons. The Qt window
// mirrors it; WizardFlow moves between its pages.
#include "disktool/engine/floppy_builder.h"

namespace kiv {

class FrmWizard : public FloppyBuilder {
 public:
  using FloppyBuilder::FloppyBuilder;

  int CurrentPage = 0;
  ButtonModel CmdBack{false, true, "< &Back"};
  ButtonModel CmdNext{true, true, "&Next >"};
  ButtonModel CmdFinish{true, false, "&Finish"};
  ButtonModel CmdCancel{true, true, "&Cancel"};
};

}  // namespace kiv
