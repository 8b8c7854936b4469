#include "common/prompter.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "common/file_ops.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_file_states.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

TEST(Prompter, CautiousAnswersAndNames) {
  Message m;
  EXPECT_EQ(CautiousAnswer(m), Answer::OK);
  m.buttons = Buttons::OKCancel;
  EXPECT_EQ(CautiousAnswer(m), Answer::Cancel);
  m.buttons = Buttons::AbortRetryIgnore;
  EXPECT_EQ(CautiousAnswer(m), Answer::Abort);
  m.buttons = Buttons::YesNoCancel;
  EXPECT_EQ(CautiousAnswer(m), Answer::Cancel);
  m.buttons = Buttons::YesNo;
  EXPECT_EQ(CautiousAnswer(m), Answer::No);
  m.buttons = Buttons::RetryCancel;
  EXPECT_EQ(CautiousAnswer(m), Answer::Cancel);
  // Leaving with unsaved edits: an unanswered question keeps the window open.
  m.buttons = Buttons::SaveDiscardStay;
  EXPECT_EQ(CautiousAnswer(m), Answer::Stay);
  m.nonInteractive = Answer::Retry;
  EXPECT_EQ(CautiousAnswer(m), Answer::Retry);
  EXPECT_STREQ(AnswerName(Answer::Ignore), "Ignore");
  EXPECT_STREQ(AnswerName(Answer::No), "No");
}

TEST(Prompter, ParseAnswerByNameOrInitial) {
  EXPECT_EQ(ParseAnswer("retry", Buttons::AbortRetryIgnore), Answer::Retry);
  EXPECT_EQ(ParseAnswer(" I ", Buttons::AbortRetryIgnore), Answer::Ignore);
  EXPECT_EQ(ParseAnswer("a", Buttons::AbortRetryIgnore), Answer::Abort);
  EXPECT_EQ(ParseAnswer("yes", Buttons::AbortRetryIgnore), std::nullopt);
  EXPECT_EQ(ParseAnswer("c", Buttons::YesNoCancel), Answer::Cancel);
  EXPECT_EQ(ParseAnswer("", Buttons::YesNo), std::nullopt);
  EXPECT_EQ(ParseAnswer("ok", Buttons::OKCancel), Answer::OK);
  // Save and Stay share their initial: only the whole word tells them apart.
  EXPECT_EQ(ParseAnswer("s", Buttons::SaveDiscardStay), std::nullopt);
  EXPECT_EQ(ParseAnswer("STAY", Buttons::SaveDiscardStay), Answer::Stay);
  EXPECT_EQ(ParseAnswer("save", Buttons::SaveDiscardStay), Answer::Save);
  EXPECT_EQ(ParseAnswer("d", Buttons::SaveDiscardStay), Answer::Discard);
  EXPECT_EQ(ParseAnswer("c", Buttons::SaveDiscardStay), std::nullopt);
}

TEST(ScriptedPrompter, AnswersFromItsQueuesThenCautiously) {
  ScriptedPrompter p;
  p.answers = {Answer::Retry};
  p.inputs = {std::string("server1"), std::nullopt};
  p.paths = {"/iso/out.iso"};
  Message m{"Copy failed", "Error While Copying", Icon::Critical, Buttons::AbortRetryIgnore, 0, std::nullopt};
  EXPECT_EQ(p.MsgBox(m), Answer::Retry);
  EXPECT_EQ(p.MsgBox(m), Answer::Abort);
  p.Inform("Done", "Kiv");
  ASSERT_EQ(p.messages.size(), 3u);
  EXPECT_EQ(p.messages[2].text, "Done");
  EXPECT_EQ(p.messages[2].buttons, Buttons::OK);
  EXPECT_EQ(p.InputBox("Server name", "kivmax", "x"), std::optional<std::string>("server1"));
  EXPECT_EQ(p.InputBox("Server name", "kivmax", ""), std::nullopt);
  EXPECT_EQ(p.InputBox("again", "kivmax", ""), std::nullopt);
  ASSERT_EQ(p.inputPrompts.size(), 3u);
  EXPECT_EQ(p.inputPrompts[0].defaultText, "x");
  EXPECT_EQ(p.SaveFileDialog("Save ISO", {{"ISO Images", "*.iso"}}, ""), "/iso/out.iso");
  EXPECT_EQ(p.BrowseForFolder("/", "Pick"), "");
  EXPECT_EQ(p.dialogTitles, (std::vector<std::string>{"Save ISO", "Pick"}));
  p.ShowHelpTopic(1410);
  EXPECT_EQ(p.helpTopics, std::vector<int>{1410});
}

TEST(ConsolePrompter, WithoutATerminalTakesTheNonInteractiveAnswer) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "in", "retry\n"));
  StdinFrom in(dir / "in");  // a file is no terminal: the line is not read as an answer
  ConsolePrompter p;
  testing::internal::CaptureStderr();
  Answer a = p.MsgBox(
      {"Cannot copy io.sys", "Error While Copying", Icon::Critical, Buttons::AbortRetryIgnore, 0, std::nullopt});
  Answer b = p.MsgBox({"Carry on?", "Question", Icon::Question, Buttons::YesNo, 0, Answer::Yes});
  Answer c = p.MsgBox({"Done", "Kiv", Icon::None, Buttons::OK, 0, std::nullopt});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(a, Answer::Abort);
  EXPECT_EQ(b, Answer::Yes);
  EXPECT_EQ(c, Answer::OK);
  EXPECT_NE(err.find("Error While Copying: Cannot copy io.sys\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Kiv: Done\n"), std::string::npos) << err;
  // The input box still reads the line that was there.
  testing::internal::CaptureStderr();
  EXPECT_EQ(p.InputBox("Server name", "kivmax", ""), std::optional<std::string>("retry"));
  EXPECT_EQ(p.InputBox("Server name", "kivmax", ""), std::nullopt);  // end of input: cancelled
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("kivmax: Server name"), std::string::npos) << err;
}

TEST(ConsolePrompter, InputBoxLinesDefaultsAndDialogs) {
  TestTempDir dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "in", "first\r\n\nlast-without-newline"));
  StdinFrom in(dir / "in");
  ConsolePrompter p;
  testing::internal::CaptureStderr();
  EXPECT_EQ(p.InputBox("Name", "T", "dflt"), std::optional<std::string>("first"));
  EXPECT_EQ(p.InputBox("Name", "T", "dflt"), std::optional<std::string>("dflt"));
  EXPECT_EQ(p.InputBox("Name", "T", ""), std::optional<std::string>("last-without-newline"));
  EXPECT_EQ(p.InputBox("Name", "T", "dflt"), std::nullopt);
  EXPECT_EQ(p.OpenFileDialog("Open", {}, "/"), "");
  EXPECT_EQ(p.SaveFileDialog("Save", {}, "/"), "");
  EXPECT_EQ(p.BrowseForFolder("/", "Folder"), "");
  testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace kiv
