#!/usr/bin/env bash
# Sets everything up, builds, writes the built-in demo recording and opens it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${QMX_BUILD_DIR:-$root/build}
demo="$build/demo"
"$build/tools/recgen" demo "$demo"
exec "$build/src/app/qmxplayer" "$demo/Trip-001.avi"
