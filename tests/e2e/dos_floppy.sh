#!/usr/bin/env bash
# The Windows Setup Assistant floppy's start-up and launchers under DOSBox,
# on the floppy bootsmith builds from the installed program folder:
#   cabs      DOS files with a cabinet extractor and the CD-ROM files: the
#             kernel finds the RAM drive (R:, labelled MS-RAMDRIVE), each
#             module cabinet is unpacked there and its start script runs, the
#             CD-ROM extension puts the CD at X:, and SETUPWIN, SETUPWIN AUTO
#             and SETUPNT start setup from the CD with the floppy's answers
#   unpacked  DOS files without an extractor, CD-ROM extension or RAM drive
#             driver: the modules go onto the floppy unpacked and run from
#             there, the screen says what is missing, and the launchers find
#             a CD that another CD-ROM extension put at E:
#   freedos   DOS files imported by bootsmith (at a terminal) from a FreeDOS
#             folder with its CD-ROM driver and extension (SHSUCDX, here a
#             stand-in that logs as MSCDEX, the name the import gives it) and
#             its RAM disk TDSK (whose drive is labelled TURBODSK, not
#             MS-RAMDRIVE): no cabinet extractor, so the modules run unpacked
#             from the floppy; the RAM drive takes TEMP; the CD-ROM extension
#             puts the CD at X:
# DOSBox runs the batch files in its own shell, so the floppy's DOS programs
# are stand-ins (fixtures/dos_standin.asm) that run C:\STANDIN\<name>.BAT:
# those log the call and do the program's part (unpack, mount the CD).
# Device drivers cannot run there; CONFIG.SYS is checked by the unit tests.
# Environment (set by ctest): KIV_E2E_PREFIX, KIV_SOURCE_DIR.
set -euo pipefail
case=${1:?usage: dos_floppy.sh cabs|unpacked|freedos}
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
for tool in dosbox nasm mcopy cabextract; do
  command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_dos_floppy.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
export MTOOLS_SKIP_CHECK=1 KIVCD_UI=console
fail() { echo "FAIL: $*" >&2; exit 1; }
pf=$(bash "$here/new_program_folder.sh")
mv "$(dirname "$pf")" "$work/pf"
pf=$work/pf/program

# --- DOS files: stand-in programs where the floppy starts one --------------
nasm -f bin -o "$work/standin.com" "$here/fixtures/dos_standin.asm"
mkdir -p "$work/c/STANDIN" "$work/c/LOG" "$work/c/MIRROR" "$work/ram" "$work/cd/WIN98" "$work/cd/I386"
nasm -f bin -o "$work/c/SCREEN.COM" "$here/fixtures/screen_dump.asm"
cp "$work/standin.com" "$pf/dos/SMARTDRV.EXE"
if [ "$case" = cabs ]; then
  for name in EXTRACT.EXE MSCDEX.EXE; do cp "$work/standin.com" "$pf/dos/$name"; done
  # Drivers are never started by DOSBox: any bytes do.
  printf 'CD-ROM driver\r\n' > "$pf/dos/OAKCDROM.SYS"
  printf 'RAM drive driver\r\n' > "$pf/dos/RAMDRIVE.SYS"
fi

# --- the floppy, as bootsmith builds it ------------------------------------
if [ "$case" = freedos ]; then
  command -v script >/dev/null 2>&1 || { echo "skipped: script is not installed"; exit 77; }
  fd=$work/FreeDOS
  mkdir -p "$fd/BIN"
  printf '\353\076CONFIG fake FreeDOS kernel\r\n' > "$fd/KERNEL.SYS"
  printf 'fake FreeCOM\r\n' > "$fd/COMMAND.COM"
  printf 'CD-ROM driver\r\n' > "$fd/BIN/UDVD2.SYS"
  printf 'RAM disk driver\r\n' > "$fd/BIN/TDSK.EXE"
  for name in SHSUCDX.COM LBACACHE.COM; do cp "$work/standin.com" "$fd/BIN/$name"; done
  rm -rf "$pf/dos"
  printf 'OK\n%s\n' "$fd" | script -qec "cd '$pf' && ./bootsmith -t 144 winsetup '$work/kivwin.img' 2>&1" /dev/null \
    > "$work/bs.out" || { cat "$work/bs.out"; fail "bootsmith winsetup after the FreeDOS import failed"; }
  grep -qF "MSCDEX.EXE <- BIN/SHSUCDX.COM" "$work/bs.out" || { cat "$work/bs.out"; fail "SHSUCDX was not imported"; }
  grep -qF "RAMDRIVE.SYS <- BIN/TDSK.EXE" "$work/bs.out" || { cat "$work/bs.out"; fail "TDSK was not imported"; }
