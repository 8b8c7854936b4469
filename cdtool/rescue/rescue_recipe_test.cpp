// The package list as users edit it, and the mmdebstrap command it becomes.
#include "cdtool/rescue/rescue_recipe.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testsupport/test_files.h"
#include "testsupport/test_temp_dir.h"

namespace kiv {
namespace {

TEST(PackageList, CommentsBlanksAndRepeatsDoNotCountAndTheBasePartsAreAlwaysThere) {
  TestTempDir dir;
  const std::string path = dir / "packages.txt";
  testing::WriteText(path, "# tools\r\n  ntfs-3g  \r\n\ntestdisk # photorec too\nntfs-3g\nlive-boot\nlibstdc++6\n");
  const PackageList list = ReadPackageList(path);
  EXPECT_EQ(list.error, "");
  EXPECT_EQ(list.packages, (std::vector<std::string>{"ntfs-3g", "testdisk", "libstdc++6"}));

  RescueRecipe recipe;
  recipe.packages = list.packages;
  const std::vector<std::string> argv = MmdebstrapCommand(recipe, "/p/files/rescue/customize.sh", "/p/rescue.new", {});
  EXPECT_EQ(argv.front(), "mmdebstrap");
  EXPECT_NE(std::find(argv.begin(), argv.end(),
                      "--include=linux-image-amd64,live-boot,systemd-sysv,apt,zstd,ntfs-3g,testdisk,libstdc++6"),
            argv.end());
  EXPECT_NE(std::find(argv.begin(), argv.end(), "--dpkgopt=path-exclude=/usr/share/doc/*"), argv.end());
  // The release, then the null format's target; no mirror: the machine's sources.
  EXPECT_EQ(argv[argv.size() - 2], "bookworm");
  EXPECT_EQ(argv.back(), "/dev/null");
  EXPECT_EQ(RecipeStamp(recipe),
            "release=bookworm\narchitecture=amd64\nmirror=\n"
            "packages=linux-image-amd64 live-boot systemd-sysv apt zstd ntfs-3g testdisk libstdc++6\nhook=\n");
}

TEST(PackageList, AWrongLineIsNamedWithFileAndNumberAndNothingIsTaken) {
  TestTempDir dir;
  const std::string path = dir / "packages.txt";
  for (const char* bad : {"ntfs-3g testdisk", "NTFS-3G", "ntfs_3g", "x", "-rf", "tool;reboot"}) {
    testing::WriteText(path, std::string("ntfs-3g\n") + bad + "\n");
    const PackageList list = ReadPackageList(path);
    EXPECT_EQ(list.error.find(path + ", line 2: \"" + bad + "\" is not a Debian package name"), 0u) << list.error;
    EXPECT_TRUE(list.packages.empty());
  }
  EXPECT_EQ(ReadPackageList((dir / "none.txt")).error, "the package list " + (dir / "none.txt") + " cannot be read");
}

TEST(MmdebstrapCommand, TheHookGetsItsPathsQuotedAndALocalMirrorIsMountedIn) {
  RescueRecipe recipe;
  recipe.mirror = "/srv/my mirror";
  const std::vector<std::string> argv = MmdebstrapCommand(recipe, "/it's/hook.sh", "/out dir", {});
  // mmdebstrap hands the hook to the shell: a quote or blank in a path stays in it.
  EXPECT_NE(std::find(argv.begin(), argv.end(), "--customize-hook='/it'\\''s/hook.sh' \"$1\" \"$1/run/kivrescue\""),
            argv.end());
  // Run first as the essential hook, before the kernel and its initramfs.
  EXPECT_LT(std::find(argv.begin(), argv.end(), "--essential-hook='/it'\\''s/hook.sh' --initramfs \"$1\""),
            std::find(argv.begin(), argv.end(), "--customize-hook='/it'\\''s/hook.sh' \"$1\" \"$1/run/kivrescue\""));
  // Copied out by mmdebstrap itself, as the user who runs it.
  EXPECT_NE(std::find(argv.begin(), argv.end(), "--customize-hook=sync-out /run/kivrescue '/out dir'"), argv.end());
  EXPECT_NE(std::find(argv.begin(), argv.end(), "--hook-dir=/usr/share/mmdebstrap/hooks/file-mirror-automount"),
            argv.end());
  EXPECT_EQ(argv.back(), "file:///srv/my mirror");

  recipe.mirror = "http://mirror.example/debian";
  const std::vector<std::string> remote = MmdebstrapCommand(recipe, "/h", "/o", {});
  EXPECT_EQ(remote.back(), "http://mirror.example/debian");
  EXPECT_EQ(
      std::count_if(remote.begin(), remote.end(), [](const std::string& a) { return a.rfind("--hook-dir", 0) == 0; }),
      0);
  // Another mirror is another recipe.
  EXPECT_NE(RecipeStamp(recipe), RecipeStamp(RescueRecipe{}));
}

TEST(MmdebstrapCommand, AnIndexedPackageFolderIsCopiedFromAndSavedPackagesLeaveBeforeTheCacheIsEmptied) {
  RescueRecipe recipe;
  recipe.mirror = "/home/anna/debs";
  MmdebstrapExtras extras;
  extras.packageIndex = "/p/rescue.new/package-index";
  extras.savePackagesTo = "/p/saved";
  const std::vector<std::string> argv = MmdebstrapCommand(recipe, "/h.sh", "/o", extras);
  EXPECT_EQ(argv.back(), "deb [trusted=yes] copy:///p/rescue.new/package-index ./");
  // A program folder with a blank (or a per cent sign) in its path stays one URI.
  extras.packageIndex = "/opt/Kiv CD 100%/rescue.new/package-index";
  EXPECT_EQ(MmdebstrapCommand(recipe, "/h.sh", "/o", extras).back(),
            "deb [trusted=yes] copy:///opt/Kiv%20CD%20100%25/rescue.new/package-index ./");
  // Copied in by apt, so no folder needs mounting into the tree.
  EXPECT_EQ(std::find(argv.begin(), argv.end(), "--hook-dir=/usr/share/mmdebstrap/hooks/file-mirror-automount"),
            argv.end());
  const auto save = std::find(argv.begin(), argv.end(), "--customize-hook=sync-out /var/cache/apt/archives '/p/saved'");
  const auto hook = std::find_if(argv.begin(), argv.end(),
                                 [](const std::string& a) { return a.rfind("--customize-hook='/h.sh'", 0) == 0; });
  ASSERT_NE(save, argv.end());
  ASSERT_NE(hook, argv.end());
  EXPECT_LT(save, hook);  // the hook empties apt's cache
  EXPECT_NE(std::find(argv.begin(), argv.end(), "--skip=essential/unlink"), argv.end());
}

}  // namespace
}  // namespace kiv
