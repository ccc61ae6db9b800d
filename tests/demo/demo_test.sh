#!/usr/bin/env bash
# Installs the built tree into a scratch prefix and runs its telviq-utility-demo on a private X
# display: Find, a row, Save and Exit are clicked like a newcomer would. However the demo ends
# (Exit, Ctrl-C, TERM, its window killed, the demo itself killed and the next one started), it
# must leave no namespace and no live process behind: nothing that ran in its namespaces (a
# session bus started for the window would), nothing of its process tree. The window and the
# cameras must not run as root when there is a user to run them as: once more, a throwaway user
# asks for the demo through sudo, and its window must run as that user, without a session bus.
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
for tool in ip Xvfb xdotool sudo useradd; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup-debian.sh installs it)"
done
command -v dbus-launch >/dev/null ||
    echo "note: dbus-launch (dbus-x11) is missing, so no session bus could be started anyway"

work=$(mktemp -d /tmp/telviq-demo-test.XXXXXX)
# The throwaway user runs the installed programs from here.
chmod 755 "$work"
xvfb_pid=
demo_pid=
user=
cleanup() {
    local status=$?
    for pid in $demo_pid $xvfb_pid; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$user" ]; then
        rm -f "/etc/sudoers.d/$user"
        userdel -r "$user" >/dev/null 2>&1 || true
        rm -rf "/tmp/runtime-$user"
    fi
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

# A process is named by its id and its start time (clock ticks since boot), "PID/START", so that
# a process id used again meanwhile is not taken for it.
process() { sed -E 's/^[0-9]+ \(.*\) //' "/proc/$1/stat" 2>/dev/null | awk -v pid="$1" '{ print pid "/" $20 }'; }
now() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%d\n", $1 * hz }' /proc/uptime; }
# Whether PROCESS still runs and is not a zombie (this machine's init may never reap one).
alive() {
    local pid=${1%/*} start=${1#*/} rest
    rest=$(sed -E 's/^[0-9]+ \(.*\) //' "/proc/$pid/stat" 2>/dev/null) || return 1
    read -r -a fields <<<"$rest"
    [ "${fields[0]}" != Z ] && [ "${fields[19]}" = "$start" ]
}
# The process PID and all of its descendants, as processes.
process_tree() {
    local pid
    for pid in $(ps -e -o pid=,ppid= | awk -v root="$1" '
        { parent[$1] = $2 }
        END {
            tree[root] = 1
            do {
                grew = 0
                for (p in parent) if (!(p in tree) && (parent[p] in tree)) { tree[p] = 1; grew = 1 }
            } while (grew)
            for (p in tree) print p
        }'); do
        process "$pid"
    done
}
# The live processes, started before the tick BEFORE, in the network namespaces of the inode
# numbers that follow (a namespace's number may go to a new one once it is gone).
in_namespaces() {
    local before=$1 dir link p
    shift
    find /proc -mindepth 3 -maxdepth 3 -path '/proc/[0-9]*/ns/net' -printf '%h %l\n' 2>/dev/null |
        while read -r dir link; do
            [[ " $* " == *" ${link//[^0-9]/} "* ]] || continue
            p=$(process "$(basename "$(dirname "$dir")")") || continue
            [ -n "$p" ] && [ "${p#*/}" -lt "$before" ] && alive "$p" && echo "$p"
        done
    return 0
}
describe() { ps -o pid=,user=,args= -p "${1%/*}" || echo "${1%/*}"; }

# Starts the demo (as root, or through the command in the arguments), waits for its window and
# notes what it runs: its namespaces (those named after a process of its tree), their inode
# numbers, the window's processes and the demo's process tree. As root it is a root login's
# demo: no sudo user, no terminal, and the installed demo belongs to root.
start_demo() {
    : >"$work/demo.log"
    "$@" env -u SUDO_USER DISPLAY="$DISPLAY" "$work/root/bin/telviq-utility-demo" </dev/null \
        >"$work/demo.log" 2>&1 &
    demo_pid=$!
    wait_for "the cameras" 100 has_log "ready: "
    wait_for "the window" 100 xdotool search --onlyvisible --name '^TELVIQ Utility'
    window=$(xdotool search --onlyvisible --name '^TELVIQ Utility' | head -n 1)
    tree=$(process_tree "$demo_pid")
    namespaces=
    for ns in $(ip netns list | awk '{ print $1 }'); do
        [[ $ns =~ ^tvqdemo-([0-9]+)-(pc|cam)$ ]] && grep -q "^${BASH_REMATCH[1]}/" <<<"$tree" &&
            namespaces+=" $ns"
    done
    [ "$(wc -w <<<"$namespaces")" -eq 2 ] || fail "expected the demo's two namespaces: $namespaces"
    pc=$(tr ' ' '\n' <<<"$namespaces" | grep -- '-pc$')
    cam=$(tr ' ' '\n' <<<"$namespaces" | grep -- '-cam$')
    inodes=$(for ns in $namespaces; do stat -c %i "/run/netns/$ns"; done)
    window_pids=$(ip netns pids "$pc")
    [ -n "$window_pids" ] || fail "the window does not run in the demo's pc namespace"
    camera_pids=$(ip netns pids "$cam")
    [ -n "$camera_pids" ] || fail "no cameras in the cam namespace"
    for pid in $camera_pids; do
        [ "$(stat -c %u "/proc/$pid")" -ne 0 ] || fail "the cameras run as root"
    done
}
# Fails when a session bus runs in the demo's namespaces (autolaunched for the window).
no_session_bus() {
    local p
    # shellcheck disable=SC2086 # one inode a word
    for p in $(in_namespaces "$(now)" $inodes); do
        case $(cat "/proc/${p%/*}/comm") in
        dbus-*) fail "$1: $(describe "$p") runs in the demo's namespaces" ;;
        esac
    done
}

# Positions inside the window, from its form.
click() {
    xdotool mousemove --window "$window" "$1" "$2" click 1
}
click_find() { click 386 395; }
click_save() { click 513 395; }
click_exit() { click 641 395; }
click_first_row() { click 80 298; }

# Waits for the demo to end the given way and checks that it left nothing behind.
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
    expect_nothing_alive "$how"
    echo "ok: $how"
}
expect_nothing_alive() {
    local p
    # shellcheck disable=SC2086 # one inode a word
    for p in $(in_namespaces "$(now)" $inodes); do
        fail "$1: $(describe "$p") still runs in the demo's namespaces"
    done
    for p in $tree; do
        alive "$p" && fail "$1: $(describe "$p") of the demo still runs"
    done
    return 0
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
# Nobody but root to run the window as: the demo says so, and the window gets no session bus.
has_log "the window runs as root, without a session bus" || fail "the demo did not say it runs as root"
no_session_bus "a root login's demo"
click_exit
expect_clean_end "Exit" 0

# Killed outright, the demo cannot clean up: its window and cameras end with it, and the next
# demo removes its namespaces.
start_demo
kill -KILL "$demo_pid"
wait "$demo_pid" 2>/dev/null || true
demo_pid=
for _ in $(seq 50); do
    [ -z "$(for p in $tree; do alive "$p" && echo "$p"; done)" ] && break
    sleep 0.1
done
expect_nothing_alive "the demo killed"
killed_namespaces=$namespaces

start_demo
for ns in $killed_namespaces; do
    ip netns list | awk '{ print $1 }' | grep -qxF "$ns" && fail "the next demo left $ns there"
done
echo "ok: the demo killed, and the next one removed what it left"
kill -INT -- "-$demo_pid"
expect_clean_end "Ctrl-C" 130

start_demo
kill -TERM "$demo_pid"
expect_clean_end "TERM" 143

start_demo
# shellcheck disable=SC2086 # one process id a word
kill -KILL $window_pids
expect_clean_end "the window killed" 137

# A user asks for the demo, which asks sudo for itself.
user=telviq-demo-$$
useradd --create-home --shell /bin/bash "$user"
echo "$user ALL=(root) NOPASSWD: ALL" >"/etc/sudoers.d/$user"
chmod 440 "/etc/sudoers.d/$user"
start_demo runuser -u "$user" --
for pid in $window_pids; do
    [ "$(stat -c %U "/proc/$pid")" = "$user" ] || fail "the window runs as $(stat -c %U "/proc/$pid")"
done
sleep 1 # time for anything the window would start on a bus
no_session_bus "the demo through sudo"
click_exit
expect_clean_end "Exit, through sudo from $user" 0
for pid in $(pgrep -u "$user"); do
    p=$(process "$pid") && alive "$p" && fail "$(describe "$p") of $user is left"
done
echo "ok: the window ran as $user without a session bus"
