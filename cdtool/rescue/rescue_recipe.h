#pragma once
// What the CD's Linux rescue system is made from: Debian's packages, named in
// a list that ships in the program folder (one package a line, for users to
// edit), a release, an architecture and where the packages come from. The
// recipe renders the one mmdebstrap command that builds the system, and a
// stamp that is kept beside the result, so a build made from the same recipe
// is reused and one made from another is not.
#include <string>
#include <vector>

namespace kiv {

// In the program folder: the list, the hook that finishes the tree and
// squashes it, and the folder the built system is kept in.
inline constexpr const char* kRescuePackageList = "files/rescue/packages.txt";
inline constexpr const char* kRescueHook = "files/rescue/customize.sh";
inline constexpr const char* kRescueFolder = "rescue";
// What that folder holds (and the CD's /live folder too, but the stamp).
inline constexpr const char* kRescueKernel = "vmlinuz";
inline constexpr const char* kRescueInitrd = "initrd.img";
inline constexpr const char* kRescueSquashfs = "filesystem.squashfs";
inline constexpr const char* kRescueVersions = "packages.versions";
inline constexpr const char* kRescueStamp = "recipe.txt";
// Where the system lies on the CD.
inline constexpr const char* kRescueCdFolder = "live";

// The packages every live system needs, whatever the list says: the signed
// kernel, the initramfs hooks that find the medium, an init, apt, and zstd,
// which packs the initramfs (without it, initramfs-tools falls back to the
// slower gzip). apt
// comes with Debian's minimal set only because the archive's index marks it
// required; a package folder's own index carries the packages' priorities,
// which do not, so it is named to get the same system from either source.
inline const std::vector<std::string>& RescueBasePackages() {
  static const std::vector<std::string> base = {"linux-image-amd64", "live-boot", "systemd-sysv", "apt", "zstd"};
  return base;
}

struct RescueRecipe {
  std::vector<std::string> packages;  // the list's, in its order, without the base ones
  std::string release = "bookworm";
  std::string architecture = "amd64";
  // Where the packages come from: "" for the machine's own apt sources, a
  // mirror's URL, or a local mirror's folder (an absolute path).
  std::string mirror;
  // The SHA-256 of the hook that finishes the tree ("" when unknown): a
  // program folder with a changed hook builds the system again.
  std::string hookDigest;
};

// A Debian package name: lower-case letters, digits, '+', '-' and '.', at
// least two long, starting with a letter or digit.
bool IsDebianPackageName(const std::string& name);

struct PackageList {
  std::vector<std::string> packages;
  std::string error;  // names the file and the line; empty when read
};

// Reads a package list: one name a line, '#' starts a comment, blank lines
// and surrounding blanks do not count, a name given twice counts once.
PackageList ReadPackageList(const std::string& path);

// A package folder: a folder of .deb files without a mirror's dists/ tree,
// such as one `--save-packages` filled. It needs an index before apt can use it.
bool IsPackageFolder(const std::string& folder);

// What a build adds to the recipe's command.
struct MmdebstrapExtras {
  // The index made for a package folder (Packages and Release beside a
  // "pool" link to the folder): apt copies the packages from there.
  std::string packageIndex;
  // Where the packages the build fetched are kept for later offline builds
  // ("" = not kept).
  std::string savePackagesTo;
};

// The mmdebstrap command line that builds the system into the null format
// (its temporary tree goes away), with `hook` finishing the tree and writing
// the kernel, the initramfs, the squashfs and the package versions into
// `outFolder`.
std::vector<std::string> MmdebstrapCommand(const RescueRecipe& recipe, const std::string& hook,
                                           const std::string& outFolder, const MmdebstrapExtras& extras);

// What a built system was made from, as the text kept beside it.
std::string RecipeStamp(const RescueRecipe& recipe);

}  // namespace kiv