else
  (cd "$pf" && ./bootsmith -t 144 winsetup "$work/kivwin.img") > "$work/bs.out" 2>&1 \
    || { cat "$work/bs.out"; fail "bootsmith winsetup failed"; }
fi
mkdir "$work/a"
mcopy -s -i "$work/kivwin.img" '::*' "$work/a/" || fail "mcopy of the floppy failed"

# --- the rescue CD: the tag the CD builder writes and the setup programs ---
printf 'Kiv Rescue CD\r\n' > "$work/cd/KIVCD.TAG"
cp "$work/standin.com" "$work/cd/WIN98/SETUP.EXE"
cp "$work/standin.com" "$work/cd/I386/WINNT.EXE"

# --- what the stand-ins do --------------------------------------------------
bat() { sed 's/$/\r/' > "$work/c/STANDIN/$1.BAT"; }
log='C:\LOG\CALLS.TXT'
printf '@ECHO OFF\nECHO %s %%1 %%2 %%3>> %s\n' SMARTDRV "$log" | bat SMARTDRV
# SETUP and WINNT: the call, the current folder, and the answer file's text.
printf '@ECHO OFF\nECHO SETUP %%1 %%2>> %s\nCD>> %s\nTYPE %%1> C:\\LOG\\SETUP_%%2.TXT\n' "$log" "$log" | bat SETUP
printf '@ECHO OFF\nECHO WINNT %%1 %%2>> %s\nCD>> %s\n' "$log" "$log" | bat WINNT
# MSCDEX puts the CD at the letter it is given.
printf '@ECHO OFF\nECHO MSCDEX %%1 %%2 %%3>> %s\nIF "%%2"=="/L:X" Z:\\MOUNT X %s > NUL\n' "$log" "$work/cd" | bat MSCDEX
# EXTRACT /Y /E /L <folder> <cabinet>: the cabinet's files, unpacked here by
# cabextract, are copied into <folder>.
{
  printf '@ECHO OFF\nECHO EXTRACT %%1 %%2 %%3 %%4 %%5>> %s\n' "$log"
  for cab in "$work"/a/LIB/*.CAB "$work"/a/lib/*.cab; do
    [ -f "$cab" ] || continue
    name=$(basename "$cab"); name=${name%.*}; name=${name^^}
    cabextract -q -d "$work/c/MIRROR/$name" "$cab" || fail "cabextract rejects $cab"
    printf 'IF "%%5"=="A:\\LIB\\%s.CAB" GOTO %s\n' "$name" "$name"
  done
  printf 'EXIT 1\n'
  for dir in "$work"/c/MIRROR/*; do
    [ -d "$dir" ] || continue
    name=$(basename "$dir")
    printf ':%s\n' "$name"
    (cd "$dir" && find . -mindepth 1 -type d | sort) | while read -r sub; do
      sub=${sub#./}; sub=${sub//\//\\}
      printf 'MD %%4%s > NUL\nCOPY C:\\MIRROR\\%s\\%s\\*.* %%4%s > NUL\n' "$sub" "$name" "$sub" "$sub"
    done
    printf 'COPY C:\\MIRROR\\%s\\*.* %%4 > NUL\nGOTO END\n' "$name"
  done
  printf ':END\n'
} | bat EXTRACT

# --- the session: start-up, then what a user types -------------------------
{
  printf '@ECHO OFF\nC:\\SCREEN.COM /50\nA:\nCALL A:\\AUTOEXEC.BAT\nC:\\SCREEN.COM C:\\LOG\\BOOT.TXT\n'
  printf 'SET> C:\\LOG\\ENV.TXT\n'
  printf 'CALL SETUPWIN\nC:\\SCREEN.COM C:\\LOG\\SETUPWIN.TXT\n'
  printf 'CALL SETUPWIN AUTO\nC:\\SCREEN.COM C:\\LOG\\AUTO.TXT\n'
  printf 'CALL SETUPNT\nC:\\SCREEN.COM C:\\LOG\\SETUPNT.TXT\n'
} | sed 's/$/\r/' > "$work/c/RUN.BAT"
{
  printf '[sdl]\noutput=surface\n[dosbox]\nmemsize=16\n[cpu]\ncycles=max\n[mixer]\nnosound=true\n'
  printf '[speaker]\npcspeaker=false\ntandy=off\n[autoexec]\n'
  printf 'mount a "%s" -t floppy\nmount c "%s"\n' "$work/a" "$work/c"
  if [ "$case" = cabs ]; then
    printf 'mount r "%s" -label MS-RAMDRIVE\n' "$work/ram"
  elif [ "$case" = freedos ]; then
    printf 'mount r "%s" -label TURBODSK\n' "$work/ram"  # the label TDSK gives its drive
  elif [ "$case" = unpacked ]; then
    printf 'mount e "%s"\n' "$work/cd"
  fi
  printf 'c:\nCALL C:\\RUN.BAT\nexit\n'
} > "$work/dosbox.conf"
(cd "$work/a" && find . | sort) > "$work/floppy.before"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 120 dosbox -conf "$work/dosbox.conf" -noconsole -exit \
  > "$work/dosbox.out" 2>&1 || { cat "$work/dosbox.out"; fail "dosbox did not end"; }

# --- what happened ------------------------------------------------------------
clean() { tr -d '\r' < "$1" | sed -e 's/ *$//' -e '/^$/d'; }
for f in BOOT SETUPWIN AUTO SETUPNT ENV; do
  [ -f "$work/c/LOG/$f.TXT" ] || { cat "$work/dosbox.out"; fail "the session did not reach $f"; }
  clean "$work/c/LOG/$f.TXT" > "$work/$f"
done
[ -f "$work/c/LOG/CALLS.TXT" ] || fail "no stand-in was called"
# Nothing is written to the floppy (it may be write-protected).
(cd "$work/a" && find . | sort) > "$work/floppy.after"
diff "$work/floppy.before" "$work/floppy.after" >&2 || fail "the session wrote to the floppy"
clean "$work/c/LOG/CALLS.TXT" > "$work/calls"
show() { echo "--- $1"; cat "$work/$1"; }
screen_has() { grep -qF -- "$2" "$work/$1" || { show "$1" >&2; fail "$1 screen lacks: $2"; }; }
screen_lacks() { ! grep -qF -- "$2" "$work/$1" || { show "$1" >&2; fail "$1 screen has: $2"; }; }
env_is() { grep -qxF -- "$1=$2" "$work/ENV" || { show ENV >&2; fail "$1 is not $2"; }; }
expect_calls() {  # the stand-ins' log, line for line
  printf '%s\n' "$@" > "$work/want"
  diff "$work/want" "$work/calls" >&2 || fail "the programs called are not the ones expected"
}
# The floppy's answers, as bootsmith wrote them into the module folders.
answers_are() {  # answers_are <log file> <file below files/>
  cmp -s <(tr -d '\r' < "$work/c/LOG/$1") <(tr -d '\r' < "$pf/files/$2") \
    || fail "setup was not given the answers of files/$2"
}
device=$(tr -d '\r' < "$work/a/CONFIG.SYS" | sed -n 's/^DEVICE=.*OAKCDROM\.SYS.*\/D:\([A-Z0-9]*\).*/\1/p')
[ -n "$device" ] || fail "CONFIG.SYS names no CD-ROM device"

case $case in
cabs)
  screen_has BOOT "The RAM drive is R:"
  for m in CDROM ASPI SETUPWIN SETUPNT; do screen_has BOOT "Loading module $m ..."; done
  screen_has BOOT "CD-ROM module"   # the start scripts live in the cabinets
  screen_has BOOT "ASPI module"
  screen_has BOOT "The rescue CD is in drive X:"
  screen_has BOOT "Type SETUPWIN to install Windows 98/Me from the rescue CD."
  screen_has BOOT "Type SETUPNT to install Windows 2000/XP from the rescue CD."
  screen_lacks BOOT "No RAM drive"
  screen_lacks BOOT "No CD-ROM"
  env_is RAMDRIVE R:
  env_is CDROM X:
  env_is KIVSETUPWIN R:
  env_is KIVSETUPNT R:
  env_is TEMP 'R:\TEMP'
  expect_calls \
    'EXTRACT /Y /E /L R:\ A:\LIB\CDROM.CAB' "MSCDEX /D:$device /L:X" \
    'EXTRACT /Y /E /L R:\ A:\LIB\ASPI.CAB' \
    'EXTRACT /Y /E /L R:\ A:\LIB\SETUPWIN.CAB' 'EXTRACT /Y /E /L R:\ A:\LIB\SETUPNT.CAB' \
    'SMARTDRV' 'SETUP R:\BIN\DEF.INF' 'X:\WIN98' \
    'SMARTDRV' 'SETUP R:\BIN\AUTO.INF' 'X:\WIN98' \
    'SMARTDRV' 'WINNT /s:X:\I386 /u:R:\BIN\UNATTEND.TXT' 'X:\I386'
  answers_are 'SETUP_.TXT' setupwin/bin/auto.inf
  ;;
