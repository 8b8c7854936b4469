#!/usr/bin/env bash
# Checks of the boot code and the CD template, one per call:
#   template            main.cds carries every marker the CD builder edits, once
#   boot_files          sizes, signatures and the I386 text of the boot code;
#                       the libraries the boot manager's modules load; the
#                       free tools in boot/tools/
#   cd_boot             an ISO mastered from the template and the boot manager
#                       files starts isolinux and its menu through our loader;
#                       without isolinux.bin the loader names what is missing
#   cd_password         the loader's password gate: right, wrong then right,
#                       all wrong (isolinux never starts), awkward characters;
#                       the serial console's line beside the keyboard's
#   cd_serial_mouse     a serial mouse on COM1 never types into the keyboard's
#                       line: the console on COM1, on COM2, or none
#   sha256              the loader's SHA-256 against OpenSSL's, message lengths
#                       around the block boundaries, on a probe floppy
#   old_bios            BIOSes that offer less: a floppy of our own (bios_shim.asm)
#                       hooks int 13h, then starts the CD or the hybrid ISO as
#                       the first hard disk: a CD drive that does not answer
#                       AH=41h, a disk without extensions (the MBR, the loader
#                       and isolinux read it by cylinder, head and sector), and
#                       media that cannot be read at all, where the loader's
#                       message names the medium
#   bochs_cd            the test CD reaches the menu in Bochs (its own BIOS)
#   bochs_kernel        the kernel floppies of kernel_boot in Bochs
#   floppy_boot         bfi floppies (1.44 and 2.88 MB) holding the DOS stand-ins:
#                       our boot sector starts the stand-in IO.SYS, which reports
#                       the hand-over, checked against the image by check_handover.py
#   floppy_memdisk      the same floppies booted through syslinux's memdisk
#   floppy_failures     the boot sector's messages without IO.SYS and with a
#                       non-DOS 7 IO.SYS; the stand-in's faults on a damaged
#                       boot sector
#   kernel_boot         bfi floppies (1.44 and 2.88 MB) whose IO.SYS is a FreeDOS
#                       kernel stand-in (kernel_probe.asm, 100 KiB): the boot
#                       sector loads it whole and starts it as FreeDOS's load
#                       protocol says; what the probe reports on COM1 and the
#                       screen is checked against the image by check_handover.py;
#                       the longest kernel taken (256 KiB less a byte) starts too
#   kernel_memdisk      the same floppies booted through syslinux's memdisk
#   kernel_failures     files that only look like a kernel are refused; the
#                       probe's faults on a damaged boot sector
#   patched_sector_boot erdc.bin with I386 rewritten to ERDC reads the CD: the
#                       volume name, \ERDC\SETUPLDR.BIN missing, then a probe
#                       SETUPLDR.BIN started at 2000:0000 with DL = the CD drive
# and, for other end-to-end tests (no environment needed):
#   iso <file.iso> [text]     the ISO boots to `text` (default: the loader banner)
#   floppy <file.img> [text]  the floppy boots to `text`; by default to the stand-in
#                             IO.SYS's "Hand-over: OK", with the values checked
# Environment: KIV_BOOT_BIN_DIR (assembled .bin files), KIV_GATE_LAYOUT (the
# password gate block's layout, gate_layout.inc), KIV_TEMPLATE_DIR (the CD
# template in the sources), KIV_BFI (the floppy image tool), KIV_DOS_DIR (the
# DOS stand-ins), KIV_MEMDISK (default /usr/lib/syslinux/memdisk).
# Exit 77 = skipped (reason printed).
set -euo pipefail

check=${1:?usage: boot_check.sh <check> [args]}
case "$check" in iso | floppy) ;; *)
  bin=${KIV_BOOT_BIN_DIR:?}
  # The layout the loader's gate block was assembled with: lines
  # "GATE_<field> equ <offset>" and "GATE_<field>_SIZE equ <bytes>".
  gate_layout=${KIV_GATE_LAYOUT:?}
  template=${KIV_TEMPLATE_DIR:?}
  ;;
