#!/usr/bin/env bash
# The main job end to end, on fresh copies of the installed program folder:
#   demo          the README's demo CD: images, password, utilities, log, ISO,
#                 and QEMU boots of the ISO and of every floppy image; the
#                 trial without a display (`--try --headless`): the CD's
#                 password prompt and a floppy's boot arrive on the terminal,
#                 and Ctrl-A X typed there ends it with success
#   reproducible  two demo builds with SOURCE_DATE_EPOCH in two program folders:
#                 identical floppies and identical ISOs; an empty one builds as
#                 unset
#   disks         every shipped disk by bootsmith at 1.44 and 2.88 MB, with
#                 the kivmax plugin, checked by check_floppy.py
#   setup_cd      Windows 2000/XP and 98/Me steps on the stand-in setup CDs
#   failures      a missing source folder, an unwritable ISO location, a full
#                 disk for the ISO, missing DOS files (the build cancels)
#   readme_menu   the README's example of menu entries of one's own, pasted at
#                 the end of the shipped menu script: the CD's menu has them
# Environment (set by ctest): KIV_E2E_PREFIX, KIV_SOURCE_DIR.
set -euo pipefail
case=${1:?usage: main_job.sh demo|reproducible|disks|setup_cd|failures|readme_menu}
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_main_job.XXXXXX")
cleanup() { chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export MTOOLS_SKIP_CHECK=1 KIVCD_UI=console

fail() { echo "FAIL: $*" >&2; exit 1; }
fresh() { local d; d=$(bash "$here/new_program_folder.sh"); mv "$(dirname "$d")" "$work/$1"; echo "$work/$1/program"; }
have_qemu() { command -v qemu-system-i386 >/dev/null 2>&1; }
boot() {  # boot <iso|floppy> <file>: the file boots to its banner (skipped without qemu)
  if ! have_qemu; then echo "boot check of $2 skipped: qemu-system-i386 is not installed"; return 0; fi
  bash "$here/boot_check.sh" "$1" "$2" > "$work/boot.log" 2>&1 || { cat "$work/boot.log"; fail "$2 does not boot"; }
  echo "boots: $(basename "$2")"
}

# try_on_terminal <until> <command...>: a trial on the terminal, whose input
# is a pipe we type into; once <until> has arrived on its output, Ctrl-A X,
# which must end QEMU and the command with success.
try_on_terminal() {
  local until=$1 status=0 pid
  shift
  rm -f "$work/keys"
  mkfifo "$work/keys"
  timeout 60 "$@" <"$work/keys" >"$work/terminal.txt" 2>"$work/terminal.err" &
  pid=$!
  exec 3>"$work/keys"
  for _ in $(seq 1 100); do
    grep -a -q -F "$until" "$work/terminal.txt" && break
    sleep 0.3
  done
  printf '\001x' >&3
  exec 3>&-
  wait "$pid" || status=$?
  grep -a -q -F "$until" "$work/terminal.txt" ||
    { cat -v "$work/terminal.txt" "$work/terminal.err"; fail "\"$until\" never arrived: $*"; }
  [ "$status" = 0 ] || { cat "$work/terminal.err"; fail "exit status $status after Ctrl-A X: $*"; }
  echo "on the terminal: $until"
}

# The build's settings, set with `discsmith --set` as a script of a user would.
write_settings() {  # write_settings <program folder> <iso> <win2k dir> <win9x dir>
  local pf=$1 iso=$2 w2k=$3 w9x=$4 on2k=0 on9x=0
  [ -n "$w2k" ] && on2k=1
  [ -n "$w9x" ] && on9x=1
  # The settings, set through the CD builder itself.
  "$pf/discsmith" --set Main.BootDisks=1 "Main.Windows2K=$on2k" "Main.Windows9x=$on9x" Main.AdvancedTools=0 \
    "Main.ISOLocation=$iso" Main.CleanSession=0 Main.OptimizeISO=1 BootDisks.Use_LorvaPlus=0 \
    BootDisks.AcceptDrivers=1 "Win2K_Info.SourceDir=$w2k" Win2K_Info.SP_exe= Win2K_Info.In_SetupWin=1 \
    Win2K_Info.In_Unattend=1 Win2K_Info.DelLangFiles=1 Win2K_Info.TemplateFile= "Win2K_Info.OwnerName=Ada Tester" \
    "Win2K_Info.Organization=Kiv Lab" Win2K_Info.ProductKey=ABCDE-FGHIJ-KLMNO-PQRST-UVWXY \
    Win2K_Info.ComputerName=RESCUE1 Win2K_Info.Workgroup=LABGROUP Win2K_Info.JoinDomain=False \
    "Win9x_Info.SourceDir=$w9x" Win9x_Info.In_MSBATCH=1 Win9x_Info.In_SetupWin=1 \
    "Win9x_Info.OptimizedFor=Microsoft Windows 98" "Win9x_Info.OwnerName=Ada Tester" \
    "Win9x_Info.Organization=Kiv Lab" Win9x_Info.ProductKey=98KEY-AAAAA-BBBBB-CCCCC-DDDDD \
    Win9x_Info.ComputerName=RESCUE98 Win9x_Info.Workgroup=LABGROUP Locations.kivUtils=0 Locations.kivUtils_Dir= \
    Locations.AddFiles=0 Locations.AddFiles_Dir= AdvTools.Add_BlueCon=0 AdvTools.Add_ERDCmdr=0 \
    AdvTools.BlueCon_Dir= AdvTools.ERDCmdr_Dir= || fail "discsmith --set"
}

check_iso() {  # check_iso <iso> <loader.bin>: El Torito and hidden boot files
  local iso=$1 loader=$2
  isoinfo -d -i "$iso" > "$work/d.txt"
  grep -q 'Boot media 0 (No Emulation Boot)' "$work/d.txt" || fail "$iso: no El Torito no-emulation entry"
  grep -q 'Nsect 4' "$work/d.txt" || fail "$iso: boot entry is not 4 sectors"
  local off; off=$(sed -n 's/.*Bootoff \([0-9A-Fa-f]*\) .*/\1/p' "$work/d.txt")
  # loader.bin as in the tree, but for the sector of the USB stick's view
  # (after "KIVUSBV1") that the hybrid step writes into the image.
  dd if="$iso" bs=2048 skip=$((16#$off)) count=1 status=none > "$work/boot.img"
  python3 - "$work/boot.img" "$loader" <<'PY' || fail "$iso: the boot entry is not boot/loader.bin"
import sys
image, loader = (open(p, "rb").read() for p in sys.argv[1:])
usb = loader.find(b"KIVUSBV1")
sys.exit(0 if usb > 0 and image[:usb + 8] == loader[:usb + 8] and image[usb + 12:] == loader[usb + 12:2048] else 1)
PY
  isoinfo -f -i "$iso" > "$work/f.txt"
  ! grep -qi -e 'loader.bin' -e 'boot.catalog' "$work/f.txt" || fail "$iso: loader.bin or boot.catalog not hidden"
}

case "$case" in
demo)
  pf=$(fresh demo)
  SOURCE_DATE_EPOCH=1700000000 bash "$src/scripts/demo-build.sh" "$pf" > "$work/demo.out" 2>&1 \
    || { cat "$work/demo.out"; fail "the demo build failed"; }
  iso="$pf/kivcd-demo.iso"
  grep -q "^Demo rescue CD: $iso" "$work/demo.out" || fail "the demo does not say where the ISO is"
  for img in kivstart kivemm kivnet; do
    f="$pf/kivcd/boot/images/$img.img"
    [ -f "$f" ] || fail "$img.img missing from boot/images"
    fsck.fat -n "$f" > /dev/null || fail "fsck.fat finds faults in $img.img"
  done
  cds="$pf/kivcd/boot/scripts/main.cds"
  grep -q '^Set PasswordRequest=1' "$cds" || fail "password request not switched on"
  grep -q '^Set PasswordString="sha256:[0-9a-f]\{32\}:[0-9a-f]\{64\}"' "$cds" || fail "password hash not stored"
  # The utilities are mapped into the ISO from where they lie.
  xorriso -osirrox on -indev "$pf/kivcd-demo.iso" -extract /kiv "$work/kiv" > /dev/null 2>&1 || fail "no kiv/ on the CD"
  diff -r "$pf/demo/utils" "$work/kiv" > /dev/null || fail "utilities not in kiv/"
  [ "$(head -n 1 "$pf/mkisofs.log" | tr -d '\r')" = "MkISOFS.EXE Log File" ] || fail "mkisofs.log first line"
  check_iso "$iso" "$pf/kivcd/boot/loader.bin"
  for f in /boot/images/kivstart.img /boot/images/kivnet.img /kiv/README.TXT /RESCUE.TXT; do
    grep -qx "$f" "$work/f.txt" || fail "$f missing from the ISO"
  done
  boot iso "$iso"
  for img in kivstart kivemm kivnet; do boot floppy "$pf/kivcd/boot/images/$img.img"; done
  if have_qemu; then
    # The saved settings name the ISO.
    try_on_terminal "Enter the password of this CD:" "$pf/discsmith" --try --headless
    try_on_terminal "Booting from Floppy" "$pf/bootsmith" --try --headless "$pf/kivcd/boot/images/kivstart.img"
  fi
  ;;
reproducible)
  for n in 1 2; do
    pf=$(fresh "r$n")
    SOURCE_DATE_EPOCH=1700000000 bash "$src/scripts/demo-build.sh" "$pf" > "$work/r$n.out" 2>&1 \
      || { cat "$work/r$n.out"; fail "demo build $n failed"; }
  done
  for img in kivstart kivemm kivnet; do
    cmp "$work/r1/program/kivcd/boot/images/$img.img" "$work/r2/program/kivcd/boot/images/$img.img" \
      || fail "$img.img differs between two builds"
  done
  # The whole CD, byte for byte: dates, serials, salt, MBR and GPT.
  cmp "$work/r1/program/kivcd-demo.iso" "$work/r2/program/kivcd-demo.iso" \
    || fail "the two demo ISOs differ (in $(cmp -l "$work/r1/program/kivcd-demo.iso" \
         "$work/r2/program/kivcd-demo.iso" | wc -l) bytes)"
  echo "floppy images and ISOs identical"
  # An empty value counts as unset, for the tools the build starts too.
  (cd "$work/r1/program" && SOURCE_DATE_EPOCH='' ./discsmith --build) > "$work/r3.out" 2>&1 \
    || { cat "$work/r3.out"; fail "a build with SOURCE_DATE_EPOCH empty failed"; }
  ;;
disks)
  pf=$(fresh disks)
  ini="$pf/files/disklist.ini"
  count=$(tr -d '\r' < "$ini" | sed -n 's/^Count=//p')
  for ((i = 1; i <= count; i++)); do
    name=$(tr -d '\r' < "$ini" | awk -v s="[$i]" '$0 == s {f=1; next} /^\[/ {f=0} f && /^Name=/ {sub(/^Name=/, ""); print}')
    file=$(tr -d '\r' < "$ini" | awk -v s="[$i]" '$0 == s {f=1; next} /^\[/ {f=0} f && /^file=/ {sub(/^file=/, ""); print}')
    for size in 144 288; do
      rm -f "$pf/$file"
      (cd "$pf" && echo "kivserver" | SOURCE_DATE_EPOCH=1700000000 ./bootsmith -plugin kivmax -t $size "$name") \
        > "$work/bs.out" 2>&1 || { cat "$work/bs.out"; fail "bootsmith -t $size $name failed"; }
      [ -f "$pf/$file" ] || fail "bootsmith -t $size $name left no $file"
      python3 "$here/check_floppy.py" "$pf/$file" "$pf" "$name" $size kivserver
      [ ! -e "$pf/Drivers.ini" ] && [ ! -e "$pf/cabs" ] || fail "work files left after $name"
    done
  done
  ;;
