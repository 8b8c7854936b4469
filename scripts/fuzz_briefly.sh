#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset) and runs each for a short
# while on its seed corpus under tests/fuzz/<target>/. A crash, a sanitizer
# report or a broken invariant fails the run; the input that caused it is
# kept in build-fuzz/findings/<target>/ beside that target's log, ready to be
# added to the seeds once the fault is mended.
#   FUZZ_SECONDS  time per target (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
targets=(ini_file_fuzz cab_read_fuzz lzx_fuzz)

cmake --preset fuzz
cmake --build --preset fuzz --target "${targets[@]}"

# One fuzzer per core at a time: each still runs its full time, the run as a
# whole takes a third less on two cores than one after another.
fuzz_one() {
  local target=$1 binary seeds findings work log
  binary=$(find build-fuzz -type f -name "$target" -perm -u+x | head -n 1)
  findings="build-fuzz/findings/$target"
  rm -rf "$findings"
  mkdir -p "$findings"
  if [ -z "$binary" ]; then
    echo "fuzz: $target was not built" > "$findings/failed"
    return
  fi
  seeds="tests/fuzz/${target%_fuzz}"
  work="build-fuzz/corpus/$target"   # grows during the run; the seeds stay as they are
  rm -rf "$work"
  mkdir -p "$work"
  log="$findings/fuzz.log"
  echo "fuzz: $target for ${seconds}s on $seeds"
  if "$binary" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=4096 \
      -artifact_prefix="$findings/" -print_final_stats=1 "$work" "$seeds" >"$log" 2>&1; then
    echo "fuzz: $target: $(grep -E '^stat::number_of_executed_units' "$log" | tail -n 1 || true)"
  else
    echo "fuzz: $target FAILED; log and input in $findings" > "$findings/failed"
  fi
}

slots=$(nproc)
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$slots" ]; do wait -n || true; done
  fuzz_one "$target" &
done
wait

failed=()
for target in "${targets[@]}"; do
  if [ -f "build-fuzz/findings/$target/failed" ]; then
    cat "build-fuzz/findings/$target/failed" >&2
    [ -f "build-fuzz/findings/$target/fuzz.log" ] && tail -n 30 "build-fuzz/findings/$target/fuzz.log" >&2
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: failures in ${failed[*]}" >&2
  exit 1
fi
