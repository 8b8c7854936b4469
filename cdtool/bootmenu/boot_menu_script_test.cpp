#include "cdtool/bootmenu/boot_menu_script.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

const char* kPath = "/pf/kivcd/boot/scripts/main.cds";

BootMenuScript Parse(const std::string& text) { return ParseBootMenuScript(text, kPath); }

// The one error of a script that should have exactly one.
std::string OnlyError(const std::string& text) {
  BootMenuScript s = Parse(text);
  EXPECT_EQ(s.errors.size(), 1u) << text;
  return s.errors.empty() ? "" : s.errors[0];
}

const char* kBootMacro = ":Boot\r\n  BootDrive 0x80\r\n  End\r\n";

TEST(BootMenuScript, ReadsSettingsEntriesAndMacrosWithoutRegardToCase) {
  BootMenuScript s = Parse(
      "# comment\r\n\r\n"
      "set menutitle=\"Kiv Rescue CD\"\r\n"
      "Set MenuTimeout=30\r\nSET DefaultAction=2\r\n"
      "Set PasswordRequest=1\r\nSet PasswordRetries=5\r\nSet PasswordPrompt=\"Key:\"\r\n"
      "Set Action2_Text=\"Second\"\r\nSet Action2_Macro=\"boot\"\r\n"
      "Set Action1_Text=\"First\"\r\n#Set Action1_Macro=\"Boot\"\r\n"
      ":Boot\r\n  requirefile \"\\boot\\images\\a.img\"\r\n  BOOTFLOPPYIMAGE2880 \"\\boot\\images\\a.img\"\r\n  "
      "end\r\n");
  ASSERT_TRUE(s.errors.empty()) << s.errors[0];
  EXPECT_EQ(s.MenuTitle, "Kiv Rescue CD");
  EXPECT_EQ(s.MenuTimeout, 30);
  EXPECT_EQ(s.DefaultAction, 2);
  EXPECT_TRUE(s.PasswordRequest);
  EXPECT_EQ(s.PasswordRetries, 5);
  EXPECT_EQ(s.PasswordPrompt, "Key:");
  ASSERT_EQ(s.actions.size(), 2u);
  EXPECT_EQ(s.actions.at(1).macro, "");  // commented out
  EXPECT_EQ(s.actions.at(2).macro, "boot");
  const ScriptMacro* m = s.FindMacro("BOOT");
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->commands.size(), 3u);
  EXPECT_EQ(m->commands[1].op, ScriptCommand::Op::BootFloppyImage2880);
  EXPECT_EQ(m->commands[1].arg, "\\boot\\images\\a.img");
  EXPECT_EQ(m->commands[1].line, 15);
  EXPECT_FALSE(m->ShowsText());
}

TEST(BootMenuScript, PathsThatClimbOutOfTheCdAreRefused) {
  EXPECT_EQ(OnlyError(":Boot\r\n  RequireFile \"\\..\\..\\etc\\passwd\"\r\n  BootDrive 0x80\r\n  End\r\n"),
            std::string(kPath) +
                ", line 2: RequireFile \"\\..\\..\\etc\\passwd\": a path on the CD cannot climb out "
                "of it (\"..\")");
  EXPECT_EQ(Parse(":Boot\r\n  BootSector \"\\boot/../../x.bin\"\r\n  End\r\n").errors.at(0),
            std::string(kPath) +
                ", line 2: BootSector \"\\boot/../../x.bin\": a path on the CD cannot climb out of it "
                "(\"..\")");
  // Dots inside a name are names.
  EXPECT_TRUE(Parse(":Boot\r\n  BootFloppyImage \"\\boot\\..images\\a..img\"\r\n  End\r\n").errors.empty());
}

// A file's path that ends in a separator names its folder: refused, where
// the menu would otherwise offer an entry that cannot start.
TEST(BootMenuScript, AFilesPathEndingInASeparatorIsRefused) {
  EXPECT_EQ(Parse(":Boot\r\n  BootFloppyImage \"\\boot\\images\\\"\r\n  End\r\n").errors.at(0),
            std::string(kPath) +
                ", line 2: BootFloppyImage \"\\boot\\images\\\": names a folder (it ends in \\), "
                "not a file");
  EXPECT_FALSE(Parse(":Boot\r\n  BootKernel \"/live/\" \"boot=live\"\r\n  End\r\n").errors.empty());
  // A folder's may.
  EXPECT_TRUE(Parse(":Boot\r\n  RequireFolder \"\\I386\\\"\r\n  BootDrive 0x80\r\n  End\r\n").errors.empty());
}

