#!/usr/bin/env bash
# Runs shellcheck over the shell scripts of the project: scripts/, .ci/, bench/ and
# the end-to-end tests. A finding fails the check and is printed.
set -euo pipefail
root="${1:-$(dirname "$0")/../..}"
cd "$root"
if ! command -v shellcheck >/dev/null 2>&1; then
  echo "SKIP: shellcheck is not installed (scripts/setup.sh installs it)"
  exit 77
fi
mapfile -t files < <(find scripts .ci tests bench -type f \( -name '*.sh' -o -path '.ci/run' \) | sort)
[ ${#files[@]} -gt 0 ] || { echo "no shell scripts found under $root" >&2; exit 1; }
echo "shellcheck over ${#files[@]} scripts"
shellcheck --external-sources "${files[@]}"
