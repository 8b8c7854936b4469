#!/usr/bin/env bash
# The same settings built twice: once with the sources copied into the work
# tree (KIVCD_COPY_SOURCES=1, as builds did before), once with them mapped
# into the image from where they lie. The two ISOs must hold the same files
# with the same bytes and dates and take the same room; the mapped build's
# work tree must hold none of the sources' bytes, and its makecd.sh, run by
# hand, must master the same CD again.
# Environment (set by ctest): KIV_E2E_PREFIX, KIV_SOURCE_DIR.
set -euo pipefail
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
command -v isoinfo > /dev/null || { echo "isoinfo not installed (package genisoimage): skipped"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_graft.XXXXXX")
cleanup() { chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export KIVCD_UI=console SOURCE_DATE_EPOCH=1700000000
fail() { echo "FAIL: $*" >&2; exit 1; }

# The sources: the stand-in XP and 98 media, with what a build meets on
# real ones: a WINNT.SIF and an MSBATCH.INF of the medium that the build's
# answer files take the place of, duplicates within and across sources, a
# file newer than SOURCE_DATE_EPOCH and one older, names in other letter
# cases than the CD's, a dot folder and a link.
media="$work/media"
cp -a "$here/setup_media" "$media"
printf 'the medium'"'"'s own answers\r\n' > "$media/XPCD/I386/WINNT.SIF"
printf 'the medium'"'"'s own batch\r\n' > "$media/W98CD/WIN98/MSBATCH.INF"
# Copies keep their originals' dates (cp -p): only files whose bytes, mode and
# date agree are stored once, and a plain cp can land in the next second.
head -c 300000 /dev/urandom > "$media/XPCD/I386/DRIVER.CAB"
cp -p "$media/XPCD/I386/DRIVER.CAB" "$media/XPCD/I386/SYSTEM32/DRVCOPY.CAB"
echo "an old file" > "$media/XPCD/I386/OLD.TXT"
touch -d '2001-09-09 01:46:40 UTC' "$media/XPCD/I386/OLD.TXT"
utils="$work/utils"
mkdir -p "$utils/sub" "$utils/.git"
head -c 200000 /dev/urandom > "$utils/big.bin"
cp -p "$utils/big.bin" "$utils/sub/copy.bin"
cp -p "$media/XPCD/I386/DRIVER.CAB" "$utils/driver.cab"
echo "not for the CD" > "$utils/.git/config"
ln -s big.bin "$utils/link.bin"
# Names the mastering tool's pathspecs escape ('\' and '='), in the files'
# names (both sides of a pathspec), and an '=' in the folder's own path (the
# disk side only; the settings read a '\' in a path as a separator).
printf 'one backslash' > "$utils/p\\q"
printf 'two backslashes' > "$utils/p\\\\q"
printf 'escaped equals' > "$utils/\\=.txt"
mkdir "$utils/e=f\\g"
printf 'equals inside' > "$utils/e=f\\g/h=\\\\i"
extra="$work/extra=x"
mkdir -p "$extra/i386" "$extra/Win98"
printf 'at the root' > "$extra/a=b"
echo "notes" > "$extra/NOTES.TXT"
echo "into the CD's I386" > "$extra/i386/EXTRA.TXT"
echo "the user's own" > "$extra/Win98/USER.TXT"

build() {  # build <name> [VAR=value...]: a fresh program folder builds the CD
  local name=$1 pf
  shift
  pf=$(bash "$here/new_program_folder.sh")
  mv "$(dirname "$pf")" "$work/$name"
  pf="$work/$name/program"
  bash "$here/stub_bootsmith.sh" "$pf"
  "$pf/discsmith" --set Main.BootDisks=1 Main.Windows2K=1 Main.Windows9x=1 Main.AdvancedTools=0 \
    "Main.ISOLocation=$work/$name.iso" Main.CleanSession=0 Main.OptimizeISO=1 BootDisks.Use_LorvaPlus=1 \
    BootDisks.AcceptDrivers=1 "Win2K_Info.SourceDir=$media/XPCD/I386" Win2K_Info.SP_exe= \
    Win2K_Info.In_SetupWin=1 Win2K_Info.In_Unattend=1 Win2K_Info.DelLangFiles=1 Win2K_Info.TemplateFile= \
    "Win2K_Info.OwnerName=Ada Tester" Win2K_Info.ProductKey=ABCDE-FGHIJ-KLMNO-PQRST-UVWXY \
    Win2K_Info.ComputerName=RESCUE1 Win2K_Info.Workgroup=LABGROUP Win2K_Info.JoinDomain=False \
    "Win9x_Info.SourceDir=$media/W98CD/WIN98" Win9x_Info.In_MSBATCH=1 "Win9x_Info.OwnerName=Ada Tester" \
    Win9x_Info.ComputerName=RESCUE98 Locations.kivUtils=1 "Locations.kivUtils_Dir=$utils" \
    Locations.AddFiles=1 "Locations.AddFiles_Dir=$extra" > /dev/null || fail "discsmith --set ($name)"
  (cd "$pf" && env "$@" ./discsmith --build) > "$work/$name.out" 2>&1 ||
    { cat "$work/$name.out"; fail "discsmith --build ($name)"; }
}
build copied KIVCD_COPY_SOURCES=1
build mapped

listing() {  # the directory records without their extents
  isoinfo -l -i "$1" | sed 's/\[ *[0-9]* *[0-9]*\]//' | grep -v '^$'
}
extract() {
  mkdir -p "$2"
  xorriso -osirrox on -indev "$1" -extract / "$2" > "$work/extract.log" 2>&1 || { cat "$work/extract.log"; fail "extract $1"; }
}
for name in copied mapped; do
  isoinfo -f -i "$work/$name.iso" | sort > "$work/$name.files"
  listing "$work/$name.iso" > "$work/$name.list"
  extract "$work/$name.iso" "$work/$name.tree"
done
diff "$work/copied.files" "$work/mapped.files" || fail "the two ISOs list other files"
diff "$work/copied.list" "$work/mapped.list" || fail "the two ISOs' directory records differ (names, sizes, dates)"
diff -r "$work/copied.tree" "$work/mapped.tree" || fail "the two ISOs' files hold other bytes"
for f in /I386/WINNT.SIF /I386/OLD.TXT /I386/DRIVER.CAB /I386/SYSTEM32/DRVCOPY.CAB /I386/EXTRA.TXT \
         /WIN98/MSBATCH.INF /WIN98/USER.TXT /kiv/big.bin /kiv/sub/copy.bin /kiv/link.bin /NOTES.TXT; do
  grep -qx "$f" "$work/mapped.files" || fail "$f missing from the ISO"
done
! grep -qi -e '^/I386/LANG' -e '/\.git' "$work/mapped.files" || fail "LANG or a dot folder reached the ISO"
for f in 'kiv/p\q:one backslash' 'kiv/p\\q:two backslashes' 'kiv/\=.txt:escaped equals' \
         'kiv/e=f\g/h=\\i:equals inside' 'a=b:at the root'; do
  [ "$(cat "$work/mapped.tree/${f%%:*}" 2>/dev/null)" = "${f#*:}" ] || fail "/${f%%:*} is not on the CD as it is named"
done
grep -q 'FullName="Ada Tester"' "$work/mapped.tree/I386/WINNT.SIF" || fail "the medium's WINNT.SIF took the build's place"
grep -q 'RESCUE98' "$work/mapped.tree/WIN98/MSBATCH.INF" || fail "the medium's MSBATCH.INF took the build's place"
grep -q '2001 *OLD.TXT' "$work/mapped.list" || fail "a file older than SOURCE_DATE_EPOCH lost its date"
# Duplicates within and across the sources are stored once, as the copy's
# linked ones were: the same room.
[ "$(stat -c %s "$work/copied.iso")" = "$(stat -c %s "$work/mapped.iso")" ] ||
  fail "the ISOs differ in size: $(stat -c %s "$work/copied.iso") / $(stat -c %s "$work/mapped.iso")"
extent() { isoinfo -l -i "$work/mapped.iso" | awk -v n="$1" '$NF == n { gsub(/[\[\]]/, ""); print $(NF-2) }' | head -n 1; }
[ "$(extent DRIVER.CAB)" = "$(extent DRVCOPY.CAB)" ] && [ "$(extent DRIVER.CAB)" = "$(extent driver.cab)" ] &&
  [ "$(extent big.bin)" = "$(extent copy.bin)" ] || fail "duplicates stored twice"

# The free space: the copying build's work tree holds the sources, the
# mapping one only what the build wrote.
copied_tree=$work/copied/program/kivcd mapped_tree=$work/mapped/program/kivcd
[ -f "$copied_tree/I386/DRIVER.CAB" ] && [ -f "$copied_tree/kiv/big.bin" ] || fail "the copying build copied nothing"
for f in I386/DRIVER.CAB I386/SYSTEM32/DRVCOPY.CAB I386/TXTSETUP.SIF I386/EXTRA.TXT WIN98/BASE4.CAB \
         WIN98/USER.TXT kiv/big.bin kiv/sub/copy.bin NOTES.TXT; do
  [ ! -e "$mapped_tree/$f" ] || fail "$f was copied into the work tree"
done
[ -f "$mapped_tree/I386/WINNT.SIF" ] && [ -f "$mapped_tree/WIN98/MSBATCH.INF" ] || fail "the build's own files are missing"
# (The copy's duplicates are linked: DRIVER.CAB and big.bin count once, 480 KB.)
used_copied=$(du -sk "$copied_tree" | cut -f1) used_mapped=$(du -sk "$mapped_tree" | cut -f1)
[ $((used_copied - used_mapped)) -ge 450 ] ||
  fail "the work tree takes ${used_mapped} KB against ${used_copied} KB copied"

# The script the build wrote masters the same CD when run by hand, where
# the user asked for the ISO (not under the build's temporary name).
pf=$work/mapped/program
mv "$work/mapped.iso" "$work/built.iso"
sh "$pf/makecd.sh" > "$work/rerun.out" 2>&1 || { cat "$work/rerun.out"; fail "makecd.sh run by hand"; }
rerun=$work/mapped.iso
[ -f "$rerun" ] || fail "makecd.sh made no image at the ISO location: $(grep -o " -output '[^']*'" "$pf/makecd.sh")"
! ls "$work"/.mapped.iso.*.part > /dev/null 2>&1 || fail "makecd.sh run by hand left a temporary image"
listing "$rerun" > "$work/rerun.list"
diff "$work/mapped.list" "$work/rerun.list" || fail "makecd.sh run by hand masters another CD"
extract "$rerun" "$work/rerun.tree"
# (isolinux.bin aside: the build patches it in the image for USB sticks
# after the script has run.)
diff -r --exclude=isolinux.bin "$work/mapped.tree" "$work/rerun.tree" ||
  fail "makecd.sh run by hand puts other bytes on the CD"
echo "ok: $(wc -l < "$work/mapped.files") paths, ISO $(stat -c %s "$work/built.iso") bytes," \
  "work tree ${used_mapped} KB against ${used_copied} KB copied"
