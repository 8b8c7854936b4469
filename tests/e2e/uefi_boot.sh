#!/usr/bin/env bash
# The CD's UEFI boot menu in QEMU (q35 with Debian's OVMF), on a CD that
# `discsmith --build` makes in a fresh copy of the installed program folder
# (password "open-sesame", time-out 8 s); what GRUB prints reaches COM1:
#   cd          from the CD: the menu with the BIOS-mode note and the title,
#               memtest86+, the hard disk, firmware setup, reboot and power
#               off (a screendump kept); the time-out starts the hard-disk
#               entry, which asks for the password; memtest86+ chosen from
#               the menu starts (its screen on the serial console)
#   stick       the same ISO as a USB stick: the menu, and memtest86+ from it
#   secureboot  Secure Boot firmware with Microsoft's keys: shim and GRUB
#               start, the menu appears, without the unsigned memtest86+
# Should the build's ISO lack the UEFI El Torito entry (a program folder whose
# mkisofs is not xorriso), the test masters the build's tree itself with
# xorriso.
# Environment (set by ctest): KIV_E2E_PREFIX, KIV_SOURCE_DIR, KIV_SCREENSHOT
# (optional: where the menu's screendump goes). Exit 77: QEMU, OVMF or
# xorriso missing.
set -euo pipefail
case=${1:?usage: uefi_boot.sh cd|stick|secureboot}
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
qemu="qemu-system-x86_64"
ovmf=/usr/share/OVMF
skip() { echo "SKIPPED: $*"; exit 77; }
command -v $qemu >/dev/null || skip "$qemu is not installed (package qemu-system-x86)"
[ -f $ovmf/OVMF_CODE_4M.fd ] || skip "no UEFI firmware for QEMU (package ovmf)"
command -v xorriso >/dev/null || skip "xorriso is not installed"
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_uefi_boot.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"' EXIT
export KIVCD_UI=console MTOOLS_SKIP_CHECK=1

fail() { echo "FAIL: $*" >&2; exit 1; }
# session <name> <firmware code> <firmware variables> <step>... -- <qemu args>
session() {
  local name=$1 code=$2 vars=$3; shift 3
  cp "$vars" "$work/$name.vars"
  echo "--- session: $name"
  python3 "$here/qemu_session.py" --qemu $qemu --timeout 120 --log "$work/$name.log" "$@" \
    -machine q35${SECURE:+,smm=on} -m 512 ${SECURE:+-global driver=cfi.pflash01,property=secure,value=on} \
    -drive "if=pflash,format=raw,readonly=on,file=$code" -drive "if=pflash,format=raw,file=$work/$name.vars" \
    > "$work/$name.out" 2>&1 || { cat "$work/$name.out"; fail "session $name"; }
  echo "ok"
}
plain() { session "$1" $ovmf/OVMF_CODE_4M.fd $ovmf/OVMF_VARS_4M.fd "${@:2}"; }

pf=$(bash "$here/new_program_folder.sh")
mv "$(dirname "$pf")" "$work/cd"
pf="$work/cd/program"
sed -i 's/^Set MenuTimeout=30/Set MenuTimeout=8/' "$pf/files/kivcd/boot/scripts/main.cds"
KIVCD_PASSWORD=open-sesame SOURCE_DATE_EPOCH=1700000000 bash "$src/scripts/demo-build.sh" "$pf" > "$work/build.out" 2>&1 \
  || { cat "$work/build.out"; fail "the CD build failed"; }
tree="$pf/kivcd"
[ -f "$tree/boot/efi/efiboot.img" ] || fail "the build made no boot/efi/efiboot.img"
[ -f "$tree/boot/grub/grub.cfg" ] || fail "the build made no boot/grub/grub.cfg"
! grep -q -a -F open-sesame "$tree/boot/grub/grub.cfg" || fail "grub.cfg holds the password in clear text"
iso="$pf/kivcd-demo.iso"
if ! xorriso -indev "$iso" -report_el_torito plain 2>/dev/null | grep -q "UEFI"; then
  iso="$work/uefi.iso"
  xorriso -as mkisofs -o "$iso" -R -J -V KIV_RESCUE -e boot/efi/efiboot.img -no-emul-boot \
    -append_partition 2 0xef "$tree/boot/efi/efiboot.img" -appended_part_as_gpt "$tree" > "$work/xorriso.log" 2>&1 \
    || { cat "$work/xorriso.log"; fail "mastering the tree with xorriso failed"; }
fi

menu=("expect=DOS floppies and XP/98 setup need BIOS mode" "expect=Boot from the first hard disk"
      "expect=Firmware setup" "expect=Reboot" "expect=Power off" "expect=automatically in")
[ -f "$tree/boot/tools/memtest86+x64.efi" ] && menu=("expect=Memory test (memtest86+, UEFI)" "${menu[@]}")
# The time-out starts the hard disk, which asks for the CD's password first.
# (Typing it in is left out: in QEMU 7.2 with OVMF, keys sent to that prompt
# after the time-out were lost in some runs.)
to_disk=("expect=Booting \`Boot from the first hard disk'" "expect=Enter username:")
# memtest86+ chosen from the menu (up from the hard disk, the default), after
# the CD's password: its own screen arrives on the serial console.
memtest_steps() {
  if [ ! -f "$tree/boot/tools/memtest86+x64.efi" ]; then
    echo "memtest86+ check skipped: the CD has no boot/tools/memtest86+x64.efi (package memtest86+)" >&2
    return 1
  fi
  memtest=("expect=automatically in" "key=up" "wait=0.5" "key=ret" "expect=Enter username:" "type=rescue\n"
           "expect=Enter password:" "type=open-sesame\n" "expect=memtest86+x64.efi" "expect=Memtest86+")
}
case "$case" in
cd)
  shot=${KIV_SCREENSHOT:-$work/uefi_menu.png}
  plain menu_and_timeout "expect=Kiv Rescue CD: DOS floppies" "${menu[@]}" "wait=1" "screendump=$shot" \
    "${to_disk[@]}" -- -cdrom "$iso"
  [ -s "$shot" ] || fail "no screendump of the menu"
  if memtest_steps; then plain cd_memtest "${memtest[@]}" -- -cdrom "$iso"; fi
  ;;
stick)
  stick=(-drive "file=$iso,format=raw,if=none,id=stick,snapshot=on" -device qemu-xhci
         -device "usb-storage,drive=stick,bootindex=0")
  plain stick "${menu[@]}" -- "${stick[@]}"
  if memtest_steps; then plain stick_memtest "${memtest[@]}" -- "${stick[@]}"; fi
  ;;
secureboot)
  [ -f $ovmf/OVMF_CODE_4M.secboot.fd ] && [ -f $ovmf/OVMF_VARS_4M.ms.fd ] || skip "no Secure Boot firmware (package ovmf)"
  # memtest86+ is not signed: its entry is left out.
  SECURE=1 session secure_boot $ovmf/OVMF_CODE_4M.secboot.fd $ovmf/OVMF_VARS_4M.ms.fd "expect=Kiv Rescue CD: DOS floppies" \
    "expect=Boot from the first hard disk" "expect=Power off" "expect=automatically in" \
    "absent=Memory test (memtest86+, UEFI)" -- -cdrom "$iso"
  ;;
*) fail "unknown case $case" ;;
esac
echo "ok: $case"
