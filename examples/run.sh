#!/bin/bash
# Runs the filter on the example queue files and shows the exchange: every request line
# written to the filter's standard input (after "> ") and every line it writes back.
# The filter reads its rules from vorpelin.regex beside the binary.
set -euo pipefail
filter=$(realpath "${1:?usage: run.sh path/to/vorpelin}")
cd "$(dirname "$0")"

requests=("1 INTF 3")
n=2
for file in queue/*.msg; do
  requests+=("$n FILE $file")
  n=$((n + 1))
done
requests+=("$n FILE queue/no-such-message.msg" "$((n + 1)) QUIT")

coproc FILTER { "$filter"; }
show() {  # the filter's lines up to and including the next answer (a line not starting "* ")
  local line
  while IFS= read -r -t 10 line <&"${FILTER[0]}"; do
    echo "$line"
    [[ $line == "* "* ]] || return 0
  done
}
# The start-up lines: the banner and "* Ready to receive INTF command."
for _ in 1 2; do IFS= read -r -t 10 line <&"${FILTER[0]}" && echo "$line"; done
for request in "${requests[@]}"; do
  echo "> $request"
  echo "$request" >&"${FILTER[1]}"
  show
done
exec {FILTER[1]}>&-
wait "$FILTER_PID"
