#!/usr/bin/env bash
# The main job on the shipped data: set up the machine, build, install the
# program folder, write demo settings and build the demo rescue CD with
# `discsmith --build`. Ends by printing where the ISO is and what is on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default
cmake --build --preset default
prefix=${KIV_PREFIX:-$PWD/out/kivcd}
cmake --install build --prefix "$prefix"
echo "Program folder: $prefix"

if [ -x scripts/demo-build.sh ]; then
  exec bash scripts/demo-build.sh "$prefix"
fi
ls -l "$prefix"
