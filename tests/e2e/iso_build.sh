#!/usr/bin/env bash
# Installs the program folder, builds a CD with `discsmith --build` and checks
# the ISO with isoinfo. Needs KIV_BUILD_DIR (a built tree), KIV_GATE_LAYOUT
# (the loader's gate_layout.inc) and isoinfo; with KIV_PROGRAM_DIR set, a copy
# of that installed program folder is used instead.
set -euo pipefail
build=${KIV_BUILD_DIR:?KIV_BUILD_DIR not set}
gate_layout=${KIV_GATE_LAYOUT:?KIV_GATE_LAYOUT not set}
isoinfo=${KIV_ISOINFO:-$(command -v isoinfo || true)}
if [ -z "$isoinfo" ]; then echo "isoinfo not installed (package genisoimage): skipped"; exit 77; fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kiv-e2e-iso-XXXXXX")
trap 'rm -rf "$work"' EXIT
pf=$work/program
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ -n "${KIV_PROGRAM_DIR:-}" ]; then
  # An already installed program folder, copied so the test never writes in it.
  cp -a "$KIV_PROGRAM_DIR" "$pf"
else
  cmake --install "$build" --prefix "$pf" > "$work/install.log" || { cat "$work/install.log"; fail "install"; }
fi
[ -x "$pf/discsmith" ] || fail "no discsmith in the program folder"
[ -x "$pf/dfl" ] || fail "no dfl in the program folder"
[ -x "$pf/mkisofs" ] || fail "no mkisofs in the program folder"
[ -f "$pf/files/kivcd/boot/loader.bin" ] || fail "no loader.bin in the CD template"

# A stub bootsmith: each image is a small distinct file.
bash "$(dirname "$0")/stub_bootsmith.sh" "$pf"

# Utilities with duplicate files, additional files, and an ISO path with
# blanks, quotes and a command substitution that must stay text.
mkdir -p "$work/utils/sub" "$work/extra"
# The copy keeps the original's date: files are duplicates when their bytes,
# mode and date agree (the CD shows one date for both), and a plain cp on a
# busy machine can land in the next second.
head -c 200000 /dev/urandom > "$work/utils/big.bin"
cp -p "$work/utils/big.bin" "$work/utils/sub/copy.bin"
echo "notes" > "$work/extra/NOTES.TXT"
# Files named like the boot files, elsewhere: the user's, they stay visible.
mkdir -p "$work/extra/tools"
echo "my loader" > "$work/extra/tools/loader.bin"
echo "my catalogue" > "$work/extra/tools/boot.catalog"
isodir="$work/out dir 'q' \"d\" \$(touch pwned)"
mkdir -p "$isodir"
iso="$isodir/My CD.iso"
write_ini() {  # $1 = OptimizeISO flag; the settings are set through the CD builder itself
  "$pf/discsmith" --set Main.BootDisks=1 Main.Windows2K=0 Main.Windows9x=0 Main.AdvancedTools=0 \
    "Main.ISOLocation=$iso" Main.CleanSession=1 "Main.OptimizeISO=$1" BootDisks.Use_LorvaPlus=1 \
    BootDisks.AcceptDrivers=1 Locations.kivUtils=1 "Locations.kivUtils_Dir=$work/utils" \
    Locations.AddFiles=1 "Locations.AddFiles_Dir=$work/extra" || fail "discsmith --set"
}

run_build() {
  (cd "$pf" && ./discsmith --build > "$work/build.out" 2> "$work/build.err") || {
    cat "$work/build.out" "$work/build.err"; fail "discsmith --build exited non-zero"; }
}

# The console as scripts use it: --set says what it saved, --set alone ends
# with whether the next build protects the CD, --help is the whole usage.
saved=$("$pf/discsmith" --set Main.CleanSession=1) || fail "discsmith --set"
[[ $saved == *'kivcd.ini":'*'  Main.CleanSession=1'* ]] || fail "--set did not say what it saved: $saved"
shown=$(env -u KIVCD_PASSWORD "$pf/discsmith" --set | tail -n 1)
[[ $shown == "; The boot-menu password"*"it is not set now"* ]] || fail "--set alone: $shown"
shown=$(KIVCD_PASSWORD=secret "$pf/discsmith" --set | tail -n 1)
[[ $shown == *"it is set now: the next build asks for it"* ]] || fail "--set alone with a password: $shown"
usage=$("$pf/discsmith" --help 2> "$work/help.err") || fail "discsmith --help exits non-zero"
[ ! -s "$work/help.err" ] && [[ $usage == *"discsmith --build [--yes]"*"discsmith --rescue-system"* ]] ||
  fail "discsmith --help: $usage"
