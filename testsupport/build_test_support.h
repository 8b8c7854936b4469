#pragma once
// Test support for the build-run tests: a temporary program folder with a
// small CD template, boot sectors, answer-file template and fake outside
// programs (bootsmith, mkisofs, dfl) written as shell scripts, plus a wizard
// frame that records what the run did to it. Header-only, tests only.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cdtool/bootmenu/gate_layout.h"
#include "cdtool/build/build_run.h"
#include "testsupport/fake_launcher.h"
#include "testsupport/test_files.h"

namespace kiv::testing {

namespace fs = std::filesystem;

// A bootsmith stand-in: records its arguments in bootsmith.calls and leaves
// the disk's image in its folder, unless a file fail.<disk> exists there.
inline const char* kFakeBootsmith = R"SH(#!/bin/sh
cd "$(dirname "$0")"
echo "$*" >> bootsmith.calls
disk=
for a in "$@"; do disk=$a; done
case $disk in
  kivsoftware) img=kivstart.img ;;
  kivsoftware_emm) img=kivemm.img ;;
  winsetup) img=kivwin.img ;;
  lorvaplus288) img=kivlorva.img ;;
  netaccess) img=kivnet.img ;;
  *) exit 2 ;;
esac
echo "bootsmith: building $disk"
[ -e "fail.$disk" ] && exit 1
printf 'image of %s' "$disk" > "$img"
)SH";

// A mastering-tool stand-in printing the phrases the front end reads. With
// mkisofs.nospace in its folder it reports a full disk after a partial file.
inline const char* kFakeMkisofs = R"SH(#!/bin/sh
out=
while [ $# -gt 0 ]; do
  if [ "$1" = "-output" ]; then out=$2; shift; fi
  shift
done
printf '%s\n' "$*" > /dev/null
echo "Scanning ./kivcd/boot" >&2
if [ -e mkisofs.nospace ]; then
  printf 'partial' > "$out"
  echo "genisoimage: No space left on device. Cannot write" >&2
  exit 1
fi
echo " 45.67% done, estimate finish" >&2
echo " 95.10% done, estimate finish" >&2
printf 'ISO image' > "$out" || exit 1
echo "290 extents written (0 MB)" >&2
)SH";

inline const char* kFakeDfl = R"SH(#!/bin/sh
echo "Calculating MD5 digests"
echo "Finding duplicate files"
echo "dfl $*" > dfl.called
)SH";

// A program folder with the CD template and the fake programs.
struct ProgramFolder {
  std::string dir;

  ProgramFolder() : dir(MakeTempDir("cdbuild")) {
    WriteText(P("files/kivcd/readme.txt"), "Kiv Rescue CD\r\n");
    // A loader with the password gate block the build fills in.
    std::string block(kGateBlockSize, '\0');
    block.replace(kGateTag.offset, kGateTag.size, kGateMagic);
    std::string loader(2048, '\x90');
    loader.replace(0x600, block.size(), block);
    WriteText(P("files/kivcd/boot/loader.bin"), loader);
    WriteText(P("files/kivcd/boot/scripts/main.cds"),
              "Set PasswordRequest=0\r\nSet PasswordString=\"\"\r\n"
              "Set WinKey1=\"Store\"\r\nSet WinKey2=\"your_\"\r\nSet WinKey3=\"Produ\"\r\n"
              "Set WinKey4=\"ctKey\"\r\nSet WinKey5=\"here_\"\r\n"
              "Set Action3_Text=\"Show the stored Windows product key\"\r\n#Set Action3_Macro=\"ShowWinKey\"\r\n"
              ":ShowWinKey\r\n  Print \"Key: %WinKey1%-%WinKey2%-%WinKey3%-%WinKey4%-%WinKey5%\"\r\n"
              "  WaitKey\r\n  Menu\r\n");
    fs::create_directories(P("files/kivcd/boot/images"));
    // isolinux's MBR, which the mastering tool copies when the CD boots on UEFI.
    WriteText(P("files/isohdpfx.bin"), std::string(432, '\0'));
    WriteText(P("files/bootsect/w2ksect.bin"), std::string("\xEB\x3C setup I386 ", 14) + std::string(20, '\0'));
    WriteText(P("files/bootsect/erdc.bin"), std::string("\xEB\x3C load I386\\SETUPLDR.BIN I386\0", 31));
    WriteText(P("files/bootsect/oobc.bin"), std::string("\xEB\x3C load I386\\SETUPLDR.BIN\0", 26));
    WriteText(P("files/inf_files/win2k_template.inf"),
              "[Data]\r\nAutoPartition=0\r\n[UserData]\r\nFullName=\r\n[Identification]\r\nJoinWorkgroup=\r\n");
    WriteText(P("files/inf_files/win98_template.inf"), "[Setup]\r\nProductKey=\r\n[NameAndOrg]\r\n[Network]\r\n");
    WriteText(P("files/inf_files/winme_template.inf"), "[Setup]\r\nProductKey=\r\n[NameAndOrg]\r\n[Network]\r\n");
    // The rescue system's recipe: the hook is only handed to mmdebstrap.
    WriteText(P("files/rescue/packages.txt"), "# rescue tools\nntfs-3g\ntestdisk\n");
    WriteText(P("files/rescue/customize.sh"), "#!/bin/sh\n");
    WriteScript(P("bootsmith"), kFakeBootsmith);
    WriteScript(P("mkisofs"), kFakeMkisofs);
    WriteScript(P("dfl"), kFakeDfl);
  }
  ~ProgramFolder() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  std::string P(const std::string& relative) const { return dir + "/" + relative; }
  bool Exists(const std::string& relative) const { return fs::exists(P(relative)); }
  std::string Read(const std::string& relative) const { return ReadText(P(relative)); }
};

