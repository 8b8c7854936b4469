// The boot-menu step inside the build run, on a temporary program folder with
// the shipped menu script and fake bootsmith and mastering tools.
#include "cdtool/build/boot_menu_step.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <utility>
#include <vector>

#include "cdtool/bootmenu/boot_menu_edits.h"
#include "cdtool/bootmenu/efi_boot_image.h"
#include "cdtool/bootmenu/password_gate.h"
#include "cdtool/build/build_run.h"
#include "common/paths.h"
#include "common/process_runner.h"
#include "common/prompter.h"
#include "common/stop_request.h"
#include "testsupport/build_test_support.h"
#include "testsupport/fake_platform.h"
#include "testsupport/grub_hash_check.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/seeded_random.h"

namespace kiv {
namespace {

using testing::BootDisksOnly;
using testing::ProgramFolder;
using testing::RecordingEvents;

std::string ShippedScript() {
  std::ifstream in(KIV_CD_TEMPLATE_DIR "/boot/scripts/main.cds", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class BootMenuStep : public ::testing::Test {
 protected:
  ProgramFolder folder;
  ScriptedPrompter prompter;
  RecordingEvents view;
  testing::FakeLauncher tools;
  FakePlatform platform;
  BuildRun run{folder.dir, prompter, view, {tools, platform}};
  const std::string templateScript = "files/kivcd/boot/scripts/main.cds";

  void SetUp() override {
    testing::AddFakeCdTools(tools, folder.dir);
    testing::WriteText(folder.P(templateScript), ShippedScript());
    testing::WriteText(folder.P("files/kivcd/boot/isolinux/memdisk"), "memdisk");
    testing::WriteText(folder.P("files/kivcd/boot/isolinux/chain.c32"), "chain");
    run.settings = BootDisksOnly(folder);
  }
  // The gate block of the tree's loader.
  std::string Gate() const {
    std::string loader = folder.Read("kivcd/boot/loader.bin");
    size_t at = loader.find(kGateMagic);
    return at == std::string::npos ? "" : loader.substr(at, kGateBlockSize);
  }
  // Whether `password`, typed at the loader's prompt, opens `gate`: its hash
  // with the gate's salt is the gate's (stored as the loader's SHA-256 leaves
  // it, each group of four bytes reversed).
  static bool Opens(const std::string& gate, const std::string& password) {
    PasswordSalt salt{};
    std::copy_n(gate.begin() + kGateSalt.offset, salt.size(), salt.begin());
    const PasswordHash hash = HashPassword(password, salt);
    for (size_t i = 0; i < hash.digest.size(); ++i)
      if (static_cast<uint8_t>(gate[kGateHash.offset + (i ^ 3)]) != hash.digest[i]) return false;
    return true;
  }
  // Replaces a line of the template's script, as a user's hand edit would.
  void EditTemplate(const std::string& from, const std::string& to) {
    std::string text = folder.Read(templateScript);
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    testing::WriteText(folder.P(templateScript), text);
  }
  void ExpectHalted(const std::string& cause) {
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].title, "Fatal Error");
    EXPECT_EQ(prompter.messages[0].icon, Icon::Critical);
    EXPECT_EQ(prompter.messages[0].text,
              "A fatal Error occured while writing the boot menu, operation halted\n\n" + cause);
    EXPECT_EQ(run.Status().heading, "   Operation failed");
    EXPECT_EQ(run.Status().steps[3].mark, StepMark::None) << "step 4 not completed";
    EXPECT_FALSE(folder.Exists("kivcd.iso"));
    EXPECT_FALSE(folder.Exists("kivcd/boot/isolinux/isolinux.cfg"));
    EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Failed);
    EXPECT_EQ(run.Outcome().step, 4);
    EXPECT_EQ(run.Outcome().reason, cause);
  }
};

TEST_F(BootMenuStep, TheBuildWritesTheMenuAndThePasswordIntoTheTree) {
  run.password.Protect = true;
  run.password.Password = run.password.Confirmation = "a \"b\" $c \\d";
  // A hand edit of the template shows up in the menu of the next CD.
  EditTemplate("Set MenuTitle=\"Kiv Rescue CD\"", "Set MenuTitle=\"Our own rescue CD\"");
  const std::string templateLoader = folder.Read("files/kivcd/boot/loader.bin");
  run.Run();

  ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_TRUE(folder.Exists("kivcd.iso"));
  const std::string cfg = folder.Read("kivcd/boot/isolinux/isolinux.cfg");
  EXPECT_NE(cfg.find("\nMENU TITLE Our own rescue CD\n"), std::string::npos);
  // Images the fake bootsmith made are on the CD; the rest is greyed.
  EXPECT_NE(cfg.find("  MENU LABEL Kiv Rescue Software\n  MENU DEFAULT\n  KERNEL /boot/isolinux/memdisk\n"
                     "  INITRD /boot/images/kivstart.img\n"),
            std::string::npos);
  EXPECT_NE(cfg.find("  MENU LABEL Windows 2000/XP/2003 Setup (missing: \\I386, w2ksect.bin)\n  MENU DISABLE\n"),
            std::string::npos);

  const std::string pw = "a \"b\" $c \\d";
  const std::string gate = Gate();
  ASSERT_EQ(gate.size(), kGateBlockSize);
  EXPECT_EQ(gate[kGateAsk.offset], 1);
  EXPECT_EQ(gate[kGateRetries.offset], 3);
  EXPECT_TRUE(Opens(gate, pw));
  EXPECT_FALSE(Opens(gate, "a \"b\" $c \\D"));
  EXPECT_EQ(folder.Read("kivcd/boot/loader.bin").find(pw), std::string::npos) << "never in clear text";
  EXPECT_EQ(folder.Read("files/kivcd/boot/loader.bin"), templateLoader) << "the template is never changed";

  auto at = std::find(view.captions.begin(), view.captions.end(), "Writing the boot menu");
  ASSERT_NE(at, view.captions.end());
  auto iso = std::find(view.captions.begin(), view.captions.end(), "Creating Final ISO File");
  EXPECT_LT(at, iso);
}

TEST_F(BootMenuStep, TheHardDiskEntryListensOnTheMenusSerialConsole) {
  // The boot sector as shipped: its port block says COM1.
  const std::string shipped = std::string(40, '\x90') + "KIVHDCOM\xF8\x03" + std::string(30, '\0');
  testing::WriteText(folder.P("files/kivcd/boot/isolinux/harddisk.bin"), shipped);
  auto portAfterBuild = [&](const char* choice) {
    EditTemplate(
        folder.Read(templateScript).find("Set SerialConsole=COM2") != std::string::npos
            ? "Set SerialConsole=COM2"
            : (folder.Read(templateScript).find("Set SerialConsole=0") != std::string::npos ? "Set SerialConsole=0"
                                                                                            : "Set SerialConsole=COM1"),
        std::string("Set SerialConsole=") + choice);
    BuildRun again{folder.dir, prompter, view, {tools, platform}};
    again.settings = BootDisksOnly(folder);
    again.Run();
    EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
    const std::string image = folder.Read("kivcd/boot/isolinux/harddisk.bin");
    const size_t at = image.find("KIVHDCOM");
    EXPECT_EQ(image.size(), shipped.size());
    return at == std::string::npos ? -1
                                   : static_cast<uint8_t>(image[at + 8]) | static_cast<uint8_t>(image[at + 9]) << 8;
  };
  EXPECT_EQ(portAfterBuild("COM2"), 0x2F8);
  EXPECT_EQ(portAfterBuild("0"), 0);
  EXPECT_EQ(portAfterBuild("COM1"), 0x3F8);
  EXPECT_EQ(folder.Read("files/kivcd/boot/isolinux/harddisk.bin"), shipped) << "the template is never changed";
}

TEST_F(BootMenuStep, WithoutPasswordTheGateDoesNotAsk) {
  run.Run();
  ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  const std::string gate = Gate();
  ASSERT_EQ(gate.size(), kGateBlockSize);
  EXPECT_EQ(gate[kGateAsk.offset], 0);
  EXPECT_EQ(gate[kGateRetries.offset], 3);
  EXPECT_EQ(gate.substr(kGateSerialPort.offset, kGateSerialPort.size), "\xF8\x03");  // serial console COM1
  EXPECT_EQ(gate.substr(kGatePrompt.offset, 31), std::string("Enter the password of this CD:\0", 31));
}

// The password reaches the loader from the build, whatever the user's script
// spells its password lines like (or whether it has them at all).
TEST_F(BootMenuStep, ThePasswordIsTheWizardsWhateverTheScriptSpellsItsLinesLike) {
  const std::vector<std::pair<std::string, std::string>> spellings = {
      {"Set PasswordString=\"\"", "Set PasswordString = \"\""}, {"Set PasswordRequest=0", "Set PasswordRequest = 0"},
      {"Set PasswordRequest=0", "set\tpasswordrequest\t=\t0"},  {"Set PasswordString=\"\"", "# no password line"},
      {"Set PasswordRequest=0", "Set PasswordRequest=1"},  // the script cannot choose a password of its own
  };
  for (const auto& [from, to] : spellings) {
    SCOPED_TRACE(to);
    testing::WriteText(folder.P(templateScript), ShippedScript());
    EditTemplate(from, to);
    ScriptedPrompter quiet;
    RecordingEvents otherEvents;
    BuildRun build(folder.dir, quiet, otherEvents, {tools, platform});  // a fresh run for each spelling
    build.settings = BootDisksOnly(folder);
    build.password = BootPassword{true, "secret", "secret"};
    build.Run();
    ASSERT_TRUE(quiet.messages.empty()) << quiet.messages[0].text;
    EXPECT_TRUE(build.Outcome().Made()) << build.Outcome().Summary();
    const std::string gate = Gate();
    EXPECT_EQ(gate[kGateAsk.offset], 1) << "asks";
    EXPECT_TRUE(Opens(gate, "secret"));
  }
}

TEST_F(BootMenuStep, WithoutProtectionTheCdNeverAsksEvenIfTheScriptSaysSo) {
  EditTemplate("Set PasswordRequest=0", "Set PasswordRequest=1");
  EditTemplate("Set PasswordString=\"\"", "Set PasswordString=\"fromscript\"");
  run.Run();
  ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_EQ(Gate()[kGateAsk.offset], 0);
  EXPECT_FALSE(Opens(Gate(), "fromscript"));
}

// The CD's copy of the script holds this CD's hash or no password: never a
// password the template spells out in clear, nor a hash from another CD.
TEST_F(BootMenuStep, TheScriptOnTheCdCarriesThisCdsHashOrNothing) {
  const std::string lineOf = "Set PasswordString=";
  auto cdLine = [&]() {
    const std::string cd = folder.Read("kivcd/boot/scripts/main.cds");
    const size_t at = cd.find(lineOf);
    return at == std::string::npos ? std::string("(none)") : cd.substr(at, cd.find('\r', at) - at);
  };
  EditTemplate("Set PasswordRequest=0", "Set PasswordRequest=1");
  EditTemplate("Set PasswordString=\"\"", "  set PASSWORDSTRING = \"Sup3rSecretPw\"");
  run.Run();
  ASSERT_TRUE(run.Outcome().Made()) << run.Outcome().Summary();
  EXPECT_EQ(cdLine(), "Set PasswordString=\"\"");
  EXPECT_EQ(folder.Read("kivcd/boot/scripts/main.cds").find("Sup3rSecretPw"), std::string::npos);
  EXPECT_NE(folder.Read("kivcd/boot/scripts/main.cds").find("\r\nSet PasswordRequest=0\r\n"), std::string::npos);
  EXPECT_NE(folder.Read(templateScript).find("Sup3rSecretPw"), std::string::npos) << "the user's own file stays";

  // A hash copied from another CD gives way to the one this CD's gate holds.
  const std::string other = PasswordHashText(HashPassword("other CD", PasswordSalt{}));
  testing::WriteText(folder.P(templateScript), ShippedScript());
  EditTemplate("Set PasswordString=\"\"", "Set PasswordString=\"" + other + "\"");
  ScriptedPrompter quiet;
  RecordingEvents otherEvents;
  BuildRun build(folder.dir, quiet, otherEvents, {tools, platform});
  build.settings = BootDisksOnly(folder);
  build.password = BootPassword{true, "secret", "secret"};
  build.Run();
  ASSERT_TRUE(build.Outcome().Made()) << build.Outcome().Summary();
  const std::string line = cdLine();
  ASSERT_EQ(line.rfind(lineOf + "\"", 0), 0u) << line;
  const std::optional<PasswordHash> onCd =
      ParsePasswordHashText(line.substr(lineOf.size() + 1, line.size() - lineOf.size() - 2));
  ASSERT_TRUE(onCd.has_value()) << line;
  const std::string gate = Gate();
  EXPECT_EQ(HexDigits(onCd->salt.data(), onCd->salt.size()),
            HexDigits(reinterpret_cast<const uint8_t*>(gate.data()) + kGateSalt.offset, onCd->salt.size()));
  EXPECT_EQ(onCd->digest, HashPassword("secret", onCd->salt).digest);
  EXPECT_EQ(folder.Read("kivcd/boot/scripts/main.cds").find(other), std::string::npos);
}

// Nothing but this CD's hash names the password on the CD: a line commented
// out, or any other line that carries the setting's name, is emptied there.
TEST_F(BootMenuStep, NoOtherLineNamingThePasswordReachesTheCd) {
  EditTemplate(
      "Set PasswordString=\"\"",
      "#Set PasswordString=\"0ldClearPw\"\r\nSet PasswordString=\"\"\r\n# the passwordstring was \"2ndClearPw\"");
  const std::string edited = folder.Read(templateScript);
  const auto lines = std::count(edited.begin(), edited.end(), '\n');
  for (const bool protect : {false, true}) {
    SCOPED_TRACE(protect);
    ScriptedPrompter quiet;
    RecordingEvents otherEvents;
    BuildRun build(folder.dir, quiet, otherEvents, {tools, platform});
    build.settings = BootDisksOnly(folder);
    build.password = BootPassword{protect, "secret", "secret"};
    build.Run();
    ASSERT_TRUE(build.Outcome().Made()) << build.Outcome().Summary();
    const std::string cd = folder.Read("kivcd/boot/scripts/main.cds");
    EXPECT_EQ(cd.find("ClearPw"), std::string::npos) << cd;
    EXPECT_EQ(ToLower(cd).find("#set passwordstring"), std::string::npos) << cd;
    size_t naming = 0;
    for (size_t at = ToLower(cd).find("passwordstring"); at != std::string::npos;
         at = ToLower(cd).find("passwordstring", at + 1))
      ++naming;
    EXPECT_EQ(naming, 1u) << cd;
    // (The password edits add a line end each.)
    if (!protect) {
      EXPECT_EQ(std::count(cd.begin(), cd.end(), '\n'), lines) << "the line numbers stay";
    }
  }
}

TEST(ScriptSetting, EverySpellingOfTheLineIsRewrittenAndItsLineEndKept) {
  EXPECT_EQ(WithScriptSetting("a\r\n set\tpasswordstring = \"x\"\r\nSet PasswordStringX=1\nSet Password=2\n",
                              "PasswordString", "\"\""),
            "a\r\nSet PasswordString=\"\"\r\nSet PasswordStringX=1\nSet Password=2\n");
  EXPECT_EQ(WithScriptSetting("#Set PasswordString=\"x\"\nSetPasswordString=\"y\"", "PasswordString", "\"\""),
            "#Set PasswordString=\"x\"\nSetPasswordString=\"y\"");
  EXPECT_EQ(WithScriptSetting("Set PasswordRequest=1", "PasswordRequest", "0"), "Set PasswordRequest=0");
}

TEST_F(BootMenuStep, MismatchedConfirmationBuildsACdThatDoesNotAsk) {
  run.password = BootPassword{true, "secret", "Secret"};
  run.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].title, "Password Protection disabled");
  EXPECT_TRUE(run.Outcome().Made());
  EXPECT_EQ(Gate()[kGateAsk.offset], 0);
}

