#!/usr/bin/env bash
# Installs what is missing, builds the utility and starts it on this machine's display, all as the
# user who runs it: sudo is asked only to install packages.
#
#   scripts/run.sh          the utility, on this machine's network
#   scripts/run.sh demo     the utility against virtual cameras in private network namespaces
#                           (the demo asks sudo for those; see tools/demo.sh)
#
# It builds only what it starts: the window and what it links, and the virtual cameras for the
# demo (scripts/test.sh builds everything). Started as root (under sudo or from a root shell),
# it installs what is missing and then builds as the user who called sudo, or else as the owner
# of the checkout, so that build/ stays theirs; it never starts the window as root (the demo,
# which keeps root for its namespaces, runs the window as the user too).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
case ${1:-} in
"") ;;
demo) ;;
*)
    echo "usage: $0 [demo]" >&2
    exit 2
    ;;
esac

# Only the window and what it links, and for the demo the virtual cameras: not the tests.
targets=telviq-utility
[ "${1:-}" = demo ] && targets+=" virtual-cameras"
start_demo() {
    export TELVIQ_UTILITY=$build/app/telviq-utility
    export VIRTUAL_CAMERAS=$build/tools/virtual-cameras/telviq-virtual-cameras
    export DEMO_CAMERAS=$top/tools/virtual-cameras/demo-cameras.conf
    exec bash "$top/tools/demo.sh"
}

bash "$top/scripts/setup-debian.sh"
if [ "$(id -u)" -eq 0 ]; then
    user=${SUDO_USER:-}
    if [ -z "$user" ] || [ "$user" = root ]; then
        user=$(stat -c %U "$top")
    fi
    if [ "$user" = root ]; then
        echo "run.sh: the utility needs no root and is not started as root; run this script as" \
            "the desktop's user (it asks sudo only to install packages)" >&2
        exit 1
    fi
    if [ "${1:-}" = demo ]; then
        # Root is needed for the namespaces only; the demo itself runs the window and the
        # cameras as the user.
        echo "run.sh: building as $user" >&2
        runuser -u "$user" -- env BUILD_DIR="$build" BUILD_TARGETS="$targets" \
            bash "$top/scripts/build.sh"
        start_demo
    fi
    echo "run.sh: building and starting as $user" >&2
    exec runuser -u "$user" -- bash "$top/scripts/run.sh" "$@"
fi

BUILD_DIR=$build BUILD_TARGETS=$targets bash "$top/scripts/build.sh"
[ "${1:-}" = demo ] && start_demo
exec "$build/app/telviq-utility"