// The menu's texts are drawn before any system runs, in the PC's own
// characters on an 80-column line: control characters, non-ASCII and texts
// too long for the line are refused, naming the setting.
TEST(BootMenuScript, MenuTextsAreOneLineOfPlainAscii) {
  EXPECT_EQ(OnlyError("Set MenuTitle=\"Kiv\x01"
                      "CD\"\r\n"),
            std::string(kPath) +
                ", line 1: MenuTitle: its text contains the control character 0x01, which the boot "
                "manager's configuration cannot hold");
  EXPECT_EQ(OnlyError("Set Action1_Text=\"Gr\xC3\xBC\xC3\x9F Gott\"\r\n"),
            std::string(kPath) +
                ", line 1: Action1_Text: the text \"Gr\xC3\xBC\xC3\x9F Gott\" is not plain ASCII; the boot "
                "menu shows only ASCII letters, digits, blanks and punctuation");
  EXPECT_EQ(OnlyError("Set MenuTitle=\"" + std::string(75, 'x') + "\"\r\n"),
            std::string(kPath) + ", line 1: MenuTitle: the text is 75 characters long; the menu's line holds 74");
  EXPECT_TRUE(Parse("Set MenuTitle=\"" + std::string(74, 'x') + "\"\r\n").errors.empty());
}

// As a Windows editor saves it: a byte-order mark, CR LF line ends; and an
// old editor's lone CRs.
TEST(BootMenuScript, ReadsAFileSavedByAWindowsEditor) {
  for (const std::string& eol : {std::string("\r\n"), std::string("\r")}) {
    BootMenuScript s = Parse("\xEF\xBB\xBF# Kiv menu" + eol + "Set MenuTimeout=30" + eol + "Set MenuTitle=\"T\"" + eol +
                             "Set Action1_Text=\"Disk\"" + eol + "Set Action1_Macro=\"Boot\"" + eol + ":Boot" + eol +
                             "  BootDrive 0x80" + eol + "  End" + eol);
    ASSERT_TRUE(s.errors.empty()) << s.errors[0];
    EXPECT_EQ(s.MenuTimeout, 30);
    EXPECT_EQ(s.MenuTitle, "T");
    EXPECT_EQ(s.actions.at(1).macro, "Boot");
  }
  // Line numbers still count from the first line.
  EXPECT_EQ(OnlyError("\xEF\xBB\xBF# x\r\nSet MenuTimeout=soon\r\n"),
            std::string(kPath) + ", line 2: MenuTimeout=soon is not a number from 0 to 3599");
}

TEST(BootMenuScript, QuotedValueRunsToTheLastQuoteOfTheLine) {
  // Passwords as the build inserts them: unescaped, blanks and all.
  for (const std::string pw : {"a b", "say \"hi\"", "$HOME\\x", " lead", "trail ", "\"", "=#%"}) {
    BootMenuScript s = Parse("Set PasswordString=\"" + pw + "\"\r\n");
    ASSERT_TRUE(s.errors.empty()) << pw << ": " << s.errors[0];
    EXPECT_EQ(s.PasswordString, pw);
  }
  EXPECT_EQ(Parse("Set PasswordString=\"\"\r\n").PasswordString, "");
  EXPECT_EQ(OnlyError("Set MenuTitle=\"Kiv\r\n"),
            std::string(kPath) + ", line 1: MenuTitle: the closing \" is missing");
  EXPECT_EQ(OnlyError("Set MenuTitle=\"Kiv\" # the title\r\n"),
            std::string(kPath) + ", line 1: MenuTitle: \" # the title\" after the closing \"");
  EXPECT_EQ(Parse("Set MenuTitle=\"Kiv\"  \t\r\n").MenuTitle, "Kiv");
}

