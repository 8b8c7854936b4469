// -sel on the console: the driver list chosen at a terminal, kept without one.
#include "disktool/wizard/console_drivers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "common/ini_file.h"
#include "common/prompter.h"
#include "disktool/engine/floppy_builder.h"
#include "testsupport/test_program_folder.h"
#include "testsupport/test_terminal.h"

namespace kiv {
namespace {

using test::ProgramFolder;
using test::Wizard;

// What a console shows, kept in memory.
class Screen {
 public:
  Screen() : file_(::open_memstream(&text_, &size_)) {}
  ~Screen() {
    if (file_) std::fclose(file_);
    std::free(text_);
  }
  std::FILE* File() const { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(text_, size_);
  }

 private:
  char* text_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

// The NDIS list as -sel loads it, after the start-up seeded Drivers.ini.
class ConsoleDrivers : public ::testing::Test {
 protected:
  void SetUp() override {
    pf.MakeDriverCab("drivers/ndis/ne2000.cab", {{"ndis.txt", "ne2000       A NE2000 compatible\r\n"}});
    pf.MakeDriverCab("drivers/ndis/rtl8139.cab", {{"ndis.txt", "rtl8139      B Realtek 8139\r\n"}});
    pf.MakeDriverCab("drivers/ndis/pcnet.cab", {{"ndis.txt", "pcnet        C AMD PCnet\r\n"}});
    pf.SeedBase();
    w.form.InitApp();
    ASSERT_TRUE(pf.Exists("Drivers.ini"));
    w.form.Drivers.LoadDriverLists({.aspi = false, .network = true, .family = NetDriverFamily::NDIS});
    ASSERT_EQ(w.form.Drivers.LV.size(), 3u);
  }
  std::string Key(const std::string& name) { return INIFile(pf.Path("Drivers.ini")).GetINIKey("NDIS", name); }
  void Choose(const std::string& typed, bool endOfInput = false) {
    ASSERT_TRUE(terminal.Opened());
    terminal.Type(typed);
    if (endOfInput) terminal.EndOfInput();
    ConsolePrompter console(terminal.In(), screen.File());
    ChooseDriversOnConsole(w.form.Drivers, console);
  }
  ProgramFolder pf;
  Wizard w{pf};
  TestTerminal terminal;
  Screen screen;
};

TEST_F(ConsoleDrivers, APersonTogglesByNumberAndConfirms) {
  Choose("2\n9 x\n1,3\n\n");
  // Sorted by description: NE2000 (A), RTL8139 (B), PCNET (C).
  EXPECT_EQ(Key("NE2000"), "0");
  EXPECT_EQ(Key("RTL8139"), "0");
  EXPECT_EQ(Key("PCNET"), "0");
  const std::string shown = screen.Text();
  EXPECT_NE(shown.find("Select Drivers: NIC / Description"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  1 \u2714 NE2000  A NE2000 compatible"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  2 \u2718 RTL8139  B Realtek 8139"), std::string::npos) << shown;  // after "2"
  EXPECT_NE(shown.find("\"9 x\" is not an answer here."), std::string::npos) << shown;
  EXPECT_FALSE(w.form.Drivers.Visible);
}

TEST_F(ConsoleDrivers, SelectAllAndNumbersOutOfRange) {
  Choose("a\n7\n2\n\n");  // Unselect All, then the second one back on
  EXPECT_EQ(Key("NE2000"), "0");
  EXPECT_EQ(Key("RTL8139"), "1");
  EXPECT_EQ(Key("PCNET"), "0");
  EXPECT_NE(screen.Text().find("There is no entry 7; the list has 1 to 3."), std::string::npos) << screen.Text();
}

TEST_F(ConsoleDrivers, CancelOrTheEndOfInputKeepsTheDefaults) {
  Choose("1 2 3\nc\n");
  EXPECT_EQ(Key("NE2000"), "1");
  EXPECT_EQ(Key("PCNET"), "1");
  Choose("1 2 3\n", true);
  EXPECT_EQ(Key("NE2000"), "1");
  EXPECT_EQ(Key("RTL8139"), "1");
}

TEST_F(ConsoleDrivers, WithoutATerminalTheListIsKeptAndNothingIsRead) {
  pf.Write("answers.txt", "1 2 3\n\n");
  std::FILE* piped = std::fopen(pf.Path("answers.txt").c_str(), "r");
  ASSERT_NE(piped, nullptr);
  {
    ConsolePrompter console(piped, screen.File());
    EXPECT_FALSE(console.CanAsk());
    ChooseDriversOnConsole(w.form.Drivers, console);
  }
  EXPECT_EQ(std::ftell(piped), 0);  // the input was left alone
  std::fclose(piped);
  EXPECT_EQ(Key("NE2000"), "1");
  EXPECT_EQ(Key("RTL8139"), "1");
  EXPECT_EQ(Key("PCNET"), "1");
}

}  // namespace
}  // namespace kiv
