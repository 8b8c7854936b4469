#!/usr/bin/env bash
# Builds the demo rescue CD in an installed program folder: writes demo
# settings (boot disks, the shipped demo utilities and additional files, a
# boot-menu password, the ISO in the program folder) and runs
# `discsmith --build`. Usage: demo-build.sh <program folder>
set -euo pipefail
prefix=$(cd "${1:?usage: demo-build.sh <program folder>}" && pwd)
iso="$prefix/kivcd-demo.iso"

# The settings file as the CD builder itself writes it: CR LF line ends,
# padded keys, quoted texts, no blank line at the end.
{
  printf '[Main]\r\n'
  printf 'BootDisks      = 1\r\nWindows2K      = 0\r\nWindows9x      = 0\r\nAdvancedTools  = 0\r\n'
  printf 'ISOLocation    = %s\r\n' "$iso"
  printf 'CleanSession   = 0\r\nOptimizeISO    = 1\r\n'
  printf '\r\n[BootDisks]\r\nUse_LorvaPlus  = 1\r\nAcceptDrivers  = 1\r\n'
  printf '\r\n[Win2K_Info]\r\nSourceDir      = ""\r\nSP_exe         = ""\r\nIn_SetupWin    = 1\r\nIn_Unattend    = 0\r\nDelLangFiles   = 0\r\n'
  printf 'TemplateFile   = ""\r\nOwnerName      = ""\r\nOrganization   = ""\r\nProductKey     = "----"\r\nComputerName   = ""\r\nWorkgroup      = ""\r\nJoinDomain     = "False"\r\n'
  printf '\r\n[Win9x_Info]\r\nSourceDir      = ""\r\nIn_MSBATCH     = 0\r\nIn_SetupWin    = 1\r\n'
  printf 'OptimizedFor   = ""\r\nOwnerName      = ""\r\nOrganization   = ""\r\nProductKey     = "----"\r\nComputerName   = ""\r\nWorkgroup      = ""\r\n'
  printf '\r\n[Locations]\r\nkivUtils       = "1"\r\n'
  printf 'kivUtils_Dir   = "%s"\r\n' "$prefix/demo/utils"
  printf 'AddFiles       = "1"\r\n'
  printf 'AddFiles_Dir   = "%s"\r\n' "$prefix/demo/addfiles"
  printf '\r\n[AdvTools]\r\nAdd_BlueCon   = 0\r\nAdd_ERDCmdr   = 0\r\nBlueCon_Dir   = ""\r\nERDCmdr_Dir   = ""'
} > "$prefix/kivcd.ini.tmp"
mv "$prefix/kivcd.ini.tmp" "$prefix/kivcd.ini"

# The boot-menu password is never stored in the settings file; the headless
# build takes it from the environment.
export KIVCD_PASSWORD="${KIVCD_PASSWORD:-rescue}"
export KIVCD_UI=console

rm -f "$iso"
start=$(date +%s)
status=0
"$prefix/discsmith" --build || status=$?
end=$(date +%s)

if [ $status -ne 0 ] || [ ! -f "$iso" ]; then
  echo "discsmith --build failed (exit $status); see $prefix/mkisofs.log" >&2
  exit 1
fi
echo
echo "Demo rescue CD: $iso ($(stat -c %s "$iso") bytes, built in $((end - start)) s)"
echo "Boot images:"
ls -l "$prefix/kivcd/boot/images" 2>/dev/null | sed 's/^/  /' || true
if command -v isoinfo >/dev/null; then
  echo "On the CD:"
  isoinfo -R -f -i "$iso" | sort | sed 's/^/  /'
fi
echo "Try it: qemu-system-i386 -cdrom '$iso'"
