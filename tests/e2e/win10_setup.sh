#!/usr/bin/env bash
# Windows 10/11 setup media on the CD, end to end, with a stand-in medium the
# test makes (wimlib images with Windows' version fields, boot.wim with two
# images, boot programs of our own assembled with nasm: an etfsboot.com that
# writes a line to COM1 and halts, an unsigned PE32+ bootx64.efi that writes
# a line through the firmware's console), packed as a UDF ISO image as
# Microsoft's are. One CD serves every case:
#   build       `discsmith --set` and `--build` in a fresh copy of the
#               installed program folder make the CD from the ISO image, with
#               answers and a small part size (KIVCD_WIM_PART_MB=1); checked:
#               \win10 holds the medium with install.swm parts and no
#               install.wim, the root holds Windows' fixed-path files as
#               second names of the same data, the answer file taken back out
#               of image 2 of the CD's boot.wim is well-formed (xmllint) and
#               holds the answers, image 1 has none, the parts applied with
#               --ref give the edition's files back, the product key is not in
#               the build log and no answer file is left beside the programs
#   bios        QEMU (SeaBIOS): the menu's Windows 10/11 Setup entry starts the
#               stand-in etfsboot.com, loaded whole (its line on COM1)
#   uefi        QEMU with OVMF, Secure Boot off: the UEFI menu's entry
#               chainloads the stand-in bootx64.efi (its line on COM1)
#   secureboot  OVMF with Secure Boot and Microsoft's keys: the unsigned
#               stand-in is refused, the entry says why, and Esc brings the
#               menu back
# Environment (set by ctest): KIV_E2E_PREFIX, KIV_SOURCE_DIR, KIV_E2E_WIN10
# (where the build case leaves the CD for the boot cases). Exit 77: a tool
# or firmware missing, or no CD from the build case.
set -euo pipefail
case=${1:?usage: win10_setup.sh build|bios|uefi|secureboot}
src=${KIV_SOURCE_DIR:?}
here="$src/tests/e2e"
out=${KIV_E2E_WIN10:?}
iso="$out/kivcd-win10.iso"
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
export KIVCD_UI=console MTOOLS_SKIP_CHECK=1

key="VK7JG-NPHTM-C97JM-9MPGT-3V66T"

# The stand-in medium in folder $1: boot.wim (PE, Setup), install.wim with
# two editions of Windows 11 build 22631 (3 MB of data that does not compress,
# in files of 256 KiB, so a 1 MB part size splits it), the boot programs.
make_medium() {
  local m=$1 trees=$1.trees
  mkdir -p "$m/sources" "$m/boot" "$m/efi/boot" "$m/efi/microsoft/boot" "$trees/pe/Windows" "$trees/setup/sources" \
    "$trees/os/Windows/System32"
  printf '[LaunchApps]\r\n' > "$trees/pe/Windows/winpeshl.ini"
  printf 'stand-in Setup' > "$trees/setup/sources/setup.exe"
  for n in $(seq 0 11); do head -c 262144 /dev/urandom > "$trees/os/Windows/System32/payload$n.bin"; done
  local props=(--image-property WINDOWS/VERSION/MAJOR=10 --image-property WINDOWS/VERSION/MINOR=0
               --image-property WINDOWS/VERSION/BUILD=22631 --image-property WINDOWS/ARCH=9)
  wimlib-imagex capture "$trees/pe" "$m/sources/boot.wim" "Microsoft Windows PE (amd64)" "${props[@]}" >/dev/null
  wimlib-imagex append "$trees/setup" "$m/sources/boot.wim" "Microsoft Windows Setup (amd64)" --boot "${props[@]}" >/dev/null
  wimlib-imagex capture "$trees/os" "$m/sources/install.wim" "Windows 11 Pro" "${props[@]}" >/dev/null
  wimlib-imagex append "$trees/os" "$m/sources/install.wim" "Windows 11 Home" "${props[@]}" >/dev/null
  nasm -f bin -I"$here/" -o "$m/boot/etfsboot.com" "$here/win10_etfsboot.asm"
  nasm -f bin -o "$m/efi/boot/bootx64.efi" "$here/win10_bootx64.asm"
  printf 'stand-in bootmgr' > "$m/bootmgr"
  printf 'stand-in BCD' > "$m/boot/bcd"
  printf 'stand-in BCD' > "$m/efi/microsoft/boot/bcd"
  printf 'stand-in boot.sdi' > "$m/boot/boot.sdi"
  printf 'stand-in setup.exe' > "$m/setup.exe"
  rm -rf "$trees"
}

