#!/usr/bin/env bash
# The e2e fixture's rescue system: built once a run into the installed program
# folder ($KIV_E2E_PREFIX) with `discsmith --rescue-system`, keeping the
# packages it fetched in $1 for the offline check (rescue_offline.sh). A kept
# system made from the same recipe as the kept packages is reused, so a rerun
# in the same build folder builds nothing.
set -euo pipefail
packages=${1:?usage: rescue_system.sh <folder for the packages>}
prefix=${KIV_E2E_PREFIX:?KIV_E2E_PREFIX is not set (run through ctest)}
cd "$prefix"
export SOURCE_DATE_EPOCH=1700000000
if [ -d "$packages" ] && cmp -s rescue/recipe.txt "$packages.recipe" 2>/dev/null; then
  exec ./discsmith --rescue-system
fi
rm -f "$packages.recipe"
./discsmith --rescue-system --save-packages "$packages"
cp rescue/recipe.txt "$packages.recipe"