TEST(BootMenuScript, PrintReplacesTheKeyVariables) {
  BootMenuScript s = Parse(
      ":Show\r\n Print \"Key: %WinKey1%-%winkey5% 100%% sure, 50% off\"\r\n WaitKey\r\n Menu\r\n"
      "Set WinKey1=\"ABCDE\"\r\nSet WinKey5=\"VWXYZ\"\r\n");
  ASSERT_TRUE(s.errors.empty()) << s.errors[0];
  EXPECT_EQ(s.FindMacro("show")->commands[0].arg, "Key: ABCDE-VWXYZ 100% sure, 50% off");
  EXPECT_TRUE(s.FindMacro("show")->ShowsText());
  EXPECT_EQ(OnlyError(":Show\r\n Print \"%WinKey6%\"\r\n WaitKey\r\n Menu\r\n"),
            std::string(kPath) + ", line 2: unknown variable %WinKey6% (only %WinKey1% to %WinKey5% are set)");
}

TEST(BootMenuScript, LinesItDoesNotUnderstandAreErrorsWithTheirLine) {
  const std::string at = std::string(kPath) + ", line ";
  EXPECT_EQ(OnlyError("Set MenuTitle=\"x\"\r\nGoto 3\r\n"),
            at + "2: \"Goto\" is not a command of the boot menu script outside a macro");
  EXPECT_EQ(OnlyError("Set MenuColour=1\r\n"), at + "1: unknown setting \"MenuColour\"");
  EXPECT_EQ(OnlyError("Set Action0_Text=\"x\"\r\n"),
            at + "1: unknown setting \"Action0_Text\" (ActionN_Text or ActionN_Macro, N from 1 to 99)");
  EXPECT_EQ(OnlyError("Set Action1_Name=\"x\"\r\n"),
            at + "1: unknown setting \"Action1_Name\" (ActionN_Text or ActionN_Macro, N from 1 to 99)");
  EXPECT_EQ(OnlyError("Set MenuTimeout 30\r\n"), at + "1: \"Set MenuTimeout 30\" has no \"=\"");
  EXPECT_EQ(OnlyError(std::string(kBootMacro) + ":X\r\n Reboot\r\n BootDrive 0x80\r\n End\r\n"),
            at + "5: unknown command \"Reboot\"");
  EXPECT_EQ(OnlyError(std::string(kBootMacro) + "Set Action1_Text=\"a\"\r\nSet Action1_Macro=\"Missing\"\r\n"),
            at + "5: Action1_Macro names the macro \"Missing\", which the script does not define");
  EXPECT_EQ(OnlyError(std::string(kBootMacro) + "Set Action1_Macro=\"Boot\"\r\n"),
            at + "4: Action1_Macro is set but Action1_Text is not");
  EXPECT_EQ(OnlyError("Set Action1_Text=\"a\"\r\nSet DefaultAction=4\r\n"),
            at + "2: DefaultAction=4 names no entry (no Action4_Text)");
  EXPECT_EQ(OnlyError("Set MenuTitle=\"a\"\r\nset menutitle=\"b\"\r\n"),
            at + "2: menutitle is set twice (first on line 1)");
}

TEST(BootMenuScript, ValuesOutOfRange) {
  const std::string at = std::string(kPath) + ", line 1: ";
  EXPECT_EQ(OnlyError("Set MenuTimeout=-1\r\n"), at + "MenuTimeout=-1 is not a number from 0 to 3599");
  EXPECT_EQ(OnlyError("Set MenuTimeout=3600\r\n"), at + "MenuTimeout=3600 is not a number from 0 to 3599");
  EXPECT_EQ(OnlyError("Set PasswordRequest=2\r\n"), at + "PasswordRequest=2 is not a number from 0 to 1");
  EXPECT_EQ(OnlyError("Set PasswordRetries=0\r\n"), at + "PasswordRetries=0 is not a number from 1 to 255");
  EXPECT_EQ(OnlyError("Set DefaultAction=x\r\n"), at + "DefaultAction=x is not a number from 1 to 99");
  EXPECT_EQ(OnlyError(":B\r\n BootDrive 0x00\r\n BootDrive 0x80\r\n End\r\n"),
            std::string(kPath) + ", line 2: BootDrive \"0x00\" is not a hard disk (0x80 to 0x8F)");
  EXPECT_EQ(OnlyError("Set PasswordString=\"" + std::string(128, 'p') + "\"\r\n"),
            at + "PasswordString: The password is 128 characters long; the CD's password prompt takes at most 127");
  EXPECT_TRUE(Parse("Set PasswordString=\"" + std::string(127, 'p') + "\"\r\n").errors.empty());
  EXPECT_EQ(OnlyError("Set PasswordPrompt=\"" + std::string(200, 'q') + "\"\r\n"),
            at + "PasswordPrompt is 200 bytes long; the CD's loader takes at most 127");
  EXPECT_EQ(Parse(":B\r\n BootDrive 0x81\r\n End\r\n").FindMacro("B")->commands[0].drive, 0x81);
}

