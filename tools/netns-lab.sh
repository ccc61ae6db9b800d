#!/usr/bin/env bash
# A two-namespace network for trying the utility against virtual cameras by hand (as root):
#
#   tools/netns-lab.sh up demo                 # demo-pc (203.0.113.1) <-> demo-cam (203.0.113.2)
#   tools/netns-lab.sh exec demo cam build/tools/virtual-cameras/telviq-virtual-cameras --count 5 --log &
#   tools/netns-lab.sh exec demo pc PROGRAM           # the utility, with DISPLAY set
#   tools/netns-lab.sh down demo
#
# The pc side's default route leads through the veth, so the utility's broadcasts reach the
# cameras and nothing else. A window started from "exec NAME pc" reaches the X server through
# its socket in /tmp/.X11-unix.
set -euo pipefail

usage() {
    echo "usage: $0 up NAME | down NAME | exec NAME pc|cam COMMAND [ARG...]" >&2
    exit 2
}

[ $# -ge 2 ] || usage
action=$1
name=$2
shift 2
[[ $name =~ ^[A-Za-z0-9_-]{1,20}$ ]] || { echo "$0: NAME: letters, digits, - and _ only" >&2; exit 2; }
pc=$name-pc
cam=$name-cam

case $action in
up)
    ip netns add "$pc"
    ip netns add "$cam"
    # Undo a half-built lab if a later step fails.
    trap 'ip netns del "$pc" 2>/dev/null || true; ip netns del "$cam" 2>/dev/null || true' ERR
    ip link add veth-pc0 netns "$pc" type veth peer name veth-cam0 netns "$cam"
    ip -n "$pc" link set lo up
    ip -n "$cam" link set lo up
    ip -n "$pc" addr add 203.0.113.1/24 dev veth-pc0
    ip -n "$cam" addr add 203.0.113.2/24 dev veth-cam0
    ip -n "$pc" link set veth-pc0 up
    ip -n "$cam" link set veth-cam0 up
    ip -n "$pc" route add default via 203.0.113.2 dev veth-pc0 onlink
    trap - ERR
    echo "$pc (203.0.113.1) <-> $cam (203.0.113.2)"
    ;;
down)
    status=0
    ip netns del "$pc" || status=1
    ip netns del "$cam" || status=1
    exit $status
    ;;
exec)
    [ $# -ge 2 ] || usage
    case $1 in
    pc) ns=$pc ;;
    cam) ns=$cam ;;
    *) usage ;;
    esac
    shift
    exec ip netns exec "$ns" "$@"
    ;;
*)
    usage
    ;;
esac
