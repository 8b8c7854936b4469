#include "cdtool/bootmenu/kernel_command_line.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(KernelCommandLine, TheMenusSerialConsoleIsAddedUnlessTheScriptNamesAConsole) {
  EXPECT_EQ(KernelCommandLine("", 1), "console=ttyS0,115200");
  EXPECT_EQ(KernelCommandLine("", 2), "console=ttyS1,115200");
  EXPECT_EQ(KernelCommandLine("", 0), "");
  EXPECT_EQ(KernelCommandLine("quiet", 2), "quiet console=ttyS1,115200");
  EXPECT_EQ(KernelCommandLine("quiet", 0), "quiet");
  // The script's own console wins, wherever it stands.
  EXPECT_EQ(KernelCommandLine("console=ttyS0,9600", 2), "console=ttyS0,9600");
  EXPECT_EQ(KernelCommandLine("quiet\tconsole=tty0", 1), "quiet\tconsole=tty0");
  // A word that merely ends in "console=" names none.
  EXPECT_EQ(KernelCommandLine("earlyconsole=x", 1), "earlyconsole=x console=ttyS0,115200");
}

}  // namespace
}  // namespace kiv
