#!/bin/bash
# Requests per second of the whole filter program through pipes on the example workload:
# the example rules beside the binary and the example queue files, requested in turn.
# Both standard input and standard output are pipes, as under the mail server. The same
# number of lines piped through cat, measured in the same run, is the baseline.
# Usage: bench/pipe_throughput.sh [build/filter/vorpelin] [requests]
set -euo pipefail
filter=$(realpath "${1:-build/filter/vorpelin}")
count=${2:-50000}
cd "$(dirname "$0")/../examples"
requests=$(mktemp)
trap 'rm -f "$requests"' EXIT
files=(queue/*.msg)
awk -v n="$count" -v list="${files[*]}" 'BEGIN { k = split(list, f, " "); print "1 INTF 3";
  for (i = 2; i <= n + 1; i++) print i " FILE " f[(i % k) + 1] }' > "$requests"

now() { date +%s.%N; }
start=$(now); cat "$requests" | cat | cat > /dev/null; base=$(echo "$(now) - $start" | bc)
start=$(now); lines=$(cat "$requests" | "$filter" | wc -l); took=$(echo "$(now) - $start" | bc)
echo "$count requests over ${#files[@]} example messages: ${took}s, $(echo "$count / $took" | bc) requests/s;" \
     "$lines lines answered; bare pipe of the same lines ${base}s"