setup_cd)
  pf=$(fresh setup)
  media="$work/media"
  cp -a "$here/setup_media" "$media"
  iso="$pf/setup.iso"
  write_settings "$pf" "$iso" "$media/XPCD/I386" "$media/W98CD/WIN98"
  # The Windows 2000/XP answers as the information dialog's OK leaves them.
  printf '[Win2KInfo]\r\nTemplateFile=\r\nOwnerName=Ada Tester\r\nOrganization=Kiv Lab\r\nProductKey=ABCDE-FGHIJ-KLMNO-PQRST-UVWXY\r\nComputerName=RESCUE1\r\nWorkgroup=LABGROUP\r\nJoinDomain=False\r\n' > "$pf/keyfile2.txt"
  (cd "$pf" && ./discsmith --build) > "$work/build.out" 2>&1 || { cat "$work/build.out"; fail "discsmith --build failed"; }
  cd_=$pf/kivcd
  for img in kivstart kivemm kivwin kivnet w2ksect; do
    find "$cd_/boot/images/" -maxdepth 1 -iregex ".*/$img\.\(img\|bin\)" | grep -q . || fail "boot/images lacks $img"
  done
  [ ! -e "$cd_/I386/LANG" ] || fail "I386/LANG not removed"
  [ -f "$cd_/WIN51IP" ] && [ -f "$cd_/WIN51IP.SP1" ] || fail "tag files not in the CD root"
  sif=$(tr -d '\r' < "$cd_/I386/WINNT.SIF")
  # An XP medium: its key under XP's name, quoted; names with blanks quoted.
  for line in 'FullName="Ada Tester"' 'OrgName="Kiv Lab"' 'ProductKey="ABCDE-FGHIJ-KLMNO-PQRST-UVWXY"' \
              'ComputerName=RESCUE1' 'JoinWorkgroup=LABGROUP' 'UnattendedInstall=Yes'; do
    grep -qx "$line" <<< "$sif" || fail "WINNT.SIF lacks $line"
  done
  ! grep -q '^JoinDomain' <<< "$sif" || fail "WINNT.SIF has a JoinDomain line in workgroup mode"
  grep -q '"ABCDE' "$cd_/boot/scripts/main.cds" && grep -q '"UVWXY' "$cd_/boot/scripts/main.cds" \
    || fail "product key not in the boot menu"
  grep -q '^Set Action3_Macro="ShowWinKey"' "$cd_/boot/scripts/main.cds" || fail "ShowWinKey not activated"
  bat=$(tr -d '\r' < "$cd_/WIN98/MSBATCH.INF")
  grep -qx 'Name=Ada Tester' <<< "$bat" && grep -qx 'ComputerName=RESCUE98' <<< "$bat" \
    || fail "MSBATCH.INF not written from the answers"
  check_iso "$iso" "$pf/kivcd/boot/loader.bin"
  for f in /I386/TXTSETUP.SIF /I386/SYSTEM32/NTOSKRNL.EX_ /I386/WINNT.SIF /WIN98/BASE4.CAB /WIN98/MSBATCH.INF \
           /boot/images/kivwin.img /WIN51IP; do
    grep -qx "$f" "$work/f.txt" || fail "$f missing from the ISO"
  done
  ! grep -q '^/I386/LANG' "$work/f.txt" || fail "I386/LANG on the CD"
  ;;
