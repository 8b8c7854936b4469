#!/usr/bin/env bash
# Keeps the operating system's headers behind the platform seam, so another
# platform's back end can be added beside the POSIX one without touching the
# rest: only common/posix/ and one platform_posix.cpp per tool folder may
# include <unistd.h>, <fcntl.h> or <sys/...>. Tests count too; theirs belong
# in testsupport/. Prints every other file that does, and fails then.
set -euo pipefail
root="${1:-$(dirname "$0")/../..}"
cd "$root"
for folder in common cdtool disktool tools; do
  [ -d "$folder" ] || { echo "no folder $folder under $root" >&2; exit 1; }
done
mapfile -t including < <(grep -rlE '#include <(unistd|fcntl|sys/)' common cdtool disktool tools | sort)
outside=()
for file in "${including[@]}"; do
  case "$file" in
    common/posix/*) ;;
    tools/*/platform_posix.cpp)
      # Directly in a tool's folder, not deeper.
      [[ "$file" =~ ^tools/[^/]+/platform_posix\.cpp$ ]] || outside+=("$file")
      ;;
    *) outside+=("$file") ;;
  esac
done
if [ ${#outside[@]} -gt 0 ]; then
  echo "System headers outside the platform seam (move the calls into common/posix/, a tool's platform_posix.cpp or testsupport/):"
  printf '  %s\n' "${outside[@]}"
  exit 1
fi
echo "platform seam kept: ${#including[@]} files include system headers, all behind it"
