// Runs the built bfi on generated trees and checks its images with tools that
// know nothing of our writer: fsck.fat, and mtools (mdir, mtype, mshowfat,
// minfo, mlabel).
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/test_file_states.h"
#include "tools/bfi/fat12_test_tools.h"

namespace fs = std::filesystem;
using namespace kiv::fat12_test;

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
  return s;
}

// A boot sector as a DOS SYS would leave it: jump, code, 55 AA; the bytes a
// BPB would occupy are filled with junk so that overwriting them shows.
std::string BootSector() {
  std::string b = Bytes(512, 7);
  b[0] = char(0xEB);
  b[1] = 0x3C;
  b[2] = char(0x90);
  b[510] = 0x55;
  b[511] = char(0xAA);
  return b;
}

class BfiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/bfi_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    WriteFile(dir_ / "boot.bin", BootSector());
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }

  RunResult Bfi(const std::string& type, const fs::path& image, const fs::path& tree,
                const std::vector<std::string>& env = {}) {
    return Exec({BFI_PROGRAM, "-b=" + (dir_ / "boot.bin").string(), "-l=kivstart", "-t=" + type,
                 "-f=\"" + image.string() + "\"", tree.string()},
                env);
  }

  // Every file of `tree` must be listed by mdir and read back byte-equal by mtype.
  void ExpectSameTree(const fs::path& image, const fs::path& tree) {
    RunResult list = Exec({"mdir", "-/", "-b", "-a", "-i", image.string(), "::"});
    ASSERT_EQ(list.code, 0) << list.err;
    std::set<std::string> listed, expected;
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("::/", 0) == 0) listed.insert(Upper(line.substr(3)));
    for (const auto& e : fs::recursive_directory_iterator(tree)) {
      std::string rel = fs::relative(e.path(), tree).string();
      if (e.is_directory()) {
        expected.insert(Upper(rel + "/"));
        continue;
      }
      expected.insert(Upper(rel));
      RunResult t = Exec({"mtype", "-i", image.string(), "::/" + rel});
      EXPECT_EQ(t.code, 0) << rel << ": " << t.err;
      EXPECT_TRUE(t.out == ReadFile(e.path())) << rel << " differs in the image";
    }
    EXPECT_EQ(listed, expected);
  }

  void ExpectFsckClean(const fs::path& image) {
    RunResult f = Exec({"fsck.fat", "-n", image.string()});
    EXPECT_EQ(f.code, 0) << f.out << f.err;
  }

  // mshowfat's cluster ranges of one file ("<2-80>" -> {{2,80}}).
  std::vector<std::pair<int, int>> Chain(const fs::path& image, const std::string& file) {
    RunResult r = Exec({"mshowfat", "-i", image.string(), "::/" + file});
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<std::pair<int, int>> ranges;
    for (size_t p = r.out.find('<'); p != std::string::npos; p = r.out.find('<', p + 1)) {
      int a = 0, b = 0;
      if (sscanf(r.out.c_str() + p, "<%d-%d>", &a, &b) == 2) ranges.push_back({a, b});
      else if (sscanf(r.out.c_str() + p, "<%d>", &a) == 1) ranges.push_back({a, a});
    }
    return ranges;
  }

  // A DOS boot tree with everything a floppy of ours holds: the system files
  // in lower case, empty and odd-sized files, subfolders, long and mixed names.
  fs::path BootTree(size_t ioSize) {
    fs::path t = dir_ / "tree";
    WriteFile(t / "io.sys", Bytes(ioSize, 1));
    WriteFile(t / "Msdos.Sys", Bytes(1700, 2));
    WriteFile(t / "COMMAND.COM", Bytes(93890, 3));
    WriteFile(t / "autoexec.bat", "@echo off\r\npath a:\\\r\n");
    WriteFile(t / "EMPTY.TXT", "");
    WriteFile(t / "ONE", "x");
    WriteFile(t / "SECTOR.BIN", Bytes(512, 4));
    WriteFile(t / "SECTOR1.BIN", Bytes(513, 5));
    WriteFile(t / "Readme.txt", "mixed case\r\n");
    WriteFile(t / "A rather long file name.text", Bytes(3000, 6));
    WriteFile(t / "naïve résumé.doc", "utf-8\r\n");
    WriteFile(t / "drivers" / "net" / "e100b.dos", Bytes(40000, 8));
    WriteFile(t / "drivers" / "net" / "protocol.ini", "[protman]\r\n");
    WriteFile(t / "drivers" / "cdrom" / "oakcdrom.sys", Bytes(41302, 9));
    fs::create_directories(t / "Empty Folder");
    return t;
  }

  fs::path dir_;
};

