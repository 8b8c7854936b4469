// Next, Back, Finish, Cancel and close of the disk builder wizard.
#include "disktool/wizard/wizard_flow.h"

#include <algorithm>

#include "common/prompter.h"
#include "disktool/wizard/frm_wizard.h"

namespace kiv {

WizardFlow::WizardFlow(FrmWizard& form) : form_(form) {
  ShowTopic = [this](int topic) { form_.prompter().ShowHelpTopic(topic); };
  previousBuildStopped_ = form_.BuildStopped;
  form_.BuildStopped = [this] {
    if (previousBuildStopped_) previousBuildStopped_();
    ShowStoppedPage();
  };
}

WizardFlow::~WizardFlow() { form_.BuildStopped = previousBuildStopped_; }

void WizardFlow::ShowStoppedPage() {
  form_.CmdNext.Visible = false;
  form_.CmdFinish.Visible = true;
  form_.CmdFinish.Enabled = true;
  form_.CmdBack.Enabled = false;
  form_.CmdCancel.Enabled = false;
  form_.CurrentPage = 6;
  if (form_.Changed) form_.Changed();
  ShowHelp(6, false);
}

void WizardFlow::Form_Load() {
  form_.CurrentPage = 0;
  if (form_.Changed) form_.Changed();
}

void WizardFlow::ShowHelp(int intStep, bool ForceShow) {
  if (!ForceShow && !(HelpOpen && HelpOpen())) return;
  const int step = intStep == 255 ? form_.CurrentPage : intStep;
  if (ShowTopic) ShowTopic(kFirstHelpTopic + 10 * step);
}

const ButtonModel* WizardFlow::DefaultButton() const {
  if (building_ || form_.CurrentPage == 7) return nullptr;
  if (form_.CmdFinish.Visible && form_.CmdFinish.Enabled) return &form_.CmdFinish;
  if (form_.CmdNext.Visible && form_.CmdNext.Enabled) return &form_.CmdNext;
  return nullptr;
}

namespace {

// Marks Next as at work for the length of one click, whichever way it ends.
class BusyWhile {
 public:
  explicit BusyWhile(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyWhile() { flag_ = false; }
  BusyWhile(const BusyWhile&) = delete;
  BusyWhile& operator=(const BusyWhile&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void WizardFlow::CmdNext_Click() {
  // Next's work pumps events (copies, cabarc runs, repaints), so a second
  // click can arrive before the first one is done; it would run the next
  // page's work on a half-made state and skip a page. It is ignored.
  if (building_ || nextAtWork_ || form_.Cancelled()) return;
  {
    const BusyWhile atWork(nextAtWork_);
    NextWork();
  }
  // A step of the work cancelled the run (or Cancel was clicked meanwhile).
  if (form_.Cancelled()) form_.Drivers.Close();
}

void WizardFlow::NextWork() {
  const int p = form_.CurrentPage;
  if (p == 0) {
    form_.CmdBack.Enabled = true;
    form_.Fill_DiskList();
  } else if (p == 1) {
    FloppyRequest& request = form_.Request;
    for (size_t i = 0; i < form_.LV_Disk.size(); ++i) {
      if (!form_.LV_Disk[i].Selected) continue;
      request.diskRow = static_cast<int>(i) + 1;
      request.disk = form_.LV_Disk[i].Name;
    }
    // The disk read: its definition executed (a catalogue entry whose image
    // would be written outside the program folder ends the run before it
    // copies anything), its destination and driver classes taken.
    if (form_.Builder().Build(request, FloppyPhase::Disk, FloppyPhase::Disk) != FloppyEnd::Open) return;
    form_.TakeDisk();
    form_.LblStatus = "Press Next to re-populate the files list";
  } else if (p == 2) {
    if (form_.Builder().Disk().needSetupWin) {
      // The setup page shows the answers of keyfile.txt or of the system,
      // and the module is made from what it shows then.
      form_.Request.answers = form_.Builder().AnswersFor(AnswerSource::KeyFileOrSystem, form_.Request.answers);
      form_.Request.answerSource = AnswerSource::Given;
      if (form_.Changed) form_.Changed();
    } else {
      form_.CurrentPage = 3;  // the setup page is skipped; its work runs now
    }
  }
  if (form_.CurrentPage == 3) {
    // The setup modules and the file list, which starts with every file on.
    if (form_.Builder().Build(form_.Request, FloppyPhase::Files, FloppyPhase::Files) != FloppyEnd::Open) return;
    form_.Request.leftOut.clear();
    if (form_.Request.diskRow != 1) form_.CurrentPage += 1;  // the file page is for custom only
  }
  // Cancel clicked while the work ran: the finish page is shown already.
  if (form_.Cancelled()) return;
  if (form_.CurrentPage == 4) {
    form_.CmdNext.Visible = false;
    form_.CmdFinish.Visible = true;
  }
  form_.CurrentPage = std::min(form_.CurrentPage + 1, 5);
  if (form_.Changed) form_.Changed();
  ShowHelp(255, false);
}

void WizardFlow::CmdBack_Click() {
  if (building_ || nextAtWork_ || form_.Cancelled()) return;
  if (form_.CurrentPage == 5) {
    form_.CmdNext.Visible = true;
    form_.CmdFinish.Visible = false;
    if (form_.Request.diskRow != 1) form_.CurrentPage = 4;
  }
  if (form_.CurrentPage == 4 && !form_.Builder().Disk().needSetupWin) form_.CurrentPage = 3;
  if (form_.CurrentPage == 1) form_.CmdBack.Enabled = false;
  form_.CurrentPage = std::max(form_.CurrentPage - 1, 0);
  if (form_.Changed) form_.Changed();
  ShowHelp(255, false);
}

void WizardFlow::CmdFinish_Click() {
  // The window keeps handling events while the build runs; a second click
  // must not start a second build inside the first (nor inside Next's work).
  if (building_ || nextAtWork_) return;
  // Floppy output without a floppy drive: the message says to choose an
  // image instead, so the wizard stays on the output page, where the user
  // can, instead of building up to the format and ending "canceled".
  ImageOutput& output = form_.Builder().Output();
  if (!form_.Cancelled() && !IsImage(form_.Request.output) && !output.FloppyDriveThere()) return;
  // A file at the image's place that is not an earlier image is replaced
  // only when the user says so; otherwise the output page stays for another
  // name.
  if (!form_.Cancelled() && !output.ImageTargetAgreed(form_.Request.image, form_.Request.output)) return;
  form_.CmdBack.Enabled = false;
  form_.CmdCancel.Enabled = false;
  form_.CmdFinish.Enabled = true;
  if (form_.Cancelled()) {
    End();
    return;
  }
  // The build reads the driver selection now; the window showing it goes,
  // so no OK pressed later writes a Drivers.ini that nothing removes.
  form_.Drivers.Close();
  form_.CurrentPage = 7;
  if (form_.Changed) form_.Changed();
  ShowHelp(7, false);
  // The wizard never applies a plug-in.
  building_ = true;
  form_.Request.plugin.clear();
  form_.Builder().Build(form_.Request, FloppyPhase::Output, FloppyPhase::Output);
  building_ = false;
  form_.CurrentPage = 6;
  form_.CmdNext.Visible = false;
  form_.CmdFinish.Visible = true;
  if (form_.Changed) form_.Changed();
  ShowHelp(6, false);
}

bool WizardFlow::DropChoicesAgreed() {
  // Nothing chosen yet (the welcome page), or nothing left to lose (the
  // finish page after a build or a cancel).
  if (form_.CurrentPage == 0 || form_.Cancelled()) return true;
  const std::string disk = form_.CurrentPage > 1 && form_.Request.diskRow >= 1 &&
                                   form_.Request.diskRow <= static_cast<int>(form_.LV_Disk.size())
                               ? " for \"" + form_.LV_Disk[form_.Request.diskRow - 1].Text + "\""
                               : "";
  return form_.prompter().MsgBox(Message{"Cancel the disk? What the pages chose" + disk +
                                             " is dropped and no disk is made.\r\n\r\nNo stays in the wizard.",
                                         "Cancel", Icon::Question, Buttons::YesNo,
                                         kFirstHelpTopic + 10 * form_.CurrentPage, Answer::No}) == Answer::Yes;
}

void WizardFlow::CmdCancel_Click() {
  if (building_) return;
  if (!DropChoicesAgreed()) return;
  form_.Builder().CancelApp();
  form_.Drivers.Close();
}

bool WizardFlow::Form_Unload() {
  if (building_ || nextAtWork_) return false;
  if (!DropChoicesAgreed()) return false;
  form_.LblFinish = "Operation canceled";
  End();
  return true;
}

void WizardFlow::End() {
  if (ended_) return;
  ended_ = true;
  // Whatever happened before, the program leaves no work files behind.
  form_.Drivers.Close();
  form_.Builder().RemoveWorkFiles();
  if (EndProgram) EndProgram();
}

}  // namespace kiv
