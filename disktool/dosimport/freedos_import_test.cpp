// The DOS import from FreeDOS sources the tests make themselves: an installed
// FreeDOS folder, a distribution with zip packages (made with zip, unpacked
// by the import with unzip), and floppy and partitioned USB images (made with
// mtools, read by the import with mtools). The files are small fakes: a
// kernel with the FreeDOS kernel's first bytes, a FreeCOM stand-in, a few
// programs; each carries its own name so the test sees which file went where.
#include "disktool/dosimport/freedos_import.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/process_runner.h"
#include "common/prompter.h"
#include "disktool/dosimport/dos_import.h"
#include "disktool/dosimport/freedos_source.h"
#include "disktool/workspace/wait_window.h"
#include "testsupport/fake_disk_tools.h"
#include "testsupport/scripted_prompter.h"
#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;

std::string Kernel(const std::string& build) { return std::string("\xEB\x3F") + "CONFIG" + " kernel " + build; }
std::string Program(const std::string& name) { return "FreeDOS program " + name + "\r\n"; }

bool HaveTools(std::initializer_list<const char*> tools) {
  for (const char* tool : tools)
    if (SystemLauncher().FindProgram(tool).empty()) return false;
  return true;
}

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// A program folder with the stand-in the build assembled, and the answers
// that lead the import to `source`.
struct Fixture {
  TestTempDir dir;
  std::string program = dir / "prog";
  std::string dos = program + "/dos";
  ScriptedPrompter prompter;
  MemoryWaitWindow wait;

  Fixture() {
    fs::create_directories(program + "/files/dosimport");
    fs::copy_file(std::string(KIV_DISK_DATA_DIR) + "/files/dosimport/NOTINDOS.EXE",
                  program + "/files/dosimport/NOTINDOS.EXE");
  }
  bool ImportFrom(const std::string& source) {
    prompter.answers = {Answer::OK};
    prompter.paths = {source};
    DosImport import(program, "", "", prompter, wait, SystemLauncher());
    return import.ImportDOS();
  }
  std::string Dos(const std::string& name) const { return testing::ReadText(dos + "/" + name); }
  // Each name of the dos folder holds the FreeDOS program given beside it.
  void ExpectPrograms(const std::vector<std::pair<std::string, std::string>>& expected) const {
    for (const auto& [name, program] : expected) EXPECT_EQ(Dos(name), Program(program)) << name;
  }
  // The import refused the source with a message holding `text`.
  void ExpectRefusal(const std::string& text) const {
    const Message* refused = Titled("FreeDOS Import Failed");
    ASSERT_NE(refused, nullptr);
    EXPECT_NE(refused->text.find(text), std::string::npos) << refused->text;
  }
  const Message* Titled(const std::string& title) const {
    for (const Message& m : prompter.messages)
      if (m.title == title) return &m;
    return nullptr;
  }
};

// The sectors before a disk's first partition: a master boot record whose
// first entry is a FAT16 partition (the type is what counts) of `sectors`
// sectors from sector `first`, padded to `size` bytes.
std::string MasterBootRecord(unsigned first, unsigned sectors, size_t size) {
  std::string mbr(size, '\0');
  mbr[446 + 4] = 0x06;
  for (int i = 0; i < 4; ++i) {
    mbr[446 + 8 + i] = static_cast<char>(first >> (8 * i) & 0xFF);
    mbr[446 + 12 + i] = static_cast<char>(sectors >> (8 * i) & 0xFF);
  }
  mbr[510] = 0x55;
  mbr[511] = static_cast<char>(0xAA);
  return mbr;
}

bool IsStandInFor(const std::string& bytes, const std::string& name) {
  return bytes.compare(0, 2, "MZ") == 0 && bytes.substr(0, 512).find(kDosStandInMarker) != std::string::npos &&
         bytes.find("not part of this DOS (FreeDOS): " + name + "\r\n$") != std::string::npos;
}

// An installed FreeDOS: the kernel and FreeCOM at the top, programs in
// FREEDOS\BIN in lower case, the CD-ROM driver and extension beside them.
void MakeInstalled(const std::string& root) {
  testing::WriteText(root + "/KERNEL.SYS", Kernel("installed"));
  testing::WriteText(root + "/COMMAND.COM", Program("FreeCOM"));
  for (const char* name : {"attrib.com", "himemx.exe", "jemm386.exe", "dosfsck.exe", "lbacache.com", "mem.exe",
                           "xcopy.exe", "edit.exe", "udvd2.sys", "shsucdx.com"})
    testing::WriteText(root + "/FREEDOS/BIN/" + name, Program(name));
}