failures)
  pf=$(fresh failures)
  # A Windows source folder that does not exist: the page check refuses it.
  write_settings "$pf" "$pf/x.iso" "$work/no such cd/I386" ""
  if (cd "$pf" && ./discsmith --build) > "$work/a.out" 2>&1; then fail "a missing source folder was accepted"; fi
  [ ! -e "$pf/x.iso" ] || fail "an ISO was made from a missing source"
  grep -q 'Error' "$work/a.out" || { cat "$work/a.out"; fail "no message for the missing source folder"; }
  # An ISO location that cannot be written.
  write_settings "$pf" "/proc/kivcd.iso" "" ""
  if (cd "$pf" && ./discsmith --build) > "$work/b.out" 2>&1; then fail "an unwritable ISO location was accepted"; fi
  grep -q 'Error' "$work/b.out" || { cat "$work/b.out"; fail "no message for the unwritable ISO location"; }
  # A full disk for the ISO: a small tmpfs (root only).
  small="$work/small"
  mkdir "$small"
  if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=1m kivsmall "$small" 2>/dev/null; then
    write_settings "$pf" "$small/kivcd.iso" "" ""
    rc=0; (cd "$pf" && ./discsmith --build) > "$work/c.out" 2>&1 || rc=$?
    umount "$small"
    [ $rc -ne 0 ] || fail "a full disk was reported as success"
    grep -q 'Not enough free space to complete the ISO file' "$work/c.out" \
      || { cat "$work/c.out"; fail "the full disk was not named"; }
  else
    echo "full-disk check skipped: needs root to mount a small tmpfs"
  fi
  # Missing DOS system files: bootsmith cannot make the first image, the
  # build says which disk failed and cancels; no ISO.
  rm -rf "$pf/dos"
  write_settings "$pf" "$pf/y.iso" "" ""
  if (cd "$pf" && ./discsmith --build) > "$work/d.out" 2>&1; then fail "a build without DOS files succeeded"; fi
  grep -q 'The creation the Boot image "Kiv Rescue Software" failed, operation halted' "$work/d.out" \
    || { cat "$work/d.out"; fail "no Fatal Error naming the first disk"; }
  [ ! -e "$pf/y.iso" ] || fail "an ISO was made after a failed boot image"
  ;;
