#pragma once
// The wizard's navigation over the FrmWizard model: what Next, Back, Finish,
// Cancel, closing the window and Help do, with every page skip. The Qt window
// only mirrors the model and forwards its clicks here; tests drive it
// directly.
#include <functional>
#include <string>

namespace kiv {

class FrmWizard;
struct ButtonModel;

inline constexpr int kFirstHelpTopic = 1310;  // page p: 1310 + 10 * p
// The title of the disk builder's help window (and of its contents page).
inline constexpr const char* kDiskHelpTitle = "The Kiv Disk Builder Help";

class WizardFlow {
 public:
  explicit WizardFlow(FrmWizard& form);
  ~WizardFlow();  // gives the form back its own stop hook
  WizardFlow(const WizardFlow&) = delete;
  WizardFlow& operator=(const WizardFlow&) = delete;

  // True while the help window is open on a page's topic (page changes then
  // move it along; one a message box opened stays on the box's topic).
  std::function<bool()> HelpOpen;
  // Shows a help topic; by default through the form's prompter.
  std::function<void(int topic)> ShowTopic;
  // Called once when the program has to end (Finish after the build, close).
  std::function<void()> EndProgram;

  void Form_Load();
  void CmdNext_Click();
  void CmdBack_Click();
  void CmdFinish_Click();
  // Cancel drops what the pages chose: past the welcome page it asks first
  // (No stays), then ends the run on the finish page.
  void CmdCancel_Click();
  // The window is being closed. False while a build (or Next's work) runs,
  // the window staying open until that work has come to its end, and when
  // the user chose to stay (asked as Cancel asks).
  bool Form_Unload();
  void CmdHelp_Click() { ShowHelp(255, true); }
  // Topic 1310 + 10 x step (255: the current page); without ForceShow only
  // while the help window is open.
  void ShowHelp(int intStep, bool ForceShow);

  // The button Enter presses when no other button has the focus: Finish
  // where it is the way on, else Next; none while the build runs.
  const ButtonModel* DefaultButton() const;

  bool Building() const { return building_; }
  // True while a click of Next is at work; Next, Back and Finish clicks that
  // arrive meanwhile are ignored.
  bool NextAtWork() const { return nextAtWork_; }
  bool Ended() const { return ended_; }

 private:
  void NextWork();
  // Past the welcome page and before the build has ended: the user's word
  // that the choices may go.
  bool DropChoicesAgreed();
  // A build that stopped (a failed step, Cancel) ends on the finish page,
  // which only Finish leaves.
  void ShowStoppedPage();
  void End();
  FrmWizard& form_;
  std::function<void()> previousBuildStopped_;
  bool building_ = false;
  bool nextAtWork_ = false;
  bool ended_ = false;
};

}  // namespace kiv