TEST_F(BootMenuStep, AScriptErrorHaltsTheBuildNamingFileAndLine) {
  EditTemplate("Set MenuTimeout=30", "Set MenuTimeout=30 seconds");
  run.Run();
  // The message names the script the user edits, not the work copy.
  ExpectHalted(folder.P("files/kivcd/boot/scripts/main.cds") +
               ", line 11: MenuTimeout=30 seconds is not a number from 0 to 3599");
}

TEST_F(BootMenuStep, AMissingScriptHaltsTheBuild) {
  std::filesystem::remove(folder.P(templateScript));
  run.Run();
  ExpectHalted("the boot menu script " + folder.P("kivcd/boot/scripts/main.cds") + " is missing or cannot be read");
}

TEST_F(BootMenuStep, ALoaderWithoutGateHaltsTheBuild) {
  testing::WriteText(folder.P("files/kivcd/boot/loader.bin"), std::string(2048, '\0'));
  run.Run();
  ExpectHalted(folder.P("kivcd/boot/loader.bin") +
               ": no password gate block (\"KIVGATE2\"); this loader cannot ask for the password");
}

// Stand-ins for the signed loaders, in the program folder.
EfiLoaders FakeLoaders(const ProgramFolder& folder) {
  EfiLoaders loaders{folder.P("signed/shim"), folder.P("signed/grub"), folder.P("signed/mm")};
  testing::WriteText(loaders.shim, "shim " + std::string(5000, 's'));
  testing::WriteText(loaders.grub, "grub " + std::string(9000, 'g'));
  testing::WriteText(loaders.mokManager, "mok manager");
  return loaders;
}

