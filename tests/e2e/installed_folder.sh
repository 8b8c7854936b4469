#!/usr/bin/env bash
# The installed program folder as a user gets it: every program in it
# without debug information, and the whole folder (the Linux rescue system
# aside) under 30 MB.
# Environment (set by ctest): KIV_E2E_PREFIX.
set -euo pipefail
pf=${KIV_E2E_PREFIX:?}
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v readelf > /dev/null || { echo "readelf not installed (package binutils): skipped"; exit 77; }
programs=0
while IFS= read -r -d '' f; do
  [ "$(head -c 4 "$f" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  programs=$((programs + 1))
  if readelf -S --wide "$f" | grep -q ' \.debug_'; then
    fail "${f#"$pf"/} carries debug information ($(stat -c %s "$f") bytes)"
  fi
done < <(find "$pf" -path "$pf/rescue" -prune -o -type f -print0)
[ "$programs" -ge 8 ] || fail "only $programs programs found in $pf"
kb=$(cd "$pf" && du -sk --exclude=./rescue . | cut -f1)
[ "$kb" -lt $((30 * 1024)) ] || fail "the program folder takes ${kb} KB without the rescue system"
echo "ok: $programs programs without debug information, the folder ${kb} KB"
