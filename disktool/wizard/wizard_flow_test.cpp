// The wizard's page sequences, driven on the model.
#include "disktool/wizard/wizard_flow.h"

#include <gtest/gtest.h>

#include "common/setup_answer.h"
#include "testsupport/wizard_test_folder.h"

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
  EXPECT_FALSE(walk.w->form.FileList().empty());
  EXPECT_EQ(walk.BackToStart(), (Pages{4, 2, 1, 0}));
  EXPECT_FALSE(walk.w->form.CmdBack.Enabled);
  EXPECT_TRUE(walk.w->form.CmdNext.Visible);
  EXPECT_TRUE(walk.topics.empty());  // no help window open: no help shown
}

TEST(WizardFlow, CatalogueDiskWithSetupWin) {
  Walk walk;
  EXPECT_EQ(walk.NextToFinish(3), (Pages{0, 1, 2, 3, 5}));
  for (const Message& m : walk.w->prompter.messages) ADD_FAILURE() << m.title << ": " << m.text;
  EXPECT_TRUE(walk.w->builder.Disk().needSetupWin);
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

// A catalogue entry whose image file leaves the program folder ends the run
// at Next on the disk page, before the disk definition copies anything.
TEST(WizardFlow, CatalogueImageFileOutsideTheProgramFolderCancels) {
  Walk walk;
  std::string catalogue = walk.pf.Read("files/disklist.ini");
  catalogue.replace(catalogue.find("file=plain.img"), 14, "file=../../plain.img");
  walk.pf.Write("files/disklist.ini", catalogue);
  walk.flow->CmdNext_Click();
  walk.Choose(2);
  walk.flow->CmdNext_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 6);
  EXPECT_EQ(walk.w->form.LblFinish, "Operation canceled");
  ASSERT_EQ(walk.w->prompter.messages.size(), 1u);
  EXPECT_EQ(walk.w->prompter.messages[0].title, "Invalid Disk Catalogue");
  EXPECT_NE(walk.w->prompter.messages[0].text.find("\"../../plain.img\" of the entry [1] (plain)"), std::string::npos);
  EXPECT_FALSE(walk.pf.Exists("cabs/IO.SYS"));
  walk.flow->CmdFinish_Click();
  EXPECT_EQ(walk.ends, 1);
  EXPECT_TRUE(walk.w->tools.commands_ran.empty());
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
  walk.helpOpen = true;
  walk.w->prompter.answers = {Answer::Yes};  // the choices may go
  walk.flow->CmdCancel_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 6);
  ASSERT_FALSE(walk.topics.empty());
  EXPECT_EQ(walk.topics.back(), 1370);  // the open help follows to the finish page
  EXPECT_EQ(walk.w->form.LblFinish, "Operation canceled");
  EXPECT_FALSE(walk.pf.Exists("cabs"));
  // Only Finish leaves the finish page.
  EXPECT_FALSE(walk.w->form.CmdNext.Visible);
  EXPECT_TRUE(walk.w->form.CmdFinish.Visible);
  EXPECT_TRUE(walk.w->form.CmdFinish.Enabled);
  EXPECT_FALSE(walk.w->form.CmdBack.Enabled);
  EXPECT_FALSE(walk.w->form.CmdCancel.Enabled);
  walk.flow->CmdFinish_Click();  // Finish after Cancel ends, builds nothing
  EXPECT_EQ(walk.ends, 1);
  EXPECT_FALSE(walk.pf.Exists("BootDisk.img"));

  Walk closing;
  closing.NextToFinish(1);
  EXPECT_TRUE(closing.pf.Exists("Drivers.ini"));
  closing.w->prompter.answers = {Answer::Yes};
  EXPECT_TRUE(closing.flow->Form_Unload());
  EXPECT_EQ(closing.w->form.LblFinish, "Operation canceled");
  EXPECT_FALSE(closing.pf.Exists("Drivers.ini"));
  EXPECT_FALSE(closing.pf.Exists("cabs"));
  EXPECT_EQ(closing.ends, 1);
}

