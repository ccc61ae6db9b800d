#!/usr/bin/env bash
# Installs the built tree into a scratch prefix and runs its telviq-utility-demo on a private X
# display: Find, a row, Save and Exit are clicked like a newcomer would, and the demo must leave
# no namespace behind, neither after Exit nor when it is interrupted or terminated.
#
#   demo_test.sh CMAKE BUILD_DIR        (SCREENSHOT=path.png also saves the window with a camera
#                                        selected)
# Exit status 77 means skipped.
set -euo pipefail
# Job control: the demos started below get their own process groups and take INT as a terminal
# would give it.
set -m
cmake=$1
build=$2
# shellcheck source=SCRIPTDIR/../../tools/xvfb-lib.sh
. "$(dirname "$0")/../../tools/xvfb-lib.sh"

skip() {
    echo "SKIP: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "the demo's namespaces need root"
for tool in ip Xvfb xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done

work=$(mktemp -d /tmp/telviq-demo-test.XXXXXX)
xvfb_pid=
demo_pid=
cleanup() {
    local status=$?
    for pid in $demo_pid $xvfb_pid; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/demo.log" ] && sed 's/^/  demo: /' "$work/demo.log" >&2
    exit 1
}

"$cmake" --install "$build" --prefix "$work/root" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install"; }

display=$(xvfb_free_display 151 199) || skip "no free X display"
xvfb_start "$display"
unset XAUTHORITY QT_QPA_PLATFORM

# Waits up to $2 tenths of a second for the command in the remaining arguments to succeed.
wait_for() {
    local what=$1 tenths=$2
    shift 2
    for _ in $(seq "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "timed out waiting for $what"
}
has_log() { grep -qF -- "$1" "$work/demo.log"; }
demo_namespaces() { ip netns list | awk '{ print $1 }' | grep -E "^tvqdemo-$demo_pid-" || true; }

start_demo() {
    : >"$work/demo.log"
    "$work/root/bin/telviq-utility-demo" >"$work/demo.log" 2>&1 &
    demo_pid=$!
    wait_for "the cameras" 100 has_log "ready: "
    wait_for "the window" 100 xdotool search --onlyvisible --name '^TELVIQ Utility'
    window=$(xdotool search --onlyvisible --name '^TELVIQ Utility' | head -n 1)
    [ "$(demo_namespaces | wc -l)" -eq 2 ] || fail "expected the demo's two namespaces"
    namespaces=$(demo_namespaces)
    window_pids=$(ip netns pids "tvqdemo-$demo_pid-pc")
    [ -n "$window_pids" ] || fail "the window does not run in the demo's pc namespace"
    [ -n "$(ip netns pids "tvqdemo-$demo_pid-cam")" ] || fail "no cameras in the cam namespace"
}

# Positions inside the window, from its form.
click() {
    xdotool mousemove --window "$window" "$1" "$2" click 1
}
click_find() { click 386 395; }
click_save() { click 513 395; }
click_exit() { click 641 395; }
click_first_row() { click 80 298; }

# Ends the demo the given way and checks that it left nothing behind.
expect_clean_end() {
    local how=$1 expected_status=$2 status=0
    for _ in $(seq 100); do
        kill -0 "$demo_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$demo_pid" 2>/dev/null && fail "$how: the demo is still running"
    wait "$demo_pid" || status=$?
    demo_pid=
    [ "$status" -eq "$expected_status" ] || fail "$how: exit status $status, not $expected_status"
    for ns in $namespaces; do
        ip netns list | awk '{ print $1 }' | grep -qxF "$ns" && fail "$how: $ns is still there"
        [ -e "/etc/netns/$ns" ] && fail "$how: /etc/netns/$ns is still there"
    done
    for pid in $window_pids; do
        kill -0 "$pid" 2>/dev/null && fail "$how: process $pid of the window is still running"
    done
    echo "ok: $how"
}

# A newcomer's tour: Find, a camera, Save, Exit.
start_demo
click_find
searches() { [ "$(grep -c ': search pass ' "$work/demo.log")" -ge "$1" ]; }
wait_for "the third search" 60 searches 3
sleep 1.6 # the third pass listens for a second or a little more
click_first_row
sleep 0.5
if [ -n "${SCREENSHOT:-}" ]; then
    command -v import >/dev/null || fail "import (imagemagick) is missing for SCREENSHOT"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$SCREENSHOT"
    echo "saved $SCREENSHOT"
fi
click_save
wait_for "the write" 50 has_log 'parameters for 02-00-5E-10-00-01 "Front door": applied, ack ok'
wait_for "the outcome box" 50 xdotool search --onlyvisible --name '^TELVIQ$'
box=$(xdotool search --onlyvisible --name '^TELVIQ$' | head -n 1)
xdotool windowfocus --sync "$box" key Return
wait_for "the outcome box to close" 50 bash -c "! xdotool search --onlyvisible --name '^TELVIQ$'"
click_exit
expect_clean_end "Exit" 0

start_demo
kill -INT "$demo_pid"
expect_clean_end "Ctrl-C" 130

start_demo
kill -TERM "$demo_pid"
expect_clean_end "TERM" 143
