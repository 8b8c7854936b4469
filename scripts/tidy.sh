#!/usr/bin/env bash
# Runs clang-tidy with the checks in .clang-tidy over every C++ source of ours
# that a build compiled. Needs a configured and built tree (the generated Qt
# headers must exist): scripts/tidy.sh [build-dir], default build/.
# Any finding fails the run; the findings are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: $build/compile_commands.json is missing; configure and build first" >&2
  exit 2
fi
root=$(pwd)
jobs=$(nproc)
# Only our own folders; the Qt moc output and third-party sources are not ours.
run-clang-tidy -p "$build" -j "$jobs" -quiet \
  "^${root}/(common|cdtool|disktool|preparer|tools|testsupport|tests|bench)/"
