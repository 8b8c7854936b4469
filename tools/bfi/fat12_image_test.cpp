// The writer library as bootsmith uses it: format an empty floppy with the
// built-in boot sector, or lay out files made in memory. The images are
// written to temporary files and judged by fsck.fat and mtools.
#include "tools/bfi/fat12_image.h"

#include <gtest/gtest.h>

#include "tools/bfi/fat12_test_tools.h"

namespace kiv::fat12 {
namespace {

using namespace kiv::fat12_test;

class Fat12ImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/fat12_image_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Save(const std::vector<uint8_t>& image, const std::string& name) {
    fs::path p = dir_ / name;
    WriteFile(p, std::string(image.begin(), image.end()));
    return p;
  }

  fs::path dir_;
};

TEST_F(Fat12ImageTest, EmptyFloppiesOfBothSizesAreCleanAndCarryTheirLabel) {
  for (FloppySize size : {FloppySize::k1440, FloppySize::k2880}) {
    ImageOptions o;
    o.size = size;
    o.label = "rescue";
    o.serial = 0x1234ABCD;
    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(BuildImage(o, Folder(), image, error)) << error;
    ASSERT_EQ(image.size(), size == FloppySize::k1440 ? 1474560u : 2949120u);
    // Built-in boot sector: a jump DOS recognises and the signature.
    EXPECT_EQ(image[0], 0xEB);
    EXPECT_EQ(image[510], 0x55);
    EXPECT_EQ(image[511], 0xAA);
    fs::path p = Save(image, "empty.img");
    RunResult fsck = Exec({"fsck.fat", "-n", p.string()});
    EXPECT_EQ(fsck.code, 0) << fsck.out;
    RunResult label = Exec({"mlabel", "-s", "-i", p.string(), "::"});
    EXPECT_NE(label.out.find("Volume label is RESCUE"), std::string::npos) << label.out;
    RunResult info = Exec({"minfo", "-i", p.string(), "::"});
    EXPECT_NE(info.out.find("serial number: 1234ABCD"), std::string::npos) << info.out;
    RunResult list = Exec({"mdir", "-/", "-b", "-a", "-i", p.string(), "::"});
    EXPECT_EQ(list.out, "");
  }
}

TEST_F(Fat12ImageTest, FilesMadeInMemoryReadBack) {
  Node root = Folder();
  root.children.push_back(MemoryFile("CONFIG.SYS", {'a', 'b', '\r', '\n'}));
  Node sub = Folder("Net Drivers");
  std::string big = Bytes(70000, 3);
  sub.children.push_back(MemoryFile("protocol.ini", std::vector<uint8_t>(big.begin(), big.end())));
  root.children.push_back(sub);
  ImageOptions o;
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(BuildImage(o, root, image, error)) << error;
  fs::path p = Save(image, "mem.img");
  EXPECT_EQ(Exec({"fsck.fat", "-n", p.string()}).code, 0);
  EXPECT_EQ(Exec({"mtype", "-i", p.string(), "::/CONFIG.SYS"}).out, "ab\r\n");
  EXPECT_TRUE(Exec({"mtype", "-i", p.string(), "::/Net Drivers/PROTOCOL.INI"}).out == big);

  // Wrong memory size, bad boot sector, bad label: refused before anything is laid out.
  size_t used = 0;
  std::vector<uint8_t> small(1000);
  EXPECT_FALSE(BuildImageInto(o, root, small.data(), small.size(), used, error));
  o.bootSector.assign(512, 0);
  EXPECT_FALSE(BuildImage(o, root, image, error));
  EXPECT_NE(error.find("55 AA"), std::string::npos) << error;
  EXPECT_TRUE(image.empty());
  o.bootSector.clear();
  o.label = "LABEL.WITH.DOTS";
  EXPECT_FALSE(BuildImage(o, root, image, error));
}

TEST(Fat12Time, DosTimeStampsAndSerial) {
  uint16_t d = 0, t = 0;
  DosDateTime(1000000000, false, d, t);  // 2001-09-09 01:46:40 UTC
  EXPECT_EQ(d, ((2001 - 1980) << 9) | (9 << 5) | 9);
  EXPECT_EQ(t, (1 << 11) | (46 << 5) | 20);
  DosDateTime(0, false, d, t);  // before 1980: the first DOS day
  EXPECT_EQ(d, (1 << 5) | 1);
  DosDateTime(int64_t(1) << 40, false, d, t);  // far future: the last DOS day
  EXPECT_EQ(d, (127 << 9) | (12 << 5) | 31);
  EXPECT_EQ(SerialFromTime(1000000000), SerialFromTime(1000000000));
  EXPECT_NE(SerialFromTime(1000000000), SerialFromTime(1000000001));
}

}  // namespace
}  // namespace kiv::fat12
