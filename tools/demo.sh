#!/usr/bin/env bash
# The utility against a handful of virtual cameras, for trying it without a camera:
#
#   scripts/run.sh demo                  from the source tree (builds first)
#   telviq-utility-demo                  once the package is installed
#
# Two network namespaces of its own are joined by a veth pair: the window runs in one, the
# cameras in the other, and the window's broadcasts go nowhere else. Only the namespaces need
# root: run as a user, the script asks sudo for itself; as root, it makes the namespaces and
# runs the window and the cameras as the user who asked for the demo (the sudo user, else the
# owner of the terminal, else the owner of this script's folder, a checkout). The window gets
# that user's DISPLAY, XAUTHORITY, XDG_RUNTIME_DIR and session bus, or no session bus at all
# where none is found, so that nothing is started on its behalf that could outlive the demo.
# With nobody but root to run as, the window runs as root without a session bus and the
# cameras as nobody. Closing the window, Ctrl-C, a TERM signal or the window's end removes both
# namespaces and everything started in them; a demo killed outright takes its window and cameras
# with it (they get TERM), and the next demo removes what is left.
#
# The programs and the camera file are looked for beside this script (installed layout) unless
# TELVIQ_UTILITY, VIRTUAL_CAMERAS or DEMO_CAMERAS name them.
set -euo pipefail

self=$(readlink -f "$0")
here=$(dirname "$self")
utility=${TELVIQ_UTILITY:-$here/telviq-utility}
cameras=${VIRTUAL_CAMERAS:-$here/telviq-virtual-cameras}
camera_file=${DEMO_CAMERAS:-$here/../share/telviq-utility/demo-cameras.conf}

die() {
    echo "demo: $*" >&2
    exit 1
}

if [ "$(id -u)" -ne 0 ]; then
    # The X cookie of a desktop session is in the user's home unless XAUTHORITY says otherwise;
    # root would look in its own.
    if [ -z "${XAUTHORITY:-}" ] && [ -r "$HOME/.Xauthority" ]; then
        export XAUTHORITY=$HOME/.Xauthority
    fi
    command -v sudo >/dev/null || die "network namespaces need root: run this as root"
    echo "demo: network namespaces need root; asking sudo (the window and the cameras run as" \
        "$(id -un))" >&2
    keep=DISPLAY,XAUTHORITY,XDG_RUNTIME_DIR,DBUS_SESSION_BUS_ADDRESS,QT_QPA_PLATFORM
    keep+=,TELVIQ_UTILITY,VIRTUAL_CAMERAS,DEMO_CAMERAS
    exec sudo --preserve-env="$keep" bash "$self" "$@"
fi

# Whether a process runs and is not a zombie (this machine's init may never reap one).
alive() {
    local pid state
    for pid in "$@"; do
        state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$pid/stat" 2>/dev/null) || continue
        [ "$state" = Z ] || return 0
    done
    return 1
}

