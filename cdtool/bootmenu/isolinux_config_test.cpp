#include "cdtool/bootmenu/isolinux_config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "cdtool/bootmenu/boot_menu_edits.h"
#include "common/prompter.h"
#include "testsupport/build_test_support.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/seeded_random.h"

namespace kiv {
namespace {

// The random bytes a clear password's salt is made of here.
const testing::SeededRandom chance;

// The CD tree as a set of paths.
struct Tree {
  std::set<std::string> files, folders;
  CdPathExists Exists() const {
    return [this](const std::string& p, bool folder) { return (folder ? folders : files).count(p) > 0; };
  }
};

Tree IsolinuxTree() {
  Tree t;
  t.files = {"/boot/isolinux/memdisk", "/boot/isolinux/chain.c32", "/boot/isolinux/harddisk.bin",
             "/boot/isolinux/hdt.c32", "/boot/tools/memtest86+ia32.bin"};
  return t;
}

// The lines of `text` from "LABEL <label>" up to the next LABEL.
std::string Block(const std::string& text, const std::string& label) {
  size_t at = text.find("\nLABEL " + label + "\n");
  if (at == std::string::npos) return "";
  size_t end = text.find("\nLABEL ", at + 1);
  return text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

std::string TemplateScript() {
  std::ifstream in(KIV_CD_TEMPLATE_DIR "/boot/scripts/main.cds", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(IsolinuxConfig, TheShippedTemplateOnADemoLikeTree) {
  const std::string script = TemplateScript();
  ASSERT_FALSE(script.empty());
  Tree t = IsolinuxTree();
  t.files.insert({"/boot/images/kivstart.img", "/boot/images/kivemm.img", "/boot/images/kivnet.img"});
  BootMenu m = TranslateBootMenu(script, "main.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty()) << m.errors[0];
  ASSERT_EQ(m.files.size(), 2u);  // the product-key entry is off in the template
  const std::string& cfg = m.files[0].text;
  EXPECT_EQ(m.files[0].name, "isolinux.cfg");
  EXPECT_EQ(m.files[1].name, "usbstick.cfg");
  EXPECT_EQ(cfg.find("SERIAL 0 115200\n"), cfg.find('\n') + 1) << "SERIAL right after the heading comment";
  EXPECT_NE(cfg.find("\nUI menu.c32\nMENU MARGIN 2\nMENU TITLE Kiv Rescue CD\nTIMEOUT 300\nDEFAULT action1\n"),
            std::string::npos);

  // What each entry starts; the free tools: memtest86+ on the menu's serial
  // console, HDT with the PCI ID list.
  const std::pair<const char*, const char*> blocks[] = {
      {"action1",
       "LABEL action1\n  MENU LABEL Kiv Rescue Software\n  MENU DEFAULT\n  KERNEL /boot/isolinux/memdisk\n"
       "  INITRD /boot/images/kivstart.img\n  APPEND floppy\n"},
      {"action6",
       "LABEL action6\n  MENU LABEL Kiv Network Access\n  KERNEL /boot/isolinux/memdisk\n"
       "  INITRD /boot/images/kivnet.img\n  APPEND floppy\n"},
      {"action3", ""},  // no macro, not shown
      {"action4",
       "LABEL action4\n  MENU LABEL Windows 2000/XP/2003 Setup (missing: \\I386, w2ksect.bin)\n"
       "  MENU DISABLE\n"},
      {"action9", "LABEL action9\n  MENU LABEL Boot from the first hard disk\n  BOOT /boot/isolinux/harddisk.bin\n"},
      {"action10",
       "LABEL action10\n  MENU LABEL Memory test (memtest86+)\n  LINUX /boot/tools/memtest86+ia32.bin\n"
       "  APPEND console=ttyS0,115200\n"},
      {"action11",
       "LABEL action11\n  MENU LABEL Hardware detection (HDT)\n  COM32 /boot/isolinux/hdt.c32\n"
       "  APPEND pciids=/boot/tools/pci.ids\n"}};
  for (const auto& [label, block] : blocks) EXPECT_EQ(Block(cfg, label), block) << label;
  for (const char* greyed : {"action5", "action7", "action8"})
    EXPECT_NE(Block(cfg, greyed).find("  MENU DISABLE\n"), std::string::npos) << greyed;
  // Entries in N order.
  size_t last = 0;
  for (int n : {1, 2, 4, 5, 6, 7, 8, 9, 10, 11}) {
    size_t at = cfg.find("\nLABEL action" + std::to_string(n) + "\n");
    ASSERT_NE(at, std::string::npos) << n;
    EXPECT_GT(at, last) << n;
    last = at;
  }
  EXPECT_FALSE(m.gate.ask);
  EXPECT_EQ(m.gate.retries, 3);
  EXPECT_EQ(m.gate.serialConsole, 1);
  EXPECT_EQ(m.gate.prompt, "Enter the password of this CD:");
}

TEST(IsolinuxConfig, TheSerialConsoleOfTheScriptReachesIsolinuxAndTheLoader) {
  const std::string entry =
      "Set Action1_Text=\"Disk\"\r\nSet Action1_Macro=\"Hd\"\r\n:Hd\r\n BootDrive 0x80\r\n End\r\n";
  struct Case {
    const char* line;
    int port;
    const char* serial;  // isolinux's line, or "" for none
  } cases[] = {{"Set SerialConsole=COM2\r\n", 2, "SERIAL 1 115200\n"},
               {"Set SerialConsole=0\r\n", 0, ""},
               {"Set SerialConsole=COM1\r\n", 1, "SERIAL 0 115200\n"}};
  for (const Case& c : cases) {
    BootMenu m = TranslateBootMenu(c.line + entry, "x.cds", IsolinuxTree().Exists(), chance);
    ASSERT_TRUE(m.errors.empty()) << m.errors[0];
    EXPECT_EQ(m.gate.serialConsole, c.port);
    for (const IsolinuxFile& f : m.files) {
      const std::string head = f.text.substr(f.text.find('\n') + 1, f.text.find("NOESCAPE") - f.text.find('\n') - 1);
      EXPECT_EQ(head, c.serial) << f.name;
    }
  }
}

TEST(IsolinuxConfig, TheGateChecksTheScriptsPasswordByItsHash) {
  // A clear password in a hand-written script is hashed with a fresh salt.
  BootMenu clear = TranslateBootMenu("Set PasswordRequest=1\r\nSet PasswordString=\"open me\"\r\n", "x.cds",
                                     IsolinuxTree().Exists(), chance);
  ASSERT_TRUE(clear.errors.empty()) << clear.errors[0];
  EXPECT_EQ(clear.gate.password, HashPassword("open me", clear.gate.password.salt));
  // The CD's own script: the stored salt and hash, unchanged.
  PasswordSalt salt{};
  salt.fill(0x5A);
  const PasswordHash stored = HashPassword("open me", salt);
  BootMenu copied =
      TranslateBootMenu("Set PasswordRequest=1\r\nSet PasswordString=\"" + PasswordHashText(stored) + "\"\r\n", "x.cds",
                        IsolinuxTree().Exists(), chance);
  ASSERT_TRUE(copied.errors.empty()) << copied.errors[0];
  EXPECT_TRUE(copied.gate.ask);
  EXPECT_EQ(copied.gate.password, stored);
}

TEST(IsolinuxConfig, SetupEntriesBootTheirSectorWhenTheFolderIsThere) {
  Tree t = IsolinuxTree();
  t.folders = {"/I386", "/ERDC"};
  t.files.insert({"/boot/images/w2ksect.bin", "/boot/images/erdc.bin"});
  BootMenu m = TranslateBootMenu(TemplateScript(), "main.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty());
  const std::string& cfg = m.files[0].text;
  // No floppy image at all: the default moves to the first entry that starts.
  EXPECT_EQ(Block(cfg, "action4"),
            "LABEL action4\n  MENU LABEL Windows 2000/XP/2003 Setup\n  MENU DEFAULT\n"
            "  BOOT /boot/images/w2ksect.bin\n");
  EXPECT_EQ(Block(cfg, "action7"),
            "LABEL action7\n  MENU LABEL ERD Commander 2002/2003\n"
            "  BOOT /boot/images/erdc.bin\n");
  EXPECT_NE(cfg.find("\nDEFAULT action4\n"), std::string::npos);
  EXPECT_NE(Block(cfg, "action1").find("MENU DISABLE"), std::string::npos);
}

TEST(IsolinuxConfig, AStickGreysTheCdBootSectorsAndCountsTheHardDisksFromTheSecond) {
  Tree t = IsolinuxTree();
  t.folders = {"/I386", "/ERDC"};
  t.files.insert({"/boot/images/w2ksect.bin", "/boot/images/erdc.bin", "/boot/images/kivnet.img"});
  BootMenu m = TranslateBootMenu(TemplateScript(), "main.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty());
  ASSERT_EQ(m.files.size(), 2u);
  const std::string& cd = m.files[0].text;
  const std::string& stick = m.files[1].text;
  EXPECT_EQ(m.files[1].name, kStickConfigName);
  EXPECT_EQ(Block(stick, "action4"),
            "LABEL action4\n  MENU LABEL Windows 2000/XP/2003 Setup (needs the CD)\n"
            "  MENU DISABLE\n");
  EXPECT_EQ(Block(stick, "action7"),
            "LABEL action7\n  MENU LABEL ERD Commander 2002/2003 (needs the CD)\n"
            "  MENU DISABLE\n");
  // The script's default needs the CD: on a stick the first entry that can
  // start takes its place, and the time-out still runs.
  EXPECT_NE(cd.find("\nDEFAULT action4\n"), std::string::npos);
  EXPECT_NE(stick.find("\nDEFAULT action6\n"), std::string::npos);
  EXPECT_NE(stick.find("\nTIMEOUT 300\n"), std::string::npos);
  EXPECT_NE(Block(stick, "action6").find("  MENU DEFAULT\n"), std::string::npos);
  // A missing file says so rather than "needs the CD".
  EXPECT_NE(Block(stick, "action1").find("(missing: kivstart.img)"), std::string::npos);
  EXPECT_EQ(Block(stick, "action1").find("needs the CD"), std::string::npos);
  // The first hard disk: the same boot sector on both (it tells the stick
  // from the CD itself).
  EXPECT_EQ(Block(stick, "action9"), Block(cd, "action9"));
  EXPECT_NE(Block(cd, "action9").find("  BOOT /boot/isolinux/harddisk.bin\n"), std::string::npos);
  // Entries that do not depend on the medium are the same on both.
  EXPECT_EQ(Block(stick, "action1"), Block(cd, "action1"));
}

// Windows 10/11 Setup starts the medium's own etfsboot.com from \win10; a
// CD without it shows the entry greyed with what it lacks, a stick greys it
// as needing the CD (etfsboot.com reads 2048-byte CD sectors).
TEST(IsolinuxConfig, Windows10SetupStartsItsEtfsbootOrIsGreyed) {
  Tree t = IsolinuxTree();
  BootMenu m = TranslateBootMenu(TemplateScript(), "main.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty());
  EXPECT_EQ(Block(m.files[0].text, "action14"),
            "LABEL action14\n  MENU LABEL Windows 10/11 Setup (missing: \\win10, etfsboot.com)\n  MENU DISABLE\n");
  t.folders = {"/win10"};
  t.files.insert("/win10/boot/etfsboot.com");
  m = TranslateBootMenu(TemplateScript(), "main.cds", t.Exists(), chance);
  EXPECT_EQ(Block(m.files[0].text, "action14"),
            "LABEL action14\n  MENU LABEL Windows 10/11 Setup\n  BOOT /win10/boot/etfsboot.com\n");
  EXPECT_EQ(Block(m.files[1].text, "action14"),
            "LABEL action14\n  MENU LABEL Windows 10/11 Setup (needs the CD)\n  MENU DISABLE\n");
  // An entry with an EFI program alone is the UEFI menu's only.
  const std::string efiOnly = TemplateScript() +
                              "Set Action30_Text=\"EFI tool\"\r\nSet Action30_Macro=\"EfiTool\"\r\n"
                              ":EfiTool\r\n  BootEfi \"\\tools\\x.efi\"\r\n  End\r\n";
  m = TranslateBootMenu(efiOnly, "main.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty());
  EXPECT_EQ(m.files[0].text.find("action30"), std::string::npos);
  EXPECT_NE(m.grubConfig.find("--id=action30"), std::string::npos);
}

TEST(IsolinuxConfig, WithoutIsolinuxModulesTheirEntriesAreGreyed) {
  Tree t;  // neither memdisk nor harddisk.bin
  t.files = {"/boot/images/kivstart.img"};
  BootMenu m = TranslateBootMenu(TemplateScript(), "main.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty());
  const std::string& cfg = m.files[0].text;
  EXPECT_NE(cfg.find("MENU LABEL Kiv Rescue Software (missing: memdisk)"), std::string::npos);
  EXPECT_NE(cfg.find("MENU LABEL Boot from the first hard disk (missing: harddisk.bin)"), std::string::npos);
  EXPECT_EQ(Block(cfg, "action10"),
            "LABEL action10\n  MENU LABEL Memory test (memtest86+) (missing: memtest86+ia32.bin)\n  MENU DISABLE\n");
  EXPECT_EQ(Block(cfg, "action11"),
            "LABEL action11\n  MENU LABEL Hardware detection (HDT) (missing: hdt.c32)\n  MENU DISABLE\n");
  // Nothing can start: the menu waits instead of timing out.
  EXPECT_NE(cfg.find("\nTIMEOUT 0\n"), std::string::npos);
  EXPECT_EQ(cfg.find("DEFAULT"), std::string::npos);
}

TEST(IsolinuxConfig, TheProductKeyEntryAfterTheBuildsEditsShowsTheKeyAndGoesBack) {
  // The script as the build leaves it: key injected, password switched on.
  testing::ProgramFolder folder;
  const std::string file = folder.P("main.cds");
  testing::WriteText(file, TemplateScript());
  ScriptedPrompter prompter;
  InjectProductKey(file, "ABCDE-FGHIJ-KLMNO-PQRST-UVWXY", prompter);
  const std::string password = "my \"pass\" $1 \\x";
  const std::optional<PasswordHash> hash = SetBootPassword(file, password, password, std::nullopt, chance, prompter);
  ASSERT_TRUE(prompter.messages.empty());
  ASSERT_TRUE(hash);

  Tree t = IsolinuxTree();
  t.files.insert("/boot/images/kivstart.img");
  BootMenu m = TranslateBootMenu(testing::ReadText(file), file, t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty()) << m.errors[0];
  EXPECT_TRUE(m.gate.ask);
  EXPECT_EQ(m.gate.password, *hash);
  EXPECT_EQ(m.gate.password, HashPassword(password, hash->salt));

  ASSERT_EQ(m.files.size(), 2u);
  const std::string& cfg = m.files[0].text;
  const size_t at = cfg.find("\nMENU BEGIN action3\n");
  EXPECT_NE(m.files[1].text.find(cfg.substr(at, cfg.find("MENU END\n", at) - at)), std::string::npos)
      << "the stick shows the key too";
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(cfg.substr(at + 1, cfg.find("MENU END\n", at) + 9 - at - 1),
            "MENU BEGIN action3\n  MENU LABEL Show the stored Windows product key\n"
            "  MENU TITLE Show the stored Windows product key\n"
            "  LABEL action3text1\n    MENU LABEL Windows product key: ABCDE-FGHIJ-KLMNO-PQRST-UVWXY\n"
            "    MENU DISABLE\n  MENU SEPARATOR\n"
            "  LABEL action3back\n    MENU LABEL Press Enter to return to the boot menu\n    MENU DEFAULT\n"
            "    MENU EXIT\nMENU END\n");
  EXPECT_LT(cfg.find("LABEL action2\n"), at);
  EXPECT_GT(cfg.find("LABEL action4\n"), at);
}

TEST(IsolinuxConfig, ATextEntryIsNeverTheTimeOutsChoice) {
  Tree t = IsolinuxTree();
  BootMenu m = TranslateBootMenu(
      "Set MenuTimeout=5\r\nSet DefaultAction=1\r\n"
      "Set Action1_Text=\"Note\"\r\nSet Action1_Macro=\"Note\"\r\nSet Action2_Text=\"Disk\"\r\nSet "
      "Action2_Macro=\"Hd\"\r\n"
      ":Note\r\n Print \"one\"\r\n Print \"two\"\r\n WaitKey\r\n Menu\r\n:Hd\r\n BootDrive 0x80\r\n End\r\n",
      "x.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty()) << m.errors[0];
  const std::string& cfg = m.files[0].text;
  EXPECT_NE(cfg.find("\nTIMEOUT 50\nDEFAULT action2\n"), std::string::npos);
  EXPECT_NE(cfg.find("LABEL action1text1\n    MENU LABEL one\n    MENU DISABLE\n"
                     "  LABEL action1text2\n    MENU LABEL two\n"),
            std::string::npos);
}

// A default the CD cannot start gives way to the first entry that can, and
// the menu says so for the build's log; a default that starts says nothing.
TEST(IsolinuxConfig, ADefaultThatCannotStartIsReplacedAndSaidSo) {
  const std::string script =
      "Set MenuTimeout=5\r\nSet DefaultAction=2\r\n"
      "Set Action1_Text=\"Disk\"\r\nSet Action1_Macro=\"Hd\"\r\n"
      "Set Action2_Text=\"Rescue\"\r\nSet Action2_Macro=\"Rescue\"\r\n"
      ":Hd\r\n BootDrive 0x80\r\n End\r\n"
      ":Rescue\r\n RequireFile \"\\live\\filesystem.squashfs\"\r\n BootKernel \"\\live\\vmlinuz\" \"boot=live\"\r\n "
      "End\r\n";
  Tree t = IsolinuxTree();
  BootMenu m = TranslateBootMenu(script, "x.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty()) << m.errors[0];
  EXPECT_NE(m.files[0].text.find("\nDEFAULT action1\n"), std::string::npos);
  ASSERT_EQ(m.notes.size(), 1u);
  EXPECT_EQ(m.notes[0],
            "DefaultAction=2 names \"Rescue\", which cannot start from this CD (missing: filesystem.squashfs "
            "vmlinuz); the menu starts \"Disk\" by default instead");
  t.files.insert({"/live/vmlinuz", "/live/filesystem.squashfs"});
  m = TranslateBootMenu(script, "x.cds", t.Exists(), chance);
  EXPECT_NE(m.files[0].text.find("\nDEFAULT action2\n"), std::string::npos);
  EXPECT_TRUE(m.notes.empty());
}

TEST(IsolinuxConfig, DefaultTimeoutAndSecondDisk) {
  Tree t = IsolinuxTree();
  BootMenu m = TranslateBootMenu(
      "Set MenuTimeout=0\r\nSet DefaultAction=2\r\n"
      "Set Action1_Text=\"One\"\r\nSet Action1_Macro=\"Hd\"\r\nSet Action2_Text=\"Two\"\r\nSet "
      "Action2_Macro=\"Hd2\"\r\n"
      ":Hd\r\n BootDrive 0x80\r\n End\r\n:Hd2\r\n BootDrive 0x81\r\n End\r\n",
      "x.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty()) << m.errors[0];
  const std::string& cfg = m.files[0].text;
  EXPECT_EQ(cfg.find("MENU TITLE"), std::string::npos) << "no title set, none written";
  EXPECT_NE(cfg.find("\nTIMEOUT 0\nDEFAULT action2\n"), std::string::npos);
  EXPECT_NE(Block(cfg, "action2").find("  MENU DEFAULT\n  COM32 /boot/isolinux/chain.c32\n  APPEND hd1\n"),
            std::string::npos);
  EXPECT_EQ(Block(cfg, "action1").find("MENU DEFAULT"), std::string::npos);
}

TEST(IsolinuxConfig, TheLinuxRescueSystemStartsWithItsInitrdOnCdAndStickOrIsGreyedWithoutIt) {
  Tree t = IsolinuxTree();
  t.files.insert({"/live/vmlinuz", "/live/initrd.img", "/live/filesystem.squashfs"});
  BootMenu m = TranslateBootMenu(TemplateScript(), "main.cds", t.Exists(), chance);
  ASSERT_TRUE(m.errors.empty()) << m.errors[0];
  for (const IsolinuxFile& f : m.files) {
    EXPECT_EQ(Block(f.text, "action12"),
              "LABEL action12\n  MENU LABEL Linux rescue system\n  LINUX /live/vmlinuz\n  INITRD /live/initrd.img\n"
              "  APPEND boot=live noeject quiet console=tty0 console=ttyS0,115200\n")
        << f.name;
    EXPECT_NE(Block(f.text, "action13").find("  APPEND boot=live toram noeject quiet console=tty0"), std::string::npos);
  }
  m = TranslateBootMenu(TemplateScript(), "main.cds", IsolinuxTree().Exists(), chance);
  EXPECT_EQ(Block(m.files[0].text, "action12"),
            "LABEL action12\n  MENU LABEL Linux rescue system (missing: filesystem.squashfs, initrd.img, vmlinuz)\n"
            "  MENU DISABLE\n");
}

TEST(IsolinuxConfig, KernelsAndModulesStartWithTheirCommandLinesOnCdAndStick) {
  const std::string entries =
      "Set Action1_Text=\"Kernel\"\r\nSet Action1_Macro=\"K\"\r\nSet Action2_Text=\"Own console\"\r\n"
      "Set Action2_Macro=\"Own\"\r\nSet Action3_Text=\"Module\"\r\nSet Action3_Macro=\"M\"\r\n"
      "Set Action4_Text=\"Bare module\"\r\nSet Action4_Macro=\"Bare\"\r\n"
      ":K\r\n BootKernel \"\\boot\\tools\\k.bin\" \"quiet x=\"a b\"\"\r\n End\r\n"
      ":Own\r\n BootKernel \"\\boot\\tools\\k.bin\" \"console=tty0\"\r\n End\r\n"
      ":M\r\n RunModule \"\\boot\\isolinux\\hdt.c32\" \"pciids=/boot/tools/pci.ids\"\r\n End\r\n"
      ":Bare\r\n RunModule \"boot/isolinux/reboot.c32\"\r\n End\r\n";
  Tree t = IsolinuxTree();
  t.files.insert({"/boot/tools/k.bin", "/boot/isolinux/reboot.c32"});
  struct Case {
    const char* serial;
    const char* kernelAppend;  // the first entry's APPEND line, or ""
  } cases[] = {{"Set SerialConsole=COM1\r\n", "  APPEND quiet x=\"a b\" console=ttyS0,115200\n"},
               {"Set SerialConsole=COM2\r\n", "  APPEND quiet x=\"a b\" console=ttyS1,115200\n"},
               {"Set SerialConsole=0\r\n", "  APPEND quiet x=\"a b\"\n"}};
  for (const Case& c : cases) {
    BootMenu m = TranslateBootMenu(c.serial + entries, "x.cds", t.Exists(), chance);
    ASSERT_TRUE(m.errors.empty()) << m.errors[0];
    ASSERT_EQ(m.files.size(), 2u);
    for (const IsolinuxFile& f : m.files) {
      EXPECT_EQ(Block(f.text, "action1"),
                std::string("LABEL action1\n  MENU LABEL Kernel\n  MENU DEFAULT\n  LINUX /boot/tools/k.bin\n") +
                    c.kernelAppend)
          << c.serial << f.name;
      EXPECT_EQ(Block(f.text, "action2"),
                "LABEL action2\n  MENU LABEL Own console\n  LINUX /boot/tools/k.bin\n  APPEND console=tty0\n")
          << f.name;
      // A module gets no console of the menu's: its arguments are its own.
      EXPECT_EQ(Block(f.text, "action3"),
                "LABEL action3\n  MENU LABEL Module\n  COM32 /boot/isolinux/hdt.c32\n"
                "  APPEND pciids=/boot/tools/pci.ids\n")
          << f.name;
      EXPECT_EQ(Block(f.text, "action4"),
                "LABEL action4\n  MENU LABEL Bare module\n  COM32 /boot/isolinux/reboot.c32\n")
          << f.name;
    }
  }
  // Missing files grey their entries, each named.
  BootMenu bare = TranslateBootMenu(entries, "x.cds", Tree().Exists(), chance);
  ASSERT_TRUE(bare.errors.empty()) << bare.errors[0];
  EXPECT_EQ(Block(bare.files[0].text, "action1"),
            "LABEL action1\n  MENU LABEL Kernel (missing: k.bin)\n  MENU DISABLE\n");
  EXPECT_EQ(Block(bare.files[0].text, "action3"),
            "LABEL action3\n  MENU LABEL Module (missing: hdt.c32)\n  MENU DISABLE\n");
  EXPECT_EQ(Block(bare.files[1].text, "action4"),
            "LABEL action4\n  MENU LABEL Bare module (missing: reboot.c32)\n  MENU DISABLE\n");
}

// A script line that tries to smuggle a configuration line in through a
// control character gives no configuration at all.
TEST(IsolinuxConfig, AControlCharacterInACommandLineGivesNoFiles) {
  BootMenu m = TranslateBootMenu(
      "Set Action1_Text=\"K\"\r\nSet Action1_Macro=\"K\"\r\n:K\r\n BootKernel \"\\k\" \"quiet\x0cLABEL evil\"\r\n"
      " BootDrive 0x80\r\n End\r\n",
      "/t/main.cds", IsolinuxTree().Exists(), chance);
  EXPECT_TRUE(m.files.empty());
  ASSERT_EQ(m.errors.size(), 1u);
  EXPECT_EQ(
      m.errors[0].rfind("/t/main.cds, line 4: BootKernel: its command line contains the control character 0x0C", 0), 0u)
      << m.errors[0];
}

TEST(IsolinuxConfig, ScriptErrorsGiveNoFiles) {
  BootMenu m = TranslateBootMenu("Set MenuTimeout=30\r\nBogus\r\n", "/t/main.cds", IsolinuxTree().Exists(), chance);
  EXPECT_TRUE(m.files.empty());
  ASSERT_EQ(m.errors.size(), 1u);
  EXPECT_EQ(m.errors[0].rfind("/t/main.cds, line 2: ", 0), 0u) << m.errors[0];
}

TEST(IsolinuxConfig, CdPaths) {
  EXPECT_EQ(CdPath("\\boot\\images\\x.img"), "/boot/images/x.img");
  EXPECT_EQ(CdPath("boot\\x.bin"), "/boot/x.bin");
  EXPECT_EQ(CdPath("/I386"), "/I386");
}

}  // namespace
}  // namespace kiv