TEST(BootMenuScript, TheSerialConsoleIsCom1UnlessTheScriptSaysOtherwise) {
  EXPECT_EQ(Parse("Set MenuTimeout=1\r\n").SerialConsole, 1);
  EXPECT_EQ(Parse("Set SerialConsole=COM1\r\n").SerialConsole, 1);
  EXPECT_EQ(Parse("set serialconsole=com2\r\n").SerialConsole, 2);
  EXPECT_EQ(Parse("Set SerialConsole=\"COM2\"\r\n").SerialConsole, 2);
  EXPECT_EQ(Parse("Set SerialConsole=0\r\n").SerialConsole, 0);
  const std::string at = std::string(kPath) + ", line 1: ";
  for (const char* bad : {"COM3", "1", "", "none"})
    EXPECT_EQ(OnlyError(std::string("Set SerialConsole=") + bad + "\r\n"),
              at + "SerialConsole=" + bad + " is not COM1, COM2 or 0 (no serial console)");
}

TEST(BootMenuScript, PasswordStringIsAStoredHashOrATypeablePassword) {
  // The CD's own script, copied back into the template: its hash is taken.
  PasswordSalt salt{};
  salt.fill(7);
  const std::string stored = PasswordHashText(HashPassword("rescue", salt));
  EXPECT_EQ(Parse("Set PasswordRequest=1\r\nSet PasswordString=\"" + stored + "\"\r\n").PasswordString, stored);
  const std::string at = std::string(kPath) + ", line 1: ";
  const std::string damaged = stored.substr(0, stored.size() - 1);
  EXPECT_EQ(OnlyError("Set PasswordString=\"" + damaged + "\"\r\n"),
            at + "PasswordString=\"" + damaged +
                "\" is not a stored password (sha256:<salt, 32 hex digits>:<hash, 64 hex digits>)");
  EXPECT_EQ(OnlyError("Set PasswordString=\"p\xC3\xA4ss\"\r\n")
                .rfind(at + "PasswordString: The password contains \"\xC3\xA4\"", 0),
            0u);
}

