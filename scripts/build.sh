#!/usr/bin/env bash
# Configures and builds Orvane. Usage: scripts/build.sh [BUILD_DIR] [extra cmake options...]
# ORVANE_SANITIZE=1 in the environment builds with AddressSanitizer + UBSan.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
shift || true
opts=(-G Ninja -S "$top" -B "$build")
if [ "${ORVANE_SANITIZE:-0}" = 1 ]; then
  opts+=(-DORVANE_SANITIZE=ON -DORVANE_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
cmake "${opts[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
