#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest; then builds the
# unit and widget tests once more with the address and undefined-behaviour sanitizers and runs
# them (three to seven minutes more on two cores).
#
# Run as a user, it asks sudo only to install packages, and the tests that need root (network
# namespaces) skip and say so. The full run needs root, as in CI; run as root in a checkout that
# belongs to a user, it hands the build folders back to that user at the end.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
asan=${ASAN_BUILD_DIR:-$top/build-asan}
owner=$(stat -c %u:%g "$top")
hand_back() {
    for folder in "$build" "$asan"; do
        [[ $folder == "$top"/* ]] && [ -e "$folder" ] && chown -R "$owner" "$folder"
    done
    return 0
}
if [ "$(id -u)" -eq 0 ] && [ "${owner%%:*}" -ne 0 ]; then
    trap hand_back EXIT
fi

bash "$top/scripts/setup-debian.sh"
# The benchmark driver is built too (not run), so that a change to the window cannot break it
# unseen.
BUILD_DIR=$build bash "$top/scripts/build.sh" -DTELVIQ_WERROR=ON -DTELVIQ_BENCH=ON
(cd "$build" && ctest --output-on-failure --timeout 600)

# Only what the tests labelled "unit" need is built. The sanitizers also watch the test listing
# that runs at build time, so their options hold for the build as well.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S "$top" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTELVIQ_SANITIZE=ON \
    -DTELVIQ_WERROR=ON >/dev/null
cmake --build "$asan" -j "$(nproc)" --target net_tests protocol_tests settings_tests \
    cli_tests hostnet_tests theme_tests app_tests camsim_tests junk_tests
cd "$asan"
ctest -L unit --output-on-failure --timeout 600
