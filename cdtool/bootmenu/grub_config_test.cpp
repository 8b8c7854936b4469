#include "cdtool/bootmenu/grub_config.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "cdtool/bootmenu/grub_password.h"
#include "cdtool/bootmenu/isolinux_config.h"
#include "common/process_runner.h"
#include "testsupport/grub_hash_check.h"
#include "testsupport/seeded_random.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

// The random bytes a clear password's salt is made of here.
const testing::SeededRandom chance;

std::string ShippedScript() { return testing::ReadText(KIV_CD_TEMPLATE_DIR "/boot/scripts/main.cds"); }

// The shipped script with some of its settings lines replaced.
std::string ScriptWith(const std::vector<std::pair<std::string, std::string>>& lines) {
  std::string text = ShippedScript();
  for (const auto& [from, to] : lines) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

BootMenu Translate(const std::string& text, bool memtest = false, const MenuData* data = nullptr) {
  return TranslateBootMenu(
      text, "/x/main.cds", [memtest](const std::string& p, bool) { return memtest && p == kMemtestEfi; }, chance, data);
}

// The lines of the entry with that id, from "menuentry" to its "}".
std::string EntryOf(const std::string& cfg, const std::string& id) {
  const size_t idAt = cfg.find("--id=" + id + " {");
  if (idAt == std::string::npos) return "";
  const size_t start = cfg.rfind("menuentry", idAt);
  return cfg.substr(start, cfg.find("\n}\n", idAt) + 3 - start);
}

std::vector<std::string> EntryIds(const std::string& cfg) {
  std::vector<std::string> ids;
  const std::regex id(R"(--id=([a-z0-9-]+) \{)");
  for (auto it = std::sregex_iterator(cfg.begin(), cfg.end(), id); it != std::sregex_iterator(); ++it)
    ids.push_back((*it)[1].str());
  return ids;
}

TEST(GrubConfig, ShippedScriptGivesTheUefiEntriesWithItsTitleTimeoutAndSerialConsole) {
  const BootMenu menu = Translate(ShippedScript());
  ASSERT_TRUE(menu.errors.empty());
  const std::string& cfg = menu.grubConfig;
  // Windows 10/11 Setup (action14) is there, saying what the CD lacks of it.
  EXPECT_EQ(EntryIds(cfg),
            (std::vector<std::string>{"bios-note", "action14", "harddisk", "fwsetup", "reboot", "poweroff"}));
  EXPECT_NE(EntryOf(cfg, "bios-note").find("'Kiv Rescue CD: DOS floppies and XP/98 setup need BIOS mode"),
            std::string::npos);
  EXPECT_NE(cfg.find("set timeout=30\n"), std::string::npos);
  EXPECT_NE(cfg.find("set default=harddisk\n"), std::string::npos);
  EXPECT_NE(cfg.find("serial --unit=0 --speed=115200\nterminal_input console serial\nterminal_output console serial\n"),
            std::string::npos);
  EXPECT_NE(EntryOf(cfg, "fwsetup").find("  fwsetup\n"), std::string::npos);
  EXPECT_NE(EntryOf(cfg, "reboot").find("  reboot\n"), std::string::npos);
  EXPECT_NE(EntryOf(cfg, "poweroff").find("  halt\n"), std::string::npos);
  EXPECT_NE(EntryOf(cfg, "harddisk").find("/EFI/Microsoft/Boot/bootmgfw.efi /EFI/BOOT/BOOTX64.EFI"), std::string::npos);
  // Without a password nothing asks for one, yet GRUB's command line and
  // editor stay shut (a superuser without a password).
  EXPECT_NE(cfg.find("set superusers='rescue'\n"), std::string::npos);
  EXPECT_EQ(cfg.find("password_pbkdf2"), std::string::npos);
  for (const std::string& id : EntryIds(cfg))
    EXPECT_NE(EntryOf(cfg, id).find("--unrestricted"), std::string::npos) << id;
}

TEST(GrubConfig, TheLinuxRescueSystemStartsFromTheUefiMenuWhenItsFilesAreOnTheCd) {
  const std::set<std::string> live = {"/live/vmlinuz", "/live/initrd.img", "/live/filesystem.squashfs"};
  auto translate = [](const std::string& script, const std::set<std::string>& files, const MenuData* data) {
    return TranslateBootMenu(
               script, "/x/main.cds", [&files](const std::string& p, bool) { return files.count(p) > 0; }, chance, data)
        .grubConfig;
  };
  std::string cfg = translate(ShippedScript(), live, nullptr);
  // Right after the note, in the script's order; the time-out still starts the hard disk.
  EXPECT_EQ(EntryIds(cfg), (std::vector<std::string>{"bios-note", "action12", "action13", "action14", "harddisk",
                                                     "fwsetup", "reboot", "poweroff"}));
  EXPECT_EQ(EntryOf(cfg, "action12"),
            "menuentry 'Linux rescue system' --unrestricted --id=action12 {\n"
            "  echo 'Starting Linux rescue system ...'\n"
            "  linux ($kivcd)/live/vmlinuz 'boot=live' 'noeject' 'quiet' 'console=tty0' 'console=ttyS0,115200'\n"
            "  initrd ($kivcd)/live/initrd.img\n}\n");
  EXPECT_NE(EntryOf(cfg, "action13").find(" 'toram' "), std::string::npos);
  EXPECT_NE(cfg.find("set default=harddisk\n"), std::string::npos);

  // DefaultAction may name it; a password guards it like every entry that starts something.
  MenuData data;
  data.password = HashPassword("pw", PasswordSalt{});
  data.grubPassword = GrubPasswordHash("pw", {1, 2, 3}, 5);
  cfg = translate(ScriptWith({{"Set DefaultAction=1", "Set DefaultAction=13"}}), live, &data);
  EXPECT_NE(cfg.find("set default=action13\n"), std::string::npos);
  EXPECT_EQ(EntryOf(cfg, "action13").find("--unrestricted"), std::string::npos);

  // Without the squashfs (a CD built without the rescue system) there is nothing to start.
  cfg = translate(ShippedScript(), {"/live/vmlinuz", "/live/initrd.img"}, nullptr);
  EXPECT_EQ(EntryOf(cfg, "action12"), "");
  EXPECT_EQ(translate(ScriptWith({{"Set DefaultAction=1", "Set DefaultAction=12"}}), {}, nullptr)
                .find("set default=harddisk\n"),
            cfg.find("set default=harddisk\n"));
}

// A kernel entry of one's own reaches the UEFI menu when its kernel is an EFI
// program (a Linux kernel with its EFI stub), with or without an initial RAM
// disk; a BIOS-only one is left out and the build is told why. memtest86+'s
// .bin is not named: the menu has memtest86+'s EFI entry instead.
TEST(GrubConfig, OwnKernelEntriesReachTheUefiMenuWhenTheyAreEfiPrograms) {
  const std::string script =
      ScriptWith({{"Set Action12_Text=\"Linux rescue system\"", "Set Action12_Text=\"My kernel\""},
                  {"Set Action12_Macro=\"BootLinuxRescue\"", "Set Action12_Macro=\"Mine\""}}) +
      ":Mine\r\n  BootKernel \"\\boot\\tools\\mine.efi\" \"quiet\"\r\n  End\r\n";
  const std::set<std::string> files = {"/boot/tools/mine.efi", "/boot/tools/memtest86+ia32.bin", kMemtestEfi};
  const CdPathExists exists = [&files](const std::string& p, bool) { return files.count(p) > 0; };
  MenuData data;
  std::set<std::string> efi = {"/boot/tools/mine.efi"};
  data.isEfiProgram = [&efi](const std::string& p) { return efi.count(p) > 0; };

  BootMenu menu = TranslateBootMenu(script, "/x/main.cds", exists, chance, &data);
  ASSERT_TRUE(menu.errors.empty()) << menu.errors.front();
  EXPECT_EQ(EntryOf(menu.grubConfig, "action12"),
            "menuentry 'My kernel' --unrestricted --id=action12 {\n"
            "  echo 'Starting My kernel ...'\n"
            "  linux ($kivcd)/boot/tools/mine.efi 'quiet' 'console=tty0' 'console=ttyS0,115200'\n}\n");
  const auto uefiNotes = [](const BootMenu& m) {
    std::vector<std::string> notes;
    for (const std::string& note : m.notes)
      if (note.rfind("the UEFI menu", 0) == 0) notes.push_back(note);
    return notes;
  };
  EXPECT_TRUE(uefiNotes(menu).empty());

  efi.clear();  // a BIOS-only kernel
  menu = TranslateBootMenu(script, "/x/main.cds", exists, chance, &data);
  EXPECT_EQ(EntryOf(menu.grubConfig, "action12"), "");
  EXPECT_EQ(uefiNotes(menu),
            (std::vector<std::string>{"the UEFI menu leaves out \"My kernel\": /boot/tools/mine.efi is "
                                      "no EFI program, it starts in BIOS mode only"}));
  EXPECT_NE(menu.grubConfig.find("memtest86+x64.efi"), std::string::npos);
}

// Windows 10/11 Setup in the UEFI menu: GRUB chainloads the medium's
// bootx64.efi, says what Secure Boot checks and what a refusal means, and
// the password guards it; a CD without the medium has the entry with what
// it lacks, which starts nothing.
TEST(GrubConfig, Windows10SetupChainloadsItsBootx64OrSaysWhatIsMissing) {
  std::string cfg = Translate(ShippedScript()).grubConfig;
  EXPECT_EQ(EntryOf(cfg, "action14"),
            "menuentry 'Windows 10/11 Setup (missing: \\win10, bootx64.efi)' --unrestricted --id=action14 {\n"
            "  echo 'Windows 10/11 Setup is not on this CD: it lacks \\win10, bootx64.efi.'\n"
            "  echo 'Build the CD with its setup files to start it from here.'\n"
            "  echo ''\n"
            "  echo 'Press Esc to return to the menu.'\n"
            "  sleep --interruptible 600\n}\n");
  const std::set<std::string> medium = {"/win10", "/win10/efi/boot/bootx64.efi"};
  MenuData data;
  data.password = HashPassword("pw", PasswordSalt{});
  data.grubPassword = "grub.pbkdf2.sha512.10000.AB.CD";
  cfg = TranslateBootMenu(
            ShippedScript(), "/x/main.cds", [&medium](const std::string& p, bool) { return medium.count(p) > 0; },
            chance, &data)
            .grubConfig;
  const std::string entry = EntryOf(cfg, "action14");
  EXPECT_EQ(entry.rfind("menuentry 'Windows 10/11 Setup' --id=action14 {\n", 0), 0u) << entry;
  EXPECT_NE(entry.find("  if chainloader ($kivcd)/win10/efi/boot/bootx64.efi; then boot; fi\n"), std::string::npos);
  EXPECT_NE(entry.find("Under Secure Boot the firmware starts it only with a signature it trusts"), std::string::npos);
  EXPECT_NE(entry.find("own boot program carries Microsoft"), std::string::npos);
  EXPECT_LT(entry.find("chainloader"), entry.find("did not start"));
  EXPECT_NE(entry.find("Press Esc to return to the menu."), std::string::npos);
}

TEST(GrubConfig, ConsoleAndTimeoutFollowTheScript) {
  std::string cfg = Translate(ScriptWith({{"Set SerialConsole=COM1", "Set SerialConsole=COM2"},
                                          {"Set MenuTimeout=30", "Set MenuTimeout=0"}}))
                        .grubConfig;
  EXPECT_NE(cfg.find("serial --unit=1 --speed=115200\n"), std::string::npos);
  EXPECT_NE(cfg.find("set timeout=-1\n"), std::string::npos) << "0 in the script waits";
  cfg = Translate(ScriptWith({{"Set SerialConsole=COM1", "Set SerialConsole=0"}})).grubConfig;
  EXPECT_EQ(cfg.find("serial"), std::string::npos);
  EXPECT_EQ(cfg.find("terminal_output"), std::string::npos);
}

TEST(GrubConfig, MemtestEntryOnlyWhenItsFileIsOnTheCd) {
  EXPECT_EQ(EntryOf(Translate(ShippedScript(), false).grubConfig, "memtest"), "");
  const std::string cfg = Translate(ShippedScript(), true).grubConfig;
  const std::string entry = EntryOf(cfg, "memtest");
  EXPECT_NE(entry.find("chainloader ($kivcd)/boot/tools/memtest86+x64.efi console=ttyS0,115200;"), std::string::npos)
      << entry;
  // Not under Secure Boot, which refuses it.
  EXPECT_NE(cfg.find("if [ \"$lockdown\" != y ]; then\n" + entry + "fi\n"), std::string::npos) << cfg;
  EXPECT_NE(
      EntryOf(Translate(ScriptWith({{"Set SerialConsole=COM1", "Set SerialConsole=0"}}), true).grubConfig, "memtest")
          .find("memtest86+x64.efi; then"),
      std::string::npos);
}

TEST(GrubConfig, PasswordGuardsWhatStartsSomethingWithTheBuildsHash) {
  MenuData data;
  data.password = HashPassword("secret", PasswordSalt{});
  data.grubPassword = GrubPasswordHash("secret", {1, 2, 3}, 5);
  const std::string cfg = Translate(ShippedScript(), true, &data).grubConfig;
  EXPECT_NE(cfg.find("set superusers='rescue'\npassword_pbkdf2 rescue " + *data.grubPassword + "\n"),
            std::string::npos);
  for (const char* guarded : {"memtest", "harddisk", "fwsetup"})
    EXPECT_EQ(EntryOf(cfg, guarded).find("--unrestricted"), std::string::npos) << guarded;
  for (const char* open : {"bios-note", "reboot", "poweroff"})
    EXPECT_NE(EntryOf(cfg, open).find("--unrestricted"), std::string::npos) << open;
  EXPECT_EQ(cfg.find("secret"), std::string::npos);
}

TEST(GrubConfig, ClearPasswordInTheScriptIsHashedAndAStoredHashAloneLocksTheMenu) {
  const std::string cfg = Translate(ScriptWith({{"PasswordRequest=0", "PasswordRequest=1"},
                                                {"PasswordString=\"\"", "PasswordString=\"it's me\""}}))
                              .grubConfig;
  const std::string hash = testing::GrubHashIn(cfg);
  EXPECT_NE(cfg.find("password_pbkdf2 rescue grub.pbkdf2.sha512.10000."), std::string::npos) << cfg;
  EXPECT_TRUE(testing::GrubHashOpens(hash, "it's me")) << hash;
  EXPECT_FALSE(testing::GrubHashOpens(hash, "it's Me"));

  const std::string stored = PasswordHashText(HashPassword("x", PasswordSalt{}));
  const BootMenu menu = Translate(ScriptWith(
      {{"PasswordRequest=0", "PasswordRequest=1"}, {"PasswordString=\"\"", "PasswordString=\"" + stored + "\""}}));
  ASSERT_TRUE(menu.errors.empty()) << "a script copied from a CD reads back";
  // No password opens what the password guards; the rest stays open.
  EXPECT_NE(menu.grubConfig.find("set superusers='rescue'\n"), std::string::npos);
  EXPECT_EQ(menu.grubConfig.find("password_pbkdf2"), std::string::npos);
  EXPECT_EQ(EntryOf(menu.grubConfig, "harddisk").find("--unrestricted"), std::string::npos);
}

TEST(GrubConfig, TitleIsQuotedForGrubWhateverItHolds) {
  EXPECT_EQ(GrubQuote("it's $x \"y\""), "'it'\\''s $x \"y\"'");
  const std::string cfg =
      Translate(ScriptWith({{"Set MenuTitle=\"Kiv Rescue CD\"", "Set MenuTitle=\"Bob's $CD\""}})).grubConfig;
  EXPECT_NE(cfg.find("menuentry 'Bob'\\''s $CD: DOS"), std::string::npos);
}

// GRUB's own syntax check takes the menu and the starter.
TEST(GrubConfig, GrubScriptCheckAcceptsTheMenuAndTheStarter) {
  if (SystemLauncher().FindProgram("grub-script-check").empty())
    GTEST_SKIP() << "grub-script-check (grub-common) is not installed";
  MenuData data;
  data.password = HashPassword("pw", PasswordSalt{});
  data.grubPassword = GrubPasswordHash("pw", {9}, 3);
  const std::string cfg =
      Translate(ScriptWith({{"Set MenuTitle=\"Kiv Rescue CD\"", "Set MenuTitle=\"Bob's {CD}\""}}), true, &data)
          .grubConfig;
  TestTempDir dir;
  for (const std::string& text : {cfg, RenderGrubStarter("/boot/grub/" + GrubMarkerName(cfg))}) {
    testing::WriteText(dir / "grub.cfg", text);
    const RunResult r = RunAndCapture({"grub-script-check", dir / "grub.cfg"});
    EXPECT_EQ(r.exitCode, 0) << r.output << "\n" << text;
  }
}

TEST(GrubConfig, StarterFindsTheCdByItsMarkerAndReadsItsMenu) {
  const std::string a = GrubMarkerName("menu a"), b = GrubMarkerName("menu b");
  EXPECT_NE(a, b);
  EXPECT_TRUE(std::regex_match(a, std::regex("kivcd-[0-9a-f]{16}\\.id")));
  const std::string starter = RenderGrubStarter("/boot/grub/" + a);
  EXPECT_NE(starter.find("search --no-floppy --file --set=root /boot/grub/" + a + "\n"), std::string::npos);
  EXPECT_NE(
      starter.find("set prefix=($root)/boot/grub\nif [ -f /boot/grub/" + a + " ]; then\n  source $prefix/grub.cfg\n"),
      std::string::npos);
  // A CD that cannot be found never leaves GRUB's command line open.
  EXPECT_NE(starter.find("else\n"), std::string::npos);
  EXPECT_NE(starter.find("  reboot\nfi\n"), std::string::npos);
}

}  // namespace
}  // namespace kiv
