#!/usr/bin/env bash
# Puts a stand-in bootsmith into the program folder given: it leaves a small
# image per disk, each distinct (4096 x's and the disk's name), so that CD
# builds run quickly with everything else real. Usage: stub_bootsmith.sh <folder>
set -euo pipefail
pf=${1:?usage: stub_bootsmith.sh <program folder>}
cat > "$pf/bootsmith" <<'SH'
#!/bin/sh
cd "$(dirname "$0")"
for a in "$@"; do disk=$a; done
case $disk in
  kivsoftware) img=kivstart.img ;; kivsoftware_emm) img=kivemm.img ;; winsetup) img=kivwin.img ;;
  lorvaplus288) img=kivlorva.img ;; netaccess) img=kivnet.img ;; *) exit 2 ;;
esac
head -c 4096 /dev/zero | tr '\0' 'x' > "$img"; echo "$disk" >> "$img"
SH
chmod +x "$pf/bootsmith"