unpacked)
  [ -d "$work/a/LIB/SETUPWIN" ] && [ ! -e "$work/a/LIB/SETUPWIN.CAB" ] || fail "the modules are not on the floppy unpacked"
  screen_has BOOT "No RAM drive: the DOS files this floppy came from had no RAMDRIVE.SYS."
  screen_has BOOT "No CD-ROM driver: the DOS files this floppy came from had no OAKCDROM.SYS."
  screen_has BOOT "No CD-ROM access: the DOS files this floppy came from had no MSCDEX.EXE."
  screen_has BOOT "CD-ROM module"
  screen_has BOOT "Type SETUPWIN to install Windows 98/Me from the rescue CD."
  screen_has SETUPWIN "The rescue CD is in drive E:"
  env_is KIVSETUPWIN 'A:\LIB\SETUPWIN'
  env_is KIVSETUPNT 'A:\LIB\SETUPNT'
  expect_calls \
    'SMARTDRV' 'SETUP A:\LIB\SETUPWIN\BIN\DEF.INF' 'E:\WIN98' \
    'SMARTDRV' 'SETUP A:\LIB\SETUPWIN\BIN\AUTO.INF' 'E:\WIN98' \
    'SMARTDRV' 'WINNT /s:E:\I386 /u:A:\LIB\SETUPNT\BIN\UNATTEND.TXT' 'E:\I386'
  answers_are 'SETUP_.TXT' setupwin/bin/auto.inf
  ;;
