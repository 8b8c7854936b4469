#!/usr/bin/env bash
# Ctrl-C / SIGTERM and failed tree copies, end to end on fresh copies of the
# installed program folder:
#   stop_cd     a second discsmith --build while the first masters its ISO
#               does not start; SIGTERM to the first while the mastering
#               tool runs: the tool is ended, the partial ISO removed,
#               "Operation canceled", non-zero exit
#   stop_disk   SIGTERM to a bootsmith batch run while the image tool runs:
#               the tool is ended, cabs/, Temp/bootsmith<n> and Drivers.ini
#               removed, "Operation canceled", non-zero exit
#   pipe        discsmith --build | head -n 1: the build still ends well and
#               its log is whole
#   full_copy   the Windows 2000/XP files do not fit on the program folder's
#               file system (a small tmpfs, root only): mapped, the CD is
#               made; copied, a Fatal Error names the cause, no ISO,
#               non-zero exit
#   kill_cd     SIGKILL to discsmith --build while the mastering tool runs:
#               the tool ends with it; the next build removes the partial
#               image the killed one left
#   full_disk   the program folder's disk full after the boot disks, then
#               the ISO's disk full in the step that makes it bootable from
#               a stick (small tmpfs, root only): each named as a full disk,
#               with the path, in the outcome line and once in the log;
#               --set on the full disk says so too
# Environment (set by ctest): KIV_E2E_PREFIX, KIV_SOURCE_DIR.
set -euo pipefail
case=${1:?usage: interrupted_build.sh stop_cd|stop_disk|full_copy|pipe|kill_cd|full_disk}
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_stop.XXXXXX")
mounted=
mounted2=
cleanup() {
  [ -z "$mounted2" ] || umount "$mounted2" 2>/dev/null || true
  [ -z "$mounted" ] || umount "$mounted" 2>/dev/null || true
  for f in "$work"/*.pid "$work"/*/program/*.pid; do
    [ -e "$f" ] && kill -KILL "$(cat "$f")" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
export KIVCD_UI=console

fail() { echo "FAIL: $*" >&2; exit 1; }
fresh() { local d; d=$(bash "$here/new_program_folder.sh"); mv "$(dirname "$d")" "$work/$1"; echo "$work/$1/program"; }
wait_for() {  # wait_for <seconds> <test command...>
  local n=$(( $1 * 10 )); shift
  while ! "$@"; do
    n=$((n - 1)); [ $n -gt 0 ] || return 1
    sleep 0.1
  done
}
alive() {  # alive <pid file>: that process runs (a zombie does not count)
  [ -e "$1" ] || return 1
  local p; p=$(cat "$1")
  kill -0 "$p" 2>/dev/null || return 1
  ! grep -q '^[0-9]* (.*) Z' "/proc/$p/stat" 2>/dev/null
}

alive_not() { ! alive "$1"; }

# A copy of the program folder in $small/program, a tmpfs with room for it
# and the files the build writes itself (boot images, the UEFI image, menus:
# about 9 MB, more than the 8 it once was). Root only; skips otherwise.
small=
on_small_disk() {  # on_small_disk <program folder>
  local need
  need=$(du -sm "$1" | cut -f1)
  small="$work/small"
  mkdir "$small"
  mount -t tmpfs -o size=$((need + 16))m kivsmall "$small" 2>/dev/null \
    || { echo "skipped: cannot mount a tmpfs here"; exit 0; }
  mounted=$small
  cp -a "$1" "$small/program"
}

# A mastering tool that writes part of the image, then takes its time as
# itself (exec keeps the process id it notes in mkisofs.pid).
slow_mkisofs() {  # slow_mkisofs <program folder>
  cat > "$1/mkisofs" <<'SH'
#!/bin/sh
out=
while [ $# -gt 0 ]; do [ "$1" = "-output" ] && out=$2; shift; done
echo $$ > mkisofs.pid
head -c 65536 /dev/zero > "$out"
echo " 10.00% done, estimate finish" >&2
exec sleep 60
SH
  chmod +x "$1/mkisofs"
}

settings() {  # settings <program folder> <iso> <win2k I386 or "">, through the CD builder itself
  local on2k=0; [ -n "$3" ] && on2k=1
  "$1/discsmith" --set Main.BootDisks=1 "Main.Windows2K=$on2k" Main.Windows9x=0 Main.AdvancedTools=0 \
    "Main.ISOLocation=$2" Main.CleanSession=0 Main.OptimizeISO=0 BootDisks.Use_LorvaPlus=0 \
    BootDisks.AcceptDrivers=0 "Win2K_Info.SourceDir=$3" Win2K_Info.SP_exe= Win2K_Info.In_SetupWin=0 \
    Locations.kivUtils=0 Locations.AddFiles=0 || fail "discsmith --set"
}

case $case in
pipe)
  # A reader that takes the first line only: the build goes on to the end,
  # its status and its log say the ISO was made.
  pf=$(fresh pipe)
  settings "$pf" "$work/cd.iso" ""
  first=$( (cd "$pf" && ./discsmith --build 2>/dev/null; echo "status $?" > "$work/status") | head -n 1)
  [ -n "$first" ] || fail "no first line"
  grep -qx 'status 0' "$work/status" || fail "the build did not end well behind the pipe: $(cat "$work/status")"
  tail -n 1 "$pf/kivcd-build.log" | grep -q 'ISO image made: ' || fail "the log is cut short: $(tail -n 2 "$pf/kivcd-build.log")"
  [ -s "$work/cd.iso" ] || fail "no ISO"
  ;;
stop_cd)
  pf=$(fresh stop_cd)
  rm -f "$pf/mkisofs"
  slow_mkisofs "$pf"
  settings "$pf" "$work/cd.iso" ""
  (cd "$pf" && exec ./discsmith --build) > "$work/out" 2>&1 &
  pid=$!
  wait_for 300 alive "$pf/mkisofs.pid" || { cat "$work/out"; fail "the mastering tool never started"; }
  wait_for 10 grep -q '10.00% Done' "$work/out" || true
  # A second build in the same program folder does not start and touches
  # nothing of the first's.
  images=$(ls "$pf/kivcd/boot/images")
  if (cd "$pf" && ./discsmith --build) > "$work/second.out" 2>&1; then
    cat "$work/second.out"; fail "a second build started beside the running one"
  fi
  grep -q "Another CD build is running in this program folder (process [0-9]*); this build does not start." \
    "$work/second.out" || { cat "$work/second.out"; fail "the second build did not name the running one"; }
  [ "$(ls "$pf/kivcd/boot/images")" = "$images" ] || fail "the second build changed the first one's CD tree"
  kill -TERM $pid
  rc=0; wait $pid || rc=$?
  cat "$work/out"
  [ $rc -ne 0 ] || fail "a stopped build exited 0"
  grep -q '^Operation canceled$' "$work/out" || fail "no \"Operation canceled\""
  ! grep -q -e 'completed successfully' -e "Couldn't access" "$work/out" || fail "a stopped build said success or blamed the ISO"
  [ ! -e "$work/cd.iso" ] || fail "the partial ISO was left behind"
  ! ls "$work"/.cd.iso.*.part > /dev/null 2>&1 || fail "the ISO's temporary file was left behind"
  [ ! -e "$pf/mkisofs.log.tmp" ] || fail "a temporary log was left behind"
  grep -q '10.00% done' "$pf/mkisofs.log" || fail "mkisofs.log does not hold the run's output"
  wait_for 5 alive_not "$pf/mkisofs.pid" || fail "the mastering tool still runs"
  ;;
stop_disk)
  pf=$(fresh stop_disk)
  # An image tool that takes its time.
  rm -f "$pf/bfi"
  printf '#!/bin/sh\necho $$ > bfi.pid\nsleep 60\n' > "$pf/bfi"
  chmod +x "$pf/bfi"
  (cd "$pf" && exec ./bootsmith -t 144 kivsoftware) > "$work/out" 2>&1 < /dev/null &
  pid=$!
  wait_for 300 alive "$pf/bfi.pid" || { cat "$work/out"; fail "the image tool never started"; }
  ls -d "$pf"/Temp/bootsmith* > /dev/null || fail "no work tree while the image tool runs"
  kill -TERM $pid
  rc=0; wait $pid || rc=$?
  cat "$work/out"
  [ $rc -ne 0 ] || fail "a stopped batch run exited 0"
  grep -q 'Operation canceled' "$work/out" || fail "no \"Operation canceled\""
  [ ! -e "$pf/cabs" ] || fail "cabs/ was left behind"
  ! ls -d "$pf"/Temp/bootsmith* > /dev/null 2>&1 || fail "Temp/bootsmith<n> was left behind"
  [ ! -e "$pf/Drivers.ini" ] || fail "Drivers.ini was left behind"
  [ ! -e "$pf/kivstart.img" ] || fail "an image was left behind"
  wait_for 5 alive_not "$pf/bfi.pid" || fail "the image tool still runs"
  ;;
full_copy)
  if [ "$(id -u)" -ne 0 ]; then echo "skipped: needs root to mount a small tmpfs"; exit 0; fi
  pf=$(fresh full_copy)
  on_small_disk "$pf"
  # A setup CD whose I386 is larger than the room left.
  cp -a "$here/setup_media/XPCD" "$work/xpcd"
  head -c $((32 * 1024 * 1024)) /dev/urandom > "$work/xpcd/I386/DRIVER.CAB"
  settings "$small/program" "$work/cd.iso" "$work/xpcd/I386"
  # Mapped where it lies, the folder needs no room in the program folder:
  # the CD is made.
  (cd "$small/program" && ./discsmith --build) > "$work/mapped.out" 2>&1 \
    || { cat "$work/mapped.out"; fail "the mapped Windows files did not fit where nothing is copied"; }
  [ -s "$work/cd.iso" ] || fail "no ISO from the mapped Windows files"
  rm -f "$work/cd.iso"
  # Copied (as for a service pack), the same folder does not fit.
  rc=0; (cd "$small/program" && KIVCD_COPY_SOURCES=1 ./discsmith --build) > "$work/out" 2>&1 || rc=$?
  cat "$work/out"
  [ $rc -ne 0 ] || fail "a short copy of the Windows files exited 0"
  grep -q 'Fatal Error: A fatal Error occured while integrating the Windows 2000/XP installation, operation halted' \
    "$work/out" || fail "no Fatal Error for the short copy"
  grep -q 'DRIVER.CAB.*Disk Full' "$work/out" || fail "the reason (file and cause) is not named"
  grep -q '^Operation failed$' "$work/out" || fail "no \"Operation failed\""
  [ ! -e "$work/cd.iso" ] || fail "an ISO was made from a short copy"
  ;;
kill_cd)
  pf=$(fresh kill_cd)
  bash "$here/stub_bootsmith.sh" "$pf"
  mv "$pf/mkisofs" "$work/mkisofs.installed"
  slow_mkisofs "$pf"
  settings "$pf" "$work/cd.iso" ""
  "$pf/discsmith" --set Main.LinuxRescue=0 > /dev/null || fail "discsmith --set"
  (cd "$pf" && exec ./discsmith --build) > "$work/out" 2>&1 &
  pid=$!
  wait_for 120 alive "$pf/mkisofs.pid" || { cat "$work/out"; fail "the mastering tool never started"; }
  wait_for 10 grep -q '10.00% Done' "$work/out" || true
  kill -KILL $pid
  wait $pid || true
  wait_for 5 alive_not "$pf/mkisofs.pid" || fail "the mastering tool outlived the killed build"
  ls "$work"/.cd.iso.*.part > /dev/null 2>&1 || fail "the killed build left no partial image to test with"
  # The next build, with the real mastering tool, removes what the killed one left.
  rm -f "$pf/mkisofs"
  mv "$work/mkisofs.installed" "$pf/mkisofs"
  (cd "$pf" && ./discsmith --build) > "$work/second.out" 2>&1 || { cat "$work/second.out"; fail "the next build"; }
  [ -s "$work/cd.iso" ] || fail "the next build made no ISO"
  ! ls "$work"/.cd.iso.*.part > /dev/null 2>&1 || fail "the killed build's partial image is still there"
  grep -q "the unfinished image of a build that did not end" "$pf/kivcd-build.log" ||
    fail "the log does not say what was removed"
  ;;
full_disk)
  if [ "$(id -u)" -ne 0 ]; then echo "skipped: needs root to mount a small tmpfs"; exit 0; fi
  export SOURCE_DATE_EPOCH=1700000000
  pf=$(fresh full_disk)
  rm -rf "$pf/rescue"
  bash "$here/stub_bootsmith.sh" "$pf"
  # The last boot disk fills the program folder's disk to its last byte.
  printf '[ "$disk" = netaccess ] && head -c 1G /dev/zero > filler 2>/dev/null\nexit 0\n' >> "$pf/bootsmith"
  on_small_disk "$pf"
  pf=$small/program
  settings "$pf" "$work/cd.iso" ""
  "$pf/discsmith" --set Main.LinuxRescue=0 > /dev/null || fail "discsmith --set"
  once() {  # once <log>: the outcome is in the log once
    [ "$(grep -c 'Build failed at step' "$1")" = 1 ] || { cat "$1"; fail "the outcome is not in $1 once"; }
  }
  rc=0; (cd "$pf" && ./discsmith --build) > "$work/out" 2>&1 || rc=$?
  cat "$work/out"
  [ $rc -ne 0 ] || fail "a build on a full disk exited 0"
  tail -n 1 "$work/out" |
    grep -q "^Build failed at step 4 (.*): cannot write $pf/kivcd/.*: the disk is full (No space left on device)$" ||
    fail "the outcome does not name the file and the full disk"
  once "$pf/kivcd-build.log"
  rc=0; "$pf/discsmith" --set Main.OptimizeISO=0 > "$work/set.out" 2>&1 || rc=$?
  [ $rc -ne 0 ] || fail "--set on a full disk exited 0"
  grep -q "the settings could not be saved to \"$pf/kivcd.ini\": the disk is full (No space left on device)" \
    "$work/set.out" || { cat "$work/set.out"; fail "--set does not say the disk is full"; }
  # Room again; then the ISO's disk takes the mastered image, but not what
  # a stick needs besides (the same CD, mastered to the same size).
  rm -f "$pf/filler"
  sed -i '/filler/d' "$pf/bootsmith"
  (cd "$pf" && ./discsmith --build) > "$work/first.out" 2>&1 || { cat "$work/first.out"; fail "the build with room"; }
  sectors=$(grep -o 'ISO image produced: [0-9]*' "$pf/mkisofs.log" | grep -o '[0-9]*$')
  [ -n "$sectors" ] || fail "mkisofs.log does not say how large the image is"
  mkdir "$work/isodisk"
  mount -t tmpfs -o size=$((sectors * 2048)) kivisodisk "$work/isodisk" || fail "cannot mount the ISO's tmpfs"
  mounted2=$work/isodisk
  "$pf/discsmith" --set "Main.ISOLocation=$work/isodisk/cd.iso" > /dev/null || fail "discsmith --set"
  rc=0; (cd "$pf" && ./discsmith --build) > "$work/hybrid.out" 2>&1 || rc=$?
  cat "$work/hybrid.out"
  [ $rc -ne 0 ] || fail "a build whose ISO did not fit exited 0"
  grep -qx 'Not enough free space to complete the ISO file !!!' "$work/hybrid.out" || fail "no full-disk notice"
  tail -n 1 "$work/hybrid.out" | grep -q "could not be made bootable from a USB stick: cannot write .*: the disk is full (No space left on device)" ||
    fail "the outcome does not say the ISO's disk is full"
  once "$pf/kivcd-build.log"
  ! ls "$work/isodisk"/.cd.iso.*.part > /dev/null 2>&1 || fail "the partial image was left behind"
  ;;
*) fail "unknown case $case" ;;
esac
echo "ok: $case"
