#include "tools/bfi/bfi_args.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kiv::bfi {
namespace {

TEST(BfiArgs, ContractLineWithQuotedImage) {
  Arguments a;
  std::string error;
  ASSERT_TRUE(ParseArguments(
      {"-b=files\\bootsect.bin", "-l=kivstart", "-t=288", "-f=\"images\\a b.img\"", "Temp\\WorkDir"}, a, error))
      << error;
  EXPECT_EQ(a.bootSector, "files\\bootsect.bin");
  EXPECT_EQ(a.label, "kivstart");
  EXPECT_EQ(a.type, "288");
  EXPECT_EQ(a.image, "images\\a b.img");
  EXPECT_EQ(a.tree, "Temp\\WorkDir");
  // A caller that split the quoted value at its blank.
  ASSERT_TRUE(ParseArguments({"-t=144", "-f=\"x", "y.img\"", "tree"}, a, error)) << error;
  EXPECT_EQ(a.image, "x y.img");
  EXPECT_EQ(a.tree, "tree");
}

TEST(BfiArgs, MistakesAreNamed) {
  Arguments a;
  std::string error;
  EXPECT_FALSE(ParseArguments({"-t=720", "-f=x", "t"}, a, error));
  EXPECT_NE(error.find("720"), std::string::npos);
  EXPECT_FALSE(ParseArguments({"-q=1", "-t=144", "-f=x", "t"}, a, error));
  EXPECT_NE(error.find("-q=1"), std::string::npos);
  EXPECT_FALSE(ParseArguments({"-t=144", "-f=x", "t", "u"}, a, error));
  EXPECT_FALSE(ParseArguments({"-t=144", "t"}, a, error));
  EXPECT_FALSE(ParseArguments({"-f=x", "t"}, a, error));
  ASSERT_TRUE(ParseArguments({"--help"}, a, error));
  EXPECT_TRUE(a.help);
}

TEST(BfiArgs, DosPathsResolveCaseInsensitively) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/bfi_args_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  fs::path root = tmpl;
  fs::create_directories(root / "Files" / "Sub");
  std::ofstream(root / "Files" / "Sub" / "BOOTSECT.BIN") << "x";
  EXPECT_EQ(ResolveDosPath(root.string() + "\\files\\sub\\bootsect.bin"),
            (root / "Files" / "Sub" / "BOOTSECT.BIN").string());
  EXPECT_EQ(ResolveDosPath(root.string() + "/files/none.bin"), root.string() + "/files/none.bin");
  fs::remove_all(root);
}

}  // namespace
}  // namespace kiv::bfi
