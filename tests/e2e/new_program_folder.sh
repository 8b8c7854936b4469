#!/usr/bin/env bash
# Prints the path of a fresh copy of the installed program folder
# ($KIV_E2E_PREFIX) in a new temporary folder. The caller removes it
# (its parent is the folder printed, minus "/program").
set -euo pipefail
src=${KIV_E2E_PREFIX:?KIV_E2E_PREFIX is not set (run through ctest)}
[ -x "$src/discsmith" ] || [ -x "$src/bootsmith" ] || { echo "no installed program folder at $src" >&2; exit 1; }
parent=$(mktemp -d "${TMPDIR:-/tmp}/kiv-e2e.XXXXXX")
cp -a "$src" "$parent/program"
echo "$parent/program"
