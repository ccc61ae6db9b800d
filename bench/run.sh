#!/usr/bin/env bash
# Builds the benchmark driver and runs it (as root): the real window, offscreen, against virtual
# cameras in network namespaces of its own. Prints the machine, the command and a Markdown table
# of median and worst over RUNS runs (10 unless told), ready for BENCHMARKS.md.
#
#   bash bench/run.sh [RUNS]            (BENCH_BUILD_DIR picks the build folder)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$top/build-bench}
runs=${1:-10}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [RUNS]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "$0: the namespaces need root" >&2; exit 1; }

bash "$top/scripts/setup-debian.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVIQ_BENCH=ON \
    >/dev/null
cmake --build "$build" --target telviq-bench telviq-utility virtual-cameras \
    -j "${BENCH_JOBS:-$(nproc)}" >/dev/null

driver_pid=
cleanup() {
    if [ -n "$driver_pid" ]; then
        kill "$driver_pid" 2>/dev/null || true
        wait "$driver_pid" 2>/dev/null || true
        # A driver that was killed could not remove its lab.
        for ns in $(ip netns list | awk '{ print $1 }'); do
            [[ $ns =~ ^tvq-(pc|cam[0-9]*)-$driver_pid- ]] && ip netns del "$ns"
        done
    fi
    true
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$build/bench/telviq-bench" --virtual-cameras "$build/tools/virtual-cameras/telviq-virtual-cameras" \
    --utility "$build/app/telviq-utility" --runs "$runs" >"$build/bench-table.md" &
driver_pid=$!
wait "$driver_pid"
driver_pid=

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
qt=$(dpkg-query -W -f='${Version}' libqt6widgets6 2>/dev/null || echo unknown)
compiler=$(c++ --version | head -n 1)
echo "Machine: $(nproc) logical CPUs ($cpu), $memory memory, $os, kernel $(uname -r)"
echo "Build: RelWithDebInfo, $compiler, Qt $qt"
echo "Command: bash bench/run.sh $runs   ($(date -u '+%Y-%m-%d %H:%M UTC'))"
echo
cat "$build/bench-table.md"
