#!/usr/bin/env bash
# The CD on a USB stick and in a virtual machine, one check per call, each on
# a fresh copy of the installed program folder:
#   hybrid_boot   a CD tree with a test menu and a floppy entry, mastered with
#                 the CD builder's switches and made hybrid by `discsmith
#                 --hybrid`, boots as a CD, as a USB stick and as an IDE disk
#                 into the menu; from the stick the floppy entry starts the
#                 floppy through memdisk, and the CD boot sector says it
#                 needs the CD; the file is the mastered ISO plus its MBR,
#                 boot table and padding; an older loader is refused
#   usb_password  the loader's password gate asks from the stick too
#   build_hybrid  `discsmith --build` leaves a hybrid ISO that starts isolinux
#                 from a USB stick and is one ISO 9660 volume with only zeros
#                 after it (7-Zip reads it without a warning)
#   efi_stick     a CD template with a UEFI boot image (boot/efi/efiboot.img):
#                 the built ISO has a UEFI El Torito entry for it, the stick's
#                 MBR partition 2 and a GPT over it, and still boots on a BIOS
#   write_usb     `discsmith --write-usb` refuses what is not a removable whole
#                 disk, a mounted one, a small one, a plain ISO; writes and
#                 verifies a loop device (root) or a file that a test sysfs
#                 describes as a removable disk
#   try           `discsmith --try` and `bootsmith --try` start QEMU with the
#                 image (a recording stand-in on PATH): in a window with a
#                 display, on the terminal with --headless or without one;
#                 without QEMU they say how to install it
# Environment: KIV_E2E_PREFIX (installed program folder), KIV_BOOT_BIN_DIR.
# Exit 77 = skipped (reason printed).
set -euo pipefail

check=${1:?usage: usb_check.sh <check>}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_usb_check.XXXXXX")
loop=""
cleanup() {
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }
need() { command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed ($2)"; }

pf=$work/program
cp -a "${KIV_E2E_PREFIX:?}" "$pf"
[ -f "$pf/files/isohdpfx.bin" ] || fail "files/isohdpfx.bin is not installed in the program folder"
discsmith() { "$pf/discsmith" "$@"; }

# master and set_gate: the CD builder's own mastering and gate writer.
# shellcheck source=tests/e2e/cd_tool_lib.sh
source "$here/cd_tool_lib.sh"

# A CD tree from the installed template with a test menu: the floppy entry
# first (default), the hard disk, a CD boot sector. The floppy carries our
# boot sector and no IO.SYS, so it says so when it has started.
cd_tree() {
  local tree="$work/kivcd"
  rm -rf "$tree"
  cp -r "$pf/files/kivcd" "$tree"
  mkdir -p "$work/floppy"
  echo "stand-in" >"$work/floppy/readme.txt"
  "$pf/bfi" -b="$pf/files/bootsect.bin" -l=KIVUSBTEST -t=144 -f="$tree/boot/images/usbtest.img" "$work/floppy" \
    >/dev/null || fail "bfi failed"
  printf '%s\r\n' "SERIAL 0 115200" "UI menu.c32" "MENU TITLE Kiv USB test menu" "TIMEOUT 0" "DEFAULT floppy" \
    "LABEL floppy" "  MENU LABEL Kiv test floppy" "  KERNEL /boot/isolinux/memdisk" \
    "  INITRD /boot/images/usbtest.img" "  APPEND floppy" \
    "LABEL disk" "  MENU LABEL Kiv test hard disk" "  COM32 chain.c32" "  APPEND hd0" \
    "LABEL sector" "  MENU LABEL Kiv test setup sector" "  BOOT /boot/images/w2ksect.bin" \
    >"$tree/boot/isolinux/isolinux.cfg"
  cp "$pf/files/bootsect/w2ksect.bin" "$tree/boot/images/"
}

# One qemu_session.py run: session <qemu args as one string> STEP...
session() {
  local args=$1 rc=0; shift
  # shellcheck disable=SC2086
  python3 "$here/qemu_session.py" --timeout 30 "$@" -- $args || rc=$?
  [ "$rc" = 77 ] && skip "qemu-system-i386 is not installed (package qemu-system-x86)"
  [ "$rc" = 0 ] || fail "boot session ($args) failed (see above)"
}

# The stub bootsmith leaves a small image per disk; the rest is the real build.
stub_bootsmith() { bash "$here/stub_bootsmith.sh" "$pf"; }

as_cd() { echo "-cdrom $1 -boot d"; }
as_usb() { echo "-usb -drive file=$1,format=raw,if=none,id=stick -device usb-storage,drive=stick,bootindex=0"; }
as_ide() { echo "-hda $1 -boot c"; }

case "$check" in
hybrid_boot)
  cd_tree
  master "$work/kivcd" "$work/x.iso" "$pf/mkisofs"
  cp "$work/x.iso" "$work/mastered.iso"
  discsmith --hybrid "$work/x.iso" || fail "discsmith --hybrid failed"
  # The mastered bytes are all still there, apart from the MBR (first 512
  # bytes) and isolinux's boot table (56 bytes at offset 8 of the file).
  python3 - "$work/mastered.iso" "$work/x.iso" "$work/kivcd/boot/isolinux/isolinux.bin" <<'PY' || fail "hybrid ISO"
