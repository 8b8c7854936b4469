#!/usr/bin/env bash
# The rescue system built without a network, as a user on a machine without
# one does it: the packages another build kept (`--save-packages`, done by the
# e2e.rescue_system fixture) named as the package source, then
# `discsmith --rescue-system` in a network namespace of its own (no
# interface but loopback) or, where none can be made, with apt's proxies set
# to a port nothing listens on. The system built must hold exactly the
# packages of the one built online, and the tools of the list.
# Environment (set by ctest): KIV_E2E_PREFIX. Argument: the kept packages.
set -euo pipefail
packages=${1:?usage: rescue_offline.sh <kept packages>}
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -d "$packages" ] || fail "no kept packages in $packages (the e2e.rescue_system fixture keeps them)"
pf=$(bash "$here/new_program_folder.sh")
trap 'rm -rf "$(dirname "$pf")"' EXIT
rm -rf "$pf/rescue"
(cd "$pf" && ./discsmith --set "LinuxRescue.Mirror=$packages") > /dev/null

offline=(env http_proxy=http://127.0.0.1:9 https_proxy=http://127.0.0.1:9)
if unshare -n true 2>/dev/null; then offline=(unshare -n); fi
(cd "$pf" && SOURCE_DATE_EPOCH=1700000000 "${offline[@]}" ./discsmith --rescue-system) > "$pf/../offline.out" 2>&1 \
  || { tail -40 "$pf/../offline.out"; fail "the offline build failed"; }
grep -q "indexing the packages in $packages" "$pf/../offline.out" || fail "the package folder was not indexed"

cmp "$KIV_E2E_PREFIX/rescue/packages.versions" "$pf/rescue/packages.versions" \
  || { diff "$KIV_E2E_PREFIX/rescue/packages.versions" "$pf/rescue/packages.versions" | head; \
       fail "the offline system's packages differ from the online one's"; }
listing=$(unsquashfs -l "$pf/rescue/filesystem.squashfs")
for tool in usr/bin/ntfs-3g usr/bin/photorec usr/bin/ddrescue usr/sbin/chntpw usr/sbin/smartctl; do
  grep -q "/$tool\$" <<< "$listing" || fail "the offline system has no /$tool"
done
sources=$(unsquashfs -cat "$pf/rescue/filesystem.squashfs" etc/apt/sources.list)
grep -q "^deb http://deb.debian.org/debian bookworm main" <<< "$sources" && ! grep -q "copy:" <<< "$sources" \
  || fail "the offline system's apt sources are not Debian's: $sources"
grep -q "^mirror=$packages\$" "$pf/rescue/recipe.txt" || fail "the stamp does not name the package folder"
[ ! -e "$pf/rescue/package-index" ] || fail "the package index was left in the kept system"
echo "built offline from $packages: $(wc -l < "$pf/rescue/packages.versions") packages, as online"
