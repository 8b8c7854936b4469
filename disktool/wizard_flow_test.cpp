// The wizard's page sequences, driven on the model.
#include "disktool/wizard_flow.h"

#include <gtest/gtest.h>

#include "disktool/wizard_test_folder.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

struct Walk {
  ProgramFolder pf;
  std::unique_ptr<Wizard> w;
  std::unique_ptr<WizardFlow> flow;
  bool helpOpen = false;
  std::vector<int> topics;
  int ends = 0;

  Walk() {
    test::SeedWizardDisks(pf);
    w = std::make_unique<Wizard>(pf);
    w->form.InitApp();
    flow = std::make_unique<WizardFlow>(w->form);
    flow->HelpOpen = [this] { return helpOpen; };
    flow->ShowTopic = [this](int t) { topics.push_back(t); };
    flow->EndProgram = [this] { ++ends; };
    flow->Form_Load();
  }
  void Choose(int row) {
    for (auto& r : w->form.LV_Disk) r.Selected = false;
    w->form.LV_Disk[row - 1].Selected = true;
  }
  // Next until Finish shows, recording the pages seen.
  std::vector<int> NextToFinish(int row) {
    std::vector<int> pages{w->form.CurrentPage};
    flow->CmdNext_Click();
    pages.push_back(w->form.CurrentPage);
    Choose(row);
    while (w->form.CmdNext.Visible && pages.size() < 10) {
      flow->CmdNext_Click();
      pages.push_back(w->form.CurrentPage);
    }
    return pages;
  }
  std::vector<int> BackToStart() {
    std::vector<int> pages;
    while (w->form.CurrentPage > 0 && pages.size() < 10) {
      flow->CmdBack_Click();
      pages.push_back(w->form.CurrentPage);
    }
    return pages;
  }
};

using Pages = std::vector<int>;

TEST(WizardFlow, CustomWithoutSetupWinShowsTheFilePage) {
  Walk walk;
  EXPECT_EQ(walk.NextToFinish(1), (Pages{0, 1, 2, 4, 5}));
  EXPECT_TRUE(walk.w->form.CmdFinish.Visible);
  EXPECT_FALSE(walk.w->form.FileList.empty());
  EXPECT_EQ(walk.BackToStart(), (Pages{4, 2, 1, 0}));
  EXPECT_FALSE(walk.w->form.CmdBack.Enabled);
  EXPECT_TRUE(walk.w->form.CmdNext.Visible);
  EXPECT_TRUE(walk.topics.empty());  // no help window open: no help shown
}

TEST(WizardFlow, CatalogueDiskWithSetupWin) {
  Walk walk;
  EXPECT_EQ(walk.NextToFinish(3), (Pages{0, 1, 2, 3, 5}));
  for (const Message& m : walk.w->prompter.messages) ADD_FAILURE() << m.title << ": " << m.text;
  EXPECT_TRUE(walk.w->form.NeedSetupWin);
  EXPECT_TRUE(walk.pf.Exists("files/setupwin/bin/key.inf"));
  walk.flow->CmdBack_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 3);
  walk.flow->CmdBack_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 2);
}

TEST(WizardFlow, CatalogueDiskWithoutSetupWinAndHelpFollowing) {
  Walk walk;
  walk.flow->CmdHelp_Click();  // opens the topic of the current page
  EXPECT_EQ(walk.topics, (std::vector<int>{1310}));
  walk.helpOpen = true;
  EXPECT_EQ(walk.NextToFinish(2), (Pages{0, 1, 2, 5}));
  EXPECT_EQ(walk.topics, (std::vector<int>{1310, 1320, 1330, 1360}));
  walk.flow->CmdBack_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 2);
  EXPECT_EQ(walk.topics.back(), 1330);
}

TEST(WizardFlow, FinishBuildsOnceThenEnds) {
  Walk walk;
  walk.NextToFinish(2);
  walk.flow->CmdFinish_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 6);
  EXPECT_EQ(walk.w->form.LblFinish, "Operation completed successfully");
  EXPECT_TRUE(walk.pf.Exists("plain.img"));
  EXPECT_FALSE(walk.w->form.CmdCancel.Enabled);
  EXPECT_EQ(walk.ends, 0);
  walk.flow->CmdFinish_Click();
  EXPECT_EQ(walk.ends, 1);
}

TEST(WizardFlow, CancelAndClose) {
  Walk walk;
  walk.NextToFinish(1);
  walk.flow->CmdCancel_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 6);
  EXPECT_EQ(walk.w->form.LblFinish, "Operation canceled");
  EXPECT_FALSE(walk.pf.Exists("cabs"));
  walk.flow->CmdFinish_Click();  // Finish after Cancel ends, builds nothing
  EXPECT_EQ(walk.ends, 1);
  EXPECT_FALSE(walk.pf.Exists("BootDisk.img"));

  Walk closing;
  closing.NextToFinish(1);
  EXPECT_TRUE(closing.pf.Exists("Drivers.ini"));
  EXPECT_TRUE(closing.flow->Form_Unload());
  EXPECT_EQ(closing.w->form.LblFinish, "Operation canceled");
  EXPECT_FALSE(closing.pf.Exists("Drivers.ini"));
  EXPECT_FALSE(closing.pf.Exists("cabs"));
  EXPECT_EQ(closing.ends, 1);
}

}  // namespace
}  // namespace kiv
