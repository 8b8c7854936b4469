#!/usr/bin/env bash
# The demo CD's Linux rescue system started as a person with a broken PC
# would: the CD (or the stick written from it) built by `discsmith --build`
# with the rescue system as the menu's default entry (rescue_cds.sh), in QEMU on q35 with an
# NVMe disk that holds a GPT with an NTFS partition and a FAT32 USB stick:
#   secureboot  OVMF with Secure Boot on and Microsoft's keys, from the CD:
#               shim, GRUB and Debian's signed kernel start after the CD's
#               password, the root shell comes up on the serial console, and
#               commands typed there copy a document from the NTFS partition
#               onto the stick; the test reads the stick with mtools
#   bios        SeaBIOS, from the CD: the loader's password, isolinux's menu
#               times out into the rescue system, the same copy
#   stick       OVMF, the ISO as a USB stick: the entry that copies the system
#               into memory, which then runs without its medium
#   uefi        OVMF without Secure Boot, from the CD
#   bios_stick  SeaBIOS, the ISO as a USB stick (its hybrid MBR, the loader's
#               password, isolinux), the system run from the stick
#   secureboot_stick  OVMF with Secure Boot, the ISO as a USB stick: shim,
#               GRUB and the signed kernel from the stick's EFI partition
# Environment (set by ctest): KIV_E2E_RESCUE_CDS (the CDs the e2e.rescue_cds
# fixture built), KIV_SOURCE_DIR, KIV_SCREENSHOT (optional:
# where the menu's screendump goes). Exit 77: QEMU, OVMF, mtools or ntfs-3g
# missing.
set -euo pipefail
case=${1:?usage: rescue_boot.sh secureboot|bios|stick|uefi|bios_stick|secureboot_stick}
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
qemu="qemu-system-x86_64"
ovmf=/usr/share/OVMF
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v $qemu >/dev/null || skip "$qemu is not installed (package qemu-system-x86)"
[ -f $ovmf/OVMF_CODE_4M.secboot.fd ] || skip "no UEFI firmware for QEMU (package ovmf)"
command -v mkntfs >/dev/null && command -v ntfscp >/dev/null || skip "mkntfs/ntfscp missing (package ntfs-3g)"
command -v mcopy >/dev/null || skip "mtools missing"
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_rescue_boot.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"' EXIT
export KIVCD_UI=console MTOOLS_SKIP_CHECK=1

# The demo CD the fixture built, its menu starting the rescue system (copied
# into memory for the stick case) after 5 s.
cds=${KIV_E2E_RESCUE_CDS:?KIV_E2E_RESCUE_CDS is not set (run through ctest)}
iso="$cds/cd.iso"
[ "$case" = stick ] && iso="$cds/ram.iso"
[ -f "$iso" ] || fail "no $iso (the e2e.rescue_cds fixture builds it)"

# A PC's disk: GPT, one NTFS partition from 1 MiB holding a user's document.
doc="$work/report.txt"
printf 'Quarterly report\r\nKept safe by the rescue system (%s).\r\n' "$case" > "$doc"
truncate -s 64M "$work/nvme.img"
printf 'label: gpt\nstart=2048, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, name="Windows"\n' \
  | sfdisk -q "$work/nvme.img"
truncate -s 60M "$work/ntfs.part"
mkntfs -q -F -Q -L WINDOWS -p 2048 "$work/ntfs.part" > "$work/mkntfs.out" 2>&1 \
  || { cat "$work/mkntfs.out"; fail "mkntfs failed"; }
ntfscp "$work/ntfs.part" "$doc" report.txt > /dev/null || fail "ntfscp could not put the document on the NTFS partition"
dd if="$work/ntfs.part" of="$work/nvme.img" bs=1M seek=1 conv=notrunc status=none
# The USB stick the document goes to: FAT32, no partition table.
truncate -s 64M "$work/stick.img"
mkfs.vfat -F 32 -n KIVSTICK "$work/stick.img" > /dev/null

disks=(-drive "file=$work/nvme.img,format=raw,if=none,id=nvm" -device "nvme,serial=kivnvme,drive=nvm"
       -device "qemu-xhci,id=xhci" -drive "file=$work/stick.img,format=raw,if=none,id=usbstick"
       -device "usb-storage,bus=xhci.0,drive=usbstick")
cd_drive=(-drive "file=$iso,format=raw,if=none,id=cd,media=cdrom,readonly=on" -device "ide-cd,drive=cd,bootindex=0")
# The ISO itself as a USB stick, first to boot; the document goes to the other.
stick_drive=(-drive "file=$iso,format=raw,if=none,id=boot,readonly=on" -device "usb-storage,bus=xhci.0,drive=boot,bootindex=0")