// A progress sink whose event pump delivers a click, once: the second click of
// a quick double-click, arriving while the first one is still at work.
class ClickingSink : public MemoryProgressSink {
 public:
  std::function<void()> click;
  bool clicked = false;
  void PumpEvents() override {
    MemoryProgressSink::PumpEvents();
    if (!click) return;
    const std::function<void()> c = std::move(click);
    click = nullptr;
    clicked = true;
    c();
  }
};

struct ClickWalk {
  ProgramFolder pf;
  test::HookPrompter prompter;
  ClickingSink sink;
  testing::FakeLauncher tools;
  FakePlatform platform;
  FrmWizard form{pf.root, prompter, sink, {tools, platform}};
  WizardFlow flow{form};
  ClickWalk() {
    testing::AddFakeDiskTools(tools);
    test::SeedWizardDisks(pf);
    form.InitApp();
    flow.Form_Load();
  }
  void ToDiskPage(int row) {
    flow.CmdNext_Click();
    for (auto& r : form.LV_Disk) r.Selected = false;
    form.LV_Disk[row - 1].Selected = true;
  }
};

TEST(WizardFlow, ClicksWhileNextIsAtWorkAreIgnored) {
  // The plain disk has no SetupWin: leaving page 1 must land on page 2, and a
  // further Next on page 5 - the setup page is never shown.
  ClickWalk walk;
  walk.ToDiskPage(2);
  bool atWorkSeen = false;
  walk.sink.click = [&] {
    atWorkSeen = walk.flow.NextAtWork();
    walk.flow.CmdNext_Click();
  };
  walk.flow.CmdNext_Click();
  ASSERT_TRUE(walk.sink.clicked) << "Next's work pumped no events";
  EXPECT_TRUE(atWorkSeen);
  EXPECT_FALSE(walk.flow.NextAtWork());
  EXPECT_EQ(walk.form.CurrentPage, 2);
  // Once the work is done, Next works again.
  walk.flow.CmdNext_Click();
  EXPECT_EQ(walk.form.CurrentPage, 5);

  // Back and Finish clicked meanwhile are ignored too.
  ClickWalk back;
  back.ToDiskPage(2);
  back.sink.click = [&] {
    back.flow.CmdBack_Click();
    back.flow.CmdFinish_Click();
  };
  back.flow.CmdNext_Click();
  ASSERT_TRUE(back.sink.clicked);
  EXPECT_EQ(back.form.CurrentPage, 2);
  EXPECT_TRUE(back.form.CmdBack.Enabled);
  EXPECT_FALSE(back.pf.Exists("plain.img"));

  // Cancel stays live; the page it shows is not overwritten by Next's end,
  // and a close asked while Next works waits for it.
  ClickWalk cancel;
  cancel.ToDiskPage(2);
  bool closeRefused = false;
  cancel.sink.click = [&] {
    closeRefused = !cancel.flow.Form_Unload();
    cancel.prompter.answers = {Answer::Yes};
    cancel.flow.CmdCancel_Click();
  };
  cancel.flow.CmdNext_Click();
  ASSERT_TRUE(cancel.sink.clicked);
  EXPECT_TRUE(closeRefused);
  EXPECT_EQ(cancel.form.CurrentPage, 6);
  EXPECT_EQ(cancel.form.LblFinish, "Operation canceled");
  EXPECT_FALSE(cancel.pf.Exists("Drivers.ini"));
}

