#!/usr/bin/env bash
# The rescue CDs the boot checks (rescue_boot.sh) start, built once a run by
# the e2e.rescue_cds fixture instead of once a boot: the demo CD, built by
# `discsmith --build` as demo-build.sh does with the password "open-sesame",
# its menu counting down 5 s into
#   cd.iso   the rescue system (entry 12), run from its medium;
#   ram.iso  the rescue system copied into memory (entry 13).
# QEMU opens them read-only, so the boots share them. They appear in <folder>
# together or not at all.
# Usage: rescue_cds.sh <folder>. Environment (set by ctest): KIV_E2E_PREFIX,
# KIV_SOURCE_DIR.
set -euo pipefail
out=${1:?usage: rescue_cds.sh <folder for the ISOs>}
src=${KIV_SOURCE_DIR:?KIV_SOURCE_DIR is not set (run through ctest)}
here="$src/tests/e2e"
fail() { echo "FAIL: $*" >&2; exit 1; }
export KIVCD_UI=console

rm -rf "$out" "$out.part"
mkdir -p "$out.part"
folders=()
trap 'for f in "${folders[@]}"; do rm -rf "$f"; done; rm -rf "$out.part"' EXIT
for cd in cd:12 ram:13; do
  name=${cd%%:*} entry=${cd#*:}
  pf=$(bash "$here/new_program_folder.sh")
  folders+=("$(dirname "$pf")")
  # (The script keeps its DOS line ends.)
  sed -i -e 's/^Set MenuTimeout=30/Set MenuTimeout=5/' -e "s/^Set DefaultAction=1\r\\?\$/Set DefaultAction=$entry\r/" \
    "$pf/files/kivcd/boot/scripts/main.cds"
  grep -q "^Set DefaultAction=$entry" "$pf/files/kivcd/boot/scripts/main.cds" || fail "the menu's default was not set"
  KIVCD_PASSWORD=open-sesame SOURCE_DATE_EPOCH=1700000000 bash "$src/scripts/demo-build.sh" "$pf" \
    > "$out.part/$name.build.out" 2>&1 || { cat "$out.part/$name.build.out"; fail "the CD build for $name.iso failed"; }
  iso="$pf/kivcd-demo.iso"
  for f in vmlinuz initrd.img filesystem.squashfs; do
    isoinfo -R -f -i "$iso" | grep -qx "/live/$f" || fail "$name.iso has no /live/$f"
  done
  mv "$iso" "$out.part/$name.iso"
  rm -rf "$(dirname "$pf")"
done
mv "$out.part" "$out"
ls -l "$out"
