#!/usr/bin/env bash
# Configures and builds the project into build/ (or the folder given as BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
if [ -e "$build" ] && [ ! -w "$build" ]; then
    echo "build.sh: $build belongs to $(stat -c %U "$build"); give it back with" \
        "sudo chown -R $(id -un): $build" >&2
    exit 1
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
