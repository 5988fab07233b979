#!/usr/bin/env bash
# Configures and builds the project into ./build (extra CMake arguments pass through).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QMX_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
