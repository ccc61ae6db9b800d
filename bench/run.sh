#!/usr/bin/env bash
# Builds the benchmark driver and runs it (as root): the real window, offscreen, against virtual
# cameras in network namespaces of its own. Prints the machine, the command and a Markdown table,
# ready for BENCHMARKS.md:
#
#   bash bench/run.sh [RUNS]        median and worst of Find, Save and start-up over RUNS runs (10)
#   bash bench/run.sh soak [FINDS]  one window, FINDS cycles (100) of a Find and ten Saves:
#                                   every Find complete, every Save acknowledged, memory, fds
#   bash bench/run.sh fleet [RUNS]  480 cameras: the search for every camera, RUNS times (20)
#                                   per case, the receive buffer, telviq-cli's find (RUNS times)
#                                   and apply --all --verify (3 times), the window's 128 rows
#   bash bench/run.sh address [RUNS]  480 cameras at one factory address: telviq-cli address
#                                   --all --verify RUNS times (5), and 20 of them one set after
#                                   another
#   bash bench/run.sh dialog [RUNS] 128 cameras at one factory address: Assign Addresses' Write
#                                   to every outcome shown, RUNS times (5), every row
#                                   acknowledged and showing its new address after the Find
#
# BENCH_BUILD_DIR picks the build folder; BENCH_SANITIZE=1 builds with the address and
# undefined-behaviour sanitizers (into build-bench-asan unless told), so that a soak ends with
# the leak check.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mode=timing
case ${1:-} in
soak | fleet | address | dialog) mode=$1; shift ;;
esac
sanitize=${BENCH_SANITIZE:-0}
if [ "$sanitize" = 1 ]; then
    build=${BENCH_BUILD_DIR:-$top/build-bench-asan}
    sanitizeFlag=ON
else
    build=${BENCH_BUILD_DIR:-$top/build-bench}
    sanitizeFlag=OFF
fi
case $mode in
soak) count=${1:-100} ;;
fleet) count=${1:-20} ;;
address | dialog) count=${1:-5} ;;
*) count=${1:-10} ;;
esac
[[ $count =~ ^[1-9][0-9]*$ ]] || {
    echo "usage: $0 [soak [FINDS] | fleet [RUNS] | address [RUNS] | dialog [RUNS] | RUNS]" >&2
    exit 2
}
[ "$(id -u)" -eq 0 ] || { echo "$0: the namespaces need root" >&2; exit 1; }

bash "$top/scripts/setup-debian.sh"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVIQ_BENCH=ON \
    -DTELVIQ_SANITIZE="$sanitizeFlag" >/dev/null
cmake --build "$build" --target telviq-bench telviq-utility virtual-cameras telviq-cli \
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

case $mode in
soak) args=(--soak --finds "$count") ;;
fleet) args=(--fleet --runs "$count" --cli "$build/cli/telviq-cli") ;;
address) args=(--address --runs "$count" --cli "$build/cli/telviq-cli") ;;
dialog) args=(--dialog --runs "$count") ;;
*) args=(--utility "$build/app/telviq-utility" --runs "$count") ;;
esac
# Leaks are looked for when the driver ends; the sanitizers' report goes to standard error.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
status=0
"$build/bench/telviq-bench" --virtual-cameras "$build/tools/virtual-cameras/telviq-virtual-cameras" \
    "${args[@]}" >"$build/bench-table.md" &
driver_pid=$!
wait "$driver_pid" || status=$?
driver_pid=

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
qt=$(dpkg-query -W -f='${Version}' libqt6widgets6 2>/dev/null || echo unknown)
compiler=$(c++ --version | head -n 1)
echo "Machine: $(nproc) logical CPUs ($cpu), $memory memory, $os, kernel $(uname -r)"
sanitizers=
[ "$sanitize" = 1 ] && sanitizers=", address and undefined-behaviour sanitizers"
command="bash bench/run.sh"
[ "$mode" = timing ] || command+=" $mode"
command+=" $count"
[ "$sanitize" = 1 ] && command="BENCH_SANITIZE=1 $command"
echo "Build: RelWithDebInfo$sanitizers, $compiler, Qt $qt"
echo "Command: $command   ($(date -u '+%Y-%m-%d %H:%M UTC'))"
echo
cat "$build/bench-table.md"
[ "$status" -eq 0 ] || echo "telviq-bench exited with status $status" >&2
exit "$status"