import sys
before, after, isolinux = (open(p, "rb").read() for p in sys.argv[1:])
assert len(after) % (1 << 20) == 0 and len(after) >= len(before), "not padded to whole 1 MiB cylinders"
assert after[len(before):] == bytes(len(after) - len(before)), "padding is not zeros"
assert after[510:512] == b"\x55\xaa" and after[446] == 0x80 and after[450] == 0x17, "no bootable partition 17h"
at = before.find(isolinux[64:]) - 64
assert at > 0 and at % 2048 == 0, "isolinux.bin not found in the image"
diff = [i for i in range(len(before)) if before[i] != after[i]]
assert all(i < 512 or at + 8 <= i < at + 64 for i in diff), "bytes changed outside the MBR and the boot table"
assert int.from_bytes(after[at + 8:at + 12], "little") == 16
assert int.from_bytes(after[at + 12:at + 16], "little") == at // 2048
assert int.from_bytes(after[at + 16:at + 20], "little") == len(isolinux)
print("hybrid ISO: MBR, boot table, padding; %d bytes changed" % len(diff))
PY
  iso=$work/x.iso
  session "$(as_cd "$iso")" "expect=Kiv Rescue CD loader" "expect=ISOLINUX" "expect=Kiv USB test menu" \
    "expect=Kiv test floppy" "absent=checksum error"
  session "$(as_usb "$iso")" "expect=Kiv Rescue CD loader" "expect=Starting \\\\boot\\\\isolinux\\\\isolinux.bin" \
    "expect=ISOLINUX" "expect=Kiv USB test menu" "expect=Kiv test hard disk" "key=ret" \
    "expect=Loading /boot/images/usbtest.img" "expect=Kiv boot sector: no IO.SYS in the root folder" \
    "absent=checksum error" "absent=read error"
  session "$(as_ide "$iso")" "expect=Kiv Rescue CD loader" "expect=ISOLINUX" "expect=Kiv USB test menu"
  # The CD boot sector reads the CD from a CD; from the stick it says it needs the CD.
  session "$(as_cd "$iso")" "expect=Kiv test setup sector" key=down key=down key=ret \
    "expect=Kiv CD boot sector: Windows 2000/XP setup" "expect=CD volume: KIV_RESCUE" "absent=needs the CD"
  session "$(as_usb "$iso")" "expect=Kiv test setup sector" key=down key=down key=ret \
    "expect=Kiv CD boot sector: Windows 2000/XP setup" "expect=This entry needs the CD" "absent=CD volume"
  # A mastered ISO from an older loader (no entry for the MBR) is refused and
  # left as it was.
  printf '\xe9\x3d\x00' | dd of="$work/kivcd/boot/loader.bin" conv=notrunc status=none
  dd if=/dev/zero of="$work/kivcd/boot/loader.bin" bs=1 seek=64 count=4 conv=notrunc status=none
  master "$work/kivcd" "$work/old.iso" "$pf/mkisofs"
  cp "$work/old.iso" "$work/old.orig"
  if discsmith --hybrid "$work/old.iso" 2>"$work/err.txt"; then fail "--hybrid accepted a loader without the entry"; fi
  grep -q "boot/loader.bin" "$work/err.txt" || { cat "$work/err.txt"; fail "the refusal names no loader.bin"; }
  cmp -s "$work/old.iso" "$work/old.orig" || fail "the refused ISO was changed"
  ;;
