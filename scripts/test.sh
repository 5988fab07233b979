#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$@"
build=${QMX_BUILD_DIR:-$root/build}
config_home=$(mktemp -d)
trap 'rm -rf "$config_home"' EXIT
cd "$build"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$config_home" \
  ctest --output-on-failure -j"$(nproc)" --timeout 600