# The rescue, typed on the serial console: find the NTFS partition and the
# stick by what they are, copy, and say so (the number is worked out so the
# typed line itself does not match).
prompt="root@kivrescue:~#"
rescue=("expect=$prompt" "wait=2"
        "serial=mkdir -p /mnt/win /mnt/stick && mount -t ntfs-3g -o ro \$(blkid -t TYPE=ntfs -o device | head -n1) /mnt/win && mount LABEL=KIVSTICK /mnt/stick && cp /mnt/win/report.txt /mnt/stick/ && umount /mnt/stick && echo COPIED-\$((40+2))\n"
        "expect=COPIED-42" "expect=$prompt")
# Under Secure Boot the kernel runs locked down (integrity mode).
locked=("serial=grep -q '\\[integrity\\]' /sys/kernel/security/lockdown && echo LOCKED-\$((40+2))\n"
        "expect=LOCKED-42" "expect=$prompt")
bye=("serial=poweroff\n")
# Copied into memory: started with toram, and no USB disk is mounted (the
# stick it came from was let go) before the rescue mounts the other one.
in_ram=("serial=grep -qw toram /proc/cmdline && ! findmnt -rn -o SOURCE | grep -q '^/dev/sd' && echo INRAM-\$((40+2))\n"
        "expect=INRAM-42")
shot=${KIV_SCREENSHOT:-$work/rescue_menu.png}

session() {
  local name=$1; shift
  echo "--- session: $name"
  python3 "$here/qemu_session.py" --qemu $qemu --timeout 300 --log "$work/$name.log" "$@" \
    > "$work/$name.out" 2>&1 || { tail -c 6000 "$work/$name.out"; fail "session $name"; }
  echo "ok"
}
# uefi <firmware code> <firmware variables> <step>... -- <qemu args>
uefi() {
  local code=$1 vars=$2; shift 2
  cp "$vars" "$work/vars.fd"
  local steps=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do steps+=("$1"); shift; done
  shift
  session "$case" "${steps[@]}" -- -machine q35,smm=on -m 1536 -no-reboot \
    -global driver=cfi.pflash01,property=secure,value=on \
    -drive "if=pflash,format=raw,readonly=on,file=$code" -drive "if=pflash,format=raw,file=$work/vars.fd" "$@"
}

case "$case" in
secureboot)
  uefi $ovmf/OVMF_CODE_4M.secboot.fd $ovmf/OVMF_VARS_4M.ms.fd \
    "expect=Linux rescue system" "expect=automatically in" "wait=1" "screendump=$shot" "key=ret" \
    "expect=Enter username:" "type=rescue\n" "expect=Enter password:" "type=open-sesame\n" \
    "expect=Starting Linux rescue system" "${rescue[@]}" "${locked[@]}" "${bye[@]}" -- "${cd_drive[@]}" "${disks[@]}"
  ;;
bios)
  session "$case" "expect=Enter the password of this CD:" "type=open-sesame\n" "expect=Automatic boot in" \
    "${rescue[@]}" "${bye[@]}" -- -machine q35 -m 1536 -no-reboot "${cd_drive[@]}" "${disks[@]}"
  ;;
stick)
  # The ISO itself is the stick here; the document goes to the second one.
  uefi $ovmf/OVMF_CODE_4M.fd $ovmf/OVMF_VARS_4M.fd \
    "expect=copied into memory" "expect=automatically in" "key=ret" \
    "expect=Enter username:" "type=rescue\n" "expect=Enter password:" "type=open-sesame\n" \
    "expect=$prompt" "wait=2" "${in_ram[@]}" "${rescue[@]}" "${bye[@]}" -- "${disks[@]}" "${stick_drive[@]}"
  ;;
uefi)
  uefi $ovmf/OVMF_CODE_4M.fd $ovmf/OVMF_VARS_4M.fd \
    "expect=Linux rescue system" "expect=automatically in" "key=ret" \
    "expect=Enter username:" "type=rescue\n" "expect=Enter password:" "type=open-sesame\n" \
    "expect=Starting Linux rescue system" "${rescue[@]}" "${bye[@]}" -- "${cd_drive[@]}" "${disks[@]}"
  ;;
secureboot_stick)
  uefi $ovmf/OVMF_CODE_4M.secboot.fd $ovmf/OVMF_VARS_4M.ms.fd \
    "expect=Linux rescue system" "expect=automatically in" "key=ret" \
    "expect=Enter username:" "type=rescue\n" "expect=Enter password:" "type=open-sesame\n" \
    "expect=Starting Linux rescue system" "${rescue[@]}" "${locked[@]}" "${bye[@]}" -- "${disks[@]}" "${stick_drive[@]}"
  ;;
bios_stick)
  session "$case" "expect=Enter the password of this CD:" "type=open-sesame\n" "expect=Automatic boot in" \
    "${rescue[@]}" "${bye[@]}" -- -machine q35 -m 1536 -no-reboot "${disks[@]}" "${stick_drive[@]}"
  ;;
*) fail "unknown case $case" ;;
esac

mcopy -i "$work/stick.img" ::report.txt "$work/copied.txt" || fail "the stick holds no report.txt"
cmp "$doc" "$work/copied.txt" || fail "the copy on the stick differs from the document"
echo "ok: $case"
