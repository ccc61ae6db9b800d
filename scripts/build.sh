#!/usr/bin/env bash
# Configures and builds the project into build/ (or the folder given as BUILD_DIR): everything, or
# only the targets BUILD_TARGETS names (and what they need). Arguments go to the configuration.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
if [ -e "$build" ] && [ ! -w "$build" ]; then
    echo "build.sh: $build belongs to $(stat -c %U "$build"); give it back with" \
        "sudo chown -R $(id -un): $build" >&2
    exit 1
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
read -r -a targets <<<"${BUILD_TARGETS:-}"
cmake --build "$build" -j "$(nproc)" ${targets[0]:+--target "${targets[@]}"}
