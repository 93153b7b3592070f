#!/bin/bash
# Builds every fuzz target with clang and libFuzzer and runs each for the given number of
# seconds (default 60), starting from its seed corpus in fuzz/corpus/<target>/ if any.
# Targets run FUZZ_JOBS at a time (default: half the processors); each one's summary is
# printed in name order once all have run, with the end of its output when it failed, and
# any failure fails the run. Extra CMake settings may be given in CMAKE_EXTRA.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${FUZZ_JOBS:-$(($(nproc) / 2))}
[ "$jobs" -ge 1 ] || jobs=1
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA:-} >/dev/null
cmake --build build-fuzz -j4 >/dev/null

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# Runs one target; leaves its output in $results/<name>.log and its exit status in
# $results/<name>.status.
fuzz_one() {
  local bin=$1 name
  name=$(basename "$bin")
  local work="$results/$name.corpus"
  mkdir -p "$work"
  local seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  local status=0
  "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" "${seeds[@]}" \
    >"$results/$name.log" 2>&1 || status=$?
  echo "$status" >"$results/$name.status"
  rm -rf "$work"
}

shopt -s nullglob
targets=(build-fuzz/fuzz/*_fuzz)
echo "fuzzing ${#targets[@]} targets for ${seconds}s each, $jobs at a time"
for bin in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  fuzz_one "$bin" &
done
wait

failed=0
for bin in "${targets[@]}"; do
  name=$(basename "$bin")
  status=$(cat "$results/$name.status" 2>/dev/null || echo "missing")
  if [ "$status" != 0 ]; then
    echo "$name: FAILED (status $status); last output:"
    tail -n 60 "$results/$name.log" 2>/dev/null || true
    failed=1
    continue
  fi
  done_line=$(grep -aE '^Done [0-9]+ runs in [0-9]+ second' "$results/$name.log" | tail -n 1 || true)
  echo "$name: ${done_line:-no final Done line; last output: $(tail -n 1 "$results/$name.log")}"
done
exit "$failed"