TEST(BootMenuScript, MacroStructureIsChecked) {
  const std::string at = std::string(kPath) + ", line ";
  EXPECT_EQ(OnlyError(":A\r\n BootDrive 0x80\r\n:B\r\n BootDrive 0x80\r\n End\r\n"),
            at + "1: the macro \"A\" has no End or Menu before the next macro");
  EXPECT_EQ(OnlyError(":A\r\n BootDrive 0x80\r\n"),
            at + "1: the macro \"A\" has no End or Menu before the end of the script");
  EXPECT_EQ(OnlyError(":A\r\n RequireFile \"\\a\"\r\n End\r\n"),
            at + "3: the macro \"A\" ends without a boot command (BootFloppyImage, BootSector, BootDrive, BootKernel, "
                 "RunModule, BootEfi)");
  // BootEfi may follow the BIOS boot command, and only End may follow it.
  EXPECT_EQ(OnlyError(":A\r\n BootEfi \"\\a.efi\"\r\n BootSector \"\\a.bin\"\r\n End\r\n"),
            at + "3: \"BootSector\" after BootEfi in the macro \"A\"; only End may follow");
  EXPECT_EQ(OnlyError(":A\r\n Print \"x\"\r\n BootEfi \"\\a.efi\"\r\n Menu\r\n"),
            at + "3: BootEfi in the macro \"A\", which shows text (Print/WaitKey) and must end with Menu");
  EXPECT_EQ(OnlyError(":A\r\n BootDrive 0x80\r\n BootSector \"\\a.bin\"\r\n End\r\n"),
            at + "3: \"BootSector\" after the boot command of the macro \"A\"; only End may follow");
  EXPECT_EQ(OnlyError(":A\r\n Print \"x\"\r\n WaitKey\r\n End\r\n"),
            at + "4: the macro \"A\" shows text and must end with Menu, not End");
  EXPECT_EQ(OnlyError(":A\r\n WaitKey\r\n Menu\r\n"),
            at + "3: the macro \"A\" goes back to the menu without showing anything (no Print)");
  EXPECT_EQ(OnlyError(std::string(kBootMacro) + ":boot\r\n BootDrive 0x80\r\n End\r\n"),
            at + "4: the macro \"boot\" is defined twice (first on line 1)");
  EXPECT_EQ(OnlyError(":A\r\n Set MenuTimeout=1\r\n BootDrive 0x80\r\n End\r\n"),
            at + "2: \"Set\" inside the macro \"A\" (line 1) before its End or Menu");
  EXPECT_EQ(OnlyError(":A\r\n BootSector \"\\boot\\my image.bin\"\r\n BootDrive 0x80\r\n End\r\n"),
            at + "2: BootSector \"\\boot\\my image.bin\": a path on the CD cannot contain a blank");
  EXPECT_EQ(OnlyError(":A\r\n BootDrive 0x80\r\n End now\r\n End\r\n"), at + "3: \"End\" takes nothing after it");
  // An Initrd belongs to the BootKernel right after it.
  EXPECT_EQ(Parse(":A\r\n Initrd \"\\i\"\r\n BootDrive 0x80\r\n End\r\n").errors.at(0),
            at + "3: \"BootDrive\" after Initrd in the macro \"A\"; BootKernel must follow it");
  EXPECT_EQ(Parse(":A\r\n Initrd \"\\i\"\r\n End\r\n").errors.at(0),
            at + "3: Initrd in the macro \"A\" is not followed by BootKernel");
  EXPECT_EQ(OnlyError(":A\r\n Initrd \"\\i j\"\r\n BootKernel \"\\k\"\r\n End\r\n"),
            at + "2: Initrd \"\\i j\": a path on the CD cannot contain a blank");
  BootMenuScript s =
      Parse(":A\r\n initrd \"\\live\\initrd.img\"\r\n BootKernel \"\\live\\vmlinuz\" \"boot=live\"\r\n End\r\n");
  ASSERT_TRUE(s.errors.empty()) << s.errors[0];
  EXPECT_EQ(s.macros[0].Initrd(), "\\live\\initrd.img");
}

TEST(BootMenuScript, BootKernelAndRunModuleTakeAPathAndAnOptionalCommandLine) {
  BootMenuScript s = Parse(
      ":Mem\r\n  RequireFile \"\\boot\\tools\\mt.bin\"\r\n  bootkernel \"\\boot\\tools\\mt.bin\" "
      "\"console=ttyS0,115200\"\r\n"
      "  End\r\n"
      ":Hdt\r\n  RUNMODULE \"\\boot\\isolinux\\hdt.c32\"  \"pciids=/boot/tools/pci.ids\tnomenu\"\r\n  End\r\n"
      ":Bare\r\n  BootKernel \\boot\\k \"root=\"/dev/sr0\" quiet\"\r\n  End\r\n"
      ":NoArgs\r\n  RunModule \"\\boot\\isolinux\\reboot.c32\"\r\n  End\r\n");
  ASSERT_TRUE(s.errors.empty()) << s.errors[0];
  const ScriptCommand& mem = s.FindMacro("Mem")->commands[1];
  EXPECT_EQ(mem.op, ScriptCommand::Op::BootKernel);
  EXPECT_EQ(mem.arg, "\\boot\\tools\\mt.bin");
  EXPECT_EQ(mem.args, "console=ttyS0,115200");
  EXPECT_EQ(mem.line, 3);
  const ScriptCommand& hdt = s.FindMacro("Hdt")->commands[0];
  EXPECT_EQ(hdt.op, ScriptCommand::Op::RunModule);
  EXPECT_EQ(hdt.arg, "\\boot\\isolinux\\hdt.c32");
  EXPECT_EQ(hdt.args, "pciids=/boot/tools/pci.ids\tnomenu");
  // The command line runs to the line's last quote, quotes inside and all.
  EXPECT_EQ(s.FindMacro("Bare")->commands[0].arg, "\\boot\\k");
  EXPECT_EQ(s.FindMacro("Bare")->commands[0].args, "root=\"/dev/sr0\" quiet");
  EXPECT_EQ(s.FindMacro("NoArgs")->commands[0].args, "");
  EXPECT_FALSE(s.FindMacro("Hdt")->ShowsText());
}