TEST_F(BfiTest, Image144PassesFsckAndReadsBackEveryFile) {
  fs::path tree = BootTree(40566);
  // Without SOURCE_DATE_EPOCH a file keeps its own (local) time stamp.
  std::tm when{};
  when.tm_year = 2010 - 1900;
  when.tm_mon = 4;
  when.tm_mday = 6;
  when.tm_hour = 12;
  when.tm_min = 34;
  when.tm_isdst = -1;
  ASSERT_TRUE(kiv::SetModifiedSeconds(tree / "autoexec.bat", mktime(&when)));
  fs::path image = dir_ / "out" / "boot disk.img";  // blank in the name: quoted value
  RunResult r = Bfi("144", image, tree);
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(fs::file_size(image), 1474560u);
  ExpectFsckClean(image);
  ExpectSameTree(image, tree);

  // Long names keep their exact spelling; plain 8.3 names are upper-case.
  RunResult list = Exec({"mdir", "-/", "-b", "-a", "-i", image.string(), "::"});
  for (const char* name : {"::/A rather long file name.text", "::/Readme.txt", "::/naïve résumé.doc",
                           "::/Empty Folder/", "::/IO.SYS", "::/AUTOEXEC.BAT", "::/DRIVERS/NET/E100B.DOS"})
    EXPECT_NE(list.out.find(std::string(name) + "\n"), std::string::npos) << name;

  // The first two root entries are IO.SYS and MSDOS.SYS, in that order.
  RunResult root = Exec({"mdir", "-a", "-i", image.string(), "::/"});
  EXPECT_NE(root.out.find("AUTOEXEC BAT        21 2010-05-06  12:34"), std::string::npos) << root.out;
  size_t io = root.out.find("\nIO       SYS ");
  size_t msdos = root.out.find("\nMSDOS    SYS ");
  size_t firstEntry = root.out.find("\n\n", root.out.find("Directory for")) + 1;
  EXPECT_EQ(io, firstEntry) << root.out;
  EXPECT_NE(msdos, std::string::npos);
  EXPECT_EQ(root.out.find('\n', io + 1), msdos) << root.out;
  // COMMAND.COM comes right after them (the label entry is not listed).
  EXPECT_EQ(root.out.find('\n', msdos + 1) + 1, root.out.find("COMMAND  COM ")) << root.out;

  // IO.SYS: one contiguous run from cluster 2 (512-byte clusters).
  std::vector<std::pair<int, int>> chain = Chain(image, "IO.SYS");
  ASSERT_EQ(chain.size(), 1u);
  EXPECT_EQ(chain[0].first, 2);
  EXPECT_EQ(chain[0].second, 2 + (40566 + 511) / 512 - 1);

  // The label, upper-cased, in the boot sector and as the third root entry.
  RunResult label = Exec({"mlabel", "-s", "-i", image.string(), "::"});
  EXPECT_NE(label.out.find("Volume label is KIVSTART"), std::string::npos) << label.out;
  std::string img = ReadFile(image);
  EXPECT_EQ(img.substr(43, 11), "KIVSTART   ");
  const size_t rootAt = 19 * 512;
  EXPECT_EQ(img.substr(rootAt + 64, 11), "KIVSTART   ");
  EXPECT_EQ(img[rootAt + 64 + 11], 0x08);
  EXPECT_EQ(img[rootAt + 11] & 0x07, 0x07) << "IO.SYS read-only, hidden, system";

  // BPB as DOS reads it; the boot code of the boot sector file is kept.
  RunResult info = Exec({"minfo", "-i", image.string(), "::"});
  for (const char* line : {"sector size: 512 bytes", "cluster size: 1 sectors", "reserved (boot) sectors: 1", "fats: 2",
                           "max available root directory slots: 224", "small size: 2880 sectors",
                           "media descriptor byte: 0xf0", "sectors per fat: 9", "sectors per track: 18", "heads: 2",
                           "hidden sectors: 0", "physical drive id: 0x0", "dos4=0x29", "disk type=\"FAT12   \""})
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
  std::string boot = BootSector();
  EXPECT_EQ(img.substr(0, 3), boot.substr(0, 3));
  EXPECT_TRUE(img.compare(62, 450, boot, 62, 450) == 0) << "boot code changed";
}