// Records what a build run tells its events: the page a wizard would show
// (10 while it runs, 9 once it was cancelled or has ended), whether Finish
// and Cancel are offered, and each sub-step caption as it changes.
// CaptionChanged and PumpEvents are where a test acts during the run.
struct RecordingEvents : BuildEvents {
  int page = 8;
  bool finishAllowed = true, cancelAllowed = true;
  int cancelled = 0, ended = 0, pumps = 0;
  std::string caption;
  std::vector<std::string> captions;

  void RunStarted() override { page = 10; }
  void FinishAllowed(bool allowed) override { finishAllowed = allowed; }
  void CancelAllowed(bool allowed) override { cancelAllowed = allowed; }
  void Progressed(const BuildStatus& status) override {
    if (status.subStep == caption) return;
    caption = status.subStep;
    captions.push_back(caption);
    CaptionChanged(caption);
  }
  void RunCancelled() override {
    page = 9;
    ++cancelled;
  }
  void RunEnded() override {
    page = 9;
    ++ended;
  }
  void PumpEvents() override { ++pumps; }
  virtual void CaptionChanged(const std::string& /*caption*/) {}
};

// The programs of a CD build, in process. bootsmith leaves the disk's image in
// the program folder (nothing, and status 1, when fail.<disk> is there).
inline FakeProgram FakeBootsmith(const std::string& programFolder) {
  return [programFolder](const FakeCommand& c) {
    static const std::map<std::string, std::string> kImages = {{"kivsoftware", "kivstart.img"},
                                                               {"kivsoftware_emm", "kivemm.img"},
                                                               {"winsetup", "kivwin.img"},
                                                               {"lorvaplus288", "kivlorva.img"},
                                                               {"netaccess", "kivnet.img"}};
    const std::string disk = c.argv.back();
    auto image = kImages.find(disk);
    if (image == kImages.end()) return Exits(2);
    // A failing disk says what its "fail.<disk>" file holds, as its last words.
    if (fs::exists(programFolder + "/fail." + disk))
      return Exits(1, {"bootsmith: building " + disk + "\n", ReadText(programFolder + "/fail." + disk)});
    WriteText(programFolder + "/" + image->second, "image of " + disk);
    return Exits(0, {"bootsmith: building " + disk + "\n"});
  };
}

