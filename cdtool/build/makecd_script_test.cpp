#include "cdtool/build/makecd_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/process_runner.h"
#include "testsupport/build_test_support.h"

namespace kiv {
namespace {

const char* kMastering =
    "mkisofs.exe  -volid \"KIV_RESCUE\" -preparer \"Verlanth\" -publisher \"VANTO LTD\" -appid \"Kiv CD Creator\""
    " -iso-level 4 -omit-period -no-emul-boot -boot-load-size 4 -eltorito-boot boot/loader.bin"
    " -hide kivcd/boot/loader.bin -hide /boot.catalog -follow-links -cache-inodes -untranslated-filenames -output ";

TEST(MakeCdBat, FourLinesWithoutOptimisationFiveWithIt) {
  std::string plain = RenderMakeCdBat("C:\\PROGRA~1\\KIVCD", "C:\\KIVCD.ISO", false);
  EXPECT_EQ(plain,
            std::string("@echo off\r\nC:\r\ncd c:\\progra~1\\kivcd\r\n") + kMastering + "c:\\kivcd.iso kivcd\r\n");
  std::string optimised = RenderMakeCdBat("D:\\Kiv", "E:\\Out\\My.ISO", true);
  EXPECT_EQ(optimised, std::string("@echo off\r\nD:\r\ncd d:\\kiv\r\ndfl.exe kivcd link\r\n") + kMastering +
                           "e:\\out\\my.iso kivcd\r\n");
}

TEST(MakeCdSh, QuotesEveryPathAndKeepsLetterCase) {
  std::string text = RenderMakeCdSh("/opt/Kiv CD", "/home/u/My 'best' $(touch x).ISO", true);
  EXPECT_EQ(text,
            "#!/bin/sh\n"
            "cd '/opt/Kiv CD' || exit 1\n"
            "./dfl kivcd link\n"
            "./mkisofs  -volid \"KIV_RESCUE\" -preparer \"Verlanth\" -publisher \"VANTO LTD\" -appid \"Kiv CD "
            "Creator\" -iso-level 4 -omit-period -no-emul-boot -boot-load-size 4 -eltorito-boot boot/loader.bin"
            " -hide kivcd/boot/loader.bin -hide /boot.catalog -follow-links -cache-inodes -untranslated-filenames"
            " -output '/home/u/My '\\''best'\\'' $(touch x).ISO' kivcd\n");
  EXPECT_EQ(RenderMakeCdSh("/p", "/i.iso", false).find("dfl"), std::string::npos);
}

// A UEFI boot image in the tree: its El Torito entry comes right after the
// BIOS one, then the MBR and GPT that let a stick boot it; nothing else moves.
TEST(MakeCdSh, AnEfiImageAddsItsEntryAfterTheBiosOne) {
  const std::string efi =
      " -eltorito-boot boot/loader.bin -eltorito-alt-boot -e boot/efi/efiboot.img -no-emul-boot"
      " -isohybrid-mbr files/isohdpfx.bin -isohybrid-gpt-basdat -hide kivcd/boot/loader.bin";
  std::string plain = RenderMakeCdSh("/p", "/i.iso", false, false);
  std::string withEfi = RenderMakeCdSh("/p", "/i.iso", false, true);
  EXPECT_EQ(plain.find("-eltorito-alt-boot"), std::string::npos);
  EXPECT_NE(withEfi.find(efi), std::string::npos) << withEfi;
  std::string bios = withEfi;
  bios.erase(bios.find(" -eltorito-alt-boot"),
             efi.size() - std::string(" -eltorito-boot boot/loader.bin -hide kivcd/boot/loader.bin").size());
  EXPECT_EQ(bios, plain);
  std::string bat = RenderMakeCdBat("C:\\KIV", "C:\\KIV.ISO", false, true);
  EXPECT_NE(bat.find(efi), std::string::npos) << bat;
}

// A reproducible build's weight list comes right after the switches.
TEST(MakeCdSh, AWeightListFollowsTheSwitches) {
  const std::string plain = RenderMakeCdSh("/p", "/i.iso", false, false);
  const std::string sorted = RenderMakeCdSh("/p", "/i.iso", false, false, "mkisofs.sort");
  EXPECT_EQ(plain.find("--sort-weight-list"), std::string::npos);
  std::string expected = plain;
  expected.insert(expected.find(" -output "), " --sort-weight-list 'mkisofs.sort'");
  EXPECT_EQ(sorted, expected);
  EXPECT_NE(RenderMakeCdBat("C:\\KIV", "C:\\KIV.ISO", false, false, "mkisofs.sort")
                .find(" -untranslated-filenames --sort-weight-list mkisofs.sort -output c:\\kiv.iso kivcd"),
            std::string::npos);
}

// The shell must hand every path over literally, whatever it contains.
TEST(MakeCdSh, ShellTakesQuotedTextLiterally) {
  testing::ProgramFolder folder;
  const std::string nasty = "a b 'c' \"d\" $(touch pwned) `touch pwned2` \\ * ;";
  std::string script = "printf '%s' " + ShellQuote(nasty) + " > out.txt\n";
  testing::WriteText(folder.P("t.sh"), script);
  RunOptions options;
  options.workingDir = folder.dir;
  RunResult r = RunAndCapture({"/bin/sh", folder.P("t.sh")}, options);
  ASSERT_TRUE(r.ended);
  EXPECT_EQ(folder.Read("out.txt"), nasty);
  EXPECT_FALSE(folder.Exists("pwned"));
  EXPECT_FALSE(folder.Exists("pwned2"));
}

// What the build runs and what the script the user reruns by hand run are
// the same programs with the same words: the script's tools, made to print
// their arguments, print the argument vectors the build starts.
TEST(MakeCdSh, TheScriptRunsTheArgumentVectorsTheBuildRuns) {
  testing::ProgramFolder folder;
  for (const char* tool : {"mkisofs", "dfl"})
    testing::WriteScript(folder.P(tool), std::string("#!/bin/sh\necho ") + tool + "\nprintf '%s\\n' \"$@\"\n");
  const std::string iso = folder.P("My 'best' CD.iso");
  for (const bool efi : {false, true}) {
    for (const std::string& list : {std::string(), std::string("mkisofs.graft")}) {
      SCOPED_TRACE(std::string(efi ? "efi " : "") + list);
      testing::WriteText(folder.P("makecd.sh"), RenderMakeCdSh(folder.dir, iso, true, efi, "mkisofs.sort", list,
                                                               list.empty() ? "" : "mkisofs.dates"));
      const RunResult r = RunAndCapture({"/bin/sh", folder.P("makecd.sh")}, RunOptions{});
      ASSERT_TRUE(r.ended && r.exitCode == 0) << r.output;

      std::string expected;
      for (const auto& argv : {LinkDuplicatesArgv("dfl"), MasteringArgv("mkisofs", iso, efi, "mkisofs.sort", list,
                                                                        list.empty() ? "" : "mkisofs.dates")})
        for (const std::string& word : argv) expected += word + "\n";
      EXPECT_EQ(r.output, expected);
    }
  }
}

}  // namespace
}  // namespace kiv