// Path and command line go into the boot manager's configuration as they
// are: nothing in them may end that line or start another one.
TEST(BootMenuScript, BootKernelAndRunModuleRefuseWhatCouldBreakTheirLine) {
  const std::string at = std::string(kPath) + ", line 2: ";
  // A refused command leaves its macro to the valid BootDrive after it.
  auto macro = [](const std::string& command) { return ":A\r\n " + command + "\r\n BootDrive 0x80\r\n End\r\n"; };
  EXPECT_EQ(OnlyError(macro(std::string("BootKernel \"\\k\" \"quiet\vMENU HIDDEN\""))),
            at + "BootKernel: its command line contains the control character 0x0B, which the boot manager's "
                 "configuration cannot hold");
  EXPECT_EQ(OnlyError(macro(std::string("RunModule \"\\m.c32\" \"a\fb\""))),
            at + "RunModule: its command line contains the control character 0x0C, which the boot manager's "
                 "configuration cannot hold");
  EXPECT_EQ(OnlyError(macro(std::string("RunModule \"\\m.c32\" \"a") + std::string(1, '\0') + "b\"")),
            at + "RunModule: its command line contains the control character 0x00, which the boot manager's "
                 "configuration cannot hold");
  EXPECT_EQ(OnlyError(macro("BootKernel \"\\k\x1B.bin\"")),
            at + "BootKernel: its path contains the control character 0x1B, which the boot manager's "
                 "configuration cannot hold");
  EXPECT_EQ(OnlyError(macro("BootKernel \"\\k\" \"x\x7F\"")),
            at + "BootKernel: its command line contains the control character 0x7F, which the boot manager's "
                 "configuration cannot hold");
  // A line break splits the script line itself: what follows is a line of
  // the script, not of the configuration, and is refused as one.
  const std::vector<std::string> split = Parse(macro("BootKernel \"\\k\" \"quiet\nLABEL x\"")).errors;
  EXPECT_EQ(split, (std::vector<std::string>{at + "BootKernel: the closing \" is missing",
                                             std::string(kPath) + ", line 3: unknown command \"LABEL\""}));
  EXPECT_EQ(OnlyError(macro("BootKernel \"\\k\" quiet")),
            at + "BootKernel: the command line \"quiet\" must stand between double quotes");
  EXPECT_EQ(OnlyError(macro("RunModule \"\\m.c32 quiet")), at + "RunModule: the closing \" of the path is missing");
  EXPECT_EQ(OnlyError(macro("RunModule \"\\m.c32\" \"quiet")), at + "RunModule: the closing \" is missing");
  EXPECT_EQ(OnlyError(macro("BootKernel \"\\..\\k\"")),
            at + "BootKernel \"\\..\\k\": a path on the CD cannot climb out of it (\"..\")");
  EXPECT_EQ(OnlyError(macro("BootKernel \"\\my k\"")),
            at + "BootKernel \"\\my k\": a path on the CD cannot contain a blank");
  EXPECT_EQ(OnlyError(macro("RunModule \"\" \"x\"")), at + "RunModule needs a path");
  EXPECT_EQ(
      OnlyError(":A\r\n RunModule \"\\m.c32\"\r\n BootKernel \"\\k\"\r\n End\r\n"),
      std::string(kPath) + ", line 3: \"BootKernel\" after the boot command of the macro \"A\"; only End may follow");
  // The other path commands share the rule.
  EXPECT_EQ(OnlyError(":A\r\n RequireFile \"\\a\tb\x01\"\r\n BootDrive 0x80\r\n End\r\n"),
            at + "RequireFile \"\\a\tb\x01\": a path on the CD cannot contain a blank");
  EXPECT_EQ(OnlyError(macro("BootSector \"\\a\x01.bin\"")),
            at + "BootSector: its path contains the control character 0x01, which the boot manager's "
                 "configuration cannot hold");
}

}  // namespace
}  // namespace kiv