TEST(FreeDosImport, InstalledFolderMapsOntoTheDosNamesWithStandInsAndARecord) {
  Fixture f;
  MakeInstalled(f.dir / "fd");
  ASSERT_TRUE(f.ImportFrom(f.dir / "fd/COMMAND.COM"));
  EXPECT_EQ(f.Dos("IO.SYS"), Kernel("installed"));
  f.ExpectPrograms({{"COMMAND.COM", "FreeCOM"},
                    {"HIMEM.SYS", "himemx.exe"},
                    {"EMM386.EXE", "jemm386.exe"},
                    {"SCANDISK.EXE", "dosfsck.exe"},
                    {"SMARTDRV.EXE", "lbacache.com"},
                    {"EDIT.COM", "edit.exe"},
                    {"OAKCDROM.SYS", "udvd2.sys"},
                    {"MSCDEX.EXE", "shsucdx.com"}});
  // No cabinet extractor in FreeDOS: the builder puts the modules on the
  // floppies unpacked.
  EXPECT_TRUE(IsStandInFor(f.Dos("EXTRACT.EXE"), "EXTRACT.EXE "));
  EXPECT_TRUE(IsStandInFor(f.Dos("CHOICE.COM"), "CHOICE.COM  "));
  EXPECT_FALSE(DosHasCabinetExtractor(f.program));
  EXPECT_FALSE(fs::exists(f.dos + "/RAMDRIVE.SYS"));
  EXPECT_EQ(DosKind(f.dos), "FreeDOS");

  const Message* done = f.Titled("FreeDOS Imported");
  ASSERT_NE(done, nullptr);
  for (const char* line : {"IO.SYS <- KERNEL.SYS", "HIMEM.SYS <- FREEDOS/BIN/himemx.exe", "    EXTRACT.EXE\r\n",
                           "RAMDRIVE.SYS, the RAM drive for the modules"})
    EXPECT_NE(done->text.find(line), std::string::npos) << line << " in " << done->text;
  const std::string record = f.Dos(kFreeDosManifest);
  EXPECT_NE(record.find("IO.SYS <- KERNEL.SYS"), std::string::npos) << record;
  EXPECT_NE(record.find("Imported from " + (f.dir / "fd")), std::string::npos) << record;
  EXPECT_FALSE(f.wait.visible);
}

TEST(FreeDosImport, ASourceWithOnlyKernelAndShellGetsStandInsForTheRest) {
  Fixture f;
  testing::WriteText(f.dir / "mini/BIN/KERNL86.SYS", Kernel("86"));
  testing::WriteText(f.dir / "mini/BIN/command.com", Program("FreeCOM"));
  ASSERT_TRUE(f.ImportFrom(f.dir / "mini"));
  EXPECT_EQ(f.Dos("IO.SYS"), Kernel("86"));
  int standIns = 0;
  for (const char* n : kDosFiles) {
    const std::string name = n;
    if (name == "IO.SYS" || name == "COMMAND.COM") continue;
    std::string padded = name;
    padded.resize(12, ' ');
    EXPECT_TRUE(IsStandInFor(f.Dos(name), padded)) << name;
    ++standIns;
  }
  EXPECT_EQ(standIns, 23);
  for (const DosCdFile& file : kDosCdFiles) EXPECT_FALSE(fs::exists(f.dos + "/" + file.name)) << file.name;
  const Message* done = f.Titled("FreeDOS Imported");
  ASSERT_NE(done, nullptr);
  EXPECT_NE(done->text.find("OAKCDROM.SYS, the ATAPI CD-ROM driver"), std::string::npos) << done->text;
}

