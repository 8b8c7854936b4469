#!/usr/bin/env bash
# Self-check of qemu_session.py, which every boot test leans on: a floppy
# whose boot sector echoes the keys it gets to COM1 must echo, byte for byte,
# what the harness typed (shifted punctuation, blank, backslash, quote,
# dollar: what passwords hold), the text screen must read as the BIOS wrote
# it, and a text that never comes must fail.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v qemu-system-i386 >/dev/null || { echo "SKIPPED: qemu-system-i386 is not installed"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kiv_qemu_check.XXXXXX")
trap 'rm -rf "$work"' EXIT
nasm -f bin -o "$work/echo.img" "$here/fixtures/echo_keys.asm"
truncate -s 1474560 "$work/echo.img"
drive=(-drive "file=$work/echo.img,if=floppy,format=raw" -boot a)
session() { python3 "$here/qemu_session.py" "$@"; }

session --timeout 20 'expect=ready>' 'type=aZ9 $"\\!~|<#%\n' 'expect=aZ9 $"\!~|<#%<end' \
  'absent=never typed' "screendump=$work/screen.png" 'screen=Booting from Floppy' 'offscreen=never typed' \
  -- "${drive[@]}"
[ -s "$work/screen.png" ] || { echo "FAIL: no screen dump" >&2; exit 1; }

if session --timeout 2 'expect=ready>' 'expect=never printed' -- "${drive[@]}" >"$work/out" 2>&1; then
  echo "FAIL: an expect of text that never came passed" >&2; exit 1
fi
grep -q "FAIL: step 'expect=never printed'" "$work/out" || { cat "$work/out"; exit 1; }
echo "harness types, reads and fails as it should"
