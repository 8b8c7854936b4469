# shellcheck shell=bash
# Sourced by the boot checks that make CD trees of their own: the CD
# builder's own makecd script and password-gate writer, through cd_test_tool
# (KIV_CD_TEST_TOOL). Uses the sourcing script's fail, need and $work.

# master <tree folder named kivcd> <iso> [mkisofs]: the tree mastered as the
# build masters it, with the given mastering tool (default: xorriso, as the
# program folder's mkisofs).
master() {
  local tool=${3:-}
  if [ -z "$tool" ]; then
    need xorriso "the ISO mastering tool"
    tool=$(command -v xorriso)
  fi
  [ "$(basename "$1")" = kivcd ] || fail "master: the tree must be a folder named kivcd"
  ln -sf "$tool" "$(dirname "$1")/mkisofs"
  # shellcheck disable=SC2154 # $work is the sourcing script's
  "${KIV_CD_TEST_TOOL:?KIV_CD_TEST_TOOL not set}" master "$(dirname "$1")" "$2" >"$work/mkisofs.log" 2>&1 ||
    { cat "$work/mkisofs.log" >&2; fail "mastering failed"; }
}

# set_gate <loader.bin> <ask> <retries> <password> <prompt>: the password gate
# filled in by the builder's own writer.
set_gate() {
  "${KIV_CD_TEST_TOOL:?KIV_CD_TEST_TOOL not set}" gate "$@" || fail "cannot set the password gate in $1"
}
