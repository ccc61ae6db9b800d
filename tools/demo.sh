#!/usr/bin/env bash
# The utility against a handful of virtual cameras, for trying it without a camera (as root):
#
#   scripts/run.sh demo                  from the source tree (builds first)
#   telviq-utility-demo                  once the package is installed
#
# Two network namespaces of its own are joined by a veth pair: the window runs in one, the
# cameras in the other, and the window's broadcasts go nowhere else. The window shows on the
# desktop's display (DISPLAY and XAUTHORITY are passed through). Closing the window, Ctrl-C or
# a TERM signal removes both namespaces again.
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
    echo "demo: network namespaces need root; asking sudo" >&2
    keep=DISPLAY,XAUTHORITY,QT_QPA_PLATFORM,TELVIQ_UTILITY,VIRTUAL_CAMERAS,DEMO_CAMERAS
    exec sudo --preserve-env="$keep" bash "$self" "$@"
fi

# Under sudo, a cookie in the invoking user's home is the one the desktop handed out.
if [ -z "${XAUTHORITY:-}" ] && [ -n "${SUDO_USER:-}" ]; then
    user_home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
    if [ -n "$user_home" ] && [ -r "$user_home/.Xauthority" ]; then
        export XAUTHORITY=$user_home/.Xauthority
    fi
fi

[ -x "$utility" ] || die "no utility at $utility"
[ -x "$cameras" ] || die "no virtual cameras at $cameras"
[ -r "$camera_file" ] || die "no camera file at $camera_file"
command -v ip >/dev/null || die "the ip tool is missing (package iproute2)"
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ]; then
    die "no DISPLAY: start the demo from a desktop session"
fi

# Namespaces of demos that were killed outright would otherwise stay forever.
for ns in $(ip netns list | awk '{ print $1 }'); do
    [[ $ns =~ ^tvqdemo-([0-9]+)-(pc|cam)$ ]] || continue
    if ! kill -0 "${BASH_REMATCH[1]}" 2>/dev/null; then
        ip netns del "$ns" 2>/dev/null || true
        rm -rf "/etc/netns/$ns"
    fi
done

# The process id keeps two demos (and this machine's own names) apart.
prefix=tvqdemo-$$
pc=$prefix-pc
cam=$prefix-cam
work=$(mktemp -d /tmp/telviq-demo.XXXXXX)
cameras_pid=
utility_pid=

cleanup() {
    trap - EXIT INT TERM HUP
    for pid in $utility_pid $cameras_pid; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $utility_pid $cameras_pid; do
        wait "$pid" 2>/dev/null || true
    done
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

# The cameras' log (every search and write they see) goes to this terminal.
ip netns exec "$cam" "$cameras" --file "$camera_file" --log >"$work/cameras.out" &
cameras_pid=$!
for _ in $(seq 100); do
    grep -q '^ready' "$work/cameras.out" && break
    kill -0 "$cameras_pid" 2>/dev/null || die "the virtual cameras did not start"
    sleep 0.05
done
grep -q '^ready' "$work/cameras.out" || die "the virtual cameras did not get ready"
echo "demo: $(head -n 1 "$work/cameras.out") in $cam; the window runs in $pc"

# The window inherits DISPLAY and XAUTHORITY. An empty XAUTHORITY is dropped: it would stop the
# X library looking in ~/.Xauthority.
window_env=()
[ -n "${XAUTHORITY:-}" ] || window_env+=(-u XAUTHORITY)
window_env+=("QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}")
ip netns exec "$pc" env "${window_env[@]}" "$utility" &
utility_pid=$!
status=0
wait "$utility_pid" || status=$?
utility_pid=
echo "demo: the window closed; removing $pc and $cam"
exit "$status"