TEST(FreeDosImport, DistributionPackagesAreUnpackedAndThe386KernelChosen) {
  if (!HaveTools({"zip", "unzip"})) GTEST_SKIP() << "zip and unzip are needed (scripts/setup.sh installs them)";
  Fixture f;
  const std::string stage = f.dir / "stage";
  const std::string packages = f.dir / "FD14/packages";
  // FreeDOS packages keep their programs under BIN/.
  const auto pack = [&](const std::string& zip, std::initializer_list<const char*> files) {
    const std::string from = stage + "/" + fs::path(zip).stem().string();
    std::string names;
    for (const char* file : files) {
      testing::WriteText(from + "/" + file,
                         std::string(file).find("KERN") != std::string::npos ? Kernel(file) : Program(file));
      names += std::string(" ") + file;
    }
    fs::create_directories(fs::path(packages + "/" + zip).parent_path());
    Shell("cd '" + from + "' && zip -q -r '" + packages + "/" + zip + "'" + names);
  };
  pack("base/kernel.zip", {"BIN/KERNL86.SYS", "BIN/KERNL386.SYS", "SOURCE/KERNEL/KERNEL.ASM"});
  pack("base/freecom.zip", {"BIN/COMMAND.COM", "DOC/FREECOM/README.TXT"});
  pack("base/himemx.zip", {"BIN/HIMEMX.EXE"});
  pack("base/tdsk.zip", {"BIN/TDSK.EXE"});
  pack("drivers/eltorito.zip", {"BIN/ELTORITO.SYS"});
  pack("games/other.zip", {"BIN/MEM.EXE"});  // not a package the import wants
  ASSERT_TRUE(IsFreeDosFolder(f.dir / "FD14"));
  ASSERT_TRUE(f.ImportFrom(f.dir / "FD14"));
  EXPECT_EQ(f.Dos("IO.SYS"), Kernel("BIN/KERNL386.SYS"));
  f.ExpectPrograms({{"COMMAND.COM", "BIN/COMMAND.COM"},
                    {"HIMEM.SYS", "BIN/HIMEMX.EXE"},
                    {"OAKCDROM.SYS", "BIN/ELTORITO.SYS"},
                    {"RAMDRIVE.SYS", "BIN/TDSK.EXE"}});
  EXPECT_TRUE(IsStandInFor(f.Dos("MEM.EXE"), "MEM.EXE     "));
  const Message* done = f.Titled("FreeDOS Imported");
  ASSERT_NE(done, nullptr);
  EXPECT_NE(done->text.find("IO.SYS <- packages/base/kernel.zip: BIN/KERNL386.SYS"), std::string::npos) << done->text;
  // The unpacked packages are gone again.
  EXPECT_FALSE(fs::exists(f.program + "/freedos_import.tmp"));
}

// A FAT floppy image with an installed FreeDOS on it, made with mtools.
void MakeFloppyImage(const std::string& image, const std::string& stage) {
  MakeInstalled(stage);
  Shell("mformat -C -f 1440 -i '" + image + "' :: && MTOOLS_SKIP_CHECK=1 mcopy -s -i '" + image + "' '" + stage +
        "'/* ::/");
}

TEST(FreeDosImport, FloppyAndPartitionedUsbImagesAreReadWithMtools) {
  if (!HaveTools({"mformat", "mcopy", "mdir"})) GTEST_SKIP() << "mtools is needed";
  Fixture f;
  const std::string floppy = f.dir / "fdboot.img";
  MakeFloppyImage(floppy, f.dir / "stage");
  EXPECT_EQ(FatImageOffset(floppy), std::optional<uint64_t>(0));

  // The same file system as the first partition of a USB image, at sector 63.
  std::string fat;
  ASSERT_TRUE(ReadWholeFile(floppy, fat));
  const std::string usb = f.dir / "FD14FULL.img";
  testing::WriteText(usb, MasterBootRecord(63, static_cast<unsigned>(fat.size() / 512), 63 * 512) + fat);
  EXPECT_EQ(FatImageOffset(usb), std::optional<uint64_t>(63 * 512));

  ASSERT_TRUE(f.ImportFrom(usb));
  EXPECT_EQ(f.Dos("IO.SYS"), Kernel("installed"));
  EXPECT_EQ(f.Dos("MEM.EXE"), Program("mem.exe"));
  const Message* done = f.Titled("FreeDOS Imported");
  ASSERT_NE(done, nullptr);
  EXPECT_NE(done->text.find("HIMEM.SYS <- FD14FULL.img: FREEDOS/BIN/himemx.exe"), std::string::npos) << done->text;

  Fixture g;
  ASSERT_TRUE(g.ImportFrom(floppy));
  EXPECT_EQ(g.Dos("COMMAND.COM"), Program("FreeCOM"));
  EXPECT_EQ(DosKind(g.dos), "FreeDOS");
}