readme_menu)
  pf=$(fresh readme)
  # The example as the README shows it, from its first line to its second
  # macro's End, without the README's indentation.
  example=$(awk '/^    Set Action[0-9]+_Text="Memory test on COM2"/ { f = 1 }
                 f { sub(/^    /, ""); print }
                 f && /^  End$/ && ++ends == 2 { exit }' "$src/README.md")
  [ -n "$example" ] || fail "README.md has no example of entries of one's own"
  printf '\r\n%s\r\n' "$example" >> "$pf/files/kivcd/boot/scripts/main.cds"
  bash "$src/scripts/demo-settings.sh" "$pf" > /dev/null
  (cd "$pf" && ./discsmith --build) > "$work/build.out" 2>&1 \
    || { cat "$work/build.out"; fail "the README's menu example does not build"; }
  cfg=$(tr -d '\r' < "$pf/kivcd/boot/isolinux/isolinux.cfg")
  for line in "MENU LABEL Memory test on COM2" "APPEND console=ttyS1,115200" \
              "MENU LABEL Hardware detection, no menu" "APPEND pciids=/boot/tools/pci.ids nomenu" \
              "MENU LABEL Linux rescue system"; do
    grep -qx " *$line" <<< "$cfg" || fail "isolinux.cfg lacks \"$line\""
  done
  ;;
*) fail "unknown case $case" ;;
esac
echo "ok: $case"