# TERM, then KILL for what still runs after five seconds; children are reaped.
stop() {
    local pid
    (($#)) || return 0
    kill -TERM "$@" 2>/dev/null || true
    for _ in $(seq 50); do
        alive "$@" || break
        sleep 0.1
    done
    kill -KILL "$@" 2>/dev/null || true
    for pid in "$@"; do
        wait "$pid" 2>/dev/null || true
    done
}

# Who asked for the demo: the user who called sudo, else the owner of the terminal (a root
# shell opened with su), else the owner of the folder this script is in (a user's checkout).
# Prints nothing when each of them is root.
demo_user() {
    local terminal candidate
    terminal=$(tty 2>/dev/null) || terminal=
    for candidate in "${SUDO_USER:-}" "$(stat -c %U "$terminal" 2>/dev/null)" \
        "$(stat -c %U "$here")"; do
        case $candidate in
        "" | root | UNKNOWN) continue ;;
        esac
        getent passwd "$candidate" >/dev/null && { echo "$candidate"; return 0; }
    done
    return 0
}

user=$(demo_user)
if [ -n "$user" ]; then
    IFS=: read -r _ _ uid gid _ home _ < <(getent passwd "$user")
    camera_user=$user
else
    echo "demo: nobody but root to run the window as (no sudo user, and neither a terminal nor" \
        "$here belongs to another user): the window runs as root, without a session bus; the" \
        "cameras run as nobody" >&2
    user=root
    IFS=: read -r _ _ uid gid _ home _ < <(getent passwd root)
    camera_user=nobody
fi
IFS=: read -r _ _ camera_uid camera_gid _ < <(getent passwd "$camera_user") ||
    die "no user $camera_user to run the cameras as"
as_user() {
    setpriv --reuid="$uid" --regid="$gid" --init-groups "$@"
}

# The X cookie the desktop handed the user, unless XAUTHORITY names one.
if [ -z "${XAUTHORITY:-}" ] && [ -r "$home/.Xauthority" ]; then
    export XAUTHORITY=$home/.Xauthority
fi
# The user's runtime folder, and the session bus that the user's desktop runs: the one sudo
# passed on, else the one in the runtime folder. Without one the window gets none, rather than
# one started for it that would outlive the demo.
runtime=
for folder in "${XDG_RUNTIME_DIR:-}" "/run/user/$uid"; do
    if [ -n "$folder" ] && [ -d "$folder" ] && [ "$(stat -c %u "$folder")" = "$uid" ]; then
        runtime=$folder
        break
    fi
done
bus=disabled:
if [ "$uid" -ne 0 ]; then
    if [ "$user" = "${SUDO_USER:-}" ] && [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
        bus=$DBUS_SESSION_BUS_ADDRESS
    elif [ -n "$runtime" ] && [ -S "$runtime/bus" ]; then
        bus=unix:path=$runtime/bus
    else
        echo "demo: no session bus of $user found: the window runs without one" >&2
    fi
fi

[ -x "$utility" ] || die "no utility at $utility"
[ -x "$cameras" ] || die "no virtual cameras at $cameras"
[ -r "$camera_file" ] || die "no camera file at $camera_file"
command -v ip >/dev/null || die "the ip tool is missing (package iproute2)"
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ]; then
    die "no DISPLAY: start the demo from a desktop session"
fi

[ -z "${XAUTHORITY:-}" ] || as_user test -r "$XAUTHORITY" ||
    die "$user cannot read the X cookie $XAUTHORITY; name one of theirs in XAUTHORITY"

# What demos that were killed outright left: their namespaces, anything still running in them
# (not our children, so only stopped, not reaped) and their work folders.
for ns in $(ip netns list | awk '{ print $1 }'); do
    [[ $ns =~ ^tvqdemo-([0-9]+)-(pc|cam)$ ]] || continue
    alive "${BASH_REMATCH[1]}" && continue
    # shellcheck disable=SC2046 # one process id a word
    stop $(ip netns pids "$ns")
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "/etc/netns/$ns"
done
for folder in /tmp/telviq-demo-*; do
    [[ $folder =~ ^/tmp/telviq-demo-([0-9]+)\.[A-Za-z0-9]+$ ]] || continue
    alive "${BASH_REMATCH[1]}" || rm -rf "$folder"
done

# The process id keeps two demos (and this machine's own names) apart.
prefix=tvqdemo-$$
pc=$prefix-pc
cam=$prefix-cam
work=$(mktemp -d "/tmp/telviq-demo-$$.XXXXXX")
cameras_pid=
utility_pid=

cleanup() {
    trap - EXIT INT TERM HUP
    # shellcheck disable=SC2086 # empty when already ended
    stop $utility_pid $cameras_pid
    ip netns del "$pc" 2>/dev/null || true
    ip netns del "$cam" 2>/dev/null || true
    rm -rf "/etc/netns/$pc" "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

ip netns add "$pc"
ip netns add "$cam"
# Both ends are made inside their namespaces, so the machine's own interfaces never see them.
ip link add veth-pc0 netns "$pc" type veth peer name veth-cam0 netns "$cam"
ip -n "$pc" link set lo up
ip -n "$cam" link set lo up
ip -n "$pc" addr add 203.0.113.1/24 dev veth-pc0
ip -n "$cam" addr add 203.0.113.2/24 dev veth-cam0
ip -n "$pc" link set veth-pc0 up
ip -n "$cam" link set veth-cam0 up
# The limited broadcast needs a default route; this one ends at the cameras.
ip -n "$pc" route add default via 203.0.113.2 dev veth-pc0 onlink
# "ip netns exec" shows this file as /etc/resolv.conf: the PC group lists documentation names
# rather than this machine's DNS server and domain.
mkdir -p "/etc/netns/$pc"
printf 'domain example.net\nnameserver 203.0.113.53\n' >"/etc/netns/$pc/resolv.conf"

# Root's part ends with the namespaces: "ip netns exec" enters one and setpriv drops to the user
# before the program starts, in the same process, which gets TERM should this script be killed
# outright. The cameras' ports are above 1024, so they need no root either. Their log (every
# search and write they see, on standard error) goes to this terminal.
ip netns exec "$cam" setpriv --reuid="$camera_uid" --regid="$camera_gid" --init-groups \
    --pdeathsig TERM "$cameras" --file "$camera_file" --log >"$work/cameras.out" &
cameras_pid=$!
for _ in $(seq 100); do
    grep -q '^ready' "$work/cameras.out" && break
    alive "$cameras_pid" || die "the virtual cameras did not start"
    sleep 0.05
done
grep -q '^ready' "$work/cameras.out" || die "the virtual cameras did not get ready"
echo "demo: $(head -n 1 "$work/cameras.out") in $cam, run by $camera_user; the window runs in" \
    "$pc as $user"

# The user's own environment for the window. An empty XAUTHORITY is dropped: it would stop the
# X library looking in ~/.Xauthority.
window_env=()
[ -n "${XAUTHORITY:-}" ] || window_env+=(-u XAUTHORITY)
[ -n "$runtime" ] || window_env+=(-u XDG_RUNTIME_DIR)
window_env+=(HOME="$home" USER="$user" LOGNAME="$user" DBUS_SESSION_BUS_ADDRESS="$bus")
[ -z "$runtime" ] || window_env+=(XDG_RUNTIME_DIR="$runtime")
window_env+=("QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}")
ip netns exec "$pc" setpriv --reuid="$uid" --regid="$gid" --init-groups --pdeathsig TERM \
    env "${window_env[@]}" "$utility" &
utility_pid=$!
status=0
wait "$utility_pid" || status=$?
utility_pid=
echo "demo: the window closed; removing $pc and $cam"
exit "$status"