build() {
  for tool in wimlib-imagex nasm genisoimage 7z xorriso xmllint isoinfo; do
    command -v $tool >/dev/null || skip "$tool is not installed"
  done
  rm -rf "$out"
  mkdir -p "$out"
  make_medium "$out/medium"
  genisoimage -quiet -udf -V CCCOMA_X64FRE_EN-US_DV9 -o "$out/Win11_stand-in.iso" "$out/medium"
  local pf
  pf=$(bash "$here/new_program_folder.sh")
  mv "$(dirname "$pf")" "$out/cd"
  pf="$out/cd/program"
  "$pf/discsmith" --set Main.Windows2K=0 Main.Windows9x=0 Main.AdvancedTools=0 Main.LinuxRescue=0 \
    Main.Windows10=1 "Main.ISOLocation=$iso" Locations.kivUtils=0 Locations.AddFiles=0 \
    "Win10_Info.SourceDir=$out/Win11_stand-in.iso" "Win10_Info.Edition=Windows 11 Home" \
    "Win10_Info.ProductKey=$key" Win10_Info.LocalAccount=anna "Win10_Info.OwnerName=Tom & Jerry <Home>" \
    "Win10_Info.TimeZone=W. Europe Standard Time" Win10_Info.Locale=de-DE > "$out/set.out" 2>&1 \
    || { cat "$out/set.out"; fail "discsmith --set refused the Windows 10/11 settings"; }
  KIVCD_WIM_PART_MB=1 SOURCE_DATE_EPOCH=1700000000 "$pf/discsmith" --build > "$out/build.out" 2>&1 \
    || { cat "$out/build.out"; fail "the CD build failed"; }
  grep -q "Inserting Windows 10/11 Setup Files" "$out/build.out" || { cat "$out/build.out"; fail "no Windows 10/11 step"; }

  # The layout: the medium in \win10, split; Windows' fixed paths at the root.
  isoinfo -R -f -i "$iso" > "$out/files.txt"
  for f in /win10/setup.exe /win10/sources/boot.wim /win10/sources/install.swm /win10/sources/install2.swm \
           /win10/boot/etfsboot.com /win10/efi/boot/bootx64.efi /BOOTMGR /boot/bcd /boot/boot.sdi \
           /efi/microsoft/boot/bcd /sources/boot.wim /sources/install.swm; do
    grep -qx "$f" "$out/files.txt" || fail "the CD lacks $f"
  done
  for f in /win10/sources/install.wim /sources/install.wim /setup.exe /efi/boot/bootx64.efi; do
    ! grep -qx "$f" "$out/files.txt" || fail "the CD has $f"
  done
  # Second names, not second copies: both names lead to the same data.
  lba() { xorriso -indev "$iso" -find "$1" -exec report_lba -- 2>/dev/null | awk '/File data lba/ {print $6}'; }
  [ -n "$(lba /win10/sources/boot.wim)" ] && [ "$(lba /win10/sources/boot.wim)" = "$(lba /sources/boot.wim)" ] \
    || fail "/sources/boot.wim is not the data of /win10/sources/boot.wim"

  # The answers, taken back out of the CD's boot.wim.
  local x="$out/extracted"
  rm -rf "$x"
  xorriso -osirrox on -indev "$iso" -extract /win10/sources "$x/sources" > /dev/null 2>&1
  wimlib-imagex extract "$x/sources/boot.wim" 2 /Autounattend.xml --dest-dir="$x/image2" > /dev/null
  xmllint --noout "$x/image2/Autounattend.xml" || fail "the answer file is not well-formed XML"
  for line in "<Name>anna</Name>" "<Key>$key</Key>" "<Value>Windows 11 Home</Value>" "BypassTPMCheck" \
              "<RegisteredOwner>Tom &amp; Jerry &lt;Home&gt;</RegisteredOwner>" "<TimeZone>W. Europe Standard Time</TimeZone>" \
              "processorArchitecture=\"amd64\""; do
    grep -qF "$line" "$x/image2/Autounattend.xml" || { cat "$x/image2/Autounattend.xml"; fail "the answer file lacks $line"; }
  done
  ! wimlib-imagex extract "$x/sources/boot.wim" 1 /Autounattend.xml --dest-dir="$x/image1" > /dev/null 2>&1 \
    || fail "image 1 of boot.wim holds an answer file"
  # The parts give the edition's files back.
  wimlib-imagex apply "$x/sources/install.swm" 2 "$x/applied" --ref="$x/sources/install*.swm" > /dev/null
  wimlib-imagex apply "$out/medium/sources/install.wim" 2 "$x/original" > /dev/null
  diff -r "$x/original" "$x/applied" > /dev/null || fail "the .swm parts do not give the edition's files back"
  # The key is the CD's only: not in the build's log, no answer file left.
  ! grep -qF "$key" "$pf/kivcd-build.log" || fail "the build log holds the product key"
  grep -qF "product key *****-*****-*****-*****-3V66T" "$pf/kivcd-build.log" || fail "the log does not name the key masked"
  [ ! -e "$pf/kivcd-autounattend.xml" ] || fail "the answer file was left beside the programs"
  # Both menus start the medium's own boot programs.
  grep -q "BOOT /win10/boot/etfsboot.com" "$pf/kivcd/boot/isolinux/isolinux.cfg" || fail "no BIOS entry"
  grep -q "chainloader (\$kivcd)/win10/efi/boot/bootx64.efi" "$pf/kivcd/boot/grub/grub.cfg" || fail "no UEFI entry"
  echo "ok: the CD $iso"
}