esac
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_boot_check.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }
need() { command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed ($2)"; }

# Occurrences of a fixed byte string in a file (case-sensitive unless $3=-i).
count() { grep -a -o -F ${3:+"$3"} -- "$2" "$1" | wc -l; }

size_of() { stat -c %s "$1"; }

# master and set_gate: the CD builder's own mastering and gate writer.
# shellcheck source=tests/e2e/cd_tool_lib.sh
source "$here/cd_tool_lib.sh"

# A CD tree at $work/kivcd from the template, our loader and the boot manager
# files, with a test menu of its own; many files in the root so that its
# directory takes several sectors and "boot" is not in the first.
cd_tree() {
  local tree="$work/kivcd" isolinux="$bin/kivcd/boot/isolinux" f i
  for f in isolinux.bin ldlinux.c32 menu.c32 libutil.c32 libcom32.c32 chain.c32 memdisk COPYING README.txt; do
    [ -s "$isolinux/$f" ] || fail "boot manager file $f missing in $isolinux"
  done
  rm -rf "$tree"
  cp -r "$template" "$tree"
  rm -f "$tree/.gitattributes"
  mkdir -p "$tree/boot/images"
  cp "$bin/kivcd/boot/loader.bin" "$tree/boot/"
  cp -r "$isolinux" "$tree/boot/"
  for ((i = 0; i < 120; i++)); do : >"$tree/a_file_that_sorts_before_boot_$i.txt"; done
  printf '%s\r\n' "SERIAL 0 115200" "UI menu.c32" "MENU TITLE Kiv test menu" "TIMEOUT 0" \
    "LABEL one" "  MENU LABEL Kiv test entry" "  COM32 chain.c32" "  APPEND hd0" \
    >"$tree/boot/isolinux/isolinux.cfg"
}

# One QEMU session of qemu_session.py: qemu_run <name> [OPTION...] STEP... -- QEMU_ARG...
qemu_run() {
  local name=$1 rc=0; shift
  python3 "$here/qemu_session.py" --timeout 20 "$@" || rc=$?
  [ "$rc" = 77 ] && skip "qemu-system-i386 is not installed (package qemu-system-x86)"
  [ "$rc" = 0 ] || fail "boot session of $name failed (see above)"
}

# One QEMU session booting the ISO: session <iso> [OPTION...] STEP...
session() {
  local iso=$1; shift
  qemu_run "$(basename "$iso")" "$@" -- -cdrom "$iso" -boot d
}

# Boots QEMU with the given arguments and waits (at most 20 s) for `pattern`
# on its serial port; prints what arrived.
boot_and_expect() {
  local pattern=$1; shift
  need qemu-system-i386 "install qemu-system-x86 to run the boot checks"
  local out="$work/serial.txt"
  : >"$out"
  timeout 20 qemu-system-i386 -m 32 "$@" -display none -serial "file:$out" \
    -monitor none -no-reboot 2>"$work/qemu.err" &
  local pid=$! i
  for ((i = 0; i < 200; i++)); do
    grep -q -a -F -- "$pattern" "$out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "--- serial output ---"
  tr -d '\r' <"$out"
  echo "---------------------"
  grep -q -a -F -- "$pattern" "$out" || { cat "$work/qemu.err" >&2; fail "no \"$pattern\" on the serial port"; }
}

# make_floppy <144|288>: $img from $work/tree by bfi, as bootsmith makes it.
make_floppy() {
  [ -n "${KIV_BFI:-}" ] && [ -x "$KIV_BFI" ] || skip "bfi is not built"
  img="$work/kiv$1.img"
  rm -f "$img"
  "$KIV_BFI" -b="$bin/bootsect.bin" -l="KIVTEST$1" -t="$1" -f="$img" "$work/tree" || fail "bfi failed"
  if command -v fsck.fat >/dev/null; then fsck.fat -n "$img" >/dev/null || fail "fsck.fat rejects $img"; fi
}

# stand_in_tree: $work/tree with every shipped DOS stand-in and a text file.
stand_in_tree() {
  local dos=${KIV_DOS_DIR:?}
  [ -f "$dos/IO.SYS" ] || fail "no stand-in IO.SYS in $dos"
  rm -rf "$work/tree"
  mkdir -p "$work/tree"
  cp "$dos"/* "$work/tree/"
  echo "stand-in" >"$work/tree/readme.txt"
}

# stand_in_floppy <144|288>: a floppy of the stand-in tree.
stand_in_floppy() {
  stand_in_tree
  make_floppy "$1"
}

# kernel_floppy <144|288>: the stand-in tree with the kernel probe as IO.SYS,
# where the DOS files import puts a FreeDOS kernel.
kernel_floppy() {
  if [ ! -f "$work/kernel_probe.bin" ]; then
    nasm -f bin -I"$here/../../data/boot/" -o "$work/kernel_probe.bin" "$here/kernel_probe.asm" ||
      fail "cannot assemble the kernel probe"
  fi
  stand_in_tree
  cp "$work/kernel_probe.bin" "$work/tree/IO.SYS"
  make_floppy "$1"
}

# patch_boot_sector <image> <old hex> <new hex>...: changes to the boot code
# (each at the first match after the BPB), as a damaged boot sector has them.
patch_boot_sector() {
  python3 - "$@" <<'PY' || fail "the boot sector code to damage was not found"
import sys
path, pairs = sys.argv[1], sys.argv[2:]
with open(path, "r+b") as f:
    sector = bytearray(f.read(512))
    for old, new in zip(map(bytes.fromhex, pairs[0::2]), map(bytes.fromhex, pairs[1::2])):
        at = sector.find(old, 62)
        if at < 0:
            sys.exit(f"no {old.hex()} in the boot sector")
        sector[at:at + len(old)] = new
    f.seek(0)
    f.write(sector)
PY
}

# bochs_ready: skips unless Bochs, its BIOSes and Xvfb are there.
bochs_ready() {
  need bochs "Bochs (packages bochs, bochs-x, bochsbios, vgabios)"
  need xvfb-run "Bochs draws its screen into Xvfb (package xvfb)"
  [ -f /usr/share/bochs/BIOS-bochs-latest ] || skip "no Bochs BIOS (package bochsbios)"
  [ -f /usr/share/vgabios/vgabios.bin ] || skip "no VGA BIOS (package vgabios)"
}

# bochs_boot CONFIG_LINE... -- TEXT...: Bochs with its own BIOS and the given
# drive and boot lines, COM1 into $work/serial.txt, until the last TEXT
# arrives (at most 60 s); each TEXT must have arrived.
bochs_boot() {
  local config=() texts out="$work/serial.txt" pid i
  while [ "$1" != -- ]; do config+=("$1"); shift; done
  shift
  texts=("$@")
  : >"$out"
  # Debian's Bochs has its debugger built in: "c" lets the machine run.
  printf 'c\n' >"$work/bochs.cmds"
  printf '%s\n' "megs: 32" "romimage: file=/usr/share/bochs/BIOS-bochs-latest" \
    "vgaromimage: file=/usr/share/vgabios/vgabios.bin" "${config[@]}" "display_library: x" \
    "com1: enabled=1, mode=file, dev=$out" "speaker: enabled=0" "log: $work/bochs.log" "panic: action=fatal" \
    "clock: sync=none, time0=local" >"$work/bochsrc"
  setsid timeout 60 xvfb-run -a bochs -q -f "$work/bochsrc" -rc "$work/bochs.cmds" </dev/null >"$work/bochs.out" 2>&1 &
  pid=$!
  for ((i = 0; i < 600; i++)); do
    grep -q -a -F "${texts[-1]}" "$out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -- -"$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "--- serial output (Bochs) ---"
  tr -d '\r' <"$out" | head -n 8
  echo "------------------------------"
  for text in "${texts[@]}"; do
    grep -q -a -F "$text" "$out" || { tail -n 20 "$work/bochs.out" >&2; fail "Bochs: no \"$text\" on COM1"; }
  done
}

case "$check" in
template)
  script="$template/boot/scripts/main.cds"
  [ -f "$script" ] || fail "missing $script"
  [ -f "$template/readme.txt" ] || fail "missing readme.txt in the CD root"
  for marker in 'Set PasswordRequest=0' 'Set PasswordString=""' '#Set Action3_Macro="ShowWinKey"'; do
    n=$(count "$script" "$marker" -i)
    [ "$n" = 1 ] || fail "\"$marker\" found $n times in main.cds (want 1)"
  done
  for piece in Store your_ Produ ctKey here_; do
    n=$(count "$script" "\"$piece")
    [ "$n" = 1 ] || fail "\"\\\"$piece\" found $n times in main.cds (want 1)"
  done
  # The product-key patch compares six bytes from every double quote; one in
  # the last five bytes would run past the end of the file.
  tail -c 6 "$script" | grep -q '"' && fail "a double quote in the last bytes of main.cds"
  # DOS line ends throughout.
  lf=$(tr -cd '\n' <"$script" | wc -c)
  crlf=$(grep -c $'\r$' "$script" || true)
  [ "$lf" = "$crlf" ] || fail "main.cds has $((lf - crlf)) lines without CR LF"
  echo "main.cds carries every marker once; CR LF line ends"
  ;;
boot_files)
  # Two halves of 2048 bytes: the one the BIOS loads, with the hybrid entry's
  # signature at 40h, and the one it reads itself, tagged KIV2.
  [ "$(size_of "$bin/kivcd/boot/loader.bin")" = 4096 ] || fail "loader.bin is not 4096 bytes"
  [ "$(od -An -tx1 -j64 -N4 "$bin/kivcd/boot/loader.bin" | tr -d ' ')" = fbc07870 ] ||
    fail "loader.bin has no hybrid signature at 40h"
  [ "$(dd if="$bin/kivcd/boot/loader.bin" bs=1 skip=2048 count=4 status=none)" = KIV2 ] ||
    fail "the second half of loader.bin does not start with KIV2"
  # The password gate block the CD builder fills in, as shipped: tag once at
  # an aligned offset in the first half, no password asked, three tries, the
  # serial console on COM1, no salt, hash or prompt; its fields where the
  # layout the loader was assembled with puts them.
  python3 - "$bin/kivcd/boot/loader.bin" "$gate_layout" <<'PY' || fail "the password gate block of loader.bin is wrong"
import re, sys
data = open(sys.argv[1], "rb").read()
gate = {m[1]: int(m[2]) for m in re.finditer(r"^GATE_(\w+) equ (\d+)$", open(sys.argv[2]).read(), re.M)}
at = data.find(b"KIVGATE2")
field = lambda name: data[at + gate[name]:at + gate[name] + gate[name + "_SIZE"]]
assert data.count(b"KIVGATE2") == 1 and at % gate["ALIGN"] == 0, "tag KIVGATE2 not once at an aligned offset"
assert at + gate["SIZE"] <= 2048, "gate block not in the half the BIOS loads"
assert (field("ASK"), field("RETRIES"), field("SERIAL")) == (b"\0", b"\3", b"\xF8\x03"), "ask/tries/port not 0, 3, 3F8h"
assert all(field(name) == bytes(gate[name + "_SIZE"]) for name in ("SALT", "HASH", "PROMPT")), "salt, hash and prompt not empty"
PY
  # The hard-disk entry's key wait: its serial port, as shipped COM1, after
  # its tag once (the build writes the menu's choice there).
  python3 - "$bin/kivcd/boot/isolinux/harddisk.bin" <<'PY' || fail "harddisk.bin has no single KIVHDCOM port block on COM1"
import sys
data = open(sys.argv[1], "rb").read()
at = data.find(b"KIVHDCOM")
assert data.count(b"KIVHDCOM") == 1 and data[at + 8:at + 10] == bytes([0xF8, 0x03])
PY
  [ "$(size_of "$bin/bootsect.bin")" = 512 ] || fail "bootsect.bin is not 512 bytes"
  sig=$(od -An -tx1 -j510 -N2 "$bin/bootsect.bin" | tr -d ' ')
  [ "$sig" = 55aa ] || fail "bootsect.bin ends in $sig, not 55aa"
  jmp=$(od -An -tx1 -N1 "$bin/bootsect.bin" | tr -d ' ')
  [ "$jmp" = eb ] || fail "bootsect.bin does not start with a short jump"
  for s in w2ksect erdc oobc; do
    f="$bin/bootsect/$s.bin"
    [ "$(size_of "$f")" = 2048 ] || fail "$s.bin is not 2048 bytes"
    [ "$(count "$f" I386)" = 1 ] || fail "$s.bin must carry I386 exactly once"
    [ "$(count "$f" i386)" = 0 ] || fail "$s.bin carries a lower-case i386"
  done
  # Every COM32 module of the boot manager finds the libraries it loads
  # (its ELF NEEDED entries) beside it: hdt.c32 needs libmenu and libgpl.
  need readelf "the ELF reader (package binutils)"
  for m in "$bin"/kivcd/boot/isolinux/*.c32; do
    for lib in $(readelf -d "$m" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
      [ -s "$bin/kivcd/boot/isolinux/$lib" ] || fail "$(basename "$m") needs $lib, which is not in boot/isolinux"
    done
  done
  [ -s "$bin/kivcd/boot/isolinux/hdt.c32" ] || fail "no hdt.c32 in boot/isolinux"
  # The free tools: memtest86+ for BIOS (a Linux boot protocol image: "HdrS"
  # at 202h) and UEFI (PE images: "MZ"), and the PCI ID list.
  tools="$bin/kivcd/boot/tools"
  [ "$(dd if="$tools/memtest86+ia32.bin" bs=1 skip=514 count=4 status=none)" = HdrS ] ||
    fail "boot/tools/memtest86+ia32.bin is not a Linux boot protocol image"
  for efi in memtest86+x64.efi memtest86+ia32.efi; do
    [ "$(head -c 2 "$tools/$efi")" = MZ ] || fail "boot/tools/$efi is not a PE image"
  done
  grep -q "^8086  Intel Corporation" "$tools/pci.ids" || fail "boot/tools/pci.ids is not the PCI ID list"
  grep -q "GNU GENERAL PUBLIC LICENSE" "$tools/COPYING" || fail "boot/tools/COPYING is not the GPL"
  grep -q "memtest86+ [0-9]" "$tools/README.txt" || fail "boot/tools/README.txt names no memtest86+ version"
  echo "boot code sizes, signature and I386 texts as expected; modules' libraries and free tools present"
  ;;
cd_boot)
  need isoinfo "the ISO checker (package genisoimage)"
  grep -q "GNU GENERAL PUBLIC LICENSE" "$bin/kivcd/boot/isolinux/COPYING" || fail "COPYING is not the GPL"
  grep -q "syslinux-common" "$bin/kivcd/boot/isolinux/README.txt" || fail "README.txt names no package"
  cd_tree
  master "$work/kivcd" "$work/x.iso"
  info=$(isoinfo -d -i "$work/x.iso")
  grep -q "No Emulation Boot" <<<"$info" || fail "no El Torito no-emulation entry"
  grep -q "Nsect 4" <<<"$info" || fail "boot entry does not load 4 sectors"
  files=$(isoinfo -f -i "$work/x.iso")
  grep -qi 'main.cds' <<<"$files" || fail "main.cds missing on the CD"
  grep -qx '/boot/isolinux/isolinux.bin' <<<"$files" || fail "isolinux.bin missing on the CD"
  ! grep -qi 'loader.bin' <<<"$files" || fail "loader.bin is not hidden"
  ! grep -qi 'boot.catalog' <<<"$files" || fail "boot.catalog is not hidden"
  session "$work/x.iso" "expect=Kiv Rescue CD loader" \
    "expect=Starting \\\\boot\\\\isolinux\\\\isolinux.bin ($(size_of "$work/kivcd/boot/isolinux/isolinux.bin") bytes)" \
    "expect=ISOLINUX" "expect=Kiv test menu" "expect=Kiv test entry" "absent=checksum error"
  # Plain ISO 9660 names (upper case, 8.3, ";1" versions): the loader finds
  # boot\isolinux\isolinux.bin all the same.
  (cd "$work" && genisoimage -quiet -no-emul-boot -boot-load-size 4 -eltorito-boot boot/loader.bin \
    -hide loader.bin -o "$work/u.iso" kivcd) 2>>"$work/mkisofs.log" || fail "genisoimage (plain names) failed"
  isoinfo -f -i "$work/u.iso" | grep -qx '/BOOT/ISOLINUX/ISOLINUX.BIN;1' || fail "u.iso does not carry plain names"
  session "$work/u.iso" "expect=Kiv Rescue CD loader" "expect=ISOLINUX" "expect=Kiv test entry"
  # Without the boot manager the loader says what it did not find.
  rm -rf "$work/kivcd/boot/isolinux"
  master "$work/kivcd" "$work/y.iso"
  boot_and_expect 'Not found on the CD: \boot\isolinux; the system is halted.' -cdrom "$work/y.iso" -boot d
  ;;
cd_password)
  need python3 "the test drives QEMU with qemu_session.py"
  cd_tree
  loader="$work/kivcd/boot/loader.bin"
  cp "$loader" "$work/loader.orig"
  # The right password at once; blanks, quotes, $ and \ are plain characters.
  # The keyboard's "*" show on the screen alone; the loader holds a hash.
  set_gate "$loader" 1 3 'open "$\ me' "Boot password:"
  [ "$(count "$loader" 'open "$\ me')" = 0 ] || fail "loader.bin holds the password in clear text"
  master "$work/kivcd" "$work/p1.iso"
  # (The stars are looked at before Enter: after it the menu may draw over
  # them before a screendump sees them.)
  session "$work/p1.iso" "expect=Boot password:" "absent=ISOLINUX" 'type=open "$\\ me' \
    "screen=Boot password: *********** " "absent=*" "type=\n" "expect=ISOLINUX" "expect=Kiv test entry" \
    "absent=Wrong password"
  # Wrong, then right after Backspace took back a typing error.
  cp "$work/loader.orig" "$loader"
  set_gate "$loader" 1 3 "Rescue" "Password?"
  master "$work/kivcd" "$work/p2.iso"
  session "$work/p2.iso" "expect=Password?" "type=rescue\n" "expect=Wrong password." \
    "expect=Password?" "absent=ISOLINUX" "type=Rescuw" "key=backspace" "type=e\n" \
    "expect=ISOLINUX" "expect=Kiv test menu"
  # Every try wrong: halted, and isolinux never runs.
  session "$work/p2.iso" "expect=Password?" "type=x\n" "expect=Wrong password." \
    "type=rescue\n" "expect=Wrong password." "type=Rescue \n" \
    "expect=Wrong password; the system is halted." "wait=2" "absent=ISOLINUX" "absent=Starting"
  # The serial console's line beside the keyboard's: its "*" and verdicts on
  # the serial port alone, the keyboard's half-typed line left as it was.
  session "$work/p2.iso" "expect=Password?" "type=Res" "screen=Password? *** " "serial=rescue\n" \
    "expect=******" "expect=Wrong password." "offscreen=Wrong password" "screen=Password? *** " \
    "serial=Rescue\n" "expect=ISOLINUX" "expect=Kiv test menu"
  # Its tries used up, what the serial port sends is dropped; the keyboard's
  # tries are its own.
  session "$work/p2.iso" "expect=Password?" "serial=a\nb\nc\n" \
    "expect=Wrong password; no more tries on the serial port." "serial=Rescue\n" "wait=1" \
    "absent=ISOLINUX" "offscreen=Wrong password" "type=Rescue\n" "expect=ISOLINUX"
  # Zero tries (a value the builder never writes: the byte is spoilt here on
  # purpose) count as one.
  cp "$work/loader.orig" "$loader"
  set_gate "$loader" 1 1 "Rescue" "Password?"
  at=$(grep -a -o -b -F KIVGATE2 "$loader" | head -n 1 | cut -d: -f1)
  tries=$(awk '$1 == "GATE_RETRIES" && $2 == "equ" { print $3 }' "$gate_layout")
  [ -n "$tries" ] || fail "no GATE_RETRIES in $gate_layout"
  printf '\000' | dd of="$loader" bs=1 seek=$((at + tries)) conv=notrunc status=none
  master "$work/kivcd" "$work/p3.iso"
  session "$work/p3.iso" "expect=Password?" "type=no\n" "expect=Wrong password; the system is halted." \
    "absent=Wrong password." "absent=ISOLINUX"
  ;;
cd_serial_mouse)
  need python3 "the test drives QEMU with qemu_session.py"
  cd_tree
  loader="$work/kivcd/boot/loader.bin"
  cfg="$work/kivcd/boot/isolinux/isolinux.cfg"
  cp "$loader" "$work/loader.orig"
  cp "$cfg" "$work/cfg.orig"
  # The mouse is moved while the password is typed on the keyboard; on the
  # screen the prompt shows one "*" a key, and the right password opens the CD.
  typing=("mouse=12,5" "type=Res" "mouse=-30,7" "mouse=3,-40" "type=cue" "mouse=60,60"
          "screen=Password? ****** " "offscreen=Wrong password" "type=\n")
  # The serial console on COM1, where the mouse sits: everything still goes
  # there, nothing from there enters the keyboard's line.
  set_gate "$loader" 1 3 "Rescue" "Password?" 1
  master "$work/kivcd" "$work/m1.iso"
  session "$work/m1.iso" --mouse "expect=Password?" "${typing[@]}" "expect=ISOLINUX" "expect=Kiv test entry"
  # The serial console on COM2: prompt and menu there, COM1 left to the mouse.
  cp "$work/loader.orig" "$loader"
  set_gate "$loader" 1 3 "Rescue" "Password?" 2
  sed 's/^SERIAL 0 /SERIAL 1 /' "$work/cfg.orig" >"$cfg"
  master "$work/kivcd" "$work/m2.iso"
  session "$work/m2.iso" --mouse --console 2 "expect=Kiv Rescue CD loader" "expect=Password?" "${typing[@]}" \
    "expect=ISOLINUX" "expect=Kiv test entry"
  # No serial console: the screen alone, not a byte on COM1. (The menu is
  # what is waited for: isolinux's banner may be drawn over before a
  # screendump sees it.)
  cp "$work/loader.orig" "$loader"
  set_gate "$loader" 1 3 "Rescue" "Password?" 0
  grep -v '^SERIAL' "$work/cfg.orig" >"$cfg"
  master "$work/kivcd" "$work/m3.iso"
  session "$work/m3.iso" "screen=Kiv Rescue CD loader" "screen=Password? " "type=Rescue\n" "screen=Kiv test entry" \
    "absent=Kiv Rescue CD loader" "absent=Password?"
  ;;
sha256)
  need nasm "the probe floppy is assembled from tests/e2e/fixtures"
  need openssl "OpenSSL gives the digests to compare with"
  need python3 "to write the messages into the probe floppy"
  nasm -f bin -I"$here/../../data/boot/" -o "$work/sha.img" "$here/fixtures/sha256_probe.asm" ||
    fail "cannot assemble the probe floppy"
  # Random messages around the block boundaries (55 bytes is the longest
  # that fits one block with its padding, 56 the shortest that needs two) up
  # to the longest the loader hashes: a 16-byte salt and 127 characters.
  lengths="0 1 3 55 56 63 64 119 120 127 128 143"
  # shellcheck disable=SC2086 # one argument per length
  python3 - "$work" $lengths <<'PY' || fail "cannot write the messages"
import os, sys
work, lengths = sys.argv[1], [int(n) for n in sys.argv[2:]]
listing = bytes([len(lengths)])
for n in lengths:
    message = os.urandom(n)
    open(os.path.join(work, "message.%d" % n), "wb").write(message)
    listing += bytes([n]) + message
with open(os.path.join(work, "sha.img"), "r+b") as image:
    image.seek(0x1000)
    image.write(listing)
    image.truncate(1474560)
PY
  boot_and_expect "SHA-256 probe done" -drive "file=$work/sha.img,if=floppy,format=raw" -boot a
  tr -d '\r' <"$work/serial.txt" >"$work/digests.txt"
  for n in $lengths; do
    want=$(openssl dgst -sha256 -r "$work/message.$n" | cut -d' ' -f1 | tr a-f A-F)
    grep -qxF "SHA-256 $n $want" "$work/digests.txt" || fail "the $n-byte message: OpenSSL says $want"
  done
  echo "SHA-256 of $(wc -w <<<"$lengths") messages as OpenSSL computes them"
  ;;
floppy_boot | floppy_memdisk)
  need python3 "to read the floppy images"
  for size in 144 288; do
    stand_in_floppy "$size"
    if [ "$check" = floppy_boot ]; then
      boot_and_expect "Hand-over: OK" -drive "file=$img,if=floppy,format=raw" -boot a
    else
      memdisk=${KIV_MEMDISK:-/usr/lib/syslinux/memdisk}
      [ -f "$memdisk" ] || skip "no $memdisk (package syslinux-common)"
      boot_and_expect "Hand-over: OK" -kernel "$memdisk" -initrd "$img" -append floppy
    fi
    python3 "$here/check_handover.py" "$img" "$work/serial.txt" ||
      fail "the $size floppy's hand-over differs from its image"
  done
  ;;
floppy_failures)
  need python3 "to patch the floppy image"
  stand_in_floppy 144
  # No IO.SYS at all.
  rm "$work/tree/IO.SYS"
  make_floppy 144
  boot_and_expect "Kiv boot sector: no IO.SYS in the root folder" \
    -drive "file=$img,if=floppy,format=raw" -boot a
  # A text file named IO.SYS (as the stand-ins were before), not DOS 7's loader.
  printf 'KIV STAND-IN FILE - NOT THE REAL IO.SYS\r\n' >"$work/tree/IO.SYS"
  make_floppy 144
  boot_and_expect "Kiv boot sector: IO.SYS is not an MS-DOS 7 IO.SYS" \
    -drive "file=$img,if=floppy,format=raw" -boot a
  # A boot sector that gets three things wrong: head settle 0E, 0000 pushed
  # where 0078 belongs, and a wrong high word in [BP-4]. The stand-in must
  # name each, and must not report OK.
  stand_in_floppy 144
  # (mov byte [052B], 0F; push si, ss, bx -> cx; mov [bp-2], dx -> sp)
  patch_boot_sector "$img" c6062b050f c6062b050e 561653 561651 8956fe 8966fe
  boot_and_expect "Rebuild the disk." -drive "file=$img,if=floppy,format=raw" -boot a
  for fault in "table: head settle not 0F" "stack: no 0078 0000" "[BP-4] not the first data sector"; do
    grep -q -a -F "Hand-over: FAULT $fault" "$work/serial.txt" || fail "no \"Hand-over: FAULT $fault\""
  done
  ! grep -q -a -F "Hand-over: OK" "$work/serial.txt" || fail "a damaged hand-over reported OK"
  echo "failures reported as expected"
  ;;
kernel_boot | kernel_memdisk)
  need nasm "the kernel probe is assembled from tests/e2e/kernel_probe.asm"
  need python3 "to read the floppy images"
  for size in 144 288; do
    kernel_floppy "$size"
    drive=(-drive "file=$img,if=floppy,format=raw" -boot a)
    if [ "$check" = kernel_memdisk ]; then
      memdisk=${KIV_MEMDISK:-/usr/lib/syslinux/memdisk}
      [ -f "$memdisk" ] || skip "no $memdisk (package syslinux-common)"
      drive=(-kernel "$memdisk" -initrd "$img" -append floppy)
    fi
    qemu_run "the $size kernel floppy" --log "$work/serial.txt" "expect=Kiv kernel probe: OK" \
      "screen=Kiv kernel probe: OK" "absent=FAULT" -- "${drive[@]}"
    python3 "$here/check_handover.py" --kernel "$img" "$work/serial.txt" ||
      fail "the $size kernel floppy's hand-over differs from its image"
  done
  if [ "$check" = kernel_boot ]; then
    # The longest kernel taken, 256 KiB less a byte (the probe and zeros):
    # 512 sectors, which end below the boot sector's copy and stack.
    kernel_floppy 144
    truncate -s $((256 * 1024 - 1)) "$work/tree/IO.SYS"
    make_floppy 144
    qemu_run "the longest kernel" "expect=Kiv kernel probe: OK" "absent=FAULT" -- \
      -drive "file=$img,if=floppy,format=raw" -boot a
  fi
  ;;
kernel_failures)
  need nasm "the kernel probe is assembled from tests/e2e/kernel_probe.asm"
  need python3 "to patch the floppy image"
  refused="Kiv boot sector: IO.SYS is not an MS-DOS 7 IO.SYS"
  # A short jump without the CONFIG block after it.
  stand_in_tree
  printf '\353\036CONFIX\0\0' >"$work/tree/IO.SYS"
  make_floppy 144
  boot_and_expect "$refused" -drive "file=$img,if=floppy,format=raw" -boot a
  # The CONFIG block without the jump.
  printf '\351\036CONFIG\0\0' >"$work/tree/IO.SYS"
  make_floppy 144
  boot_and_expect "$refused" -drive "file=$img,if=floppy,format=raw" -boot a
  # A kernel of 256 KiB: its end would reach the boot sector's copy.
  kernel_floppy 144
  truncate -s 256K "$work/tree/IO.SYS"
  make_floppy 144
  boot_and_expect "$refused" -drive "file=$img,if=floppy,format=raw" -boot a
  # A boot sector that loads one sector less (the probe's last, half full)
  # and passes the BPB's signature byte in BL instead of the drive.
  kernel_floppy 144
  # (no "inc dx" before the copy; mov bl, [bp+24h] -> [bp+26h])
  patch_boot_sector "$img" 42680040 90680040 8a5e24 8a5e26
  qemu_run "a damaged boot sector" "expect=FAULT the file differs from sector 00C7" \
    "expect=FAULT drive BL cannot be read" "absent=Kiv kernel probe: OK" -- \
    -drive "file=$img,if=floppy,format=raw" -boot a
  echo "failures reported as expected"
  ;;
iso)
  [ -f "${2:-}" ] || fail "no ISO file: ${2:-}"
  boot_and_expect "${3:-Kiv Rescue CD loader}" -cdrom "$2" -boot d
  ;;
floppy)
  [ -f "${2:-}" ] || fail "no floppy image: ${2:-}"
  boot_and_expect "${3:-Hand-over: OK}" -drive "file=$2,if=floppy,format=raw" -boot a
  if [ -z "${3:-}" ]; then
    python3 "$here/check_handover.py" "$2" "$work/serial.txt" || fail "$2: the hand-over differs from the image"
  fi
  ;;
old_bios)
  need nasm "the BIOS shim is assembled from tests/e2e/bios_shim.asm"
  cd_tree
  master "$work/kivcd" "$work/x.iso"
  cp "$work/x.iso" "$work/hybrid.iso"
  "${KIV_CD_TEST_TOOL:?}" hybrid "$work/hybrid.iso" "$bin/isohdpfx.bin" || fail "the hybrid step failed"
  # from_shim <variant> <cd|disk> <image> STEP...: QEMU started from the shim
  # floppy (variant as in bios_shim.asm) with the image as CD or first disk.
  from_shim() {
    local variant=$1 medium=$2 image=$3
    shift 3
    nasm -f bin -I"$here/" -I"$here/../../data/boot/" -D"$variant" -o "$work/$variant.img" "$here/bios_shim.asm" ||
      fail "cannot assemble the shim ($variant)"
    truncate -s 1474560 "$work/$variant.img"
    local media=(-cdrom "$image")
    [ "$medium" = disk ] && media=(-drive "file=$image,format=raw,if=ide,index=0,snapshot=on")
    qemu_run "$variant" "$@" -- -drive "file=$work/$variant.img,if=floppy,format=raw" "${media[@]}" -boot a
  }
  # The CD drive says nothing to AH=41h: the loader never asks it.
  from_shim NO_CD_CHECK cd "$work/x.iso" "expect=BIOS shim: the CD drive does not answer AH=41h" \
    "expect=Kiv Rescue CD loader" "expect=ISOLINUX" "expect=Kiv test menu" "absent=halted"
  # A disk without extensions: the MBR, the loader and isolinux read it by
  # cylinder, head and sector.
  from_shim NO_DISK_EXT disk "$work/hybrid.iso" "expect=BIOS shim: no int 13h extensions for drive 80h" \
    "expect=Kiv Rescue CD loader" "expect=ISOLINUX" "expect=Kiv test menu" "absent=halted"
  # Nothing can be read: the message names the medium.
  from_shim NO_DISK_READS disk "$work/hybrid.iso" "expect=Kiv Rescue CD loader" \
    "expect=Disk read error 01h at sector 17; the system is halted." "absent=CD read error"
  from_shim NO_CD_READS cd "$work/x.iso" "expect=Kiv Rescue CD loader" \
    "expect=CD read error 01h at sector 17; the system is halted." "absent=Disk read error"
  ;;
bochs_cd)
  bochs_ready
  cd_tree
  master "$work/kivcd" "$work/x.iso"
  bochs_boot "ata0: enabled=1, ioaddr1=0x1f0, ioaddr2=0x3f0, irq=14" \
    "ata0-master: type=cdrom, path=$work/x.iso, status=inserted" "boot: cdrom" -- \
    "Kiv Rescue CD loader" "ISOLINUX" "Kiv test menu"
  ;;
bochs_kernel)
  bochs_ready
  need nasm "the kernel probe is assembled from tests/e2e/kernel_probe.asm"
  need python3 "to read the floppy images"
  for size in 144 288; do
    kernel_floppy "$size"
    bochs_boot "floppya: ${size:0:1}_${size:1}=$img, status=inserted" "boot: floppy" -- "Kiv kernel probe: OK"
    python3 "$here/check_handover.py" --kernel "$img" "$work/serial.txt" ||
      fail "Bochs: the $size kernel floppy's hand-over differs from its image"
  done
  ;;
patched_sector_boot)
  need genisoimage "the ISO mastering tool"
  need nasm "the probe setup loader is assembled from tests/e2e/fixtures"
  mkdir -p "$work/cd/boot/images" "$work/cd/ERDC"
  # The same-length rewrite the CD builder makes on the ERD Commander sector.
  sed 's/I386/ERDC/g' "$bin/bootsect/erdc.bin" >"$work/cd/boot/images/erdc.bin"
  [ "$(size_of "$work/cd/boot/images/erdc.bin")" = 2048 ] || fail "patch changed the size"
  # Enough entries before SETUPLDR.BIN that the folder spans several sectors.
  for ((i = 0; i < 120; i++)); do : >"$work/cd/ERDC/A_SUPPORT_FILE_$i.DLL"; done
  genisoimage -quiet -volid KIV_TEST_VOL -no-emul-boot -boot-load-size 4 -eltorito-boot boot/images/erdc.bin \
    -o "$work/x.iso" "$work/cd" || fail "genisoimage failed"
  boot_and_expect 'Setup loader: \ERDC\SETUPLDR.BIN not found on the CD; the system is halted.' \
    -cdrom "$work/x.iso" -boot d
  grep -q -a 'CD volume: KIV_TEST_VOL' "$work/serial.txt" || fail "the volume name is not shown"
  # A setup loader of three sectors that reports how it was started.
  nasm -f bin -I"$here/../../data/boot/" -o "$work/cd/ERDC/SETUPLDR.BIN" \
    "$here/fixtures/setupldr_probe.asm" || fail "cannot assemble the probe setup loader"
  genisoimage -quiet -volid KIV_TEST_VOL -iso-level 4 -omit-period -no-emul-boot -boot-load-size 4 \
    -eltorito-boot boot/images/erdc.bin -o "$work/y.iso" "$work/cd" || fail "genisoimage failed"
  boot_and_expect 'Setup loader probe: last sector says complete' -cdrom "$work/y.iso" -boot d
  grep -q -a "SETUPLDR.BIN found, $(size_of "$work/cd/ERDC/SETUPLDR.BIN") bytes" "$work/serial.txt" ||
    fail "the sector does not report the size of SETUPLDR.BIN"
  grep -q -a 'Setup loader probe: CS=2000 IP=0000 DL=E0' "$work/serial.txt" ||
    fail "SETUPLDR.BIN not started at 2000:0000 with DL = the CD drive (E0)"
  ;;
*)
  fail "unknown check $check"
  ;;
esac
