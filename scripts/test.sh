#!/usr/bin/env bash
# Sets up the machine, builds everything with tests, and runs the whole suite.
# Under CI (CI=true) warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each part says how long it took, so a slow run shows where its time went.
timed() {
  local name=$1 begin=$SECONDS; shift
  "$@"
  echo "test.sh: $name took $(((SECONDS - begin) / 60)) min $(((SECONDS - begin) % 60)) s"
}
timed "set-up" bash scripts/setup.sh
preset=default
if [ "${CI:-}" = "true" ]; then preset=ci; fi
timed "configure" cmake --preset "$preset"
timed "build" cmake --build --preset "$preset"
timed "tests" ctest --preset "$preset"
