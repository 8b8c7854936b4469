#!/usr/bin/env bash
# Keeps the include arrows pointing one way: views -> wizard models ->
# engines -> common. A file may include headers of its own layer and of the
# layers below it, never above:
#   common      common/ (not common/ui/)          includes no program folder
#   workspace   disktool/workspace/               what the floppy builder's parts
#                                                 share (program folder, user,
#                                                 wait window); no part, no builder
#   engine      cdtool/*/, disktool/*/, tools/    no ui/, wizard/, commands/, batch/,
#                                                 and not the floppy builder
#   builder     the floppy builder                no ui/, wizard/, batch/
#               (disktool/engine/), which orders the engine's parts
#   front       cdtool/commands/, disktool/batch/ no ui/, wizard/
#   wizard      cdtool/wizard/, disktool/wizard/  no ui/, commands/, batch/
#   view        */ui/, main.cpp                   anything
# Tests (*_test.cpp) may drive a layer from above and are not held to it.
# include_layers.known lists
# the arrows that still point the wrong way ("file -> header"), to be taken
# out one by one: a new wrong arrow fails, and so does a listed one that is
# gone (take it off the list).
set -euo pipefail
root="${1:-$(dirname "$0")/../..}"
known="$(dirname "$0")/include_layers.known"
cd "$root"
for folder in common cdtool disktool tools; do
  [ -d "$folder" ] || { echo "no folder $folder under $root" >&2; exit 1; }
done

layer_of() {
  case "$1" in
    common/ui/*) echo view ;;
    common/*) echo common ;;
    */ui/* | */main.cpp) echo view ;;
    cdtool/wizard/* | disktool/wizard/*) echo wizard ;;
    cdtool/commands/* | disktool/batch/*) echo front ;;
    disktool/workspace/*) echo workspace ;;
    disktool/engine/*) echo builder ;;
    cdtool/* | disktool/* | tools/*) echo engine ;;
    *) echo other ;;
  esac
}

rank() {
  case "$1" in
    common) echo 0 ;;
    workspace) echo 1 ;;
    engine) echo 2 ;;
    builder) echo 3 ;;
    front | wizard) echo 4 ;;
    view) echo 5 ;;
    *) echo 9 ;;
  esac
}

found=()
while IFS=: read -r file header; do
  header="${header#*\"}"
  header="${header%\"*}"
  case "$header" in common/* | cdtool/* | disktool/* | tools/*) ;; *) continue ;; esac
  from=$(layer_of "$file")
  to=$(layer_of "$header")
  # Front ends and wizards are side by side: neither includes the other.
  if [ "$(rank "$to")" -gt "$(rank "$from")" ] ||
    { [ "$from" != "$to" ] && [ "$(rank "$to")" = 4 ] && [ "$(rank "$from")" = 4 ]; }; then
    found+=("$file -> $header")
  fi
done < <(grep -rHE '^#include "' common cdtool disktool tools --include='*.cpp' --include='*.h' |
  grep -v '_test\.cpp:' | sed -E 's/:#include /:/')

mapfile -t listed < <(grep -vE '^(#|$)' "$known" | sort -u)
mapfile -t found < <(printf '%s\n' "${found[@]}" | grep -v '^$' | sort -u)
new=$(comm -13 <(printf '%s\n' "${listed[@]}") <(printf '%s\n' "${found[@]}"))
gone=$(comm -23 <(printf '%s\n' "${listed[@]}") <(printf '%s\n' "${found[@]}"))
status=0
if [ -n "$new" ]; then
  echo "Includes pointing up the layers (views -> wizard models -> engines -> common):"
  awk '{ print "  " $0 }' <<<"$new"
  status=1
fi
if [ -n "$gone" ]; then
  echo "Listed in $(basename "$known") but no longer there (take them off the list):"
  awk '{ print "  " $0 }' <<<"$gone"
  status=1
fi
[ "$status" = 0 ] && echo "include layers kept; ${#found[@]} known arrows still point up"
exit "$status"
