#!/bin/bash
# Installs the Debian packages the build needs, only when one is missing.
# Extra package names may be given as arguments (CI adds clang for the fuzz targets).
set -euo pipefail
packages=(cmake make g++ pkg-config libgtest-dev libboost-regex-dev libhyperscan-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