TEST(WizardFlow, EmptySetupAnswersShowThePageDefaults) {
  auto setupPage = [](Walk& walk) {
    walk.flow->CmdNext_Click();
    walk.Choose(3);
    walk.flow->CmdNext_Click();
    walk.flow->CmdNext_Click();
    ASSERT_EQ(walk.w->form.CurrentPage, 3);
  };
  auto expectDefaults = [](const FrmWizard& f) {
    EXPECT_EQ(f.Request.answers.OwnerName, "kivUser");
    EXPECT_EQ(f.Request.answers.Organization, "VANTO LTD.");
    EXPECT_EQ(f.Request.answers.ComputerName, "kivPC");
    EXPECT_EQ(f.Request.answers.Workgroup, "VANTO_LTD");
    EXPECT_EQ(f.Request.answers.OptimizedFor, "Microsoft Windows 98");
  };

  // No keyfile.txt, and no registry to read here.
  Walk none;
  none.pf.Write("files/inf_files/winme_template.inf", "; me\r\n[Setup]\r\n");
  setupPage(none);
  expectDefaults(none.w->form);
  none.flow->CmdNext_Click();
  EXPECT_EQ(none.pf.Read("files/setupwin/bin/os.bat"), "@set OSVersion= Microsoft Windows 98\r\n");
  EXPECT_EQ(none.pf.Read("files/setupwin/bin/def.inf").find("; me"), std::string::npos);  // the 98 template
  EXPECT_NE(none.pf.Read("files/setupwin/bin/def.inf").find("Name=\"kivUser\"\r\n"), std::string::npos);

  // keyfile.txt as the CD builder leaves it after blank information dialogs:
  // every key there, every value empty - but for the owner's name.
  Walk blank;
  ASSERT_TRUE(WriteWin9xKeyFile(blank.pf.Path("keyfile2.txt"), Win9xInfo{}));
  ASSERT_TRUE(FillKeyFile(blank.pf.root, true, true));
  ASSERT_TRUE(blank.pf.Exists("keyfile.txt"));
  setupPage(blank);
  expectDefaults(blank.w->form);

  Walk owner;
  Win9xInfo typed;
  typed.OwnerName = "Ann Owner";
  ASSERT_TRUE(WriteWin9xKeyFile(owner.pf.Path("keyfile2.txt"), typed));
  ASSERT_TRUE(FillKeyFile(owner.pf.root, true, false));
  setupPage(owner);
  EXPECT_EQ(owner.w->form.Request.answers.OwnerName, "Ann Owner");
  EXPECT_EQ(owner.w->form.Request.answers.ComputerName, "kivPC");
  EXPECT_EQ(owner.w->form.Request.answers.OptimizedFor, "Microsoft Windows 98");
}

TEST(WizardFlow, TheBuildClosesTheDriverWindowAndLeavesNoDriversIni) {
  Walk walk;
  walk.flow->CmdNext_Click();
  walk.Choose(1);
  walk.flow->CmdNext_Click();
  ASSERT_EQ(walk.w->form.CurrentPage, 2);
  walk.w->form.CmdSelNDIS_Click();  // the modeless window, left open
  ASSERT_TRUE(walk.w->form.Drivers.Visible);
  while (walk.w->form.CmdNext.Visible) walk.flow->CmdNext_Click();
  walk.flow->CmdFinish_Click();
  EXPECT_EQ(walk.w->form.LblFinish, "Operation completed successfully");
  EXPECT_FALSE(walk.w->form.Drivers.Visible);
  EXPECT_FALSE(walk.pf.Exists("Drivers.ini"));
  walk.w->form.Drivers.CmdOK_Click();  // OK on the window as it was left
  EXPECT_FALSE(walk.pf.Exists("Drivers.ini"));
  walk.flow->CmdFinish_Click();
  EXPECT_EQ(walk.ends, 1);
  EXPECT_FALSE(walk.pf.Exists("Drivers.ini"));

  // Cancelled instead: the same.
  Walk cancel;
  cancel.NextToFinish(1);
  cancel.w->form.CmdSelASPI_Click();
  cancel.w->prompter.answers = {Answer::Yes};
  cancel.flow->CmdCancel_Click();
  EXPECT_FALSE(cancel.w->form.Drivers.Visible);
  cancel.w->form.Drivers.CmdOK_Click();
  EXPECT_FALSE(cancel.pf.Exists("Drivers.ini"));
}