// mmdebstrap with the rescue hook: prints its phases and leaves what the
// hook writes where its sync-out hook copies it (the single-quoted folder at
// the end of that hook). With "mmdebstrap.fail" in the program folder it
// fails as a package that does not exist makes it fail, leaving half of the
// files. The versions it installs are those of "mirror.versions" in the
// program folder (the mirror's packages as of now), or one fixed package.
inline FakeProgram FakeMmdebstrap(const std::string& programFolder) {
  return [programFolder](const FakeCommand& c) {
    std::string out;
    for (const std::string& arg : c.argv) {
      if (arg.rfind("--customize-hook=sync-out ", 0) != 0) continue;
      const size_t close = arg.rfind('\'');
      const size_t open = arg.rfind('\'', close - 1);
      out = arg.substr(open + 1, close - open - 1);
    }
    if (out.empty()) return Exits(1, {"E: no hook\n"});
    WriteText(out + "/vmlinuz", "signed kernel");
    FakeRun run;
    run.output = {"I: running apt-get update...\n", "I: downloading packages with apt...\n"};
    if (fs::exists(programFolder + "/mmdebstrap.fail")) {
      run.exitCode = 1;
      run.output.push_back("E: Unable to locate package no-such-tool\nE: apt-get install failed\n");
      return run;
    }
    WriteText(out + "/initrd.img", "initramfs");
    WriteText(out + "/filesystem.squashfs", "squashed tree");
    const std::string mirrorVersions = programFolder + "/mirror.versions";
    WriteText(out + "/packages.versions",
              fs::exists(mirrorVersions) ? ReadText(mirrorVersions) : std::string("ntfs-3g 1:2022.10.3-1+b1\n"));
    run.output.push_back("I: installing remaining packages inside the chroot...\nrescue: squashing the tree\n");
    run.output.push_back("[=====|      ] 100/200  50%\r[===========|] 200/200 100%\n");
    run.output.push_back("I: success in 9.99 seconds\n");
    return run;
  };
}

// The mastering tool: writes "ISO image" to its -output and prints the
// phrases the front end reads (with mkisofs.nospace in the program folder: a
// partial file and a full disk).
inline FakeProgram FakeMkisofs(const std::string& programFolder) {
  return [programFolder](const FakeCommand& c) {
    std::string iso;
    for (size_t i = 0; i + 1 < c.argv.size(); ++i)
      if (c.argv[i] == "-output") iso = c.argv[i + 1];
    FakeRun run;
    if (iso.empty()) return Exits(1, {"mkisofs: no -output\n"});
    run.output.push_back("Scanning ./kivcd/boot\n");
    if (fs::exists(programFolder + "/mkisofs.nospace")) {
      WriteText(iso, "partial");
      run.output.push_back("genisoimage: No space left on device. Cannot write\n");
      run.exitCode = 1;
      return run;
    }
    run.output.push_back(" 45.67% done, estimate finish\n");
    run.output.push_back(" 95.10% done, estimate finish\n");
    WriteText(iso, "ISO image");
    run.output.push_back("290 extents written (0 MB)\n");
    return run;
  };
}

// The duplicate linker: says what it does and links nothing.
inline FakeRun FakeDfl(const FakeCommand&) { return Exits(0, {"Calculating MD5 digests\nFinding duplicate files\n"}); }

inline void AddFakeCdTools(FakeLauncher& tools, const std::string& programFolder) {
  tools.Add("bootsmith", FakeBootsmith(programFolder));
  tools.Add("mkisofs", FakeMkisofs(programFolder));
  tools.Add("dfl", FakeDfl);
  tools.Add("mmdebstrap", FakeMmdebstrap(programFolder));
  // The EFI boot image is made by the real mtools.
  for (const char* mtool : {"mformat", "mmd", "mcopy", "mdir"}) tools.Add(mtool, RunsTheRealProgram);
}

// Settings for a run with only the boot disks, the ISO into the program folder.
inline SessionSettings BootDisksOnly(const ProgramFolder& folder) {
  SessionSettings s;
  s.BootDisks.Use_LorvaPlus = 1;
  s.BootDisks.AcceptDrivers = 1;
  s.Main.Windows2K = 0;
  s.Main.Windows9x = 0;
  s.Main.AdvancedTools = 0;
  s.Main.LinuxRescue = 0;
  s.Locations.kivUtils = 0;
  s.Locations.AddFiles = 0;
  s.Win2K_Info.SP_exe.clear();
  s.Main.ISOLocation = folder.P("kivcd.iso");
  return s;
}

}  // namespace kiv::testing
