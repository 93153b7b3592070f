#!/bin/bash
# Builds every fuzz target with clang and libFuzzer and runs each for the given number of
# seconds (default 60), starting from its seed corpus in fuzz/corpus/<target>/ if any.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j4 >/dev/null
shopt -s nullglob
for bin in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$bin")
  work=$(mktemp -d)
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "fuzzing $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" "${seeds[@]}" \
    >"$work.log" 2>&1 || { tail -n 60 "$work.log"; exit 1; }
  done_line=$(grep -E '^Done [0-9]+ runs in [0-9]+ second' "$work.log" | tail -n 1 || true)
  echo "$name: ${done_line:-no final Done line; last output: $(tail -n 1 "$work.log")}"
  rm -rf "$work" "$work.log"
done
