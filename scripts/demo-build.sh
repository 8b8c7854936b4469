#!/usr/bin/env bash
# Builds the demo rescue CD in an installed program folder: writes the demo
# settings (demo-settings.sh: boot disks, the shipped demo utilities and
# additional files, the ISO in the program folder), sets a boot-menu password
# and runs `discsmith --build` with SOURCE_DATE_EPOCH set. Usage:
# demo-build.sh <program folder>
set -euo pipefail
prefix=$(cd "${1:?usage: demo-build.sh <program folder>}" && pwd)
iso="$prefix/kivcd-demo.iso"

bash "$(dirname "$0")/demo-settings.sh" "$prefix"

# The boot-menu password is never stored in the settings file; the headless
# build takes it from the environment.
export KIVCD_PASSWORD="${KIVCD_PASSWORD:-rescue}"
export KIVCD_UI=console
# A reproducible CD: every date on it (and the password's salt) comes from
# SOURCE_DATE_EPOCH, by default the time of the sources' last commit.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || echo 1700000000)
fi
export SOURCE_DATE_EPOCH

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
find "$prefix/kivcd/boot/images" -maxdepth 1 -type f -printf "%10s  %f\n" 2>/dev/null | sort -k2 | sed 's/^/  /' || true
if command -v isoinfo >/dev/null; then
  echo "On the CD:"
  isoinfo -R -f -i "$iso" | sort | sed 's/^/  /'
fi
echo "Try it: qemu-system-i386 -cdrom '$iso'"