# session <name> <qemu> <step>... -- <qemu args>
session() {
  local name=$1 qemu=$2; shift 2
  echo "--- session: $name"
  python3 "$here/qemu_session.py" --qemu "$qemu" --timeout 120 --log "$out/$name.log" "$@" > "$out/$name.out" 2>&1 \
    || { cat "$out/$name.out"; fail "session $name"; }
  echo "ok"
}

uefi() {  # uefi <name> <code> <vars> <step>...
  local name=$1 code=$2 vars=$3; shift 3
  cp "$vars" "$out/$name.vars"
  session "$name" qemu-system-x86_64 "$@" -- -machine q35${SECURE:+,smm=on} -m 512 \
    ${SECURE:+-global driver=cfi.pflash01,property=secure,value=on} \
    -drive "if=pflash,format=raw,readonly=on,file=$code" -drive "if=pflash,format=raw,file=$out/$name.vars" \
    -cdrom "$iso"
}

ovmf=/usr/share/OVMF
# The UEFI menu: the note, then Windows 10/11 Setup (the CD has no Linux
# rescue system), chosen from the top.
to_windows=("expect=Boot from the first hard disk" "expect=automatically in" wait=0.5 key=home wait=0.3 key=down
            wait=0.3 key=ret "expect=Starting Windows 10/11 Setup (/win10/efi/boot/bootx64.efi)")
case "$case" in
build) build ;;
bios)
  [ -f "$iso" ] || skip "no CD from the build case"
  command -v qemu-system-i386 >/dev/null || skip "qemu-system-i386 is not installed"
  # Its entry is the menu's last one that can start.
  session bios qemu-system-i386 "expect=Automatic boot in" wait=0.5 key=end wait=0.3 key=ret \
    "expect=Stand-in etfsboot.com: loaded whole and started by the CD's menu" -- -cdrom "$iso" -boot d
  ;;
uefi)
  [ -f "$iso" ] || skip "no CD from the build case"
  command -v qemu-system-x86_64 >/dev/null && [ -f $ovmf/OVMF_CODE_4M.fd ] || skip "no QEMU with OVMF"
  uefi uefi $ovmf/OVMF_CODE_4M.fd $ovmf/OVMF_VARS_4M.fd "${to_windows[@]}" \
    "expect=Stand-in bootx64.efi: started by the CD's UEFI menu"
  ;;
secureboot)
  [ -f "$iso" ] || skip "no CD from the build case"
  command -v qemu-system-x86_64 >/dev/null && [ -f $ovmf/OVMF_CODE_4M.secboot.fd ] && [ -f $ovmf/OVMF_VARS_4M.ms.fd ] \
    || skip "no QEMU with OVMF's Secure Boot firmware"
  SECURE=1 uefi secureboot $ovmf/OVMF_CODE_4M.secboot.fd $ovmf/OVMF_VARS_4M.ms.fd "${to_windows[@]}" \
    "expect=Windows 10/11 Setup did not start. With Secure Boot on" "absent=Stand-in bootx64.efi" \
    wait=0.5 key=esc "expect=Boot from the first hard disk" "expect=Power off"
  ;;
*) fail "unknown case $case" ;;
esac
echo "ok: $case"
