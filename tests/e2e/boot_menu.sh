#!/usr/bin/env bash
# The CD's boot menu in QEMU, on CDs that `discsmith --build` makes in fresh
# copies of the installed program folder (keys through QEMU's monitor, the
# screen read from COM1):
#   demo     the demo CD (password "rescue"): a wrong password is refused and
#            asked again; the right one opens the menu of main.cds with its
#            title, the entries of what is missing greyed; the menu's time-out
#            starts the first entry (kivstart.img through memdisk into the
#            stand-in IO.SYS); the 2.88 MB network disk; the hard-disk entry
#            with a test disk whose MBR prints, from the CD and from a stick;
#            without a disk, and with a blank one, it says that no bootable
#            hard disk was found and, after a key, the CD (or the stick)
#            starts again: password, menu
#   tools    the demo CD's free tools, from its menu: memtest86+ shows itself
#            on the serial console (its entry's console=ttyS0), and HDT draws
#            its menu on the screen and names the PCI devices from the CD's
#            pci.ids
#   sector   a hand-edited template: an entry added to main.cds boots a CD boot
#            sector that reads the CD through int 13h AH=42h; the password has
#            blanks, '"', '$' and '\' and opens the CD, which keeps it only
#            as a salted hash (main.cds, loader; not a byte of it in clear in
#            the ISO with its hybrid area, nor in the floppy images); from a
#            USB stick the entry is greyed as needing the CD; then a bad line
#            in main.cds stops the build with a message naming it, and no ISO
#   respaced the user's script spells its password lines with blanks around
#            "=": the CD still asks for exactly the password of the build
#            (a wrong one refused, the right one opens the menu); built
#            without a password, a script that says PasswordRequest=1 never
#            asks
#   serial_mouse a serial mouse on COM1, moved while the password is typed on
#            the keyboard: with the shipped script's console on COM1 the CD
#            opens and its first floppy's stand-in IO.SYS reports there; with
#            the console moved to COM2 in main.cds, the loader and the menu
#            talk on COM2
#   freedos  a user without Windows 98 files imports FreeDOS (a folder with
#            the kernel probe as KERNEL.SYS and a FreeCOM stand-in) at
#            bootsmith's prompt, builds the demo CD, and the menu's time-out
#            starts the first floppy through memdisk: its boot sector starts
#            the kernel, which finds FreeDOS's entry conditions
# Environment (set by ctest): KIV_E2E_PREFIX, KIV_SOURCE_DIR, KIV_SCREENSHOT
# (optional: where the demo's menu screenshot goes), KIV_HDT_SCREENSHOT (the same for
# HDT's PCI devices, in the tools case). Exit 77: QEMU missing.
set -euo pipefail
case=${1:?usage: boot_menu.sh demo|tools|sector|respaced|serial_mouse|freedos}
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
command -v qemu-system-i386 >/dev/null || { echo "SKIPPED: qemu-system-i386 is not installed"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_boot_menu.XXXXXX")
trap 'chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"' EXIT
export KIVCD_UI=console MTOOLS_SKIP_CHECK=1

fail() { echo "FAIL: $*" >&2; exit 1; }
fresh() { local d; d=$(bash "$here/new_program_folder.sh"); mv "$(dirname "$d")" "$work/$1"; echo "$work/$1/program"; }
# session <name> <step>... -- <qemu args>: one QEMU run; its serial log is kept.
# Each wait may take up to 60 s: QEMU without acceleration beside a parallel
# test suite on two cores can take several times its usual pace; a boot that
# works is never slowed by the limit, only a broken one waits it out.
session() {
  local name=$1; shift
  echo "--- session: $name"
  python3 "$here/qemu_session.py" --timeout 60 --log "$work/$name.log" "$@" > "$work/$name.out" 2>&1 \
    || { cat "$work/$name.out"; fail "session $name"; }
  echo "ok"
}
# A hand edit of the template's menu script, as a user makes it.
edit_script() {  # edit_script <program folder> <sed expression>
  local cds="$1/files/kivcd/boot/scripts/main.cds"
  sed -i "$2" "$cds"
}
build() {  # build <program folder> <password>
  KIVCD_PASSWORD=$2 SOURCE_DATE_EPOCH=1700000000 bash "$src/scripts/demo-build.sh" "$1" > "$work/build.out" 2>&1 \
    || { cat "$work/build.out"; fail "the CD build failed"; }
  [ -f "$1/kivcd/boot/isolinux/isolinux.cfg" ] || fail "no isolinux.cfg in the CD tree"
}
# The CD keeps the password as a salted SHA-256: main.cds holds
# sha256:<salt>:<hash> (checked here with Python's hashlib), and the password
# is nowhere in clear: not in the ISO (its hybrid MBR and the stick's view
# included), the floppy images or the tree's loader.
check_hashed() {  # check_hashed <program folder> <password>
  python3 - "$1/kivcd/boot/scripts/main.cds" "$2" <<'PY' || fail "main.cds does not hold the password's hash"
import hashlib, re, sys
text = open(sys.argv[1], "rb").read().decode("latin-1")
stored = re.search(r'^Set PasswordString="sha256:([0-9a-f]{32}):([0-9a-f]{64})"\r?$', text, re.M)
assert stored, "no PasswordString of the form sha256:<salt>:<hash>"
digest = hashlib.sha256(bytes.fromhex(stored.group(1)) + sys.argv[2].encode()).hexdigest()
assert digest == stored.group(2), "the hash is not the salt's and the password's"
PY
  local f
  for f in "$1/kivcd-demo.iso" "$1"/kivcd/boot/images/*.img "$1/kivcd/boot/loader.bin"; do
    ! grep -q -a -F -- "$2" "$f" || fail "$f holds the password in clear text"
  done
}
ESC=$'\e'
# From the menu's last entry up past the two free tools: the hard disk.
# From the last entry up: the two Linux rescue entries, HDT, memtest86+, the disk.
up=(wait=0.3 key=up)
to_hard_disk=(key=end "${up[@]}" "${up[@]}" "${up[@]}" "${up[@]}" wait=0.3 key=ret)
GREY="${ESC}[0;1;30;44m"    # how menu.c32 draws a disabled entry on the serial console
PLAIN="${ESC}[0;37;44m"     # an entry that can be chosen, not highlighted
CHOSEN="${ESC}[0;7;37;40m"  # the highlighted entry
PROMPT="Enter the password of this CD:"
dos_stand_in="Hand-over: OK"  # what the stand-in IO.SYS says, started by the floppy's boot sector

case "$case" in
demo)
  pf=$(fresh demo)
  edit_script "$pf" 's/^Set MenuTimeout=30/Set MenuTimeout=3/'
  build "$pf" rescue
  iso="$pf/kivcd-demo.iso"
  dos="$dos_stand_in"
  shot=${KIV_SCREENSHOT:-$work/menu.png}
  session password_and_timeout \
    "expect=$PROMPT" "absent=ISOLINUX" "type=wrong\n" "expect=Wrong password." \
    "expect=$PROMPT" "absent=ISOLINUX" "type=rescue\n" "expect=ISOLINUX" \
    "expect=Kiv Rescue CD" \
    "expect=Kiv Rescue Software" \
    "expect=${GREY} Windows 2000/XP/2003 Setup (missing: \\I386, w2ksect.bin)" \
    "expect=${GREY} Windows 98/Me Setup (Kiv Windows Setup Launcher) (missing: kivwin.img)" \
    "expect=${PLAIN} Kiv Network Access" \
    "expect=${GREY} ERD Commander 2002/2003 (missing: \\ERDC, erdc.bin)" \
    "expect=${GREY} O&O BlueCon XXL (missing: \\OOBC, oobc.bin)" \
    "expect=${PLAIN} Boot from the first hard disk" \
    "expect=${PLAIN} Memory test (memtest86+)" \
    "expect=${PLAIN} Hardware detection (HDT)" \
    "absent=Show the stored Windows product key" \
    "expect=Automatic boot in" "wait=0.5" "screendump=$shot" \
    "expect=Loading /boot/images/kivstart.img" "expect=$dos" \
    -- -cdrom "$iso" -boot d
  # The same ISO written to a USB stick: the loader's password, the menu, and
  # the first floppy through memdisk.
  session usb_stick \
    "expect=$PROMPT" "absent=ISOLINUX" "type=rescue\n" "expect=ISOLINUX" "expect=Kiv Rescue Software" \
    "expect=Automatic boot in" "expect=Loading /boot/images/kivstart.img" "expect=$dos" \
    -- -usb -drive "file=$iso,format=raw,if=none,id=stick,snapshot=on" -device usb-storage,drive=stick,bootindex=0
  # Down from the first entry: the EMM386 disk (there), the product key (not
  # shown), Windows setup (greyed), Windows 98 setup (greyed): the network disk.
  session network_disk \
    "expect=$PROMPT" "type=rescue\n" "expect=Automatic boot in" "wait=0.5" \
    key=down wait=0.3 key=down wait=0.3 key=ret \
    "expect=Loading /boot/images/kivnet.img" "expect=$dos" \
    -- -cdrom "$iso" -boot d
  nasm -f bin -I"$here/" -o "$work/mbr.bin" "$here/hd_mbr.asm"
  cp "$work/mbr.bin" "$work/disk.img"
  truncate -s 4M "$work/disk.img"
  session hard_disk \
    "expect=$PROMPT" "type=rescue\n" "expect=Automatic boot in" "wait=0.5" "${to_hard_disk[@]}" \
    "expect=Test hard disk: MBR started" \
    -- -cdrom "$iso" -boot d -drive "file=$work/disk.img,format=raw,if=ide,index=0"
  # From a stick the BIOS counts the stick as the first hard disk: the entry
  # still starts the machine's own disk.
  session stick_hard_disk \
    "expect=$PROMPT" "type=rescue\n" "expect=Automatic boot in" "wait=0.5" "${to_hard_disk[@]}" \
    "expect=Test hard disk: MBR started" \
    -- -usb -drive "file=$iso,format=raw,if=none,id=stick,snapshot=on" -device usb-storage,drive=stick,bootindex=0 \
    -drive "file=$work/disk.img,format=raw,if=ide,index=0"
  # No hard disk: the entry says so, waits for a key and starts the CD again.
  session no_hard_disk \
    "expect=$PROMPT" "type=rescue\n" "expect=Automatic boot in" "wait=0.5" "${to_hard_disk[@]}" \
    "expect=No bootable hard disk found (drive 80h does not answer)." "expect=Press a key to return to the boot menu." \
    "wait=1" key=ret \
    "expect=Kiv Rescue CD loader" "expect=$PROMPT" "type=rescue\n" "expect=Automatic boot in" \
    -- -cdrom "$iso" -boot d
  # A blank disk (no boot signature), the stick being the BIOS's drive 80h.
  truncate -s 4M "$work/blank.img"
  session stick_blank_disk \
    "expect=$PROMPT" "type=rescue\n" "expect=Automatic boot in" "wait=0.5" "${to_hard_disk[@]}" \
    "expect=No bootable hard disk found (drive 81h has no boot signature)." "key=ret" \
    "expect=Kiv Rescue CD loader" "expect=$PROMPT" \
    -- -usb -drive "file=$iso,format=raw,if=none,id=stick,snapshot=on" -device usb-storage,drive=stick,bootindex=0 \
    -drive "file=$work/blank.img,format=raw,if=ide,index=0"
  ;;
tools)
  pf=$(fresh tools)
  edit_script "$pf" 's/^Set MenuTimeout=30/Set MenuTimeout=0/'
  build "$pf" rescue
  iso="$pf/kivcd-demo.iso"
  shot=${KIV_HDT_SCREENSHOT:-$work/hdt.png}
  # The free tools are the last two entries, after the hard disk. memtest86+
  # paints its screen on the serial console once its tests run (Enter starts
  # them at once).
  session memtest \
    "expect=$PROMPT" "type=rescue\n" "expect=Kiv Rescue Software" "wait=0.5" key=end "${up[@]}" "${up[@]}" "${up[@]}" wait=0.3 key=ret \
    "expect=Loading /boot/tools/memtest86+ia32.bin" "screen=Memtest86+" "wait=1" key=ret \
    "expect=Memtest86+ v" "expect=Status: Testing" \
    -- -cdrom "$iso" -boot d
  # HDT: its main menu on the screen (and the serial console), then its PCI
  # devices named from /boot/tools/pci.ids.
  session hdt \
    "expect=$PROMPT" "type=rescue\n" "expect=Kiv Rescue Software" "wait=0.5" key=end "${up[@]}" "${up[@]}" wait=0.3 key=ret \
    "expect=Hardware Detection Tool" "screen=Hardware Detection Tool" "screen=PCI Devices(" \
    "wait=1" key=ret "screen=Intel Corporation" "offscreen=pci.ids file is missing" "screendump=$shot" \
    -- -cdrom "$iso" -boot d
  ;;
freedos)
  command -v script >/dev/null || { echo "SKIPPED: script is not installed (package util-linux)"; exit 77; }
  command -v nasm >/dev/null || { echo "SKIPPED: nasm is not installed"; exit 77; }
  pf=$(fresh freedos)
  edit_script "$pf" 's/^Set MenuTimeout=30/Set MenuTimeout=3/'
  fd="$work/FreeDOS"
  mkdir -p "$fd"
  nasm -f bin -I"$src/data/boot/" -o "$fd/KERNEL.SYS" "$here/kernel_probe.asm" || fail "cannot assemble the kernel probe"
  printf 'FreeCOM stand-in\r\n' >"$fd/COMMAND.COM"
  # The program folder without DOS files: the first disk bootsmith builds
  # asks where they are, and the user names the FreeDOS folder.
  rm -rf "$pf/dos"
  printf 'OK\n%s\n' "$fd" | script -qec "cd '$pf' && ./bootsmith -t 144 kivsoftware '$work/first.img' 2>&1" /dev/null \
    >"$work/import.out" || { cat "$work/import.out"; fail "the FreeDOS import at bootsmith's prompt failed"; }
  grep -q "^FreeDOS" "$pf/dos/FREEDOS.TXT" || { cat "$work/import.out"; fail "dos/ does not hold FreeDOS"; }
  cmp -s "$pf/dos/IO.SYS" "$fd/KERNEL.SYS" || fail "dos/IO.SYS is not the FreeDOS kernel"
  build "$pf" rescue
  iso="$pf/kivcd-demo.iso"
  shot=${KIV_FREEDOS_SCREENSHOT:-$work/freedos.png}
  session freedos_floppy \
    "expect=$PROMPT" "type=rescue\n" "expect=Kiv Rescue Software" "expect=Automatic boot in" \
    "expect=Loading /boot/images/kivstart.img" "expect=Kiv kernel probe: OK" "absent=FAULT" "absent=$dos_stand_in" \
    "wait=0.5" "screendump=$shot" \
    -- -cdrom "$iso" -boot d
  [ -s "$shot" ] || fail "no screendump of the kernel probe"
  ;;
sector)
  pf=$(fresh sector)
  nasm -f bin -I"$here/" -I"$src/data/boot/" -o "$pf/files/kivcd/boot/images/probe.bin" "$here/cd_probe.asm"
  # The probe's entry last, where the stick's menu shows it without
  # scrolling: the Linux rescue and Windows 10/11 entries are left out of this menu.
  edit_script "$pf" 's/^Set Action11_Macro="RunHdt"/&\r\nSet Action20_Text="CD probe"\r\nSet Action20_Macro="Probe"\r\nSet DefaultAction=20/; s/^Set DefaultAction=1\r$//; s/^Set Action1[234]_Macro=.*\r$//'
  printf ':Probe\r\n  RequireFile "\\boot\\images\\probe.bin"\r\n  BootSector "\\boot\\images\\probe.bin"\r\n  End\r\n' \
    >> "$pf/files/kivcd/boot/scripts/main.cds"
  edit_script "$pf" 's/^Set MenuTimeout=30/Set MenuTimeout=1/'
  password='my "pass" $HOME \x'
  build "$pf" "$password"
  check_hashed "$pf" "$password"
  session sector_and_password \
    "expect=$PROMPT" 'type=my "pass" $HOME \\x\n' "expect=ISOLINUX" "absent=Wrong password" \
    "expect=${CHOSEN} CD probe" "expect=Automatic boot in" "expect=CD volume: KIV_RESCUE" \
    -- -cdrom "$pf/kivcd-demo.iso" -boot d
  # From a USB stick the CD boot sector cannot start: its entry is greyed
  # with a note, and the time-out starts the first entry that can.
  session stick_sector \
    "expect=$PROMPT" 'type=my "pass" $HOME \\x\n' "expect=ISOLINUX" \
    "expect=${GREY} CD probe (needs the CD)" "expect=Automatic boot in" \
    "expect=Loading /boot/images/kivstart.img" "absent=CD volume" \
    -- -usb -drive "file=$pf/kivcd-demo.iso,format=raw,if=none,id=stick,snapshot=on" \
    -device usb-storage,drive=stick,bootindex=0
  # A line the translator does not understand: the build stops, names the
  # file and the line, and makes no ISO.
  edit_script "$pf" 's/^Set MenuTimeout=1/Set MenuTimeout=soon/'
  if KIVCD_PASSWORD=x bash "$src/scripts/demo-build.sh" "$pf" > "$work/bad.out" 2>&1; then
    fail "a build with a bad menu script succeeded"
  fi
  grep -qF "Fatal Error: A fatal Error occured while writing the boot menu, operation halted" "$work/bad.out" \
    && grep -qF "$pf/files/kivcd/boot/scripts/main.cds, line 11: MenuTimeout=soon is not a number from 0 to 3599" "$work/bad.out" \
    || { cat "$work/bad.out"; fail "no Fatal Error naming main.cds and its line"; }
  [ ! -e "$pf/kivcd-demo.iso" ] || fail "an ISO was made from a bad menu script"
  ;;
respaced)
  pf=$(fresh respaced)
  edit_script "$pf" 's/^Set PasswordRequest=0/Set PasswordRequest = 0/; s/^Set PasswordString=""/Set PasswordString = ""/'
  edit_script "$pf" 's/^Set MenuTimeout=30/Set MenuTimeout=0/'
  build "$pf" "s3cret"
  session respaced_password \
    "expect=$PROMPT" "absent=ISOLINUX" "type=wrong\n" "expect=Wrong password." \
    "expect=$PROMPT" "absent=ISOLINUX" "type=s3cret\n" "expect=ISOLINUX" "expect=Kiv Rescue Software" \
    -- -cdrom "$pf/kivcd-demo.iso" -boot d
  # The script asks for a password of its own; a build without one never asks.
  edit_script "$pf" 's/^Set PasswordRequest = 0/Set PasswordRequest=1/; s/^Set PasswordString = ""/Set PasswordString="fromscript"/'
  (cd "$pf" && KIVCD_PASSWORD="" SOURCE_DATE_EPOCH=1700000000 ./discsmith --build > "$work/nopw.out" 2>&1) \
    || { cat "$work/nopw.out"; fail "the build without a password failed"; }
  session no_password \
    "expect=ISOLINUX" "expect=Kiv Rescue Software" "absent=$PROMPT" \
    -- -cdrom "$pf/kivcd-demo.iso" -boot d
  ;;
serial_mouse)
  pf=$(fresh mouse)
  edit_script "$pf" 's/^Set MenuTimeout=30/Set MenuTimeout=2/'
  build "$pf" rescue
  # The keys, with the mouse moved before, between and after them; the
  # screen shows one "*" a key and no verdict before Enter.
  typing=("mouse=15,3" "type=res" "mouse=-40,22" "mouse=9,-31" "type=cue" "mouse=70,70"
          "screen=$PROMPT ****** " "offscreen=Wrong password" "type=\n")
  session mouse_on_console --mouse "expect=$PROMPT" "${typing[@]}" "expect=ISOLINUX" \
    "expect=Kiv Rescue Software" "expect=Loading /boot/images/kivstart.img" "expect=Hand-over: OK" \
    -- -cdrom "$pf/kivcd-demo.iso" -boot d
  edit_script "$pf" 's/^Set SerialConsole=COM1/Set SerialConsole=COM2/'
  build "$pf" rescue
  grep -q '^SERIAL 1 115200' "$pf/kivcd/boot/isolinux/isolinux.cfg" || fail "isolinux.cfg does not use COM2"
  session console_on_com2 --mouse --console 2 "expect=Kiv Rescue CD loader" "expect=$PROMPT" "${typing[@]}" \
    "expect=ISOLINUX" "expect=Kiv Rescue Software" "expect=Loading /boot/images/kivstart.img" \
    -- -cdrom "$pf/kivcd-demo.iso" -boot d
  ;;
*) fail "unknown case $case" ;;
esac
echo "ok: $case"
