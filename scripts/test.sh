#!/usr/bin/env bash
# Sets up the machine, builds everything with tests, and runs the whole suite.
# Under CI (CI=true) warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
preset=default
if [ "${CI:-}" = "true" ]; then preset=ci; fi
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
