#!/bin/bash
# End-to-end checks of bootsmith in console mode. One case per run:
#   bootsmith_e2e.sh <case>
# The program folder is assembled in a temporary folder from the built
# programs (BOOTSMITH, BFI, CABARC, EXTRACT, EXPAND, KIVMAX) and the shipped
# data (DISK_SRC, PLUGIN_SRC, DISK_DATA, BOOT_BIN), laid out as the install
# lays it out.
set -u
case_name=${1:?case}
fail() { echo "FAIL: $*" >&2; exit 1; }

for v in BOOTSMITH BFI CABARC KIVMAX DISK_SRC PLUGIN_SRC DISK_DATA BOOT_BIN; do
  [ -n "${!v:-}" ] || fail "$v is not set"
done
export MTOOLS_SKIP_CHECK=1 KIVCD_UI=console
unset DISPLAY WAYLAND_DISPLAY

tmp=$(mktemp -d /tmp/bootsmith_e2e.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
prog=$tmp/prog
mkdir -p "$prog/files" "$prog/plugins"
cp "$BOOTSMITH" "$BFI" "$CABARC" "$prog/"
[ -n "${EXTRACT:-}" ] && cp "$EXTRACT" "$prog/"
[ -n "${EXPAND:-}" ] && cp "$EXPAND" "$prog/"
cp -r "$DISK_SRC"/. "$prog/files/"
rm -rf "$prog/files/kivcd"
cp "$BOOT_BIN/bootsect.bin" "$prog/files/"
cp -r "$DISK_DATA/drivers" "$DISK_DATA/dos" "$prog/"
cp -r "$DISK_DATA/files/." "$prog/files/"
cp -r "$PLUGIN_SRC"/. "$prog/plugins/"
cp "$KIVMAX" "$prog/plugins/kivmax.exe"

err=$tmp/stderr
# Runs bootsmith with stdin from /dev/null unless STDIN_TEXT is set; the exit
# code is kept in $rc, stderr in $err.
run() {
  if [ -n "${STDIN_TEXT:-}" ]; then
    printf '%s\n' "$STDIN_TEXT" | "$prog/bootsmith" "$@" 2>"$err" >/dev/null
  else
    "$prog/bootsmith" "$@" 2>"$err" >/dev/null </dev/null
  fi
  rc=$?
}
has() { grep -qF -- "$1" "$err" || { cat "$err" >&2; fail "stderr lacks: $1"; }; }
lacks() { ! grep -qF -- "$1" "$err" || { cat "$err" >&2; fail "stderr has: $1"; }; }
# The lines of stderr matching the given texts appear in this order.
in_order() {
  local last=0 n
  for text in "$@"; do
    n=$(grep -nF -- "$text" "$err" | head -1 | cut -d: -f1)
    [ -n "$n" ] || { cat "$err" >&2; fail "stderr lacks: $text"; }
    [ "$n" -gt "$last" ] || { cat "$err" >&2; fail "out of order: $text"; }
    last=$n
  done
}
fat_ok() {
  fsck.fat -n "$1" >"$tmp/fsck" 2>&1 || { cat "$tmp/fsck" >&2; fail "fsck.fat rejects $1"; }
}
size_is() {
  local s
  s=$(stat -c %s "$1") || fail "no image $1"
  [ "$s" = "$2" ] || fail "$1 has $s bytes, not $2"
}
no_work_files() {
  [ ! -e "$prog/Drivers.ini" ] && [ ! -e "$prog/cabs" ] && [ ! -e "$prog/Temp" ] || fail "work files left behind"
}

T="Command Line options Error"
case $case_name in
command_line)
  run -t
  [ $rc -ne 0 ] || fail "-t alone exits 0"
  in_order "$T: Image type not specified" "$T: Invalid Image type" "$T: The disk name is not specified"
  lacks "Check your Command Line Parameters"

  run -o
  [ $rc -ne 0 ] || fail "-o alone exits 0"
  in_order "$T: OS not specified" "bootsmith: Invalid OS" "$T: The disk name is not specified"

  # A rejected value: the message, then the summary; without a terminal the
  # summary is answered Cancel and nothing is built.
  run -t 360 kivsoftware
  [ $rc -ne 0 ] || fail "-t 360 exits 0 after Cancel"
  in_order "$T: Invalid Image type: 360" \
    "Check your Command Line Parameters: There has been an invalid parameter," \
    "Disk Name : kivsoftware" "Image Type : 1.44 MB" "Select Drivers : False" \
    "Load Product key from keyfile.txt : False"
  [ ! -e "$prog/kivstart.img" ] || fail "image made after Cancel"

  # --help and --version print to standard output and exit 0.
  for sw in --help -h -? --version; do
    out=$(cd "$prog" && ./bootsmith "$sw" 2>"$tmp/help.err") || fail "bootsmith $sw exits non-zero"
    [ ! -s "$tmp/help.err" ] || { cat "$tmp/help.err"; fail "bootsmith $sw wrote to stderr"; }
    case $sw in
      --version) [[ $out == "bootsmith "* ]] || fail "bootsmith --version printed: $out" ;;
      *) [[ $out == *"files/disklist.ini"* ]] || fail "bootsmith $sw printed no usage: $out" ;;
    esac
  done

  run -x custom
  has "$T: Invalid Argument : -x"
  # A window frame that is none is an invalid argument like any other.
  run --over-window=big -t 144 custom
  has "$T: Invalid Argument : --over-window=big"
  [ ! -e "$prog/BootDisk.img" ] || fail "image made after an invalid frame"
  has "Usage: bootsmith [-t type] [-plugin name] [-sel] [-keyfile] name [target]"

  run -t 144 nosuch
  [ $rc -ne 0 ] || fail "unknown disk exits 0"
  has "Critical error: The disk \"nosuch\" doesn't exist"
  no_work_files

  run -plugin nosuch custom
  has "Invalid Plugin Name: The Plugin specified was not found in the PlugIns folder."

  # Without the DOS system files and without a terminal, the import question
  # is answered Cancel: the program ends at once instead of waiting. What is
  # missing is named in a line of its own after the question's text, and on
  # the last line; the run leaves no empty dos/ behind.
  rm -rf "$prog/dos"
  run -t 144 custom
  [ $rc -ne 0 ] || fail "a run without DOS files exits 0"
  has "DOS Files no found: Your current windows installation doesn't contain the required"
  has "-> Cancel"
  lacks "Getting a list of Disks Configuration ..."
  [ ! -e "$prog/BootDisk.img" ] || fail "image made without DOS files"
  [ "$(grep -cx "Not found: $prog/dos (the folder of the DOS system files)" "$err")" = 1 ] \
    || { cat "$err" >&2; fail "the missing folder is not named in a line of its own, once"; }
  has "bootsmith: no image made: DOS Files no found: Your current windows installation"
  grep -q "^bootsmith: no image made: .* Not found: $prog/dos (the folder of the DOS system files)\$" "$err" \
    || { cat "$err" >&2; fail "the last line does not name the missing folder"; }
  [ ! -e "$prog/dos" ] || fail "the failed run left $prog/dos behind"
  # An empty IO.SYS is no DOS kernel: it counts as missing, is named, and no
  # image is made (it was taken for MS-DOS 7's).
  cp -r "$DISK_DATA/dos" "$prog/"
  : >"$prog/dos/IO.SYS"
  run -t 144 kivsoftware
  [ $rc -ne 0 ] || fail "a build with an empty IO.SYS exits 0"
  has "Not usable in $prog/dos: IO.SYS (empty)"
  lacks "The floppy's DOS: MS-DOS 7"
  [ ! -e "$prog/kivstart.img" ] || fail "an image was made from an empty IO.SYS"
  ;;