freedos)
  [ -d "$work/a/LIB/SETUPWIN" ] && [ ! -e "$work/a/LIB/SETUPWIN.CAB" ] || fail "the modules are not on the floppy unpacked"
  [ -f "$work/a/FDCONFIG.SYS" ] || fail "no FDCONFIG.SYS on the floppy"
  screen_has BOOT "The RAM drive is R:"
  screen_lacks BOOT "No RAM drive"
  screen_lacks BOOT "No CD-ROM"
  screen_has BOOT "The rescue CD is in drive X:"
  env_is CDROM X:
  env_is RAMDRIVE R:
  env_is TEMP 'R:\TEMP'
  env_is KIVSETUPWIN 'A:\LIB\SETUPWIN'
  expect_calls \
    "MSCDEX /D:$device /L:X" \
    'SMARTDRV' 'SETUP A:\LIB\SETUPWIN\BIN\DEF.INF' 'X:\WIN98' \
    'SMARTDRV' 'SETUP A:\LIB\SETUPWIN\BIN\AUTO.INF' 'X:\WIN98' \
    'SMARTDRV' 'WINNT /s:X:\I386 /u:A:\LIB\SETUPNT\BIN\UNATTEND.TXT' 'X:\I386'
  answers_are 'SETUP_.TXT' setupwin/bin/auto.inf
  ;;
*) fail "unknown case $case" ;;
esac
screen_has SETUPWIN "Windows setup for"
screen_has SETUPNT "Windows 2000/XP setup from"
echo "dos_floppy $case: start-up, modules and launchers as expected"
