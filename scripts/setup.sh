#!/usr/bin/env bash
# Installs every Debian package the toolkit needs to build, run and test.
# Idempotent: packages already present are left alone. Runs apt-get as root,
# through sudo otherwise.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config clang
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  zlib1g-dev libssl-dev libmspack-dev
  libgcab-dev  # the LZX fuzz target reads cabinets with gcab's library
  nasm
  # outside tools the programs run, and the checkers the tests use
  xorriso  # the ISO mastering tool (the program folder's mkisofs)
  genisoimage  # isoinfo, the ISO reader of the tests
  mtools dosfstools cabextract gcab
  unzip  # unpacks FreeDOS packages for the DOS import
  zip  # makes FreeDOS-shaped packages in the DOS import tests
  xz-utils syslinux-common isolinux python3
  wimtools  # the LZX bench's other LZX encoder, for scale
  # free tools copied onto every CD: the memory tester, and the PCI ID list
  # syslinux's Hardware Detection Tool names devices from
  memtest86+ pci.ids
  shellcheck  # the lint check over our shell scripts
  clang-format  # the lint check of the C++ sources' formatting
  # the static checks CI runs (scripts/tidy.sh): LLVM 22's clang-tidy, from
  # bookworm-security, skips the system headers' declarations and takes well
  # under half the time of bookworm's own clang-tidy 14 on our Qt sources
  clang-tidy-22
  qemu-system-x86
  dosbox  # runs the floppies' batch files (the DOS floppy tests)
  qemu-system-gui  # the window that --try and "Try in a virtual machine" open
  # a second, independent BIOS for the boot checks (its screen goes to Xvfb)
  bochs bochs-x bochsbios vgabios
  # readers the hybrid ISO must satisfy: 7-Zip (and xorriso, above)
  p7zip-full
  # the CD's UEFI boot: Debian's signed shim and GRUB go into its EFI image,
  # grub-common checks the menu's password hashes, ovmf boots it in QEMU
  shim-signed grub-efi-amd64-signed grub-common ovmf
  # the CD's Linux rescue system: Debian's own tools build it (mmdebstrap with
  # its apt, the squashfs); the rescue boot checks make an NTFS partition in a
  # GPT (mkntfs, ntfscp, sfdisk) for it to copy a document off
  mmdebstrap squashfs-tools ntfs-3g fdisk
  uidmap  # newuidmap: mmdebstrap's unshare mode, when a normal user builds it
  apt-utils  # apt-ftparchive: indexes a plain folder of packages for an offline build
  # real windows without a desktop (screenshots, view tests)
  xvfb xauth
  # the desktop opener behind the Explore buttons and the link labels
  xdg-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
