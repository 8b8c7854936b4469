#!/usr/bin/env bash
# Checks that every C++ source of the project is formatted as .clang-format
# says (clang-format --dry-run --Werror); a file that is not is named with
# the lines clang-format would change. Mend with: clang-format -i <file>.
set -euo pipefail
root="${1:-$(dirname "$0")/../..}"
cd "$root"
if ! command -v clang-format >/dev/null 2>&1; then
  echo "SKIP: clang-format is not installed (scripts/setup.sh installs it)"
  exit 77
fi
[ -f .clang-format ] || { echo "no .clang-format in $root" >&2; exit 1; }
mapfile -t files < <(find common cdtool disktool preparer tools testsupport tests bench cmake -type f \
  \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
[ ${#files[@]} -gt 0 ] || { echo "no C++ sources found under $root" >&2; exit 1; }
echo "clang-format over ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"
