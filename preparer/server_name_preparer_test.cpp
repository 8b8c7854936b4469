#include "preparer/server_name_preparer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testsupport/scripted_prompter.h"
#include "testsupport/test_terminal.h"

namespace fs = std::filesystem;

namespace kiv {
namespace {

class KivmaxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kivmax_test_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "kivmax" / "etc");
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Put(const fs::path& rel, const std::string& text) {
    fs::create_directories((dir_ / rel).parent_path());
    std::ofstream(dir_ / rel, std::ios::binary) << text;
  }
  std::string Get(const fs::path& rel) {
    std::ifstream in(dir_ / rel, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path Output() const { return dir_ / "kivmax" / "etc" / "autoexec.net"; }
  fs::path dir_;
};

TEST_F(KivmaxTest, PromptTitleAndText) {
  Put("kivmax.net", "x\n");
  ScriptedPrompter p;
  p.inputs.push_back(std::string("srv"));
  EXPECT_EQ(RunKivmax(dir_.string(), p), 0);
  ASSERT_EQ(p.inputPrompts.size(), 1u);
  EXPECT_EQ(p.inputPrompts[0].title, "Specify Kiv Server Name");
  EXPECT_EQ(p.inputPrompts[0].prompt,
            "Enter your Kiv Server name :\r\n"
            "The server must include a share named KIVUTILS\r\n"
            "Leave it blank if you have no machines that have that network share");
  EXPECT_EQ(p.inputPrompts[0].defaultText, "");
  EXPECT_TRUE(p.messages.empty());
}

TEST_F(KivmaxTest, WritesTemplateWithCrLfLines) {
  // LF, CR LF and a last line without an end; commas, quotes, leading blanks.
  Put("kivmax.net",
      "@echo off\n"
      "net use K: \\\\$$servername$$\\$$share_name$$ /yes\r\n"
      "  echo \"a, b\" $$servername$$ $$servername$$\n"
      "\n"
      "rem end");
  ScriptedPrompter p;
  p.inputs.push_back(std::string("  KIVSRV \t"));
  EXPECT_EQ(RunKivmax(dir_.string(), p), 0);
  EXPECT_EQ(Get(Output()),
            "@echo off\r\n"
            "net use K: \\\\KIVSRV\\kivutils /yes\r\n"
            "  echo \"a, b\" KIVSRV KIVSRV\r\n"
            "\r\n"
            "rem end\r\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "kivmax" / "etc"), fs::directory_iterator()), 1);
}

TEST_F(KivmaxTest, EmptyTemplateGivesEmptyOutput) {
  Put("kivmax.net", "");
  Put("kivmax/etc/autoexec.net", "old\r\n");
  EXPECT_EQ(ApplyServerName(dir_.string(), std::string("srv")).result, KivmaxResult::Written);
  EXPECT_TRUE(fs::exists(Output()));
  EXPECT_EQ(Get(Output()), "");
}

TEST_F(KivmaxTest, BlankOrCancelRemovesEarlierOutput) {
  Put("kivmax.net", "$$servername$$\n");
  for (const std::optional<std::string>& answer :
       {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("   ")}) {
    Put("kivmax/etc/autoexec.net", "from an earlier run\r\n");
    EXPECT_EQ(ApplyServerName(dir_.string(), answer).result, KivmaxResult::Removed);
    EXPECT_FALSE(fs::exists(Output()));
  }
  // Nothing to remove is fine too, even without the template.
  fs::remove(dir_ / "kivmax.net");
  EXPECT_EQ(ApplyServerName(dir_.string(), std::nullopt).result, KivmaxResult::Removed);
}

TEST_F(KivmaxTest, MissingTemplateOrFolderIsReportedAndNothingWritten) {
  ScriptedPrompter p;
  p.inputs.push_back(std::string("srv"));
  EXPECT_EQ(RunKivmax(dir_.string(), p), 1);
  ASSERT_EQ(p.messages.size(), 1u);
  EXPECT_NE(p.messages[0].text.find("kivmax.net"), std::string::npos) << p.messages[0].text;
  EXPECT_EQ(p.messages[0].icon, Icon::Critical);
  EXPECT_FALSE(fs::exists(Output()));

  Put("kivmax.net", "$$servername$$\n");
  fs::remove_all(dir_ / "kivmax" / "etc");
  auto outcome = ApplyServerName(dir_.string(), std::string("srv"));
  EXPECT_EQ(outcome.result, KivmaxResult::Failed);
  EXPECT_NE(outcome.message.find("kivmax/etc"), std::string::npos) << outcome.message;
  EXPECT_FALSE(fs::exists(dir_ / "kivmax" / "etc"));
}

TEST_F(KivmaxTest, ControlCharactersInTheNameAreRefusedAndAskedAgain) {
  Put("kivmax.net", "@echo off\nnet use K: \\\\$$servername$$\\$$share_name$$\n");
  ScriptedPrompter p;
  // Pasted with a second command behind a line break, then with an escape,
  // then the plain name with the line end a paste brings along.
  p.inputs = {std::string("SRV\r\nnet use Z: \\\\evil\\x"), std::string("S\x1bRV"), std::string("SRV\r\n")};
  EXPECT_EQ(RunKivmax(dir_.string(), p), 0);
  ASSERT_EQ(p.inputPrompts.size(), 3u);
  EXPECT_EQ(p.inputPrompts[1].prompt, std::string(kKivmaxRefusal) + "\r\n" + KivmaxPromptText());
  EXPECT_EQ(p.inputPrompts[2].prompt, p.inputPrompts[1].prompt);
  EXPECT_EQ(Get(Output()), "@echo off\r\nnet use K: \\\\SRV\\kivutils\r\n");
  EXPECT_TRUE(p.messages.empty());

  // A refused name is never written, not even by a direct call; an earlier
  // file stays as it was.
  Put("kivmax/etc/autoexec.net", "earlier\r\n");
  for (const char* bad : {"A\nB", "A\rB", "A\tB", "A\x7f", "A\x01"}) {
    const KivmaxOutcome outcome = ApplyServerName(dir_.string(), std::string(bad));
    EXPECT_EQ(outcome.result, KivmaxResult::Failed) << bad;
    EXPECT_NE(outcome.message.find("autoexec.net"), std::string::npos) << outcome.message;
    EXPECT_EQ(Get(Output()), "earlier\r\n");
  }
  // Letters beyond ASCII (UTF-8 bytes) are no control characters.
  EXPECT_EQ(ApplyServerName(dir_.string(), std::string("S\xc3\xa9RV")).result, KivmaxResult::Written);
}

// A NetBIOS name: 15 characters at most, none of blank \ / : * ? " < > |;
// others are refused with the reason and asked again, and never written.
TEST_F(KivmaxTest, NamesNetBiosCannotHoldAreRefusedWithTheReason) {
  Put("kivmax.net", "net use K: \\\\$$servername$$\\$$share_name$$\n");
  ScriptedPrompter p;
  p.inputs = {std::string(300, 'A'), std::string("FILE SRV"), std::string("a/b"), std::string("FILESRV15CHARSX")};
  EXPECT_EQ(RunKivmax(dir_.string(), p), 0);
  ASSERT_EQ(p.inputPrompts.size(), 4u);
  EXPECT_EQ(p.inputPrompts[1].prompt.rfind("The server name \"" + std::string(300, 'A') +
                                               "\" is 300 characters long; a NetBIOS name holds at most 15.",
                                           0),
            0u);
  EXPECT_EQ(p.inputPrompts[2].prompt.rfind("The server name \"FILE SRV\" holds \" \"", 0), 0u);
  EXPECT_EQ(p.inputPrompts[3].prompt.rfind("The server name \"a/b\" holds \"/\"", 0), 0u);
  EXPECT_EQ(Get(Output()), "net use K: \\\\FILESRV15CHARSX\\kivutils\r\n");
  Put("kivmax/etc/autoexec.net", "earlier\r\n");
  const KivmaxOutcome outcome = ApplyServerName(dir_.string(), std::string("SIXTEEN-CHARS-AB"));
  EXPECT_EQ(outcome.result, KivmaxResult::Failed);
  EXPECT_NE(outcome.message.find("at most 15; "), std::string::npos) << outcome.message;
  EXPECT_EQ(Get(Output()), "earlier\r\n");
}

TEST_F(KivmaxTest, WithoutAnyoneToAskAnEarlierFileIsKept) {
  Put("kivmax.net", "$$servername$$\n");
  Put("kivmax/etc/autoexec.net", "from an earlier run\r\n");
  ScriptedPrompter nobody;
  nobody.canAsk = false;  // no answer comes: as a console without a terminal
  EXPECT_EQ(RunKivmax(dir_.string(), nobody), 0);
  EXPECT_EQ(Get(Output()), "from an earlier run\r\n");
  ASSERT_EQ(nobody.messages.size(), 1u);
  EXPECT_NE(nobody.messages[0].text.find("autoexec.net"), std::string::npos) << nobody.messages[0].text;
  EXPECT_EQ(ApplyServerName(dir_.string(), std::string("  "), false).result, KivmaxResult::Kept);
  EXPECT_EQ(Get(Output()), "from an earlier run\r\n");
  // A name given without a terminal is still used.
  EXPECT_EQ(ApplyServerName(dir_.string(), std::string("SRV"), false).result, KivmaxResult::Written);
  EXPECT_EQ(Get(Output()), "SRV\r\n");
}

TEST_F(KivmaxTest, APersonAtATerminalCanClearTheName) {
  Put("kivmax.net", "$$servername$$\n");
  Put("kivmax/etc/autoexec.net", "from an earlier run\r\n");
  TestTerminal terminal;
  ASSERT_TRUE(terminal.Opened());
  terminal.Type("\n");  // Enter on an empty box
  char* shown = nullptr;
  size_t size = 0;
  std::FILE* out = ::open_memstream(&shown, &size);
  {
    ConsolePrompter console(terminal.In(), out);
    EXPECT_TRUE(console.CanAsk());
    EXPECT_EQ(RunKivmax(dir_.string(), console), 0);
  }
  std::fclose(out);
  EXPECT_NE(std::string(shown, size).find("Specify Kiv Server Name"), std::string::npos);
  std::free(shown);
  EXPECT_FALSE(fs::exists(Output()));
}

TEST_F(KivmaxTest, TemplateFoundWhateverItsLetterCase) {
  Put("KIVMAX.NET", "\\\\$$servername$$\n");
  EXPECT_EQ(ApplyServerName(dir_.string(), std::string("s")).result, KivmaxResult::Written);
  EXPECT_EQ(Get(Output()), "\\\\s\r\n");
}

// The installed program: copied into a folder of its own with the plugin's
// data beside it, started from elsewhere, answered on stdin (console mode).
int RunProgram(const fs::path& exe, const std::string& input, std::string& output) {
  const fs::path in = exe.parent_path() / "stdin.txt";
  std::ofstream(in, std::ios::binary) << input;
  const std::string cmd = "cd / && KIVCD_UI=console '" + exe.string() + "' < '" + in.string() + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[512];
  output.clear();
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
  const int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(KivmaxTest, ProgramWorksRelativeToItsOwnFolder) {
  Put("kivmax.net", "net use K: \\\\$$servername$$\\$$share_name$$\n");
  const fs::path exe = dir_ / "kivmax.exe";
  fs::copy_file(KIVMAX_EXE, exe);
  std::string out;
  EXPECT_EQ(RunProgram(exe, "FILESRV\n", out), 0) << out;
  EXPECT_NE(out.find("Specify Kiv Server Name"), std::string::npos) << out;
  EXPECT_EQ(Get(Output()), "net use K: \\\\FILESRV\\kivutils\r\n");

  // Standard input is a file, no terminal: an answer it holds is used, but
  // its end is nobody's decision, so the file written before stays.
  EXPECT_EQ(RunProgram(exe, "", out), 0) << out;
  EXPECT_EQ(Get(Output()), "net use K: \\\\FILESRV\\kivutils\r\n");
  EXPECT_EQ(RunProgram(exe, "EVIL\rSRV\n", out), 0) << out;  // refused; then the input ends
  EXPECT_NE(out.find(kKivmaxRefusal), std::string::npos) << out;
  EXPECT_EQ(Get(Output()), "net use K: \\\\FILESRV\\kivutils\r\n");

  fs::remove(dir_ / "kivmax.net");
  EXPECT_EQ(RunProgram(exe, "FILESRV\n", out), 1) << out;
  EXPECT_NE(out.find("kivmax.net"), std::string::npos) << out;
}

}  // namespace
}  // namespace kiv