usb_password)
  need python3 "the test drives QEMU with qemu_session.py"
  cd_tree
  set_gate "$work/kivcd/boot/loader.bin" 1 2 "Rescue me" "Stick password:"
  master "$work/kivcd" "$work/p.iso" "$pf/mkisofs"
  discsmith --hybrid "$work/p.iso" || fail "discsmith --hybrid failed"
  session "$(as_usb "$work/p.iso")" "expect=Stick password:" "absent=ISOLINUX" "type=rescue\n" \
    "expect=Wrong password." "expect=Stick password:" "type=Rescue me\n" "expect=ISOLINUX" \
    "expect=Kiv USB test menu"
  session "$(as_usb "$work/p.iso")" "expect=Stick password:" "type=x\n" "type=y\n" \
    "expect=Wrong password; the system is halted." "wait=2" "absent=ISOLINUX"
  ;;
build_hybrid)
  stub_bootsmith
  iso="$work/out dir/Kiv CD.iso"
  mkdir -p "$work/out dir"
  "$pf/discsmith" --set Main.BootDisks=1 Main.Windows2K=0 Main.Windows9x=0 Main.AdvancedTools=0 \
    "Main.ISOLocation=$iso" Main.CleanSession=1 Main.OptimizeISO=0 Locations.kivUtils=0 Locations.AddFiles=0 ||
    fail "discsmith --set"
  (cd "$pf" && ./discsmith --build >"$work/build.out" 2>&1) || { cat "$work/build.out"; fail "discsmith --build"; }
  grep -q "Making the ISO file bootable from a USB stick" "$work/build.out" ||
    { cat "$work/build.out"; fail "the build did not run the hybrid step"; }
  [ "$(od -An -tx1 -j510 -N2 "$iso" | tr -d ' ')" = 55aa ] || fail "the built ISO has no MBR"
  [ $(($(stat -c %s "$iso") % 1048576)) = 0 ] || fail "the built ISO is not padded to whole cylinders"
  # One volume: the stick's view lies inside it and only zeros follow, so
  # 7-Zip reads the image without "There are data after the end of archive".
  python3 - "$iso" <<'PY' || fail "the built ISO has data after its volume"
import sys
data = open(sys.argv[1], "rb").read()
volume = int.from_bytes(data[16 * 2048 + 80:16 * 2048 + 84], "little")
assert volume == int.from_bytes(data[16 * 2048 + 84:16 * 2048 + 88], "big"), "volume size fields differ"
tail = data[volume * 2048:]
assert tail.count(0) == len(tail), "non-zero bytes after the volume's %d sectors" % volume
print("volume of %d sectors, %d bytes of zeros after it" % (volume, len(tail)))
PY
  if command -v 7z >/dev/null; then
    7z t "$iso" >"$work/7z.out" 2>&1 || { cat "$work/7z.out"; fail "7-Zip cannot read the built ISO"; }
    if grep -q "data after the end" "$work/7z.out"; then cat "$work/7z.out"; fail "7-Zip finds data after the volume"; fi
    grep -q "Everything is Ok" "$work/7z.out" || { cat "$work/7z.out"; fail "7-Zip reports a problem"; }
    echo "7-Zip: $(grep -c . "$work/7z.out") lines, Everything is Ok, no data after the end"
  else
    echo "7z is not installed (package p7zip-full): the image was not read with 7-Zip"
  fi
  cp "$iso" "$work/built.iso"
  session "$(as_usb "$work/built.iso")" "expect=Kiv Rescue CD loader" "expect=ISOLINUX" \
    "expect=Kiv Rescue Software" "absent=checksum error"
  # Without the MBR boot code the rebuild fails; the previous ISO stays as it
  # was and no piece of the new one is left.
  rm "$pf/files/isohdpfx.bin"
  if (cd "$pf" && ./discsmith --build >"$work/build2.out" 2>&1); then fail "a build without isohdpfx.bin succeeded"; fi
  grep -q "isohdpfx.bin is missing" "$work/build2.out" || { cat "$work/build2.out"; fail "no message names isohdpfx.bin"; }
  cmp -s "$iso" "$work/built.iso" || fail "the failed rebuild changed the previous ISO"
  ! ls "$(dirname "$iso")"/.*.part >/dev/null 2>&1 || fail "the failed rebuild left its temporary image"
  ;;
