#!/bin/bash
# Installs what is missing, builds everything and runs every test. Extra CMake settings may
# be given in CMAKE_EXTRA (CI gives -DWERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA:-} >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
