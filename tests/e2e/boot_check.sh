#!/usr/bin/env bash
# Checks of the boot code and the CD template, one per call:
#   template            main.cds carries every marker the CD builder edits, once
#   boot_files          sizes, signatures and the I386 text of the boot code
#   cd_boot             an ISO mastered from the template boots to the loader banner
#   floppy_boot         a floppy with our boot sector boots to its banner
#   patched_sector_boot erdc.bin with I386 rewritten to ERDC boots and names \ERDC
# and, for other end-to-end tests (no environment needed):
#   iso <file.iso> [text]     the ISO boots to `text` (default: the loader banner)
#   floppy <file.img> [text]  the floppy boots to `text` (default: the boot sector banner)
# Environment: KIV_BOOT_BIN_DIR (assembled .bin files), KIV_TEMPLATE_DIR (the
# CD template in the sources), KIV_BFI (the floppy image tool; empty: mkfs.fat).
# Exit 77 = skipped (reason printed).
set -euo pipefail

check=${1:?usage: boot_check.sh <check> [args]}
case "$check" in iso | floppy) ;; *)
  bin=${KIV_BOOT_BIN_DIR:?}
  template=${KIV_TEMPLATE_DIR:?}
  ;;
esac
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_boot_check.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }
need() { command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed ($2)"; }

# Occurrences of a fixed byte string in a file (case-sensitive unless $3=-i).
count() { grep -a -o -F ${3:-} -- "$2" "$1" | wc -l; }

size_of() { stat -c %s "$1"; }

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
  [ "$(size_of "$bin/kivcd/boot/loader.bin")" = 2048 ] || fail "loader.bin is not 2048 bytes"
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
  echo "boot code sizes, signature and I386 texts as expected"
  ;;
cd_boot)
  need genisoimage "the ISO mastering tool"
  need isoinfo "the ISO checker (package genisoimage)"
  tree="$work/kivcd"
  cp -r "$template" "$tree"
  rm -f "$tree/.gitattributes"
  mkdir -p "$tree/boot/images"
  cp "$bin/kivcd/boot/loader.bin" "$tree/boot/"
  # The switches of the CD builder's mastering command line.
  (cd "$work" && genisoimage -volid "KIV_RESCUE" -preparer "Verlanth" -publisher "VANTO LTD" \
    -appid "Kiv CD Creator" -iso-level 4 -omit-period -no-emul-boot -boot-load-size 4 \
    -eltorito-boot boot/loader.bin -hide loader.bin -hide boot.catalog \
    -follow-links -cache-inodes -output "$work/x.iso" kivcd) >"$work/mkisofs.log" 2>&1 ||
    { cat "$work/mkisofs.log" >&2; fail "genisoimage failed"; }
  info=$(isoinfo -d -i "$work/x.iso")
  grep -q "No Emulation Boot" <<<"$info" || fail "no El Torito no-emulation entry"
  grep -q "Nsect 4" <<<"$info" || fail "boot entry does not load 4 sectors"
  files=$(isoinfo -f -i "$work/x.iso")
  grep -qi 'main.cds' <<<"$files" || fail "main.cds missing on the CD"
  ! grep -qi 'loader.bin' <<<"$files" || fail "loader.bin is not hidden"
  ! grep -qi 'boot.catalog' <<<"$files" || fail "boot.catalog is not hidden"
  boot_and_expect "Kiv Rescue CD loader" -cdrom "$work/x.iso" -boot d
  ;;
floppy_boot)
  mkdir -p "$work/tree"
  echo "stand-in" >"$work/tree/readme.txt"
  for size in 144 288; do
    img="$work/kiv$size.img"
    if [ -n "${KIV_BFI:-}" ] && [ -x "$KIV_BFI" ]; then
      echo "making the $size floppy with bfi"
      "$KIV_BFI" -b="$bin/bootsect.bin" -l="KIVTEST$size" -t=$size -f="$img" "$work/tree" ||
        fail "bfi failed"
    else
      need mkfs.fat "package dosfstools, used to make the floppy without bfi"
      echo "making the $size floppy with mkfs.fat (bfi not built)"
      mkfs.fat -C -n "KIVTEST$size" "$img" $((size * 10)) >/dev/null
      # Our code around the file system's BPB: the jump, then bytes 62..511.
      dd if="$bin/bootsect.bin" of="$img" bs=1 count=3 conv=notrunc status=none
      dd if="$bin/bootsect.bin" of="$img" bs=1 skip=62 seek=62 count=450 conv=notrunc status=none
    fi
    if command -v fsck.fat >/dev/null; then fsck.fat -n "$img" >/dev/null || fail "fsck.fat rejects the floppy"; fi
    boot_and_expect "Kiv boot disk: DOS system files are stand-ins" \
      -drive "file=$img,if=floppy,format=raw" -boot a
    grep -q -a "Volume label: KIVTEST$size" "$work/serial.txt" ||
      fail "the banner does not show the volume label KIVTEST$size"
  done
  ;;
iso)
  [ -f "${2:-}" ] || fail "no ISO file: ${2:-}"
  boot_and_expect "${3:-Kiv Rescue CD loader}" -cdrom "$2" -boot d
  ;;
floppy)
  [ -f "${2:-}" ] || fail "no floppy image: ${2:-}"
  boot_and_expect "${3:-Kiv boot disk: DOS system files are stand-ins}" \
    -drive "file=$2,if=floppy,format=raw" -boot a
  ;;
patched_sector_boot)
  need genisoimage "the ISO mastering tool"
  mkdir -p "$work/cd/boot/images" "$work/cd/ERDC"
  # The same-length rewrite the CD builder makes on the ERD Commander sector.
  sed 's/I386/ERDC/g' "$bin/bootsect/erdc.bin" >"$work/cd/boot/images/erdc.bin"
  [ "$(size_of "$work/cd/boot/images/erdc.bin")" = 2048 ] || fail "patch changed the size"
  genisoimage -quiet -no-emul-boot -boot-load-size 4 -eltorito-boot boot/images/erdc.bin \
    -o "$work/x.iso" "$work/cd" || fail "genisoimage failed"
  boot_and_expect 'Setup loader: \ERDC\SETUPLDR.BIN' -cdrom "$work/x.iso" -boot d
  ;;
*)
  fail "unknown check $check"
  ;;
esac