TEST_F(BfiTest, Image288HoldsAFileTooBigForA144) {
  fs::path tree = BootTree(66000);
  WriteFile(tree / "big" / "cab.cab", Bytes(2 * 1024 * 1024, 10));
  fs::path image = dir_ / "out" / "a288.img";
  RunResult r = Bfi("288", image, tree);
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(fs::file_size(image), 2949120u);
  ExpectFsckClean(image);
  ExpectSameTree(image, tree);

  std::vector<std::pair<int, int>> chain = Chain(image, "IO.SYS");
  ASSERT_EQ(chain.size(), 1u);
  EXPECT_EQ(chain[0].first, 2);
  EXPECT_EQ(chain[0].second, 2 + (66000 + 1023) / 1024 - 1);

  RunResult info = Exec({"minfo", "-i", image.string(), "::"});
  for (const char* line :
       {"cluster size: 2 sectors", "max available root directory slots: 240", "small size: 5760 sectors",
        "sectors per track: 36", "heads: 2", "media descriptor byte: 0xf0", "hidden sectors: 0"})
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;

  // The same tree does not fit a 1.44 MB floppy: refused, naming the file.
  fs::path small = dir_ / "out" / "a144.img";
  RunResult refused = Bfi("144", small, tree);
  EXPECT_NE(refused.code, 0);
  EXPECT_NE(refused.err.find("cab.cab"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(small));
}

TEST_F(BfiTest, TreeThatDoesNotFitIsRefusedAndLeavesNothing) {
  fs::path tree = dir_ / "tree";
  for (int i = 0; i < 3; ++i) WriteFile(tree / ("PART" + std::to_string(i) + ".BIN"), Bytes(600000, i));
  fs::path image = dir_ / "out" / "full.img";
  RunResult r = Bfi("144", image, tree);
  EXPECT_NE(r.code, 0);
  // 3 x 1172 clusters of 512 bytes needed; 2847 clusters available.
  EXPECT_NE(r.err.find(std::to_string(3 * 1172 * 512)), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(std::to_string(2847 * 512)), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "out")) << "no image and no temporary file";

  // An image already there stays as it was.
  WriteFile(image, "previous image");
  EXPECT_NE(Bfi("144", image, tree).code, 0);
  EXPECT_EQ(ReadFile(image), "previous image");

  // Just fitting: one file filling every cluster.
  fs::path exact = dir_ / "exact";
  WriteFile(exact / "FILL.BIN", Bytes(2847 * 512, 11));
  RunResult fit = Exec({BFI_PROGRAM, "-t=144", "-f=" + (dir_ / "out" / "fill.img").string(), exact.string()});
  ASSERT_EQ(fit.code, 0) << fit.err;
  ExpectFsckClean(dir_ / "out" / "fill.img");
  ExpectSameTree(dir_ / "out" / "fill.img", exact);
  WriteFile(exact / "MORE.TXT", "1");
  EXPECT_NE(Exec({BFI_PROGRAM, "-t=144", "-f=" + (dir_ / "out" / "more.img").string(), exact.string()}).code, 0);
}

// DOS opens its devices under these names in every folder, so a file named
// like one could never be read from the floppy: the tree is refused with the
// file named, and an image already there stays as it was.
TEST_F(BfiTest, DosDeviceNamesInTheTreeAreRefusedAndLeaveTheImageAlone) {
  fs::path image = dir_ / "out" / "dev.img";
  int n = 0;
  struct Case {
    std::string file;   // made in the tree
    std::string named;  // in the message: the file, or the folder that is a device name
  };
  for (const Case& c : std::vector<Case>{{"CON.TXT", "CON.TXT"},
                                         {"nul", "nul"},
                                         {"Aux", "Aux"},
                                         {"PRN.DAT", "PRN.DAT"},
                                         {"com1", "com1"},
                                         {"COM4.SYS", "COM4.SYS"},
                                         {"lpt1.doc", "lpt1.doc"},
                                         {"LPT3", "LPT3"},
                                         {"drivers/net/Con.Ini", "drivers/net/Con.Ini"},
                                         {"Nul/readme.txt", "Nul"}}) {
    const std::string& rel = c.file;
    fs::path tree = dir_ / ("tree" + std::to_string(n++));
    WriteFile(tree / "IO.SYS", "io");
    WriteFile(tree / "COMMAND.COM", "command");
    WriteFile(tree / rel, "device?");
    fs::remove(image);
    RunResult r = Bfi("144", image, tree);
    EXPECT_NE(r.code, 0) << rel;
    EXPECT_NE(r.err.find(c.named + ":"), std::string::npos) << rel << ": " << r.err;
    EXPECT_NE(r.err.find("DOS device"), std::string::npos) << rel << ": " << r.err;
    EXPECT_TRUE(fs::is_empty(dir_ / "out")) << rel << ": no image and no temporary file";

    WriteFile(image, "previous image");
    EXPECT_NE(Bfi("288", image, tree).code, 0) << rel;
    EXPECT_EQ(ReadFile(image), "previous image") << rel;
  }

  // Names that merely begin like a device are ordinary files.
  fs::path tree = dir_ / "fine";
  for (const char* name : {"CONFIG.SYS", "console.txt", "NULL", "COM5", "LPT4.DOC", "auxiliary"})
    WriteFile(tree / name, name);
  fs::remove(image);
  RunResult ok = Bfi("144", image, tree);
  ASSERT_EQ(ok.code, 0) << ok.err;
  ExpectFsckClean(image);
  ExpectSameTree(image, tree);
}

