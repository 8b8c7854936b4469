#!/usr/bin/env bash
# Prints the path of a fresh copy of the installed program folder
# ($KIV_E2E_PREFIX) in a new temporary folder. The caller removes it
# (its parent is the folder printed, minus "/program").
set -euo pipefail
src=${KIV_E2E_PREFIX:?KIV_E2E_PREFIX is not set (run through ctest)}
[ -x "$src/discsmith" ] || [ -x "$src/bootsmith" ] || { echo "no installed program folder at $src" >&2; exit 1; }
parent=$(mktemp -d "${TMPDIR:-/tmp}/kiv-e2e.XXXXXX")
# The rescue system (a few hundred MB, never written in place) is linked,
# not copied.
mkdir "$parent/program"
tar -C "$src" --exclude=./rescue -cf - . | tar -C "$parent/program" -xf -
if [ -d "$src/rescue" ]; then cp -al "$src/rescue" "$parent/program/rescue"; fi
echo "$parent/program"