efi_stick)
  # A CD template with a UEFI boot image: a FAT image holding
  # EFI/BOOT/BOOTX64.EFI (a stand-in program: the layout is what is checked).
  need mkfs.fat "dosfstools"
  need mcopy "mtools"
  need xorriso "the ISO mastering tool"
  efi="$pf/files/kivcd/boot/efi/efiboot.img"
  mkdir -p "$(dirname "$efi")"
  mkfs.fat -C "$efi" 1440 >/dev/null || fail "mkfs.fat"
  printf 'MZ stand-in for BOOTX64.EFI' >"$work/BOOTX64.EFI"
  export MTOOLS_SKIP_CHECK=1
  mmd -i "$efi" ::EFI ::EFI/BOOT && mcopy -i "$efi" "$work/BOOTX64.EFI" ::EFI/BOOT/BOOTX64.EFI || fail "mtools"
  stub_bootsmith
  iso="$work/efi.iso"
  "$pf/discsmith" --set Main.BootDisks=1 Main.Windows2K=0 Main.Windows9x=0 Main.AdvancedTools=0 \
    "Main.ISOLocation=$iso" Main.CleanSession=0 Main.OptimizeISO=0 Locations.kivUtils=0 Locations.AddFiles=0 ||
    fail "discsmith --set"
  (cd "$pf" && ./discsmith --build >"$work/build.out" 2>&1) || { cat "$work/build.out"; fail "discsmith --build"; }
  grep -q -- "-eltorito-boot boot/loader.bin -eltorito-alt-boot -e boot/efi/efiboot.img -no-emul-boot" \
    "$pf/makecd.sh" || { cat "$pf/makecd.sh"; fail "makecd.sh has no UEFI entry"; }
  # Two El Torito entries: BIOS (the loader), then UEFI (the FAT image).
  xorriso -indev "$iso" -report_el_torito plain >"$work/eltorito.txt" 2>&1
  grep -Eq "^El Torito boot img : +1 +BIOS +y +none" "$work/eltorito.txt" &&
    grep -Eq "^El Torito boot img : +2 +UEFI +y +none" "$work/eltorito.txt" &&
    grep -Eq "^El Torito img path : +2 +/boot/efi/efiboot.img" "$work/eltorito.txt" ||
    { cat "$work/eltorito.txt"; fail "the ISO lacks the BIOS and UEFI El Torito entries"; }
  # The stick: partition 1 active over the disk without a type (UEFI firmware
  # ignores overlapping partitions), partition 2 the FAT image; a GPT too.
  # The image is the one in the CD tree: the build writes its own over the
  # template's stand-in where Debian's signed loaders are installed.
  [ -f "$pf/kivcd/boot/efi/efiboot.img" ] || fail "the CD tree has no boot/efi/efiboot.img"
  python3 - "$iso" "$pf/kivcd/boot/efi/efiboot.img" <<'PY' || fail "the stick's partition table does not hold the UEFI image"
import sys
data, fat = (open(p, "rb").read() for p in sys.argv[1:])
e1, e2 = data[446:462], data[462:478]
assert data[510:512] == b"\x55\xaa", "no MBR"
assert e1[0] == 0x80 and e1[4] == 0 and int.from_bytes(e1[12:16], "little") * 512 == len(data), "partition 1: %s" % e1.hex()
start, count = int.from_bytes(e2[8:12], "little"), int.from_bytes(e2[12:16], "little")
assert e2[4] == 0xEF and data[start * 512:start * 512 + len(fat)] == fat and count * 512 >= len(fat), "partition 2: %s" % e2.hex()
assert data[512:520] == b"EFI PART", "no GPT"
print("EFI system partition: sectors %d-%d" % (start, start + count - 1))
PY
  # The BIOS still starts the loader and isolinux from the stick.
  session "$(as_usb "$iso")" "expect=Kiv Rescue CD loader" "expect=ISOLINUX" "expect=Kiv Rescue Software"
  ;;