if "$pf/discsmith" --bogus > /dev/null 2> "$work/bogus.err"; then fail "an unknown argument was taken"; fi
grep -q '^discsmith: unknown argument "--bogus"$' "$work/bogus.err" && grep -q '^Usage: discsmith' "$work/bogus.err" ||
  fail "unknown argument: $(cat "$work/bogus.err")"

write_ini 1
run_build
grep -q '^\[5/5\] ✔ Creating Final ISO File$' "$work/build.out" || fail "step 5 not completed"
[ -f "$iso" ] || fail "no ISO at the path with quotes"
[ ! -e "$pf/pwned" ] && [ ! -e "$work/pwned" ] && [ ! -e "$isodir/pwned" ] || fail "a path was run as a command"
[ ! -e "$pf/kivcd" ] || fail "clean session left kivcd"
head -n 1 "$pf/mkisofs.log" | grep -q '^MkISOFS.EXE Log File' || fail "mkisofs.log header"

"$isoinfo" -d -i "$iso" > "$work/d.txt"
grep -q 'Boot media 0 (No Emulation Boot)' "$work/d.txt" || fail "no El Torito no-emulation entry"
grep -q 'Nsect 4' "$work/d.txt" || fail "boot entry is not 4 sectors"
grep -q 'Volume id: KIV_RESCUE' "$work/d.txt" || fail "volume id"
bootoff=$(sed -n 's/.*Bootoff \([0-9A-Fa-f]*\) .*/\1/p' "$work/d.txt")
[ -n "$bootoff" ] || fail "no boot offset"
# The template's loader, with the password gate block the build fills in and
# the sector of the USB stick's view (after "KIVUSBV1") the hybrid step writes.
dd if="$iso" bs=2048 skip=$((16#$bootoff)) count=1 status=none > "$work/boot.img"
python3 - "$work/boot.img" "$pf/files/kivcd/boot/loader.bin" "$gate_layout" <<'PY' || fail "boot entry does not point at boot/loader.bin"
import re, sys
image, loader = (open(p, "rb").read() for p in sys.argv[1:3])
gate = {m[1]: int(m[2]) for m in re.finditer(r"^GATE_(\w+) equ (\d+)$", open(sys.argv[3]).read(), re.M)}
at, usb = loader.find(b"KIVGATE2"), loader.find(b"KIVUSBV1")
tag, end = at + gate["TAG_SIZE"], at + gate["SIZE"]
ok = at >= 0 and usb > at and image[:tag] == loader[:tag] and image[end:usb + 8] == loader[end:usb + 8]
ok = ok and image[usb + 12:] == loader[usb + 12:2048] and image[usb + 8:usb + 12] != bytes(4)
sys.exit(0 if ok else 1)
PY

"$isoinfo" -f -i "$iso" > "$work/f.txt"
for f in /boot/images/kivstart.img /boot/images/kivemm.img /boot/images/kivnet.img /boot/scripts/main.cds \
         /kiv/big.bin /kiv/sub/copy.bin /NOTES.TXT /tools/loader.bin /tools/boot.catalog; do
  grep -qx "$f" "$work/f.txt" || fail "$f missing from the ISO"
done
grep -qix '/boot/loader.bin' "$work/f.txt" && fail "loader.bin is not hidden"
grep -qix '/boot.catalog' "$work/f.txt" && fail "boot.catalog is not hidden"

extent() { "$isoinfo" -l -i "$iso" | awk -v n="$1" '$NF == n { gsub(/[\[\]]/, ""); print $(NF-2) }' | head -n 1; }
a=$(extent big.bin); b=$(extent copy.bin)
[ -n "$a" ] && [ "$a" = "$b" ] || fail "duplicates stored twice with optimisation on ($a / $b)"
# Where the last file's data ends: the volume itself is padded (to whole
# megabytes for USB sticks, to cylinders for the hybrid partition table), which
# can hide the saving.
data_end() { "$isoinfo" -l -i "$iso" | awk '/\[/ { gsub(/[\[\]]/, ""); e = $(NF-2) + int(($5 + 2047) / 2048); if (e > m) m = e } END { print m + 0 }'; }
size_linked=$(data_end)

# Without optimisation the two copies take their own extents.
write_ini 0
run_build
a=$(extent big.bin); b=$(extent copy.bin)
[ -n "$a" ] && [ "$a" != "$b" ] || fail "copies share an extent without optimisation"
[ "$size_linked" -lt "$(data_end)" ] || fail "optimised ISO is not smaller"
echo "ok: $(wc -l < "$work/build.out") progress lines, ISO $(stat -c %s "$iso") bytes"