TEST(FreeDosImport, RefusedSourcesNameTheFileAndLetTheUserChooseAgain) {
  Fixture f;
  // A "kernel" that is not one; the user then cancels the dialog.
  testing::WriteText(f.dir / "bad/KERNEL.SYS", "MZ not a kernel");
  testing::WriteText(f.dir / "bad/COMMAND.COM", Program("FreeCOM"));
  EXPECT_FALSE(f.ImportFrom(f.dir / "bad"));
  f.ExpectRefusal("KERNEL.SYS in " + (f.dir / "bad") + " does not look like a FreeDOS kernel");
  EXPECT_EQ(f.prompter.dialogTitles.size(), 2u);
  EXPECT_FALSE(fs::exists(f.dos + "/IO.SYS"));

  // A file that is no disk image, in a folder that is no FreeDOS.
  Fixture g;
  testing::WriteText(g.dir / "junk/notes.img", std::string(1024, 'x'));
  EXPECT_FALSE(g.ImportFrom(g.dir / "junk/notes.img"));
  ASSERT_GE(g.prompter.messages.size(), 2u);
  EXPECT_NE(g.prompter.messages[1].text.find("notes.img is neither a Windows 98/98SE setup folder"), std::string::npos)
      << g.prompter.messages[1].text;

  // An image mtools cannot read is named with what mdir said.
  if (HaveTools({"mdir"})) {
    Fixture h;
    // A partition table naming a FAT partition at sector 1 that holds zeros.
    testing::WriteText(h.dir / "broken.img", MasterBootRecord(1, 1, 512) + std::string(512, '\0'));
    EXPECT_FALSE(h.ImportFrom(h.dir / "broken.img"));
    h.ExpectRefusal("The disk image " + (h.dir / "broken.img") + " could not be read with mtools");
  }
}

TEST(FreeDosImport, AWindowsImportAfterwardsDropsTheFreeDosRecord) {
  Fixture f;
  MakeInstalled(f.dir / "fd");
  ASSERT_TRUE(f.ImportFrom(f.dir / "fd"));
  ASSERT_EQ(DosKind(f.dos), "FreeDOS");
  fs::remove(f.dos + "/IO.SYS");
  const std::string win = f.dir / "WINDOWS";
  for (const char* n : kDosFiles)
    testing::WriteText(win + "/COMMAND/" + n, testing::FakeDosFile(n, "windows " + std::string(n)));
  DosImport import(f.program, win + "/", "", f.prompter, f.wait, SystemLauncher());
  ASSERT_TRUE(import.ImportDOS());
  EXPECT_EQ(DosKind(f.dos), "MS-DOS 7");
  EXPECT_EQ(f.Dos("IO.SYS"), testing::FakeDosFile("IO.SYS", "windows IO.SYS"));
}

// The stand-in as the build assembled it: an MZ program whose load image
// starts with a device header, so DEVICE= can load it too.
TEST(FreeDosImport, TheStandInIsAProgramAndADoNothingDeviceDriver) {
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(std::string(KIV_DISK_DATA_DIR) + "/files/dosimport/NOTINDOS.EXE", bytes));
  ASSERT_GE(bytes.size(), 64u);
  const auto word = [&](size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                             << 8);
  };
  EXPECT_EQ(bytes.substr(0, 2), "MZ");
  const size_t headerSize = word(8) * 16;
  const unsigned pages = word(4), last = word(2);
  EXPECT_EQ((pages - 1) * 512 + (last ? last : 512), bytes.size());  // the MZ sizes fit the file
  EXPECT_EQ(word(6), 0u);                                            // no relocations
  const std::string image = bytes.substr(headerSize);
  // Device header: no next driver, a character device, both entry points
  // inside the image.
  EXPECT_EQ(image.substr(0, 4), std::string(4, '\xFF'));
  EXPECT_EQ(word(headerSize + 4), 0x8000u);
  EXPECT_LT(word(headerSize + 6), image.size());
  EXPECT_LT(word(headerSize + 8), image.size());
  EXPECT_LT(word(20), image.size());  // the program's entry point
  // The strategy routine keeps the request (ES:BX) and returns far; the
  // interrupt routine sets "done" (0100h at request+3) and the end address at
  // request+14 to offset 0 of its own segment.
  const std::string strategy = image.substr(word(headerSize + 6), 12);
  EXPECT_NE(strategy.find('\xCB'), std::string::npos);
  const std::string interrupt = image.substr(word(headerSize + 8));
  EXPECT_NE(interrupt.find("\x26\xC7\x47\x03\x00\x01", 0, 6), std::string::npos);  // mov word [es:bx+3], 0100h
  EXPECT_NE(interrupt.find("\x26\xC7\x47\x0E\x00\x00", 0, 6), std::string::npos);  // mov word [es:bx+14], 0
  EXPECT_NE(interrupt.find("\x26\x8C\x4F\x10", 0, 4), std::string::npos);          // mov [es:bx+16], cs
  EXPECT_NE(bytes.substr(0, 512).find(kDosStandInMarker), std::string::npos);
  EXPECT_NE(bytes.find("????????.???"), std::string::npos);
}

}  // namespace
}  // namespace kiv