// A file of the tree's EFI image, as mtools reads it back.
std::string InEfiImage(const ProgramFolder& folder, const std::string& path) {
  const std::string out = folder.P("from-image");
  std::filesystem::remove(out);
  RunAndCapture({"mcopy", "-i", folder.P("kivcd/boot/efi/efiboot.img"), "::" + path, out});
  return folder.Read("from-image");
}

TEST_F(BootMenuStep, TheBuildWritesTheUefiMenuWithThePasswordAndItsBootImage) {
  run.efiLoaders = FakeLoaders(folder);
  run.password = BootPassword{true, "open sesame", "open sesame"};
  EditTemplate("Set MenuTitle=\"Kiv Rescue CD\"", "Set MenuTitle=\"Our own rescue CD\"");
  run.Run();
  ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_TRUE(run.Outcome().Made());

  const std::string cfg = folder.Read("kivcd/boot/grub/grub.cfg");
  EXPECT_NE(cfg.find("menuentry 'Our own rescue CD: DOS floppies"), std::string::npos) << cfg;
  const std::string hash = testing::GrubHashIn(cfg);
  EXPECT_NE(cfg.find("password_pbkdf2 rescue " + hash + "\n"), std::string::npos) << cfg;
  EXPECT_TRUE(testing::GrubHashOpens(hash, "open sesame")) << "the wizard's password";
  EXPECT_FALSE(testing::GrubHashOpens(hash, "open Sesame"));
  EXPECT_EQ(cfg.find("open sesame"), std::string::npos) << "never in clear text";

  // The image: shim as the default loader, GRUB beside it, and a starter that
  // finds this CD by a marker the tree has.
  EXPECT_EQ(InEfiImage(folder, "/EFI/BOOT/BOOTX64.EFI"), folder.Read("signed/shim"));
  EXPECT_EQ(InEfiImage(folder, "/EFI/BOOT/grubx64.efi"), folder.Read("signed/grub"));
  const std::string starter = InEfiImage(folder, "/boot/grub/grub.cfg");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(starter, m, std::regex(R"(--set=root (/boot/grub/kivcd-[0-9a-f]+\.id)\n)"))) << starter;
  EXPECT_TRUE(folder.Exists("kivcd" + m[1].str()));
  EXPECT_FALSE(folder.Exists("files/kivcd/boot/efi/efiboot.img")) << "the template is never changed";
}

