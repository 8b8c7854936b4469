// The changes an update reports, from two builds' version lists.
#include "cdtool/rescue/package_versions.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(PackageVersionChanges, NamesNewerGoneAndAddedPackagesInOrder) {
  const std::string before =
      "apt 2.6.1\n"
      "nano 7.2-1\n"
      "ntfs-3g 1:2022.10.3-1+b1\n"
      "openssl 3.0.11-1~deb12u2\n";
  const std::string after =
      "apt 2.6.1\n"
      "ntfs-3g 1:2022.10.3-1+deb12u1\n"
      "nvme-cli 2.4+really2.3-3\n"
      "openssl 3.0.15-1~deb12u1\n";
  EXPECT_EQ(
      PackageVersionChanges(before, after),
      (std::vector<std::string>{"gone: nano 7.2-1", "ntfs-3g 1:2022.10.3-1+b1 -> 1:2022.10.3-1+deb12u1",
                                "new: nvme-cli 2.4+really2.3-3", "openssl 3.0.11-1~deb12u2 -> 3.0.15-1~deb12u1"}));
  EXPECT_TRUE(PackageVersionChanges(after, after).empty());
}

TEST(PackageVersionChanges, AFirstBuildListsEveryPackageAndOddLinesAreSkipped) {
  // No list before (the first build, or one made before lists were kept);
  // a line without a version or with more than one word after it is no
  // package line.
  EXPECT_EQ(PackageVersionChanges("", "apt 2.6.1\nbroken\nlive-boot 1:20230131 extra\n\nzstd 1.5.4+dfsg2-5\n"),
            (std::vector<std::string>{"new: apt 2.6.1", "new: zstd 1.5.4+dfsg2-5"}));
}

}  // namespace
}  // namespace kiv