write_usb)
  cd_tree
  master "$work/kivcd" "$work/x.iso" "$pf/mkisofs"
  cp "$work/x.iso" "$work/plain.iso"
  discsmith --hybrid "$work/x.iso" >/dev/null || fail "discsmith --hybrid failed"
  sys=$work/sys
  # A test sysfs: the stick, a partition of it, a fixed disk, a small stick.
  dev() {  # dev <name> <removable> <sectors> [partition]
    mkdir -p "$sys/class/block/$1/device"
    echo "$2" >"$sys/class/block/$1/removable"
    echo "$3" >"$sys/class/block/$1/size"
    echo "KIVTEST " >"$sys/class/block/$1/device/vendor"
    echo "Stick $1" >"$sys/class/block/$1/device/model"
    [ -z "${4:-}" ] || echo 1 >"$sys/class/block/$1/partition"
  }
  export KIV_SYSFS_ROOT=$sys KIV_MOUNTS_FILE=$work/mounts
  : >"$work/mounts"
  size=$(stat -c %s "$work/x.iso")
  mkdir -p "$work/dev"
  target=$work/dev/kivstick
  if [ "$(id -u)" = 0 ] && command -v losetup >/dev/null; then
    truncate -s $((size + 4194304)) "$work/stick.img"
    loop=$(losetup -f --show "$work/stick.img") || loop=""
  fi
  if [ -n "$loop" ]; then
    target=$loop
    name=$(basename "$loop")
    dev "$name" 1 $(((size + 4194304) / 512))
    cp "/sys/class/block/$name/dev" "$sys/class/block/$name/dev"
    echo "writing to the loop device $loop"
  else
    truncate -s $((size + 4194304)) "$target"
    name=kivstick
    dev kivstick 1 $(((size + 4194304) / 512))
    echo "writing to a file the test sysfs calls a removable disk (no loop device)"
  fi
  dev kivstick1 1 100 partition
  : >"$work/dev/kivstick1"
  dev kivfixed 0 99999999
  : >"$work/dev/kivfixed"
  dev kivsmall 1 2048
  : >"$work/dev/kivsmall"
  refuse() {  # refuse <text expected> <args...>
    local want=$1; shift
    if discsmith --write-usb "$@" --yes >"$work/out.txt" 2>&1; then cat "$work/out.txt"; fail "--write-usb $* was accepted"; fi
    grep -q -- "$want" "$work/out.txt" || { cat "$work/out.txt"; fail "--write-usb $*: no \"$want\""; }
    echo "refused: $*: $want"
  }
  refuse "is a partition" "$work/dev/kivstick1" "$work/x.iso"
  refuse "is not a removable disk" "$work/dev/kivfixed" "$work/x.iso"
  refuse "is too small" "$work/dev/kivsmall" "$work/x.iso"
  refuse "is not a disk" "$work/x.iso" "$work/x.iso"
  refuse "no such device" "$work/dev/none" "$work/x.iso"
  refuse "cannot start from a USB stick" "$target" "$work/plain.iso"
  refuse "no such ISO file" "$target" "$work/none.iso"
  # A partition of the stick mounted (sysfs lists partitions inside the disk).
  mkdir -p "$sys/class/block/$name/${name}p1"
  echo "/dev/${name}p1 /media/stick vfat rw 0 0" >"$work/mounts"
  refuse "is mounted" "$target" "$work/x.iso"
  : >"$work/mounts"
  # Without --yes and without a terminal the question is answered No.
  if discsmith --write-usb "$target" "$work/x.iso" </dev/null >"$work/out.txt" 2>&1; then fail "written without a Yes"; fi
  grep -q "Everything on it will be lost" "$work/out.txt" || { cat "$work/out.txt"; fail "no question asked"; }
  grep -q "Stick $name" "$work/out.txt" || { cat "$work/out.txt"; fail "the question does not name the model"; }
  [ "$(head -c "$size" "$target" | cmp - "$work/x.iso" >/dev/null 2>&1 && echo same)" != same ] ||
    fail "the device was written without a Yes"
  discsmith --write-usb "$target" "$work/x.iso" --yes >"$work/out.txt" 2>&1 || { cat "$work/out.txt"; fail "write"; }
  grep -q "written and verified" "$work/out.txt" || { cat "$work/out.txt"; fail "no verification reported"; }
  grep -q "Verifying" "$work/out.txt" || { cat "$work/out.txt"; fail "no progress shown"; }
  head -c "$size" "$target" | cmp - "$work/x.iso" || fail "the device does not hold the ISO"
  echo "written and read back: $target"
  ;;