TEST_F(BootMenuStep, WithoutAFixedDateTheSaltsAreThePlatformsRandomBytes) {
  // Both menus' salts come from the random bytes the run was handed: the
  // same bytes give the same gate and UEFI menu, other bytes other salts.
  auto build = [this](uint32_t seed) {
    platform.random = testing::SeededRandom(seed);
    ScriptedPrompter quiet;
    RecordingEvents events;
    BuildRun again(folder.dir, quiet, events, {tools, platform});
    again.settings = BootDisksOnly(folder);
    again.password = BootPassword{true, "secret", "secret"};
    again.efiLoaders = FakeLoaders(folder);
    again.Run();
    EXPECT_TRUE(again.Outcome().Made()) << again.Outcome().Summary();
    return std::make_pair(Gate(), testing::GrubHashIn(folder.Read("kivcd/boot/grub/grub.cfg")));
  };
  const auto first = build(3);
  ASSERT_EQ(first.first.size(), kGateBlockSize);
  EXPECT_TRUE(Opens(first.first, "secret"));
  EXPECT_TRUE(testing::GrubHashOpens(first.second, "secret"));
  EXPECT_EQ(build(3), first);
  const auto other = build(4);
  EXPECT_NE(other.first, first.first);
  EXPECT_NE(other.second, first.second);
}