TEST_F(BfiTest, SourceDateEpochGivesByteIdenticalImages) {
  fs::path tree = BootTree(20000);
  const std::string epoch = "SOURCE_DATE_EPOCH=1000000000";  // 2001-09-09 01:46:40 UTC
  fs::path a = dir_ / "out" / "a.img", b = dir_ / "out" / "b.img", c = dir_ / "out" / "c.img";
  ASSERT_EQ(Bfi("144", a, tree, {epoch}).code, 0);
  // Other modification times and another time zone change nothing.
  fs::last_write_time(tree / "COMMAND.COM", fs::file_time_type::clock::now() - std::chrono::hours(900));
  fs::last_write_time(tree / "drivers", fs::file_time_type::clock::now() - std::chrono::hours(5));
  ASSERT_EQ(Bfi("144", b, tree, {epoch, "TZ=Asia/Tokyo"}).code, 0);
  EXPECT_TRUE(ReadFile(a) == ReadFile(b)) << "images differ";
  // A copy of the tree made in another order, elsewhere: the same image.
  fs::path copy = dir_ / "copy";
  std::vector<fs::path> paths;
  for (const auto& e : fs::recursive_directory_iterator(tree)) paths.push_back(e.path());
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
    fs::path target = copy / fs::relative(*it, tree);
    if (fs::is_directory(*it)) fs::create_directories(target);
    else WriteFile(target, ReadFile(*it));
  }
  fs::path e = dir_ / "out" / "e.img";
  ASSERT_EQ(Bfi("144", e, copy, {epoch}).code, 0);
  EXPECT_TRUE(ReadFile(a) == ReadFile(e)) << "the copy gives another image";
  fs::remove(e);

  RunResult list = Exec({"mdir", "-a", "-i", a.string(), "::/DRIVERS/NET"});
  EXPECT_NE(list.out.find("E100B    DOS     40000 2001-09-09   1:46"), std::string::npos) << list.out;

  // Another epoch: another serial (and time stamps).
  ASSERT_EQ(Bfi("144", c, tree, {"SOURCE_DATE_EPOCH=1000086400"}).code, 0);
  EXPECT_NE(ReadFile(a).substr(39, 4), ReadFile(c).substr(39, 4));

  RunResult bad = Bfi("144", dir_ / "out" / "d.img", tree, {"SOURCE_DATE_EPOCH=yesterday"});
  EXPECT_NE(bad.code, 0);
  EXPECT_NE(bad.err.find("SOURCE_DATE_EPOCH"), std::string::npos) << bad.err;
  EXPECT_FALSE(fs::exists(dir_ / "out" / "d.img"));
}

TEST_F(BfiTest, ManyLongNamesGetDistinctAliasesInMultiClusterFolders) {
  fs::path tree = dir_ / "tree";
  std::map<std::string, std::string> files;
  for (int i = 0; i < 40; ++i)
    WriteFile(tree / "Setup files" / ("Long file name number " + std::to_string(i) + ".txt"),
              "file " + std::to_string(i));
  for (int i = 0; i < 150; ++i)
    WriteFile(tree / "Setup files" / ("F" + std::to_string(i) + ".DAT"), Bytes(size_t(i) * 37, unsigned(i)));
  WriteFile(tree / "PROGRA~1", "a plain name that looks like an alias");
  WriteFile(tree / "Program Files" / "x.txt", "inside");
  fs::path image = dir_ / "out" / "names.img";
  RunResult r = Exec({BFI_PROGRAM, "-t=144", "-f=" + image.string(), tree.string()});
  ASSERT_EQ(r.code, 0) << r.err;
  ExpectFsckClean(image);
  ExpectSameTree(image, tree);
  RunResult shortNames = Exec({"mdir", "-a", "-i", image.string(), "::/"});
  EXPECT_NE(shortNames.out.find("PROGRA~2     <DIR>"), std::string::npos) << shortNames.out;
}