single_instance)
  # The test holds the lock; a second bootsmith refuses to start.
  flock "$prog/bootsmith.lock" "$prog/bootsmith" -t 144 custom 2>"$err" </dev/null
  rc=$?
  [ $rc -ne 0 ] || fail "second instance exits 0"
  has "Already Running: The Kiv Disk Builder is already running"
  [ ! -e "$prog/BootDisk.img" ] || fail "second instance built an image"
  # A process that died holding it leaves no lock behind.
  run -T 144 custom
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "build after the lock was freed failed"; }
  ;;

custom_image)
  run -T 144 custom
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "custom build exits $rc"; }
  lacks "$T"
  in_order "Copying Files ... Please wait, this should take only few seconds" \
    "Getting a list of Disks Configuration ..." "Getting Disk Configuration INI file ..." \
    "Processing custom.ini file ..." "Getting Drivers Settings ..." \
    "Getting files list to be copied to the floppy image ..." "Creating the floppy image file ..."
  size_is "$prog/BootDisk.img" 1474560
  fat_ok "$prog/BootDisk.img"
  mdir -a -i "$prog/BootDisk.img" ::/ >"$tmp/dir" || fail "mdir failed"
  grep -q "IO       SYS" "$tmp/dir" || fail "IO.SYS missing from the image"
  no_work_files
  ;;

