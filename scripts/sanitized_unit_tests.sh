#!/usr/bin/env bash
# Builds the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (the asan preset) and runs them. The end-to-end and boot checks stay in the
# default build: they spend their time in QEMU and outside tools, where the
# sanitizers see nothing of ours. The preset builds with clang at -O1: its
# sanitizers are the reference ones, and it compiles them in about half the
# time gcc takes at -O2.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset asan
cmake --build --preset asan
# Leaks in Qt's and GLib's own start-up are not ours to mend; the checks of
# memory errors and undefined behaviour stay on and end the run.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --preset asan --label-exclude e2e