// A file at the image's place that is not an earlier image is replaced only
// when the user says so, as batch mode asks; No keeps the output page.
TEST(WizardFlow, FinishAsksBeforeAnImageReplacesAnotherFile) {
  Walk walk;
  walk.NextToFinish(2);
  ASSERT_TRUE(walk.w->form.CmdFinish.Visible);
  walk.w->form.Request.output = FloppyOutput::Image144;
  TestTempDir documents;
  const std::string letter = documents / "precious.doc";
  testing::WriteText(letter, "a letter");
  walk.w->form.Request.image = letter;
  const int page = walk.w->form.CurrentPage;
  walk.w->prompter.answers = {Answer::No};
  walk.flow->CmdFinish_Click();
  ASSERT_EQ(walk.w->prompter.messages.size(), 1u);
  EXPECT_EQ(walk.w->prompter.messages[0].title, "Replace Existing File");
  EXPECT_NE(walk.w->prompter.messages[0].text.find("already exists and is not a 1.44 MB floppy image"),
            std::string::npos)
      << walk.w->prompter.messages[0].text;
  EXPECT_EQ(walk.w->form.CurrentPage, page) << "the output page stays";
  EXPECT_EQ(testing::ReadText(letter), "a letter");
  EXPECT_TRUE(walk.w->form.CmdBack.Enabled);

  walk.w->prompter.answers = {Answer::Yes};
  walk.flow->CmdFinish_Click();
  EXPECT_EQ(walk.w->form.LblFinish, "Operation completed successfully");
  EXPECT_EQ(testing::ReadText(letter).size(), 1474560u);
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

// Cancel (and closing the window) past the welcome page drops what the pages
// chose: it asks first, as the CD builder's wizard does. No stays where it
// was with everything kept; Yes cancels as before.
TEST(WizardFlow, CancelAsksBeforeDroppingTheChoices) {
  Walk walk;
  walk.NextToFinish(2);
  ASSERT_EQ(walk.w->form.CurrentPage, 5);
  walk.w->form.Request.image = walk.pf.Path("mine.img");
  walk.w->prompter.answers = {Answer::No};
  walk.flow->CmdCancel_Click();
  ASSERT_EQ(walk.w->prompter.messages.size(), 1u);
  const Message& question = walk.w->prompter.messages[0];
  EXPECT_EQ(question.buttons, Buttons::YesNo);
  EXPECT_EQ(CautiousAnswer(question), Answer::No);
  EXPECT_NE(question.text.find("Plain disk"), std::string::npos) << question.text;
  EXPECT_EQ(walk.w->form.CurrentPage, 5);
  EXPECT_FALSE(walk.w->form.Cancelled());
  EXPECT_EQ(walk.w->form.Request.image, walk.pf.Path("mine.img"));
  EXPECT_TRUE(walk.pf.Exists("cabs"));

  walk.w->prompter.answers = {Answer::No};
  EXPECT_FALSE(walk.flow->Form_Unload());
  EXPECT_EQ(walk.ends, 0);
  EXPECT_TRUE(walk.pf.Exists("Drivers.ini"));

  walk.w->prompter.answers = {Answer::Yes};
  walk.flow->CmdCancel_Click();
  EXPECT_EQ(walk.w->form.CurrentPage, 6);
  EXPECT_EQ(walk.w->form.LblFinish, "Operation canceled");
  EXPECT_FALSE(walk.pf.Exists("cabs"));
  // The finish page has nothing left to lose: Finish and closing ask nothing.
  const size_t asked = walk.w->prompter.messages.size();
  EXPECT_TRUE(walk.flow->Form_Unload());
  EXPECT_EQ(walk.w->prompter.messages.size(), asked);

  // On the welcome page nothing has been chosen yet: no question.
  Walk welcome;
  welcome.flow->CmdCancel_Click();
  EXPECT_TRUE(welcome.w->prompter.messages.empty());
  EXPECT_EQ(welcome.w->form.CurrentPage, 6);
}

}  // namespace
}  // namespace kiv