kivmax_plugin)
  STDIN_TEXT=myserver run -t 144 -plugin kivmax kivsoftware
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "kivmax build exits $rc"; }
  in_order "Getting a list of Disks Configuration ..." "Processing kivsoftware.ini file ..." \
    "Creating the floppy image file ..."
  img=$prog/kivstart.img
  size_is "$img" 1474560
  fat_ok "$img"
  mtype -i "$img" ::/etc/autoexec.net >"$tmp/net" || fail "etc/autoexec.net missing from the image"
  grep -q "myserver" "$tmp/net" || { cat "$tmp/net" >&2; fail "server name not in autoexec.net"; }
  grep -q '\$\$servername\$\$' "$tmp/net" && fail "placeholder left in autoexec.net"
  ;;

targets)
  # A target with blanks, relative to the program folder.
  run kivsoftware out\\my disk.img
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "target with blanks exits $rc"; }
  fat_ok "$prog/out/my disk.img"
  # Switches after the disk name belong to the target: a 1.44 MB image.
  run -t 144 custom late.img -t 288
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "late switches exit $rc"; }
  size_is "$prog/late.img -t 288" 1474560
  [ ! -e "$prog/late.img" ] || fail "the switch after the disk name was read"
  # -t 288 before the name: a 2.88 MB image at the catalogue's file.
  run -t 288 lorvaplus288
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "2.88 MB build exits $rc"; }
  size_is "$prog/kivlorva.img" 2949120
  fat_ok "$prog/kivlorva.img"
  # As the CD builder starts it from its window: the window's frame first,
  # then the usual switches; the same image.
  run --over-window=40,30,660,470 -t 144 kivsoftware
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "build with the window frame exits $rc"; }
  lacks "$T"
  size_is "$prog/kivstart.img" 1474560
  fat_ok "$prog/kivstart.img"
  ;;

select_drivers)
  # -sel in console mode lists the drivers with their marks and keeps them.
  run -sel -t 288 netaccess
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "-sel build exits $rc"; }
  in_order "Getting files list to be copied to the floppy image ..." "Getting Drivers List ..." \
    "Select Drivers: NIC / Description" "Creating the floppy image file ..."
  grep -q "✔" "$err" || fail "no checked driver listed"
  fat_ok "$prog/kivnet.img"
  mdir -i "$prog/kivnet.img" -/ ::/lib >"$tmp/lib" 2>&1 || { cat "$tmp/lib" >&2; fail "no lib folder on the image"; }
  grep -qi "cab" "$tmp/lib" || fail "no driver cabinet on the image"
  ;;

full_path_target)
  # A full path is the target, not an unknown switch.
  out=$tmp/out
  mkdir -p "$out"
  run kivsoftware "$out/x.img"
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "full path target exits $rc"; }
  lacks "Invalid Argument"
  size_is "$out/x.img" 1474560
  fat_ok "$out/x.img"
  [ ! -e "$prog/kivstart.img" ] || fail "the image went to the program folder"
  # An existing file that is no 1.44 MB image is not replaced unasked, and
  # with stdin not a terminal nobody can be asked.
  printf 'my notes\n' >"$out/notes.txt"
  run -t 144 kivsoftware "$out/notes.txt"
  [ $rc -ne 0 ] || fail "a target that is not an image exits 0"
  has "Invalid Target: The target $out/notes.txt already exists and is not a 1.44 MB floppy image"
  lacks "Getting a list of Disks Configuration ..."
  [ "$(cat "$out/notes.txt")" = "my notes" ] || fail "notes.txt was overwritten"
  # The earlier image is rebuilt without a question.
  run -t 144 kivsoftware "$out/x.img"
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "rebuilding an image exits $rc"; }
  # Targets that would destroy a file of the program or lose the image.
  cp "$prog/bootsmith" "$tmp/bootsmith.before"
  cp "$prog/files/disklist.ini" "$tmp/disklist.before"
  for target in bootsmith files/disklist.ini cabs/x.img Temp/x.img; do
    run kivsoftware "$target"
    [ $rc -ne 0 ] || fail "target $target exits 0"
    has "Invalid Target: The target $prog/$target"
    lacks "Getting a list of Disks Configuration ..."
  done
  cmp -s "$prog/bootsmith" "$tmp/bootsmith.before" || fail "the program was overwritten"
  cmp -s "$prog/files/disklist.ini" "$tmp/disklist.before" || fail "the catalogue was overwritten"
  [ ! -e "$prog/cabs" ] || fail "work files left behind"
  ;;