TEST_F(BootMenuStep, WithoutTheSignedLoadersTheCdStartsInBiosModeOnly) {
  run.efiLoaders.shim = folder.P("not/installed/shimx64.efi.signed");
  run.Run();
  ASSERT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_TRUE(run.Outcome().Made());
  EXPECT_TRUE(folder.Exists("kivcd/boot/isolinux/isolinux.cfg"));
  EXPECT_FALSE(folder.Exists("kivcd/boot/efi/efiboot.img"));
  EXPECT_NE(testing::ReadText(run.LogPath()).find("No UEFI boot menu on this CD: " + run.efiLoaders.shim),
            std::string::npos);
}

TEST_F(BootMenuStep, AFailedEfiImageHaltsTheBuild) {
  run.efiLoaders = FakeLoaders(folder);
  tools.Add("mcopy", [](const testing::FakeCommand&) { return testing::Exits(1, {"Disk full"}); });
  run.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  const std::string cause = run.Outcome().reason;
  EXPECT_EQ(cause.find("cannot make the UEFI boot image " + folder.P("kivcd/boot/efi/efiboot.img") + ": mcopy"), 0u)
      << cause;
  EXPECT_NE(cause.find("Disk full"), std::string::npos);
  ExpectHalted(cause);
  EXPECT_FALSE(folder.Exists("kivcd/boot/efi/efiboot.img"));
}

// SIGTERM or SIGHUP while the UEFI image is made ends mcopy, which then
// fails; that is the stop's doing, so the run is cancelled, not failed.
TEST_F(BootMenuStep, AStopWhileTheEfiImageIsMadeCancelsTheBuild) {
  run.efiLoaders = FakeLoaders(folder);
  tools.Add("mcopy", [](const testing::FakeCommand&) {
    RequestStop();
    return testing::Exits(-1, {});
  });
  run.Run();
  ClearStopRequest();
  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_EQ(run.Outcome().kind, BuildOutcome::Kind::Cancelled) << run.Outcome().Summary();
  EXPECT_EQ(run.Status().heading, "   Operation canceled");
  EXPECT_FALSE(folder.Exists("kivcd/boot/efi/efiboot.img"));
  EXPECT_NE(testing::ReadText(run.LogPath()).find("Build cancelled; no ISO image made"), std::string::npos);
}

}  // namespace
}  // namespace kiv