try)
  cd_tree
  master "$work/kivcd" "$work/x y.iso" "$pf/mkisofs"
  mkdir -p "$work/bin"
  # A stand-in QEMU that records its arguments, one a line.
  printf '%s\n' '#!/bin/sh' 'for a in "$0" "$@"; do printf "%s\n" "$a"; done > "$KIV_QEMU_RECORD"' >"$work/bin/qemu-system-i386"
  chmod +x "$work/bin/qemu-system-i386"
  export KIV_QEMU_RECORD=$work/args.txt
  expect_args() {  # expect_args <line>...
    printf '%s\n' "$work/bin/qemu-system-i386" -name "Kiv Rescue CD trial" -m 256 "$@" >"$work/want.txt"
    diff "$work/want.txt" "$work/args.txt" || fail "QEMU got other arguments"
  }
  # With a display (the stand-in opens no window): QEMU's window.
  export DISPLAY=:0
  PATH="$work/bin:$PATH" discsmith --try "$work/x y.iso" || fail "discsmith --try failed"
  expect_args -drive "file=$work/x y.iso,format=raw,media=cdrom,if=ide,index=2,readonly=on" -boot d
  PATH="$work/bin:$PATH" discsmith --try --usb "$work/x y.iso" || fail "discsmith --try --usb failed"
  expect_args -usb -drive "file=$work/x y.iso,format=raw,if=none,id=stick,snapshot=on" \
    -device "usb-storage,drive=stick,bootindex=0"
  # Without an ISO named: the one the saved settings name.
  "$pf/discsmith" --set "Main.ISOLocation=$work/x y.iso" || fail "discsmith --set"
  PATH="$work/bin:$PATH" discsmith --try || fail "discsmith --try (saved ISO) failed"
  expect_args -drive "file=$work/x y.iso,format=raw,media=cdrom,if=ide,index=2,readonly=on" -boot d
  PATH="$work/bin:$PATH" "$pf/bootsmith" --try "$work/kivcd/boot/images/usbtest.img" || fail "bootsmith --try failed"
  expect_args -drive "file=$work/kivcd/boot/images/usbtest.img,format=raw,if=floppy,index=0,snapshot=on" -boot a
  # On the terminal, asked for or for want of a display; the saved ISO too.
  PATH="$work/bin:$PATH" discsmith --try --headless 2>"$work/err.txt" || fail "discsmith --try --headless failed"
  expect_args -drive "file=$work/x y.iso,format=raw,media=cdrom,if=ide,index=2,readonly=on" -boot d \
    -display none -serial mon:stdio
  grep -q "Ctrl-A X ends it" "$work/err.txt" || { cat "$work/err.txt"; fail "--headless does not say how to end it"; }
  unset DISPLAY WAYLAND_DISPLAY
  PATH="$work/bin:$PATH" "$pf/bootsmith" --try "$work/kivcd/boot/images/usbtest.img" 2>"$work/err.txt" ||
    fail "bootsmith --try without a display failed"
  expect_args -drive "file=$work/kivcd/boot/images/usbtest.img,format=raw,if=floppy,index=0,snapshot=on" -boot a \
    -display none -serial mon:stdio -machine graphics=off
  grep -q "No display" "$work/err.txt" || { cat "$work/err.txt"; fail "no word of the missing display"; }
  # No QEMU on PATH: both say how to install it.
  mkdir -p "$work/nobin"
  for p in "$pf/discsmith" "$pf/bootsmith"; do
    if PATH="$work/nobin" "$p" --try "$work/x y.iso" 2>"$work/err.txt"; then fail "$p --try without QEMU succeeded"; fi
    grep -q "install the package qemu-system-x86" "$work/err.txt" || { cat "$work/err.txt"; fail "$p: no install hint"; }
  done
  echo "--try passes the image to QEMU as one argument; without QEMU it says what to install"
  ;;
*)
  fail "unknown check $check"
  ;;
esac
echo "PASS: $check"