unwritable_folder)
  # A user who may not write the program folder is told so, not that the
  # program is already running.
  if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || exit 77
    chmod 755 "$tmp"
    chmod -R a+rX "$prog"
    as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
  else
    chmod a-w "$prog"
    as_user=""
  fi
  $as_user "$prog/bootsmith" -t 144 custom 2>"$err" >/dev/null </dev/null
  rc=$?
  chmod u+w "$prog"
  [ $rc -ne 0 ] || fail "unwritable folder exits 0"
  has "Program Folder Not Writable: The program folder $prog cannot be written (Permission denied)."
  lacks "Already Running"
  ;;

quiet_tools)
  # cabarc and extract run hidden: their own lines reach neither stream.
  "$prog/bootsmith" -t 288 netaccess >"$err" 2>&1 </dev/null
  rc=$?
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "netaccess build exits $rc"; }
  lacks "Created cabs"
  lacks "extracted "
  lacks "with 1 file(s)"
  fat_ok "$prog/kivnet.img"
  # Nor when the driver list is read: a descriptor from each cabinet.
  "$prog/bootsmith" -sel -t 288 netaccess >"$err" 2>&1 </dev/null
  rc=$?
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "-sel netaccess build exits $rc"; }
  has "Select Drivers: NIC / Description"
  has "NE2000 compatible network card"
  lacks "extracted "
  ;;

select_drivers_terminal)
  # -sel at a terminal: the numbered list is asked; "a" unselects all, Enter
  # confirms, and the image gets no network driver.
  command -v script >/dev/null || { echo "SKIP: script missing"; exit 77; }
  printf 'a\n\n' | script -qec "'$prog/bootsmith' -sel -t 288 netaccess 2>&1 >/dev/null" /dev/null >"$err"
  rc=$?
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "-sel build at a terminal exits $rc"; }
  in_order "Getting Drivers List ..." "Select Drivers: NIC / Description" "  2 ✔ NE2000" \
    "Numbers toggle entries" "  2 ✘ NE2000" "Creating the floppy image file ..."
  fat_ok "$prog/kivnet.img"
  mdir -i "$prog/kivnet.img" -/ ::/lib >"$tmp/lib" 2>&1 || { cat "$tmp/lib" >&2; fail "no lib folder on the image"; }
  ! grep -qi "ndis" "$tmp/lib" || { cat "$tmp/lib" >&2; fail "network drivers on the image though none was chosen"; }
  no_work_files
  ;;