TEST_F(BfiTest, ProgramFolderCallContractWithDosPaths) {
  // As bootsmith calls it: working directory = program folder, relative
  // paths with backslashes, the image quoted, names in another letter case.
  fs::path prog = dir_ / "prog";
  WriteFile(prog / "files" / "BOOTSECT.BIN", BootSector());
  WriteFile(prog / "Temp" / "WorkDir" / "IO.SYS", Bytes(1000, 1));
  WriteFile(prog / "Temp" / "WorkDir" / "MSDOS.SYS", "[Options]\r\n");
  fs::create_directories(prog / "images");
  RunResult r =
      Exec({BFI_PROGRAM, "-b=files\\bootsect.bin", "-l=kivstart", "-t=144", "-f=\"images\\a b.img\"", "Temp\\WorkDir"},
           {}, prog.string());
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_TRUE(fs::exists(prog / "images" / "a b.img"));
  ExpectFsckClean(prog / "images" / "a b.img");
  ExpectSameTree(prog / "images" / "a b.img", prog / "Temp" / "WorkDir");
  EXPECT_EQ(std::distance(fs::directory_iterator(prog / "images"), {}), 1);

  RunResult help = Exec({BFI_PROGRAM, "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("-t=144"), std::string::npos);
}

TEST_F(BfiTest, BadInputIsRefusedWithAMessageAndNoImage) {
  fs::path tree = dir_ / "tree";
  WriteFile(tree / "IO.SYS", "io");
  WriteFile(dir_ / "short.bin", std::string(100, '\x55'));
  std::string noSig = BootSector();
  noSig[511] = 0;
  WriteFile(dir_ / "nosig.bin", noSig);
  fs::path caseTree = dir_ / "case";
  WriteFile(caseTree / "read.me", "1");
  WriteFile(caseTree / "READ.ME", "2");
  fs::path crowded = dir_ / "crowded";
  for (int i = 0; i < 230; ++i) WriteFile(crowded / ("F" + std::to_string(i)), "");
  fs::path colon = dir_ / "colon";
  WriteFile(colon / "a:b.txt", "");
  fs::path loop = dir_ / "loop";
  fs::create_directories(loop / "sub");
  fs::create_directory_symlink("..", loop / "sub" / "up");
  fs::path fifo = dir_ / "fifo";
  fs::create_directories(fifo);
  ASSERT_EQ(mkfifo((fifo / "pipe").c_str(), 0600), 0);

  const std::string img = "-f=" + (dir_ / "out" / "x.img").string();
  const std::string boot = "-b=" + (dir_ / "boot.bin").string();
  struct Case {
    std::vector<std::string> args;
    std::string expected;  // in the message
  };
  std::vector<Case> cases = {
      {{"-b=" + (dir_ / "short.bin").string(), "-t=144", img, tree}, "short.bin"},
      {{"-b=" + (dir_ / "short.bin").string(), "-t=144", img, tree}, "512"},
      {{"-b=" + (dir_ / "nosig.bin").string(), "-t=144", img, tree}, "55 AA"},
      {{"-b=" + (dir_ / "missing.bin").string(), "-t=144", img, tree}, "missing.bin"},
      {{boot, "-t=360", img, tree}, "360"},
      {{boot, "-t=144", img}, "tree"},
      {{boot, "-t=144", "-l=MUCHTOOLONGLABEL", img, tree}, "MUCHTOOLONGLABEL"},
      {{boot, "-t=144", "-l=A*B", img, tree}, "*"},
      {{boot, "-t=144", img, (dir_ / "nowhere").string()}, "nowhere"},
      {{boot, "-t=144", img, caseTree}, "READ.ME and read.me"},
      {{boot, "-t=144", img, crowded}, "224"},
      {{boot, "-t=144", img, colon}, "a:b.txt"},
      {{boot, "-t=144", img, loop}, "sub/up"},
      {{boot, "-t=144", img, fifo}, "pipe"},
      {{boot, "-t=144", "-f=" + (dir_ / "no such folder" / "x.img").string(), tree}, "no such folder"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{BFI_PROGRAM};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    RunResult r = Exec(argv);
    EXPECT_NE(r.code, 0) << c.expected;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.expected << ": " << r.err;
    EXPECT_TRUE(fs::is_empty(dir_ / "out")) << c.expected;
  }
}

}  // namespace
