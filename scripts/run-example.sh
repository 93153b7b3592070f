#!/bin/bash
# Installs what is missing, builds the filter and runs it on the bundled example:
# the rules file examples/vorpelin.regex and the queue files in examples/queue/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vorpelin
bash examples/run.sh build/filter/vorpelin