freedos_import)
  # Without DOS files, at a terminal: the user chooses an installed FreeDOS
  # (kernel and FreeCOM at the top, HIMEMX in FREEDOS\BIN) and builds a
  # disk. The floppy boots the kernel as IO.SYS, root entry 0, with FreeCOM
  # as COMMAND.COM; the names FreeDOS lacks are stand-ins, so the modules go
  # onto the floppy unpacked (check_floppy.py checks all of that against the
  # dos folder).
  command -v script >/dev/null || { echo "SKIP: script missing"; exit 77; }
  fd=$tmp/FreeDOS
  mkdir -p "$fd/FREEDOS/BIN"
  printf '\353\076CONFIG fake FreeDOS kernel\r\n' >"$fd/KERNEL.SYS"
  printf 'fake FreeCOM\r\n' >"$fd/COMMAND.COM"
  printf 'fake HIMEMX\r\n' >"$fd/FREEDOS/BIN/himemx.exe"
  rm -rf "$prog/dos"
  printf 'OK\n%s\n' "$fd" | script -qec "'$prog/bootsmith' -t 144 winsetup '$tmp/fd.img' 2>&1 >/dev/null" \
    /dev/null >"$err"
  rc=$?
  [ $rc -eq 0 ] || { cat "$err" >&2; fail "build after the FreeDOS import exits $rc"; }
  in_order "DOS Files no found:" "or from FreeDOS 1.3/1.4" "FreeDOS Imported: The boot floppies get FreeDOS from $fd." \
    "IO.SYS <- KERNEL.SYS" "HIMEM.SYS <- FREEDOS/BIN/himemx.exe" "Not part of this FreeDOS" \
    "Creating the floppy image file ..."
  grep -q "^FreeDOS" "$prog/dos/FREEDOS.TXT" || fail "dos/FREEDOS.TXT does not say FreeDOS"
  fat_ok "$tmp/fd.img"
  python3 "$(dirname "$0")/check_floppy.py" "$tmp/fd.img" "$prog" winsetup 144 || fail "check_floppy.py rejects the image"
  for pair in IO.SYS:KERNEL.SYS COMMAND.COM:COMMAND.COM BIN/HIMEM.SYS:FREEDOS/BIN/himemx.exe; do
    mcopy -n -i "$tmp/fd.img" "::/${pair%%:*}" "$tmp/got" || fail "${pair%%:*} missing from the image"
    cmp -s "$tmp/got" "$fd/${pair#*:}" || fail "${pair%%:*} on the image is not the FreeDOS ${pair#*:}"
    rm -f "$tmp/got"
  done
  mdir -i "$tmp/fd.img" ::/FDCONFIG.SYS >/dev/null || fail "FDCONFIG.SYS missing from the image"
  # The floppy's EXTRACT.EXE is the stand-in: run under DOSBox it names
  # itself and ends with exit code 1.
  if command -v dosbox >/dev/null; then
    mkdir -p "$tmp/c"
    mcopy -n -i "$tmp/fd.img" ::/BIN/EXTRACT.EXE "$tmp/c/EXTRACT.EXE" || fail "BIN/EXTRACT.EXE missing from the image"
    printf '[sdl]\noutput=surface\n[mixer]\nnosound=true\n[autoexec]\nmount c "%s"\nc:\n' "$tmp/c" >"$tmp/dosbox.conf"
    printf 'EXTRACT.EXE > OUT.TXT\nIF ERRORLEVEL 1 ECHO failed> LEVEL.TXT\nexit\n' >>"$tmp/dosbox.conf"
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 60 dosbox -conf "$tmp/dosbox.conf" -noconsole -exit \
      >"$tmp/dosbox.out" 2>&1 || { cat "$tmp/dosbox.out" >&2; fail "dosbox did not end"; }
    grep -qF "KIV STAND-IN FILE - not part of this DOS (FreeDOS): EXTRACT.EXE" "$tmp/c/OUT.TXT" \
      || { cat "$tmp/c/OUT.TXT" >&2; fail "the stand-in EXTRACT.EXE does not say what it is"; }
    [ -f "$tmp/c/LEVEL.TXT" ] || fail "the stand-in EXTRACT.EXE ends with exit code 0"
  else
    echo "note: dosbox is not installed; the stand-in was not run"
  fi
  ;;

full_folder)
  # The program folder's file system is full (a small tmpfs, in a mount
  # namespace of the test's own): the copy that fails names the file, where
  # it was going and that the disk is full; nothing is left half made.
  command -v unshare >/dev/null || { echo "SKIP: unshare missing"; exit 77; }
  cat >"$tmp/full.sh" <<'SCRIPT'
set -u
prog=$1 err=$2 small=$3
need=$(du -sk "$prog" | cut -f1)
mount -t tmpfs -o size=$((need + 512))k kivfull "$small" || exit 77
cp -a "$prog" "$small/prog" || exit 77
# Everything but a few blocks taken: the lock file can be made, the DOS
# working copy cannot.
head -c $(( ($(df --output=avail -k "$small" | tail -1) - 8) * 1024 )) /dev/zero >"$small/fill" 2>/dev/null
"$small/prog/bootsmith" -t 144 kivsoftware 2>"$err" >/dev/null </dev/null
rc=$?
ls -A "$small/prog" >"$err.left"
exit $rc
SCRIPT
  mkdir "$tmp/small"
  unshare -rm bash "$tmp/full.sh" "$prog" "$err" "$tmp/small"
  rc=$?
  [ $rc -ne 77 ] || { echo "SKIP: cannot mount a small tmpfs here"; exit 77; }
  [ $rc -ne 0 ] || { cat "$err" >&2; fail "a build on a full disk exits 0"; }
  has "Error While Copying: Error while copying the file :"
  # Each copy that failed names where it went and that the disk is full,
  # and so does the last line, which the CD builder shows.
  grep -qE "^$tmp/small/prog/(files/dos|cabs)/[^ ]*: Disk Full\$" "$err" \
    || { cat "$err" >&2; fail "no copy names its destination and the full disk"; }
  grep -qE "^bootsmith: no image made: Error While Copying: Error while copying the file : .* $tmp/small/prog/[^ ]*: Disk Full\$" \
    "$err" || { cat "$err" >&2; fail "the last line does not say the disk is full"; }
  ! grep -qxE "cabs|Temp|Drivers.ini|kivstart.img" "$err.left" || { cat "$err.left" >&2; fail "work files left behind"; }
  ;;

*) fail "unknown case $case_name" ;;
esac
echo "PASS $case_name"
